#include "settings_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

const QString ini_name = QStringLiteral("velquor.ini");

class SettingsFileTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    SettingsFile open(const char *locale = "en_US")
    {
        return SettingsFile(ini_name, dir.path(), QLocale(QString::fromLatin1(locale)));
    }
    void put(const QByteArray &bytes)
    {
        QFile f(dir.filePath(ini_name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

TEST_F(SettingsFileTest, IntegersFollowTheStoredTextRules)
{
    put("[n]\nhex=0x10\nHEX2=0XfF\nneg=-42\nspaced=  7  \nword=abc\nhalf=12abc\nbig=99999999999\n"
        "bare0x=0x\nwrapped=0xFFFFFFFF\ntoolong=0x100000000\nempty=\nplus=+5\n");
    SettingsFile s = open();
    const QString n = QStringLiteral("n");
    EXPECT_EQ(s.read_integer(n, QStringLiteral("hex"), -1), 16);
    EXPECT_EQ(s.read_integer(n, QStringLiteral("hex2"), -1), 255);
    EXPECT_EQ(s.read_integer(n, QStringLiteral("neg"), 0), -42);
    EXPECT_EQ(s.read_integer(n, QStringLiteral("spaced"), 0), 7);
    EXPECT_EQ(s.read_integer(n, QStringLiteral("word"), 9), 9);
    EXPECT_EQ(s.read_integer(n, QStringLiteral("half"), 9), 9);
    EXPECT_EQ(s.read_integer(n, QStringLiteral("big"), 9), 9);
    EXPECT_EQ(s.read_integer(n, QStringLiteral("bare0x"), 9), 9);
    EXPECT_EQ(s.read_integer(n, QStringLiteral("wrapped"), 9), -1);
    EXPECT_EQ(s.read_integer(n, QStringLiteral("toolong"), 9), 9);
    EXPECT_EQ(s.read_integer(n, QStringLiteral("empty"), 9), 9);
    EXPECT_EQ(s.read_integer(n, QStringLiteral("plus"), 9), 5);
    EXPECT_EQ(s.read_integer(n, QStringLiteral("missing"), 123), 123);
}

TEST_F(SettingsFileTest, BooleansAreIntegers)
{
    put("[b]\none=1\ntwo=2\nzero=0\nword=true\nhex=0x0\n");
    SettingsFile s = open();
    const QString b = QStringLiteral("b");
    EXPECT_TRUE(s.read_bool(b, QStringLiteral("one"), false));
    EXPECT_TRUE(s.read_bool(b, QStringLiteral("two"), false));
    EXPECT_FALSE(s.read_bool(b, QStringLiteral("zero"), true));
    EXPECT_FALSE(s.read_bool(b, QStringLiteral("word"), false));
    EXPECT_TRUE(s.read_bool(b, QStringLiteral("word"), true));
    EXPECT_FALSE(s.read_bool(b, QStringLiteral("hex"), true));
    s.write_bool(b, QStringLiteral("w"), true);
    s.write_bool(b, QStringLiteral("x"), false);
    EXPECT_TRUE(s.read_bool(b, QStringLiteral("w"), false));
    EXPECT_EQ(s.read_string(b, QStringLiteral("w"), {}), QStringLiteral("1"));
    EXPECT_EQ(s.read_string(b, QStringLiteral("x"), {}), QStringLiteral("0"));
}

TEST_F(SettingsFileTest, NothingIsCachedBetweenObjects)
{
    SettingsFile a = open();
    SettingsFile b = open();
    a.write_integer(QStringLiteral("limit"), QStringLiteral("time"), 60);
    EXPECT_EQ(b.read_integer(QStringLiteral("limit"), QStringLiteral("time"), 180), 60);
    b.write_integer(QStringLiteral("LIMIT"), QStringLiteral("Time"), 90);
    EXPECT_EQ(a.read_integer(QStringLiteral("limit"), QStringLiteral("time"), 180), 90);
    EXPECT_EQ(
        a.read_string(QStringLiteral("x"), QStringLiteral("y"), QString(3000, QLatin1Char('d')))
            .size(),
        2047);
}

class DateRoundTrip : public SettingsFileTest, public ::testing::WithParamInterface<const char *>
{
};

TEST_P(DateRoundTrip, DatesAndTimesComeBackAsWritten)
{
    SettingsFile s = open(GetParam());
    const QString sec = QStringLiteral("schedule");
    for (const QDate d : {QDate::currentDate(), QDate(2026, 12, 8), QDate(1999, 1, 31),
                          QDate(2080, 2, 29), QDate(2024, 2, 29), QDate(1950, 6, 15)}) {
        s.write_date(sec, QStringLiteral("special day"), d);
        EXPECT_EQ(s.read_date(sec, QStringLiteral("special day"), QDate(2000, 1, 1)), d)
            << GetParam() << " wrote "
            << s.read_string(sec, QStringLiteral("special day"), {}).toStdString();
    }
    for (const QTime t :
         {QTime(0, 0, 0), QTime(10, 0, 0), QTime(12, 30, 5), QTime(23, 59, 59), QTime(13, 1, 2)}) {
        s.write_time(sec, QStringLiteral("begin time"), t);
        EXPECT_EQ(s.read_time(sec, QStringLiteral("begin time"), QTime(1, 1, 1)), t)
            << GetParam() << " wrote "
            << s.read_string(sec, QStringLiteral("begin time"), {}).toStdString();
    }
    EXPECT_FALSE(
        s.read_string(sec, QStringLiteral("begin time"), {}).contains(QLatin1String("UTC")));
}

INSTANTIATE_TEST_SUITE_P(Locales, DateRoundTrip,
                         ::testing::Values("en_US", "de_DE", "C", "en_GB", "fr_FR", "ja_JP",
                                           "ar_EG", "fa_IR", "ko_KR", "nl_NL", "ru_RU", "zh_CN"));

TEST_F(SettingsFileTest, TwoDigitYearsWrittenByHandLandNearToday)
{
    const int year = QDate::currentDate().year();
    const int yy = year % 100;
    put("[schedule]\nspecial day=12/8/" + QByteArray::number(yy).rightJustified(2, '0') + "\n");
    SettingsFile s = open("en_US");
    EXPECT_EQ(s.read_date(QStringLiteral("schedule"), QStringLiteral("special day"), {}),
              QDate(year, 12, 8));

    put("[schedule]\nspecial day=08.12." + QByteArray::number(yy).rightJustified(2, '0') + "\n");
    SettingsFile de = open("de_DE");
    EXPECT_EQ(de.read_date(QStringLiteral("schedule"), QStringLiteral("special day"), {}),
              QDate(year, 12, 8));
}

TEST_F(SettingsFileTest, UnreadableDatesAndTimesYieldTheDefault)
{
    put("[s]\nd=31/12/2026\nt=25:61:00\ne=\ng=\x01\x02\n");
    SettingsFile us = open("en_US"); // month first: the 31st month does not exist
    const QDate def_date(2001, 2, 3);
    const QTime def_time(4, 5, 6);
    EXPECT_EQ(us.read_date(QStringLiteral("s"), QStringLiteral("d"), def_date), def_date);
    EXPECT_EQ(us.read_time(QStringLiteral("s"), QStringLiteral("t"), def_time), def_time);
    EXPECT_EQ(us.read_date(QStringLiteral("s"), QStringLiteral("e"), def_date), def_date);
    EXPECT_EQ(us.read_date(QStringLiteral("s"), QStringLiteral("g"), def_date), def_date);
    EXPECT_EQ(us.read_time(QStringLiteral("s"), QStringLiteral("missing"), def_time), def_time);
}

TEST_F(SettingsFileTest, ABareNameLivesInTheConfigurationFolder)
{
    const QString folder = SettingsFile::default_folder();
    ASSERT_FALSE(folder.isEmpty());
    // The harness points XDG_CONFIG_HOME at a temporary folder: never the user's own settings.
    if (!qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME")) {
        EXPECT_EQ(folder, QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")));
    }
    SettingsFile s(ini_name);
    EXPECT_EQ(s.path(), folder + QStringLiteral("/velquor.ini"));
}

} // namespace

TEST_F(SettingsFileTest, ABatchIsOneReplacementThatReadsBackItsOwnWrites)
{
    put("; kept\n[limit]\ntime=5\n");
    SettingsFile s = open();
    s.begin_batch();
    s.write_integer(QStringLiteral("limit"), QStringLiteral("time"), 60);
    s.write_string(QStringLiteral("format"), QStringLiteral("path"), QStringLiteral(" a\nb "));
    s.write_integer(QStringLiteral("limit"), QStringLiteral("time"), 70);
    EXPECT_EQ(s.read_integer(QStringLiteral("LIMIT"), QStringLiteral("Time"), 0), 70);
    EXPECT_EQ(s.read_string(QStringLiteral("format"), QStringLiteral("path"), {}),
              QStringLiteral("a b"));
    SettingsFile other = open();
    EXPECT_EQ(other.read_integer(QStringLiteral("limit"), QStringLiteral("time"), 0), 5)
        << "nothing reaches the file before the commit";
    s.commit_batch();
    EXPECT_FALSE(s.in_batch());
    EXPECT_EQ(other.read_integer(QStringLiteral("limit"), QStringLiteral("time"), 0), 70);
    QFile f(dir.filePath(ini_name));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("; kept\n[limit]\ntime=70\n\n[format]\npath= a b \n"));
}

TEST_F(SettingsFileTest, AFailedOrDiscardedBatchLeavesTheFileAsItWas)
{
    put("[limit]\ntime=5\n");
    SettingsFile s = open();
    s.begin_batch();
    s.write_integer(QStringLiteral("limit"), QStringLiteral("time"), 60);
    s.discard_batch();
    EXPECT_EQ(s.read_integer(QStringLiteral("limit"), QStringLiteral("time"), 0), 5);

    // The folder goes away under the store: the rename cannot happen.
    SettingsFile gone(ini_name, dir.filePath(QStringLiteral("missing")), QLocale::c());
    gone.begin_batch();
    gone.write_integer(QStringLiteral("limit"), QStringLiteral("time"), 60);
    EXPECT_THROW(gone.commit_batch(), SettingsWriteError);
    EXPECT_FALSE(gone.in_batch());
    EXPECT_EQ(gone.read_integer(QStringLiteral("limit"), QStringLiteral("time"), 0), 0);
}
