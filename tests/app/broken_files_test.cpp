// Broken audio files through the real windows: "Open" then "Play" on the main
// window, "Add" on the record list and the tag editor. Each is told about in
// the program's own words naming the file (or plays, where what is left is
// sound), none stalls the event loop, and none is changed on disk.
#include "ID3.h"
#include "app_harness.h"
#include "playback_files.h"
#include "recordlist.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <unistd.h>

namespace
{

// What the windows make of a file.
enum class Outcome {
    refused, // "... is an invalid audio file!" / "... is an invalid file."
    plays,   // listed and played, no word
    gone,    // "... has been removed."
};

struct Broken {
    const char *name;   // the file's name, also the row's
    const char *source; // "mp3", "wav" or "ogg": the good file it is made from; "" for none
    QByteArray (*spoil)(const QByteArray &good);
    Outcome outcome;
    bool tags_read; // the tag editor opens on it
};

void PrintTo(const Broken &b, std::ostream *os)
{
    *os << b.name;
}

// The good files, made once by the tools the other tests use: tone at 8000 Hz
// mono, 1 s; the MP3 with an ID3v2 tag and an Info frame from lame; the OGG
// 3 s of noise, so that its audio spans three pages.
QTemporaryDir &sources()
{
    static QTemporaryDir dir;
    static const bool made = [] {
        const QString wav = dir.filePath(QStringLiteral("good.wav"));
        return playback_files::sox(wav, {"synth", "1", "sine", "440"}) &&
               playback_files::sox(dir.filePath(QStringLiteral("good.ogg")),
                                   {"synth", "3", "pinknoise"}) &&
               playback_files::run(QStringLiteral("lame"),
                                   {"--quiet", "-b", "32", "--add-id3v2", "--tt", "Tone", wav,
                                    dir.filePath(QStringLiteral("good.mp3"))});
    }();
    EXPECT_TRUE(made);
    return dir;
}

QByteArray bytes_of(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Structure boundaries of the good files.
qsizetype id3_end(const QByteArray &d)
{
    const auto b = [&](int i) { return qsizetype(d[i] & 0x7f); };
    return 10 + (b(6) << 21 | b(7) << 14 | b(8) << 7 | b(9));
}
qsizetype first_frame_end(const QByteArray &d)
{
    const qsizetype at = id3_end(d);
    return d.indexOf(d.mid(at, 3), at + 4);
}
qsizetype ogg_page_end(const QByteArray &d, int page)
{
    qsizetype at = 0;
    for (int i = 0; i <= page; ++i)
        at = d.indexOf("OggS", at + 1);
    return at;
}
qsizetype chunk_at(const QByteArray &d, const char *id)
{
    return d.indexOf(id);
}

const Broken broken[] = {
    {"empty.mp3", "mp3", [](const QByteArray &) { return QByteArray(); }, Outcome::refused, false},
    {"cut_in_id3_header.mp3", "mp3", [](const QByteArray &d) { return d.left(5); },
     Outcome::refused, false},
    {"cut_after_id3.mp3", "mp3", [](const QByteArray &d) { return d.left(id3_end(d)); },
     Outcome::refused, false},
    {"cut_in_first_frame_header.mp3", "mp3",
     [](const QByteArray &d) { return d.left(id3_end(d) + 2); }, Outcome::refused, false},
    {"cut_after_info_frame.mp3", "mp3",
     [](const QByteArray &d) { return d.left(first_frame_end(d)); }, Outcome::refused, false},
    {"cut_mid_frame.mp3", "mp3", [](const QByteArray &d) { return d.left(d.size() / 2 + 7); },
     Outcome::plays, true},
    {"id3_size_past_end.mp3", "mp3",
     [](const QByteArray &d) {
         QByteArray s = d;
         s[6] = s[7] = s[8] = s[9] = '\x7f';
         return s;
     },
     Outcome::refused, false},
    {"cut_in_riff_header.wav", "wav", [](const QByteArray &d) { return d.left(4); },
     Outcome::refused, false},
    {"cut_after_riff_header.wav", "wav", [](const QByteArray &d) { return d.left(12); },
     Outcome::refused, false},
    {"cut_in_fmt.wav", "wav", [](const QByteArray &d) { return d.left(chunk_at(d, "fmt ") + 12); },
     Outcome::refused, false},
    {"cut_after_fmt.wav", "wav", [](const QByteArray &d) { return d.left(chunk_at(d, "data")); },
     Outcome::refused, false},
    {"cut_after_data_header.wav", "wav",
     [](const QByteArray &d) { return d.left(chunk_at(d, "data") + 8); }, Outcome::refused, false},
    // TagLib takes a data chunk that runs past the end for a broken file.
    {"cut_mid_data.wav", "wav", [](const QByteArray &d) { return d.left(d.size() / 2 + 1); },
     Outcome::plays, false},
    {"data_size_past_end.wav", "wav",
     [](const QByteArray &d) {
         QByteArray s = d;
         const qsizetype at = chunk_at(d, "data") + 4;
         s[at] = '\xf0', s[at + 1] = s[at + 2] = '\xff', s[at + 3] = '\x7f';
         return s;
     },
     Outcome::plays, false},
    {"cut_after_id_page.ogg", "ogg", [](const QByteArray &d) { return d.left(ogg_page_end(d, 0)); },
     Outcome::refused, false},
    {"cut_after_headers.ogg", "ogg", [](const QByteArray &d) { return d.left(ogg_page_end(d, 1)); },
     Outcome::refused, true},
    {"cut_in_second_audio_page.ogg", "ogg",
     [](const QByteArray &d) { return d.left(ogg_page_end(d, 2) + 100); }, Outcome::plays, true},
    {"bad_checksum.ogg", "ogg",
     [](const QByteArray &d) {
         QByteArray s = d;
         s[ogg_page_end(d, 1) + 22] = static_cast<char>(s[ogg_page_end(d, 1) + 22] ^ 0x5a);
         return s;
     },
     Outcome::plays, true},
    {"wav_named.mp3", "wav", [](const QByteArray &d) { return d; }, Outcome::plays, false},
    {"mp3_named.ogg", "mp3", [](const QByteArray &d) { return d; }, Outcome::plays, false},
    {"folder.mp3", "", nullptr, Outcome::refused, false},
    {"unreadable.mp3", "mp3", [](const QByteArray &d) { return d; }, Outcome::refused, false},
    {"missing.wav", "", nullptr, Outcome::gone, false},
};

// The longest time the event loop waited between two turns while `act` ran:
// a 10 ms timer, and the largest gap between its ticks.
qint64 longest_stall(const std::function<void()> &act)
{
    QElapsedTimer clock;
    qint64 last = 0, worst = 0;
    int ticks_seen = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        worst = std::max(worst, clock.elapsed() - last);
        last = clock.elapsed();
        ++ticks_seen;
    });
    clock.start();
    ticks.start(10);
    act();
    // The first tick after the act measures what it held up.
    const int before = ticks_seen;
    while (ticks_seen < before + 2 && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return worst;
}

class BrokenFile : public ::testing::TestWithParam<Broken>
{
protected:
    QTemporaryDir dir;
    std::unique_ptr<AppHarness> app;
    QString path;
    size_t seen = 0;

