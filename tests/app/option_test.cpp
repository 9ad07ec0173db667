// The settings dialog and the folder chooser over a real settings file, with
// the capture engine's devices from the fake backend.
#include "app_harness.h"

#include "dir.h"
#include "option.h"
#include "pulse/audio_record.h"
#include "settings_file.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QVariant>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace
{

const QString ini_path()
{
    return QDir(SettingsFile::default_folder()).filePath(QStringLiteral("velquor.ini"));
}

QByteArray ini_bytes()
{
    QFile f(ini_path());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

CaptureDeviceInfo device(const char *name, std::vector<const char *> lines)
{
    CaptureDeviceInfo d;
    d.name = QString::fromLatin1(name);
    d.server_name = d.name.toLower().replace(QLatin1Char(' '), QLatin1Char('_'));
    for (const char *l : lines)
        d.lines.push_back(
            {QString::fromLatin1(l), QString::fromLatin1(l) + QStringLiteral(".src"), {}});
    return d;
}

class Options : public ::testing::Test
{
protected:
    void SetUp() override { reset_settings(); }
    // Shows the dialog without its modal loop, as exec() would show it.
    static void show(Tfm_option *o)
    {
        o->show();
        QCoreApplication::processEvents();
    }
};

// Key, value stored, value after Default (empty: Default leaves it).
struct Key {
    const char *section;
    const char *key;
    const char *stored;
    const char *after_default;
};

const std::vector<Key> &non_default_keys()
{
    static const std::vector<Key> keys = {
        {"schedule", "schedule", "2", "0"}, {"limit", "enable limit", "1", "0"},
        {"limit", "time", "75", ""},        {"limit", "stop", "0", "0"},
        {"limit", "new", "1", "0"},         {"format", "auto name", "0", "1"},
        {"format", "format", "3", "0"},     {"format", "path", "/tmp/velquor out", ""},
        {"mp3", "bitrate", "4", "11"},      {"mp3", "channel", "0", "1"},
        {"mp3", "frequency", "2", "7"},     {"mp3", "quality", "3", "9"},
        {"mp3", "enable vbr", "1", "0"},    {"mp3", "vbr bitrate", "14", "11"},
        {"mp3", "vbr quality", "5", "0"},   {"wma", "format", "40", "9"},
        {"wav", "mode", "1", "0"},          {"wav", "bit", "0", "1"},
        {"wav", "channel", "0", "1"},       {"wav", "frequency", "3", "7"},
        {"ogg", "channel", "0", "1"},       {"ogg", "frequency", "8", "7"},
        {"ogg", "bitrate", "5", "11"},      {"ogg", "max bitrate", "16", "11"},
        {"ogg", "min bitrate", "1", "11"},  {"ogg", "enable quality", "0", "1"},
        {"ogg", "quality", "1000", "300"},
        {"flac", "frequency", "3", "7"},    {"flac", "channel", "0", "1"},
        {"flac", "bit", "1", "0"},          {"flac", "level", "8", "5"},
        {"opus", "bitrate", "100", "64"},   {"opus", "channel", "0", "1"},
        {"opus", "application", "1", "0"},  {"opus", "complexity", "3", "10"},
    };
    return keys;
}

void store_non_defaults()
{
    SettingsFile f(QStringLiteral("velquor.ini"));
    for (const Key &k : non_default_keys())
        f.write_string(QString::fromLatin1(k.section), QString::fromLatin1(k.key),
                       QString::fromLatin1(k.stored));
    f.write_date(QStringLiteral("schedule"), QStringLiteral("special day"), QDate(2027, 3, 14));
    f.write_time(QStringLiteral("schedule"), QStringLiteral("begin time"), QTime(7, 5, 9));
    f.write_time(QStringLiteral("schedule"), QStringLiteral("end time"), QTime(21, 30, 0));
}

} // namespace

TEST_F(Options, TheFrameIsLaidOutAsDesigned)
{
    AppHarness app;
    Tfm_option *o = app.option;
    EXPECT_EQ(o->windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(o->size(), QSize(400, 360));
    QStringList nodes;
    for (QTreeWidgetItemIterator it(o->tv); *it; ++it)
        nodes << (*it)->text(0);
    EXPECT_EQ(nodes, QStringList({"Recording Source", "Schedule", "File Length Limitation",
                                  "Sound Activation", "Output Format", "MP3", "WMA", "WAV", "OGG", "FLAC", "Opus",
                                  "About"}));
    for (QPushButton *b : {o->btn_ok, o->btn_default, o->btn_cancel}) {
        EXPECT_FALSE(b->isDefault() || b->autoDefault()) << b->text().toStdString();
        EXPECT_EQ(b->geometry().size(), QSize(75, 25));
        EXPECT_EQ(b->y(), 323);
    }
    EXPECT_EQ(o->cb_wma->count(), 47);
    EXPECT_EQ(o->cb_wma->itemText(9), QStringLiteral("WMA9 44KHz, 128Kbps, Stereo, CBR"));
    for (QComboBox *list : o->findChildren<QComboBox *>())
        EXPECT_FALSE(list->isEditable()) << list->objectName().toStdString();

    // A click on a node chooses its page; keys only move the selection.
    show(o);
    QTreeWidgetItem *wav = o->tv->topLevelItem(4)->child(2);
    const QRect r = o->tv->visualItemRect(wav);
    QTest::mouseClick(o->tv->viewport(), Qt::LeftButton, {}, r.center());
    QTest::qWait(20);
    EXPECT_EQ(o->current_page(), 7);
    QTest::keyClick(o->tv, Qt::Key_Down);
    QTest::qWait(20);
    EXPECT_EQ(o->current_page(), 7);
    o->hide();
    show(o); // every showing starts on Recording Source
    EXPECT_EQ(o->current_page(), 0);
    o->hide();
}

TEST_F(Options, WithNoFileTheDialogShowsWhatRecordingUses)
{
    AppHarness app;
    Tfm_option *o = app.option;
    show(o);
    EXPECT_EQ(o->current_page(), 0);
    EXPECT_TRUE(o->rb_disable->isChecked());
    EXPECT_FALSE(o->dtp_date->isEnabled());
    EXPECT_EQ(o->dtp_date->date(), QDate::currentDate());
    EXPECT_EQ(o->dtp_begintime->time().hour(), QTime::currentTime().hour());
    EXPECT_FALSE(o->cb_limit->isChecked());
    EXPECT_EQ(o->edt_timelimit->text(), QStringLiteral("180"));
    EXPECT_FALSE(o->edt_timelimit->isEnabled());
    EXPECT_FALSE(o->cb_stop->isChecked() || o->cb_new->isChecked());
    EXPECT_TRUE(o->rb_datename->isChecked());
    EXPECT_TRUE(o->cb_format->isEnabled());
    EXPECT_EQ(o->cb_format->currentText(), QStringLiteral("MP3"));
    EXPECT_EQ(o->edt_dir->text(), Tfm_main::default_output_folder());
    EXPECT_EQ(o->cb_mp3_bitrate->currentText(), QStringLiteral("128 Kbps"));
    EXPECT_EQ(o->cb_mp3_channel->currentText(), QStringLiteral("Stereo"));
    EXPECT_EQ(o->cb_mp3_frequency->currentText(), QStringLiteral("44100 Hz"));
    EXPECT_EQ(o->ud_mp3_quality->value(), 9);
    EXPECT_EQ(o->edt_mp3_quality->text(), QStringLiteral("9"));
    EXPECT_FALSE(o->cb_vbr->isChecked());
    EXPECT_FALSE(o->cb_mp3_vbr->isEnabled());
    EXPECT_EQ(o->cb_wma->currentIndex(), 9);
    EXPECT_TRUE(o->rb_cdquality->isChecked());
    EXPECT_FALSE(o->cb_wav_frequency->isEnabled());
    EXPECT_EQ(o->cb_wav_bit->currentText(), QStringLiteral("16 bps"));
    EXPECT_FALSE(o->cb_ogg_quality->isChecked());
    EXPECT_FALSE(o->ud_ogg_quality->isEnabled());
    EXPECT_EQ(o->ud_ogg_quality->value(), 300);
    EXPECT_EQ(o->cb_ogg_minbit->currentIndex(), 11);
    o->hide();
}

// For every key the dialog writes: "Ok" on a fresh file stores what the
// program already used with nothing stored.
class UntouchedOk : public Options, public ::testing::WithParamInterface<const keys::Key *>
{
};

TEST_P(UntouchedOk, StoresWhatTheProgramUsedWithNothingStored)
{
    const keys::Key &key = *GetParam();
    AppHarness app;
    const SettingsFile &f = *app.main->settings_file;
    const QDateTime now = QDateTime::currentDateTime();
    const auto value = [&](const SettingsFile &s) -> QVariant {
        switch (key.kind) {
        case keys::Kind::integer:
            return s.integer(key);
        case keys::Kind::boolean:
            return s.boolean(key);
        case keys::Kind::text:
            return s.text(key);
        case keys::Kind::date:
            return s.date(key, now.date());
        case keys::Kind::time:
            return s.time(key, now.time()).msecsSinceStartOfDay();
        }
        return {};
    };
    const QVariant before = value(f);
    ASSERT_FALSE(f.stored(key));
    show(app.option);
    app.option->btn_ok->click();
    EXPECT_TRUE(f.stored(key));
    if (key.kind == keys::Kind::time) // stored to the second, a moment later
        EXPECT_NEAR(value(f).toInt(), before.toInt(), 3000);
    else
        EXPECT_EQ(value(f), before);
}

std::vector<const keys::Key *> dialog_keys()
{
    std::vector<const keys::Key *> out;
    // The source keys name what the server has; they follow the device list, not a default.
    for (const keys::Key *k : keys::all)
        if (k->dialog && std::string_view(k->section) != "source")
            out.push_back(k);
    return out;
}

INSTANTIATE_TEST_SUITE_P(Keys, UntouchedOk, ::testing::ValuesIn(dialog_keys()),
                         [](const auto &info) {
                             std::string name =
                                 std::string(info.param->section) + "_" + info.param->name;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

TEST_F(Options, OkOnAFreshFileThenRecordNamesTheFileByDateInTheMusicFolder)
{
    AppHarness app;
    show(app.option);
    app.option->btn_ok->click();
    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    EXPECT_EQ(app.dialogs->count(QStringLiteral("save")), 0);
    app.push_seconds(0.5);
    app.settle();
    app.click(QStringLiteral("Stop"));
    const QString file = app.list->path_of(0);
    EXPECT_EQ(file, QDir(Tfm_main::default_output_folder())
                        .filePath(QStringLiteral("2026-12-08_10;00;00.mp3")));
    EXPECT_TRUE(QFile::exists(file));
    QFile::remove(file);
}

TEST_F(Options, AFileOfNonDefaultValuesSurvivesShowAndOkKeyByKey)
{
    store_non_defaults();
    AppHarness app;
    const QString day = read_setting(QStringLiteral("schedule"), QStringLiteral("special day"));
    const QString begin = read_setting(QStringLiteral("schedule"), QStringLiteral("begin time"));
    show(app.option);
    app.option->btn_ok->click();
    EXPECT_FALSE(app.option->isVisible());
    for (const Key &k : non_default_keys())
        EXPECT_EQ(read_setting(QString::fromLatin1(k.section), QString::fromLatin1(k.key)),
                  QString::fromLatin1(k.stored))
            << k.section << "/" << k.key;
    EXPECT_EQ(read_setting(QStringLiteral("schedule"), QStringLiteral("special day")), day);
    EXPECT_EQ(read_setting(QStringLiteral("schedule"), QStringLiteral("begin time")), begin);
    EXPECT_TRUE(app.main->Timer.isActive());
}

TEST_F(Options, DefaultAndOkWriteTheDefaultsAndKeepFolderLimitAndSchedule)
{
    store_non_defaults();
    AppHarness app;
    const QString day = read_setting(QStringLiteral("schedule"), QStringLiteral("special day"));
    const QString end = read_setting(QStringLiteral("schedule"), QStringLiteral("end time"));
    show(app.option);
    app.option->btn_defaultClick();
    EXPECT_FALSE(app.option->cb_ogg_minbit->isEnabled());
    EXPECT_FALSE(app.option->cb_ogg_maxbit->isEnabled());
    app.option->btn_ok->click();
    for (const Key &k : non_default_keys()) {
        const QString expected = QString::fromLatin1(*k.after_default ? k.after_default : k.stored);
        EXPECT_EQ(read_setting(QString::fromLatin1(k.section), QString::fromLatin1(k.key)),
                  expected)
            << k.section << "/" << k.key;
    }
    EXPECT_EQ(read_setting(QStringLiteral("schedule"), QStringLiteral("special day")), day);
    EXPECT_EQ(read_setting(QStringLiteral("schedule"), QStringLiteral("end time")), end);
    EXPECT_FALSE(app.main->Timer.isActive());
    // Nothing enables the OGG bit-rate bounds again.
    show(app.option);
    EXPECT_FALSE(app.option->cb_ogg_minbit->isEnabled());
    app.option->hide();
}

// ---- the enabling rules, one row each ----

struct Rule {
    const char *name;
    std::function<void(Tfm_option *)> act;
    std::function<void(Tfm_option *)> check;
};

class EnablingRules : public Options, public ::testing::WithParamInterface<Rule>
{
};

TEST_P(EnablingRules, FollowTheClick)
{
    AppHarness app;
    show(app.option);
    GetParam().act(app.option);
    GetParam().check(app.option);
    app.option->hide();
}

INSTANTIATE_TEST_SUITE_P(
    Table, EnablingRules,
    ::testing::Values(
        Rule{"ScheduleDayEnablesAllPickers", [](Tfm_option *o) { o->rb_day->click(); },
             [](Tfm_option *o) {
                 EXPECT_TRUE(o->dtp_date->isEnabled() && o->dtp_begintime->isEnabled() &&
                             o->dtp_endtime->isEnabled());
             }},
        Rule{"ScheduleDisableDisablesThem",
             [](Tfm_option *o) {
                 o->rb_special->click();
                 o->rb_disable->click();
             },
             [](Tfm_option *o) {
                 EXPECT_FALSE(o->dtp_date->isEnabled() || o->dtp_begintime->isEnabled() ||
                              o->dtp_endtime->isEnabled());
             }},
        Rule{"LimitEnablesItsControls", [](Tfm_option *o) { o->cb_limit->click(); },
             [](Tfm_option *o) {
                 EXPECT_TRUE(o->edt_timelimit->isEnabled() && o->cb_stop->isEnabled() &&
                             o->cb_new->isEnabled());
             }},
        Rule{
            "StopUnticksNew",
            [](Tfm_option *o) {
                o->cb_limit->click();
                o->cb_new->click();
                o->cb_stop->click();
            },
            [](Tfm_option *o) { EXPECT_TRUE(o->cb_stop->isChecked() && !o->cb_new->isChecked()); }},
        Rule{
            "NewUnticksStopAndUntickingLeavesTheOther",
            [](Tfm_option *o) {
                o->cb_limit->click();
                o->cb_stop->click();
                o->cb_new->click();
                o->cb_new->click();
            },
            [](Tfm_option *o) { EXPECT_FALSE(o->cb_stop->isChecked() || o->cb_new->isChecked()); }},
        Rule{"DateNameEnablesTheFormatList", [](Tfm_option *o) { o->rb_datename->click(); },
             [](Tfm_option *o) { EXPECT_TRUE(o->cb_format->isEnabled()); }},
        Rule{"CustomNameDisablesIt",
             [](Tfm_option *o) {
                 o->rb_datename->click();
                 o->rb_customname->click();
             },
             [](Tfm_option *o) { EXPECT_FALSE(o->cb_format->isEnabled()); }},
        Rule{"VbrEnablesItsControls", [](Tfm_option *o) { o->cb_vbr->click(); },
             [](Tfm_option *o) {
                 EXPECT_TRUE(o->ud_mp3_vbr->isEnabled() && o->cb_mp3_vbr->isEnabled() &&
                             o->edt_mp3_vbr->isEnabled());
             }},
        Rule{"CustomWavEnablesTheLists", [](Tfm_option *o) { o->rb_custom->click(); },
             [](Tfm_option *o) {
                 EXPECT_TRUE(o->cb_wav_frequency->isEnabled() && o->cb_wav_bit->isEnabled() &&
                             o->cb_wav_channel->isEnabled());
             }},
        Rule{"CdQualityDisablesThem",
             [](Tfm_option *o) {
                 o->rb_custom->click();
                 o->rb_cdquality->click();
             },
             [](Tfm_option *o) {
                 EXPECT_FALSE(o->cb_wav_frequency->isEnabled() || o->cb_wav_bit->isEnabled() ||
                              o->cb_wav_channel->isEnabled());
             }},
        Rule{"OggQualityLeavesTheBitRateBoundsAlone",
             [](Tfm_option *o) { o->cb_ogg_quality->click(); },
             [](Tfm_option *o) {
                 EXPECT_TRUE(o->ud_ogg_quality->isEnabled() && o->edt_ogg_quality->isEnabled());
                 EXPECT_TRUE(o->cb_ogg_minbit->isEnabled() && o->cb_ogg_maxbit->isEnabled());
             }}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(Options, ProgramSetTicksRunTheirHandlers)
{
    put_setting(QStringLiteral("limit"), QStringLiteral("stop"), QStringLiteral("1"));
    put_setting(QStringLiteral("limit"), QStringLiteral("new"), QStringLiteral("1"));
    put_setting(QStringLiteral("schedule"), QStringLiteral("schedule"), QStringLiteral("1"));
    AppHarness app;
    Tfm_option *o = app.option;
    show(o);
    EXPECT_FALSE(o->cb_stop->isChecked());
    EXPECT_TRUE(o->cb_new->isChecked());
    EXPECT_TRUE(o->rb_day->isChecked());
    EXPECT_FALSE(o->dtp_date->isEnabled());
    EXPECT_TRUE(o->dtp_begintime->isEnabled());
    o->rb_week->click();
    o->rb_day->click();
    EXPECT_TRUE(o->dtp_date->isEnabled());
    o->hide();
}

TEST_F(Options, TimesAreValidatedAgainstTheLastAcceptedOnes)
{
    {
        // A known start: with nothing stored both times would be the clock's, and
        // the first change below would be refused late in the evening.
        SettingsFile f(QStringLiteral("velquor.ini"));
        f.write_time(QStringLiteral("schedule"), QStringLiteral("begin time"), QTime(12, 0));
        f.write_time(QStringLiteral("schedule"), QStringLiteral("end time"), QTime(12, 0));
    }
    AppHarness app;
    Tfm_option *o = app.option;
    show(o);
    o->dtp_endtime->setTime(QTime(23, 0, 0));
    o->dtp_begintime->setTime(QTime(10, 0, 0));
    ASSERT_EQ(app.dialogs->count(QStringLiteral("information")), 0);
    o->dtp_begintime->setTime(QTime(23, 30, 0));
    ASSERT_EQ(app.dialogs->count(QStringLiteral("information")), 1);
    EXPECT_EQ(app.dialogs->shown.back().text,
              QStringLiteral("Begin time must be smaller than end time."));
    EXPECT_EQ(o->dtp_begintime->time(), QTime(10, 0, 0));
    o->dtp_endtime->setTime(QTime(9, 0, 0));
    ASSERT_EQ(app.dialogs->count(QStringLiteral("information")), 2);
    EXPECT_EQ(app.dialogs->shown.back().text,
              QStringLiteral("End time must be larger than begin time."));
    EXPECT_EQ(o->dtp_endtime->time(), QTime(23, 0, 0));
    o->dtp_endtime->setTime(QTime(10, 0, 0)); // equal times are fine
    o->dtp_begintime->setTime(QTime(10, 0, 0));
    EXPECT_EQ(app.dialogs->count(QStringLiteral("information")), 2);
    EXPECT_EQ(o->accepted_end_time.time(), QTime(10, 0, 0));
    o->hide();
}

TEST_F(Options, NumericEditsTakeDigitsAndKeepTheirRules)
{
    AppHarness app;
    Tfm_option *o = app.option;
    show(o);
    o->cb_ogg_quality->click();
    o->edt_ogg_quality->clear();
    EXPECT_EQ(o->ud_ogg_quality->value(), 0);
    o->edt_ogg_qualityExit();
    EXPECT_EQ(o->edt_ogg_quality->text(), QStringLiteral("0"));
    o->edt_ogg_quality->clear();
    QTest::keyClicks(o->edt_ogg_quality, QStringLiteral("2x5-0 0"));
    EXPECT_EQ(o->ud_ogg_quality->value(), 1000);
    EXPECT_EQ(o->edt_ogg_quality->text(), QStringLiteral("1,000"));
    o->ud_ogg_quality->setValue(450);
    EXPECT_EQ(o->edt_ogg_quality->text(), QStringLiteral("450"));

    o->cb_limit->click();
    o->edt_timelimit->clear();
    QTest::keyClicks(o->edt_timelimit, QStringLiteral("1a2."));
    EXPECT_EQ(o->edt_timelimit->text(), QStringLiteral("12"));
    o->edt_timelimit->clear();
    o->edt_timelimitExit();
    EXPECT_EQ(o->edt_timelimit->text(), QStringLiteral("1"));
    o->edt_mp3_quality->selectAll();
    QTest::keyClicks(o->edt_mp3_quality, QStringLiteral("4"));
    EXPECT_EQ(o->ud_mp3_quality->value(), 4);
    o->hide();
}

TEST_F(Options, ATimeLimitBeyond32BitsIsRefusedAndNothingIsWritten)
{
    put_setting(QStringLiteral("limit"), QStringLiteral("time"), QStringLiteral("60"));
    AppHarness app;
    const QByteArray before = ini_bytes();
    show(app.option);
    app.option->edt_timelimit->setText(QStringLiteral("2147483648"));
    app.option->btn_ok->click();
    EXPECT_TRUE(app.option->isVisible());
    EXPECT_EQ(app.dialogs->count(QStringLiteral("information")), 1);
    EXPECT_EQ(app.dialogs->count(QStringLiteral("question")), 0);
    EXPECT_EQ(ini_bytes(), before);
    app.option->edt_timelimit->setText(QStringLiteral("0"));
    app.option->btn_ok->click();
    EXPECT_FALSE(app.option->isVisible());
    EXPECT_EQ(read_setting(QStringLiteral("limit"), QStringLiteral("time")), QStringLiteral("0"));
}

TEST_F(Options, ARefusedWriteLeavesTheOldFileWholeAndTheDialogOpen)
{
    store_non_defaults();
    // Enough old lines that the new file cannot be written whole under the limit.
    for (int i = 0; i < 40; ++i)
        put_setting(QStringLiteral("padding"), QStringLiteral("key %1").arg(i), QString(20, 'x'));
    AppHarness app;
    const QByteArray before = ini_bytes();
    show(app.option);
    app.option->btn_defaultClick();
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto old_handler = signal(SIGXFSZ, SIG_IGN);
    rlimit small{static_cast<rlim_t>(before.size() / 2), old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    app.option->btn_ok->click();
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, old_handler);
    EXPECT_TRUE(app.option->isVisible());
    ASSERT_EQ(app.dialogs->count(QStringLiteral("box")), 1);
    EXPECT_EQ(app.dialogs->shown.back().text, QStringLiteral("Unable to write to velquor.ini"));
    EXPECT_EQ(ini_bytes(), before);
    EXPECT_TRUE(app.main->Timer.isActive()) << "the schedule switch waits for the write";
    app.option->hide();
}

TEST_F(Options, StoredModesOutsideTheirRangesAreLeftAsTheyAre)
{
    put_setting(QStringLiteral("wav"), QStringLiteral("mode"), QStringLiteral("5"));
    put_setting(QStringLiteral("schedule"), QStringLiteral("schedule"), QStringLiteral("7"));
    AppHarness app;
    app.main->Timer.stop();
    show(app.option);
    for (QRadioButton *b : {app.option->rb_cdquality, app.option->rb_custom, app.option->rb_disable,
                            app.option->rb_day, app.option->rb_week, app.option->rb_special})
        EXPECT_FALSE(b->isChecked()) << b->text().toStdString();
    EXPECT_FALSE(app.option->cb_wav_bit->isEnabled());
    app.option->btn_ok->click();
    EXPECT_EQ(read_setting(QStringLiteral("wav"), QStringLiteral("mode")), QStringLiteral("5"));
    EXPECT_EQ(read_setting(QStringLiteral("schedule"), QStringLiteral("schedule")),
              QStringLiteral("7"));
    EXPECT_TRUE(app.main->Timer.isActive());
}

TEST_F(Options, BrowseTakesTheChosenFolderAndIgnoresAnEmptyResult)
{
    const QString music = QDir::home().filePath(QStringLiteral("Music"));
    QDir().mkpath(music);
    AppHarness app;
    show(app.option);
    const QString before = app.option->edt_dir->text();
    QTimer::singleShot(0, app.dir, [&] { app.dir->btn_cancel->click(); });
    app.option->btn_browse->click();
    EXPECT_EQ(app.option->edt_dir->text(), before);
    QTimer::singleShot(0, app.dir, [&] {
        EXPECT_TRUE(app.dir->select_folder(music));
        app.dir->btn_ok->click();
    });
    app.option->btn_browse->click();
    EXPECT_EQ(app.option->edt_dir->text(), music);
    app.option->hide();
}

TEST_F(Options, TheFolderChooserStartsAtHomeAndKeepsItsSelection)
{
    QDir().mkpath(QDir::home().filePath(QStringLiteral("Music")));
    QDir().mkpath(QDir::home().filePath(QStringLiteral("Alpha")));
    Tfm_dir chooser;
    EXPECT_EQ(chooser.windowTitle(), QStringLiteral("Output Directory"));
    EXPECT_EQ(chooser.size(), QSize(302, 284));
    QTimer::singleShot(0, &chooser, [&] { chooser.btn_ok->click(); });
    chooser.exec();
    EXPECT_EQ(chooser.chosen_folder, QDir::homePath());
    // Music leads the home folder's children; the root is beside home.
    QAbstractItemModel *model = chooser.stview_selectdir->model();
    const QModelIndex home = model->index(0, 0);
    EXPECT_EQ(model->index(0, 0, home).data().toString(), QStringLiteral("Music"));
    EXPECT_EQ(model->index(1, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("/"));
    EXPECT_FALSE(model->index(0, 0).data(Qt::DecorationRole).isNull());

    const QModelIndex alpha = model->index(1, 0, home);
    QTest::mouseClick(chooser.stview_selectdir->viewport(), Qt::RightButton, {},
                      chooser.stview_selectdir->visualRect(alpha).center());
    EXPECT_EQ(chooser.selected_folder(), QDir::home().filePath(QStringLiteral("Alpha")));
    QTimer::singleShot(0, &chooser, [&] { chooser.close(); });
    chooser.exec();
    EXPECT_TRUE(chooser.chosen_folder.isEmpty());
    EXPECT_EQ(chooser.selected_folder(), QDir::home().filePath(QStringLiteral("Alpha")));
}

// ---- devices, lines and volume ----

TEST_F(Options, DevicesAreFoundByNameAndTheEngineFollowsAtOnce)
{
    AppOptions options;
    options.devices = {device("Card A", {"A mic", "A monitor"}),
                       device("Card B", {"B in", "B mon"})};
    {
        AppHarness first(options);
        show(first.option);
        first.option->cb_source->setCurrentIndex(1);
        first.option->cb_sourceChange();
        EXPECT_EQ(first.main->AudioRecord->DeviceIndex(), 1);
        first.option->cb_device->setCurrentIndex(0);
        first.option->cb_deviceChange();
        first.option->tb_volume->setValue(1234);
        EXPECT_EQ(first.capture->volumes[QStringLiteral("B mon.src")], 1234);
        first.option->btn_ok->click();
        EXPECT_EQ(read_setting(QStringLiteral("source"), QStringLiteral("device name")),
                  QStringLiteral("card_b"));
        EXPECT_EQ(first.capture->selected.back().name, QStringLiteral("B mon"));
    }
    // Card B moved to the front and a new card came after it.
    options.devices = {device("Card B", {"B in", "B mon"}),
                       device("Card A", {"A mic", "A monitor"})};
    AppHarness again(options);
    EXPECT_EQ(again.option->cb_source->currentText(), QStringLiteral("Card B"));
    EXPECT_EQ(again.option->cb_device->currentText(), QStringLiteral("B mon"));
    EXPECT_EQ(again.capture->selected.back().name, QStringLiteral("B mon"));

    // A device plugged in while the program runs, before the chosen one.
    again.capture->device_list.insert(again.capture->device_list.begin(),
                                      device("USB Mic", {"USB in"}));
    ASSERT_TRUE(again.capture->devices_changed);
    again.capture->devices_changed();
    for (int i = 0; i < 100 && again.option->cb_source->count() < 3; ++i)
        QTest::qWait(10);
    ASSERT_EQ(again.option->cb_source->count(), 3);
    EXPECT_EQ(again.option->cb_source->itemText(0), QStringLiteral("USB Mic"));
    EXPECT_EQ(again.option->cb_source->currentText(), QStringLiteral("Card B"));
    EXPECT_EQ(again.main->AudioRecord->DeviceIndex(), 1);
    EXPECT_EQ(again.option->cb_device->currentText(), QStringLiteral("B mon"));
}

TEST_F(Options, WithNothingStoredStartUpTakesTheServersDefaultSource)
{
    AppOptions options;
    options.devices = {device("Headphones", {"H mic"}), device("Card B", {"B in", "B mon"})};
    options.default_source = QStringLiteral("B in.src");
    AppHarness app(options);
    EXPECT_EQ(app.option->cb_source->currentText(), QStringLiteral("Card B"));
    EXPECT_EQ(app.option->cb_device->currentText(), QStringLiteral("B in"));
    EXPECT_EQ(app.capture->selected.back().name, QStringLiteral("B in"));
}

TEST_F(Options, CancelKeepsTheNewDeviceAndVolumeInTheEngine)
{
    AppOptions options;
    options.devices = {device("Card A", {"A in"}), device("Card B", {"B in"})};
    AppHarness app(options);
    show(app.option);
    app.option->cb_source->setCurrentIndex(1);
    app.option->cb_sourceChange();
    app.option->tb_volume->setValue(777);
    app.option->btn_cancel->click();
    EXPECT_FALSE(app.option->isVisible());
    EXPECT_EQ(app.main->AudioRecord->DeviceIndex(), 1);
    EXPECT_EQ(app.capture->volumes[QStringLiteral("B in.src")], 777);
    EXPECT_EQ(read_setting(QStringLiteral("source"), QStringLiteral("source")),
              QStringLiteral("<missing>"));
    show(app.option); // the page keeps what the user left
    EXPECT_EQ(app.option->cb_source->currentIndex(), 1);
    EXPECT_EQ(app.option->tb_volume->value(), 777);
    app.option->hide();
}

TEST_F(Options, LinksAreHandedToTheDesktop)
{
    AppHarness app;
    std::vector<QUrl> opened;
    OptionContext context;
    context.open_url = [&](const QUrl &u) { opened.push_back(u); };
    app.option->set_context(context);
    app.option->lbl_emailClick();
    app.option->lbl_webClick();
    app.option->Label50Click();
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0].scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(opened[1].toString(), Tfm_option::web_address);
    EXPECT_TRUE(opened[2].toString().endsWith(QStringLiteral("wmfdist.exe")));
}

TEST_F(Options, ChoicesMadeInTheDialogRuleTheNextRecording)
{
    QTemporaryDir out;
    AppHarness app;
    Tfm_option *o = app.option;
    show(o);
    o->rb_datename->click();
    o->cb_format->setCurrentIndex(3);
    o->cb_ogg_fre->setCurrentIndex(8);
    QTimer::singleShot(0, app.dir, [&] {
        EXPECT_TRUE(app.dir->select_folder(out.path()));
        app.dir->btn_ok->click();
    });
    o->btn_browse->click();
    o->cb_limit->click();
    o->edt_timelimit->setText(QStringLiteral("10"));
    o->cb_new->click();
    o->btn_ok->click();
    ASSERT_FALSE(o->isVisible());

    app.click(QStringLiteral("Record"));
    ASSERT_TRUE(app.main->recording);
    ASSERT_FALSE(app.capture->starts.empty());
    EXPECT_EQ(app.capture->starts.back().rate, 48000u);
    EXPECT_TRUE(app.main->recording_file().startsWith(out.path()));
    EXPECT_TRUE(app.main->recording_file().endsWith(QStringLiteral(".ogg")));
    for (int i = 0; i < 11; ++i) {
        app.push_seconds(1.0);
        app.settle();
    }
    // The roll-over keeps the stream and goes on in a second file.
    EXPECT_EQ(QDir(out.path()).entryList({QStringLiteral("*.ogg")}, QDir::Files).size(), 2)
        << "a new file every 10 seconds";
    app.click(QStringLiteral("Stop"));
    EXPECT_EQ(QDir(out.path()).entryList({QStringLiteral("*.ogg")}, QDir::Files).size(), 2);
}
