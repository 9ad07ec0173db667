#include "app_harness.h"

#include "ID3.h"
#include "audio/audio_file.h"
#include "dir.h"
#include "option.h"
#include "pulse/audio_record.h"
#include "pulse/pulse_playback.h"
#include "recordlist.h"
#include "settings_file.h"
#include "skin/skin.h"
#include "test_support.h"
#include "velquor_application.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

std::optional<Dialogs::SaveChoice>
ScriptedDialogs::save_file(QWidget *, const QString &initial_folder, const QString &filter)
{
    shown.push_back({"save", initial_folder, {}});
    last_save_folder = initial_folder;
    last_save_filter = filter;
    if (while_saving)
        while_saving();
    if (save_answers.empty())
        return std::nullopt;
    SaveChoice answer = save_answers.front();
    save_answers.pop_front();
    return answer;
}

std::optional<QStringList> ScriptedDialogs::open_files(QWidget *, const QString &initial_folder,
                                                       const QString &filter)
{
    shown.push_back({"add", initial_folder, {}});
    last_add_folder = initial_folder;
    last_add_filter = filter;
    if (add_answers.empty())
        return std::nullopt;
    QStringList answer = add_answers.front();
    add_answers.pop_front();
    return answer;
}

int ScriptedDialogs::count(const QString &kind) const
{
    return static_cast<int>(
        std::count_if(shown.begin(), shown.end(), [&](const Shown &s) { return s.kind == kind; }));
}

AppHarness::AppHarness(AppOptions options)
{
    Services services;
    if (!options.real_sound_server) {
        auto fake = std::make_unique<FakeCaptureBackend>();
        fake->server_present = options.server_present;
        fake->default_source = options.default_source;
        if (options.devices.empty()) {
            CaptureDeviceInfo device;
            device.name = QStringLiteral("Test Card");
            device.lines.push_back(
                {QStringLiteral("Monitor of Test Card"), QStringLiteral("test.monitor"), {}});
            options.devices.push_back(device);
        }
        fake->device_list = options.devices;
        for (const auto &d : options.devices)
            for (const auto &l : d.lines)
                fake->volumes[l.source_name] = 40000;
        capture = fake.get();
        services.capture = std::move(fake);
    }
    if (options.fake_playback) {
        auto fake = std::make_unique<FakePlaybackBackend>();
        playback = fake.get();
        services.playback = std::move(fake);
    } else if (!options.playback_sink.isEmpty()) {
        services.playback =
            std::make_unique<PulsePlaybackBackend>(QString(), options.playback_sink);
    }
    auto test_clock = std::make_unique<TestClock>();
    test_clock->time = QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0));
    clock = test_clock.get();
    services.clock = std::move(test_clock);
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    services.dialogs = std::move(scripted);
    auto counting = std::make_unique<CountingInhibitor>();
    inhibitor = counting.get();
    services.inhibitor = std::move(counting);
    services.program_folder = options.program_folder;
    services.restart = [this] { ++restarts; };

    m_main = std::make_unique<Tfm_main>(std::move(services));
    main = m_main.get();
    if (!options.late_option)
        option = new Tfm_option(main);
    id3 = new Tfm_id3(main);
    dir = new Tfm_dir(main);
    list = new Tfm_list(main);
    main->set_windows(option, id3, dir, list);
    if (options.late_option)
        main->set_option_maker([this] { return option = new Tfm_option(main); });
    if (auto *application = qobject_cast<VelquorApplication *>(qApp))
        application->set_main_window(main);
    main->show();
    QCoreApplication::processEvents();
}

AppHarness::~AppHarness()
{
    if (main->isVisible())
        main->close();
}

void AppHarness::click(const QString &element)
{
    const QRect rect =
        element_rect(QDir(QStringLiteral(VELQUOR_APP_DIR)).filePath(QStringLiteral("mp3dec.dll")),
                     QStringLiteral("ZI3Ruzerudi"), element);
    ASSERT_TRUE(rect.isValid()) << "no element " << element.toStdString();
    QWidget *target = main->childAt(rect.center());
    ASSERT_NE(target, nullptr);
    QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(main, rect.center()));
}

void AppHarness::push_seconds(double seconds)
{
    ASSERT_NE(capture, nullptr);
    ASSERT_FALSE(capture->starts.empty());
    const auto format = capture->starts.back();
    // One block of 100 ms at a time, the way a sound server hands them over.
    const int frames_per_push = static_cast<int>(format.rate / 10);
    const int64_t frames = std::llround(seconds * format.rate);
    static double phase = 0;
    for (int64_t done = 0; done < frames; done += frames_per_push) {
        const int n = static_cast<int>(std::min<int64_t>(frames_per_push, frames - done));
        std::vector<int16_t> samples(static_cast<size_t>(n) * format.channels);
        for (int i = 0; i < n; ++i) {
            const auto v = static_cast<int16_t>(std::lround(12000 * std::sin(phase)));
            phase += 2 * M_PI * 440.0 / format.rate;
            for (int c = 0; c < format.channels; ++c)
                samples[static_cast<size_t>(i) * format.channels + c] = v;
        }
        capture->push(samples);
    }
    QCoreApplication::processEvents();
}

void AppHarness::settle()
{
    // Block events come queued and the capture timer every 100 ms.
    QTest::qWait(250);
}

QString AppHarness::label(const QString &element) const
{
    ISkinForm *form = main->Skin->GetSkinForm(main);
    ISkinObject *object = form ? form->FindObject(element) : nullptr;
    return object ? object->Text() : QString();
}

void reset_settings()
{
    QFile::remove(QDir(SettingsFile::default_folder()).filePath(QStringLiteral("velquor.ini")));
}

void put_setting(const QString &section, const QString &key, const QString &value)
{
    SettingsFile(QStringLiteral("velquor.ini")).write_string(section, key, value);
}

void put_setting(const keys::Key &key, const QString &value)
{
    put_setting(QString::fromLatin1(key.section), QString::fromLatin1(key.name), value);
}

QString read_setting(const QString &section, const QString &key)
{
    return SettingsFile(QStringLiteral("velquor.ini"))
        .read_string(section, key, QStringLiteral("<missing>"));
}

QRect element_rect(const QString &skin_file, const QString &form, const QString &element)
{
    QFile f(skin_file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject forms =
        QJsonDocument::fromJson(f.readAll()).object().value(QStringLiteral("forms")).toObject();
    for (const QJsonValue e :
         forms.value(form).toObject().value(QStringLiteral("elements")).toArray()) {
        const QJsonObject o = e.toObject();
        if (o.value(QStringLiteral("name")).toString() == element) {
            const QJsonArray r = o.value(QStringLiteral("rect")).toArray();
            return QRect(r.at(0).toInt(), r.at(1).toInt(), r.at(2).toInt(), r.at(3).toInt());
        }
    }
    return {};
}

std::vector<double> first_channel(const QString &path, uint32_t *rate)
{
    TAudioFile2 file;
    file.OpenFile(path, 0, 1);
    const auto channels = static_cast<size_t>(std::max(file.Channels(), 1));
    if (rate)
        *rate = file.SampleRate();
    std::vector<double> samples;
    for (SampleArray a = file.ReadArray(8820); !a.empty(); a = file.ReadArray(8820))
        for (size_t i = 0; i + channels <= a.size(); i += channels)
            samples.push_back(a[i] / 32768.0);
    file.CloseFile();
    return samples;
}