    void SetUp() override
    {
        reset_settings();
        AppOptions options;
        options.fake_playback = true;
        app = std::make_unique<AppHarness>(options);
        const Broken &b = GetParam();
        path = dir.filePath(QLatin1String(b.name));
        if (QLatin1String(b.name) == QLatin1String("folder.mp3")) {
            ASSERT_TRUE(QDir().mkdir(path));
        } else if (b.spoil) {
            const QByteArray good =
                bytes_of(sources().filePath(QStringLiteral("good.") + QLatin1String(b.source)));
            ASSERT_FALSE(good.isEmpty());
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(b.spoil(good));
        }
        if (QLatin1String(b.name) == QLatin1String("unreadable.mp3"))
            QFile::setPermissions(path, {});
    }
    void TearDown() override { QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner); }

    // Root reads a file without read permission all the same.
    Outcome expected() const
    {
        if (QLatin1String(GetParam().name) == QLatin1String("unreadable.mp3") && geteuid() == 0)
            return Outcome::plays;
        return GetParam().outcome;
    }
    bool tags_expected() const
    {
        if (QLatin1String(GetParam().name) == QLatin1String("unreadable.mp3"))
            return geteuid() == 0;
        return GetParam().tags_read;
    }
    // The messages shown since the last call, but the file dialogs.
    std::vector<ScriptedDialogs::Shown> messages()
    {
        std::vector<ScriptedDialogs::Shown> out;
        for (; seen < app->dialogs->shown.size(); ++seen)
            if (app->dialogs->shown[seen].kind != QLatin1String("open") &&
                app->dialogs->shown[seen].kind != QLatin1String("add"))
                out.push_back(app->dialogs->shown[seen]);
        return out;
    }
    void expect_message(const char *step, const QString &text, const QString &caption)
    {
        const auto shown = messages();
        ASSERT_EQ(shown.size(), 1u) << step;
        EXPECT_EQ(shown[0].text, text) << step;
        EXPECT_EQ(shown[0].caption, caption) << step;
    }
    void click_list(const QString &element)
    {
        const QRect rect = element_rect(
            QDir(QStringLiteral(VELQUOR_APP_DIR)).filePath(QStringLiteral("mp3dec.dll")),
            QStringLiteral("List"), element);
        QWidget *target = app->list->childAt(rect.center());
        ASSERT_NE(target, nullptr);
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(app->list, rect.center()));
    }
};

TEST_P(BrokenFile, IsToldAboutByNameWithoutStallingAndStaysAsItWas)
{
    const Outcome outcome = expected();
    const QByteArray before = bytes_of(path);
    const QString information = QStringLiteral("Information");
    const QString gone_or_invalid = outcome == Outcome::gone
                                        ? QStringLiteral(" has been removed.")
                                        : QStringLiteral(" is an invalid file.");
    // Each step's longest stall goes into the test report (--gtest_output=xml).
    const auto stall = [this](const char *step, const std::function<void()> &act) {
        const qint64 ms = longest_stall(act);
        EXPECT_LT(ms, 500) << step;
        RecordProperty(std::string("stall_ms_") + step, static_cast<int>(ms));
    };

    // The command plays the file, or refuses it with its message.
    const auto plays_or_tells = [&](const char *command, const QString &text, const QString &icon) {
        stall(command, [&] { app->click(QLatin1String(command)); });
        if (outcome == Outcome::plays) {
            EXPECT_TRUE(messages().empty());
            EXPECT_TRUE(app->main->playing);
            app->click(QStringLiteral("Stop"));
        } else {
            expect_message(command, text, icon);
        }
    };
    app->dialogs->open_answers.push_back(path);
    plays_or_tells("Open", path + QStringLiteral(" is an invalid audio file!"), information);
    plays_or_tells("Play", path + gone_or_invalid, QString());
    EXPECT_EQ(app->dialogs->count(QStringLiteral("question")), 0) << "no restart question";

    app->click(QStringLiteral("List"));
    ASSERT_TRUE(app->list->isVisible());
    const int listed = app->list->count();
    app->dialogs->add_answers.push_back({path});
    stall("Add", [&] { click_list(QStringLiteral("Add")); });
    if (outcome == Outcome::plays) {
        EXPECT_TRUE(messages().empty());
        EXPECT_EQ(app->list->count(), listed + 1);
    } else {
        expect_message("Add",
                       path + (outcome == Outcome::gone
                                   ? QStringLiteral(" has been removed!")
                                   : QStringLiteral(" is an invalid audio file!")),
                       information);
        EXPECT_EQ(app->list->count(), listed);
    }

    // The tag editor on the file, then Cancel, as the user who only looks.
    app->id3->target_path = path;
    bool opened = false;
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, app->id3, [&] {
        if (app->id3->isVisible()) {
            opened = true;
            QTest::mouseClick(app->id3->btn_cancel, Qt::LeftButton);
        }
    });
    cancel.start(20);
    stall("tags", [&] { app->id3->exec(); });
    EXPECT_EQ(opened, tags_expected());
    if (tags_expected())
        EXPECT_TRUE(messages().empty());
    else
        expect_message("tag editor",
                       QStringLiteral("The tags of ") + path + QStringLiteral(" cannot be read."),
                       information);

    if (QLatin1String(GetParam().name) == QLatin1String("folder.mp3"))
        EXPECT_TRUE(QDir(path).isEmpty());
    else
        EXPECT_EQ(bytes_of(path), before) << "the file is as it was";
    EXPECT_EQ(QFileInfo::exists(path), outcome != Outcome::gone);
}

INSTANTIATE_TEST_SUITE_P(Files, BrokenFile, ::testing::ValuesIn(broken), [](const auto &info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), '.', '_');
    return name;
});

} // namespace
