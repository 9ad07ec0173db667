// The tag editor driven through its widgets: file mode on real files of every
// format, checked with mutagen and kid3-cli; files tagged by other programs;
// pending mode through a real recording; the "ID3" command and its placement.
#include "ID3.h"
#include "app_harness.h"
#include "recordlist.h"
#include "test_support.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace
{

const QString corpus = QStringLiteral(VELQUOR_SOURCE_DIR "/tests/corpus/");

struct Format {
    const char *extension;
    const char *corpus_file;
    int format_index; // in the output format list
};
const Format formats[] = {{"mp3", "tone8k.mp3", 0},
                          {"wma", "tone8k.wma", 1},
                          {"wav", "tone8k_mono.wav", 2},
                          {"ogg", "tone8k.ogg", 3}};

bool have(const char *tool)
{
    return !QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty();
}

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000))
        return {};
    EXPECT_EQ(p.exitCode(), 0) << program.toStdString() << " "
                               << args.join(QLatin1Char(' ')).toStdString() << ": "
                               << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The seven fields as mutagen reads them, with "keys": every frame present.
QJsonObject mutagen_tags(const QString &path)
{
    const QString out = run(QStringLiteral("/usr/bin/python3"),
                            {QStringLiteral(VELQUOR_SOURCE_DIR "/tests/app/tag_dump.py"), path});
    return QJsonDocument::fromJson(out.toUtf8()).object();
}

// One field as kid3-cli shows it (its main tag: ID3v2, ASF, Vorbis).
QString kid3(const QString &path, const char *frame)
{
    return run(QStringLiteral("kid3-cli"),
               {QStringLiteral("-c"), QStringLiteral("get '%1'").arg(QLatin1String(frame)), path})
        .trimmed();
}

QByteArray bytes_of(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs `act` while the editor is open, then makes sure it is closed, so a
// failing check never leaves a modal loop running.
void while_open(Tfm_id3 *dialog, const std::function<void()> &open,
                const std::function<void()> &act)
{
    bool acted = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, dialog, [&] {
        if (!dialog->isVisible() || acted)
            return;
        acted = true;
        act();
        if (dialog->isVisible())
            dialog->reject();
    });
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, dialog, [&] { dialog->reject(); });
    poll.start();
    bound.start(20000);
    open();
    EXPECT_TRUE(acted) << "the editor did not open";
}

struct Fields {
    QString title, artist, album, year, track, genre, comment;
};

Fields shown(const Tfm_id3 *d)
{
    return {d->edt_title->text(),  d->edt_artist->text(), d->edt_album->text(),
            d->edt_year->text(),   d->edt_track->text(),  d->cb_genre->currentText(),
            d->edt_comment->text()};
}

// Typed key by key, the way a keyboard layout delivers non-ASCII letters.
void type_text(QWidget *box, const QString &text)
{
    for (const QChar ch : text) {
        if (ch.unicode() < 0x80) {
            QTest::keyClick(box, static_cast<char>(ch.unicode()));
        } else {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(box, &press);
            QApplication::sendEvent(box, &release);
        }
    }
}

void type_into(QLineEdit *box, const QString &text)
{
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    type_text(box, text);
}

class Editor : public ::testing::TestWithParam<Format>
{
protected:
    QTemporaryDir folder;
    std::unique_ptr<AppHarness> app;
    void SetUp() override
    {
        reset_settings();
        put_setting(QStringLiteral("format"), QStringLiteral("path"), folder.path());
        put_setting(QStringLiteral("format"), QStringLiteral("format"),
                    QString::number(GetParam().format_index));
        app = std::make_unique<AppHarness>();
    }
    QString copy_of_corpus(const QString &name = QStringLiteral("take"))
    {
        const QString path =
            folder.filePath(name + QLatin1Char('.') + QLatin1String(GetParam().extension));
        QFile::remove(path);
        if (QLatin1String(GetParam().extension) == QLatin1String("ogg")) {
            // kid3-cli shows no tags of 8000 Hz OGG files, whoever wrote them.
            run(QStringLiteral("sox"),
                {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                 QStringLiteral("-c"), QStringLiteral("1"), path, QStringLiteral("synth"),
                 QStringLiteral("1"), QStringLiteral("sine"), QStringLiteral("440")});
            return path;
        }
        EXPECT_TRUE(QFile::copy(corpus + QLatin1String(GetParam().corpus_file), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }
    void open_file(const QString &path, const std::function<void()> &act)
    {
        app->id3->target_path = path;
        while_open(
            app->id3, [&] { app->id3->exec(); }, act);
    }
};

TEST_P(Editor, FileModeWritesUnicodeThatOtherReadersSeeAndResetRereads)
{
    const QString path = copy_of_corpus();
    Tfm_id3 *d = app->id3;
    open_file(path, [&] {
        EXPECT_EQ(d->is_wma, QLatin1String(GetParam().extension) == QLatin1String("wma"));
        type_into(d->edt_title, QStringLiteral("Títle"));
        type_into(d->edt_artist, QStringLiteral("Ärtist Ω"));
        type_into(d->edt_album, QStringLiteral("Albüm 日本"));
        type_into(d->edt_year, QStringLiteral("1999"));
        type_into(d->edt_track, QStringLiteral("7"));
        d->cb_genre->setCurrentIndex(17);
        type_into(d->edt_comment, QStringLiteral("Cömment"));
        QTest::mouseClick(d->btn_ok, Qt::LeftButton);
        EXPECT_FALSE(d->isVisible());
    });
    EXPECT_EQ(app->dialogs->shown.size(), 0u);

    const QJsonObject m = mutagen_tags(path);
    EXPECT_EQ(m[QStringLiteral("title")].toString(), QStringLiteral("Títle"));
    EXPECT_EQ(m[QStringLiteral("artist")].toString(), QStringLiteral("Ärtist Ω"));
    EXPECT_EQ(m[QStringLiteral("album")].toString(), QStringLiteral("Albüm 日本"));
    EXPECT_EQ(m[QStringLiteral("year")].toString(), QStringLiteral("1999"));
    EXPECT_EQ(m[QStringLiteral("track")].toString(), QStringLiteral("7"));
    EXPECT_EQ(m[QStringLiteral("genre")].toString(), QStringLiteral("Rock"));
    EXPECT_EQ(m[QStringLiteral("comment")].toString(), QStringLiteral("Cömment"));
    if (have("kid3-cli")) {
        EXPECT_EQ(kid3(path, "title"), QStringLiteral("Títle"));
        EXPECT_EQ(kid3(path, "artist"), QStringLiteral("Ärtist Ω"));
        EXPECT_EQ(kid3(path, "album"), QStringLiteral("Albüm 日本"));
        EXPECT_EQ(kid3(path, "date"), QStringLiteral("1999"));
        EXPECT_EQ(kid3(path, "track number"), QStringLiteral("7"));
        EXPECT_EQ(kid3(path, "genre"), QStringLiteral("Rock"));
        EXPECT_EQ(kid3(path, "comment"), QStringLiteral("Cömment"));
    }

    // Opening again shows what was stored; Reset throws edits away.
    open_file(path, [&] {
        const Fields f = shown(d);
        EXPECT_EQ(f.title, QStringLiteral("Títle"));
        EXPECT_EQ(f.genre, QStringLiteral("Rock"));
        EXPECT_EQ(f.year, QStringLiteral("1999"));
        type_into(d->edt_title, QStringLiteral("changed"));
        d->cb_genre->setCurrentIndex(3);
        QTest::mouseClick(d->btn_reset, Qt::LeftButton);
        EXPECT_EQ(d->edt_title->text(), QStringLiteral("Títle"));
        EXPECT_EQ(d->cb_genre->currentText(), QStringLiteral("Rock"));
        type_into(d->edt_title, QStringLiteral("not kept"));
        QTest::mouseClick(d->btn_cancel, Qt::LeftButton);
    });
    EXPECT_EQ(mutagen_tags(path)[QStringLiteral("title")].toString(), QStringLiteral("Títle"));
}

TEST_P(Editor, EmptyOrPastedNonNumericYearAndTrackKeepTheFilesValues)
{
    const QString path = copy_of_corpus();
    Tfm_id3 *d = app->id3;
    open_file(path, [&] {
        type_into(d->edt_year, QStringLiteral("2004"));
        type_into(d->edt_track, QStringLiteral("12"));
        QTest::mouseClick(d->btn_ok, Qt::LeftButton);
    });
    open_file(path, [&] {
        d->edt_year->clear();
        d->edt_track->setText(QStringLiteral("x9")); // as a paste would put it there
        type_into(d->edt_title, QStringLiteral("only this"));
        QTest::mouseClick(d->btn_ok, Qt::LeftButton);
    });
    const QJsonObject m = mutagen_tags(path);
    EXPECT_EQ(m[QStringLiteral("title")].toString(), QStringLiteral("only this"));
    EXPECT_EQ(m[QStringLiteral("year")].toString(), QStringLiteral("2004"));
    EXPECT_EQ(m[QStringLiteral("track")].toString(), QStringLiteral("12"));
}

TEST_P(Editor, AFailedWriteIsToldWithTheFileAndLeavesItWhole)
{
    const QString path = copy_of_corpus();
    const QByteArray before = bytes_of(path);
    Tfm_id3 *d = app->id3;

    // Read-only (root writes such files all the same), then a full disk: a
    // file-size limit below the file's size.
    const bool root = geteuid() == 0;
    if (!root) {
        QFile::setPermissions(path, QFile::ReadOwner);
        open_file(path, [&] {
            type_into(d->edt_title, QStringLiteral("never written"));
            QTest::mouseClick(d->btn_ok, Qt::LeftButton);
            EXPECT_TRUE(d->isVisible()) << "the edits stay for another try";
        });
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }
    {
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
        open_file(path, [&] {
            type_into(d->edt_title, QStringLiteral("never written"));
            rlimit small = old;
            small.rlim_cur = static_cast<rlim_t>(before.size() / 2);
            setrlimit(RLIMIT_FSIZE, &small);
            QTest::mouseClick(d->btn_ok, Qt::LeftButton);
            setrlimit(RLIMIT_FSIZE, &old);
            EXPECT_TRUE(d->isVisible()) << "the edits stay for another try";
        });
        std::signal(SIGXFSZ, old_handler);
    }
    ASSERT_EQ(app->dialogs->shown.size(), root ? 1u : 2u);
    for (const auto &s : app->dialogs->shown) {
        EXPECT_EQ(s.caption, QStringLiteral("Error!"));
        EXPECT_TRUE(s.text.contains(path)) << s.text.toStdString();
    }
    EXPECT_EQ(bytes_of(path), before);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1)
        << "no copy left behind";

    // A file removed since it was listed: told, and the editor stays shut.
    QFile::remove(path);
    app->dialogs->shown.clear();
    app->id3->target_path = path;
    EXPECT_EQ(app->id3->exec(), QDialog::Rejected);
    ASSERT_EQ(app->dialogs->shown.size(), 1u);
    EXPECT_TRUE(app->dialogs->shown[0].text.contains(path));
}

// Title and artist typed before recording reach the recording, and nothing
// else is invented; title and track are not carried into the next one.
TEST_P(Editor, PendingTagsReachTheNextRecordingOnly)
{
    Tfm_id3 *d = app->id3;
    EXPECT_EQ(app->main->pending_genre_index, -1);
    while_open(
        d, [&] { app->click(QStringLiteral("ID3")); },
        [&] {
            EXPECT_TRUE(d->target_path.isEmpty());
            EXPECT_EQ(d->cb_genre->currentIndex(), -1);
            EXPECT_TRUE(d->edt_year->text().isEmpty());
            type_text(d->edt_title, QStringLiteral("Títle"));
            type_text(d->edt_artist, QStringLiteral("Ärtist Ω"));
            QTest::mouseClick(d->btn_ok, Qt::LeftButton);
        });
    app->click(QStringLiteral("Record"));
    app->push_seconds(0.5);
    app->settle();
    app->click(QStringLiteral("Stop"));
    ASSERT_EQ(app->list->count(), 1);
    const QString path = app->list->path_of(0);
    QJsonObject m = mutagen_tags(path);
    EXPECT_EQ(m[QStringLiteral("title")].toString(), QStringLiteral("Títle"));
    EXPECT_EQ(m[QStringLiteral("artist")].toString(), QStringLiteral("Ärtist Ω"));
    for (const char *absent : {"album", "year", "track", "genre", "comment"})
        EXPECT_FALSE(m.contains(QLatin1String(absent))) << absent;
    if (have("kid3-cli")) {
        EXPECT_EQ(kid3(path, "title"), QStringLiteral("Títle"));
        EXPECT_EQ(kid3(path, "genre"), QString());
        EXPECT_EQ(kid3(path, "date"), QString());
        EXPECT_EQ(kid3(path, "track number"), QString());
    }
    EXPECT_TRUE(app->main->pending_title.isEmpty());
    EXPECT_EQ(app->main->pending_artist, QStringLiteral("Ärtist Ω"));

    // With the finished row selected, "ID3" edits that file; only its title changes.
    app->list->select(0);
    while_open(
        d, [&] { app->click(QStringLiteral("ID3")); },
        [&] {
            EXPECT_EQ(d->target_path, path);
            EXPECT_EQ(d->edt_artist->text(), QStringLiteral("Ärtist Ω"));
            type_into(d->edt_title, QStringLiteral("Second títle"));
            QTest::mouseClick(d->btn_ok, Qt::LeftButton);
        });
    const QJsonObject after = mutagen_tags(path);
    m[QStringLiteral("title")] = QStringLiteral("Second títle");
    EXPECT_EQ(after, m);
}

INSTANTIATE_TEST_SUITE_P(Formats, Editor, ::testing::ValuesIn(formats),
                         [](const auto &info) { return std::string(info.param.extension); });

// Files tagged by other programs open with every field shown; changing only
// the title leaves every other tag as those programs read it.
struct Foreign {
    const char *name;
    const char *corpus_file;
    const char *extension;
    const char *tool;
    std::function<void(const QString &path)> tag;
    Fields expected; // with the dialog's genre text
};

const QString latin_v23 = QStringLiteral(
    "import sys\nfrom mutagen.id3 import ID3,TIT2,TPE1,TALB,TDRC,TRCK,TCON,COMM\n"
    "t=ID3()\nt.add(TIT2(encoding=0,text='T\\xedtle'))\nt.add(TPE1(encoding=0,text='\\xc4rtist'))\n"
    "t.add(TALB(encoding=0,text='Alb'))\nt.add(TDRC(encoding=0,text='2001'))\n"
    "t.add(TRCK(encoding=0,text='3/12'))\nt.add(TCON(encoding=0,text='(17)'))\n"
    "t.add(COMM(encoding=0,lang='eng',desc='',text='C\\xf6mment'))\n"
    "t.save(sys.argv[1],v2_version=3,v1=0)\n");
const QString v1_only =
    QStringLiteral("import sys\nfrom mutagen.id3 import ID3,TIT2,TPE1,TALB,TDRC,TRCK,TCON,COMM\n"
                   "t=ID3()\nt.add(TIT2(text='T\\xedtle'))\nt.add(TPE1(text='\\xc4rtist'))\n"
                   "t.add(TALB(text='Alb'))\nt.add(TDRC(text='2001'))\nt.add(TRCK(text='3'))\n"
                   "t.add(TCON(text='Rock'))\nt.add(COMM(lang='eng',desc='',text='C\\xf6mment'))\n"
                   "t.save(sys.argv[1],v1=2)\n");

void mutagen_script(const QString &script, const QString &path)
{
    run(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path});
}

const Foreign foreign[] = {
    {"mid3v2_v24",
     "tone8k.mp3",
     "mp3",
     "mid3v2",
     [](const QString &p) {
         run(QStringLiteral("mid3v2"),
             {QStringLiteral("-t"), QStringLiteral("Títle"), QStringLiteral("-a"),
              QStringLiteral("Ärtist Ω"), QStringLiteral("-A"), QStringLiteral("Alb"),
              QStringLiteral("-y"), QStringLiteral("2001-05-12"), QStringLiteral("-T"),
              QStringLiteral("3/12"), QStringLiteral("-g"), QStringLiteral("Rock"),
              QStringLiteral("-c"), QStringLiteral("Cömment"), p});
     },
     {"Títle", "Ärtist Ω", "Alb", "2001", "3", "Rock", "Cömment"}},
    {"mutagen_v23_latin1",
     "tone8k.mp3",
     "mp3",
     "mid3v2",
     [](const QString &p) { mutagen_script(latin_v23, p); },
     {"Títle", "Ärtist", "Alb", "2001", "3", "Rock", "Cömment"}},
    {"id3v1_only",
     "tone8k.mp3",
     "mp3",
     "mid3v2",
     [](const QString &p) {
         mutagen_script(v1_only, p);
         run(QStringLiteral("mid3v2"), {QStringLiteral("--delete-v2"), p});
     },
     {"Títle", "Ärtist", "Alb", "2001", "3", "Rock", ""}}, // mutagen's ID3v1 has no comment
    {"vorbiscomment",
     "tone8k.ogg",
     "ogg",
     "vorbiscomment",
     [](const QString &p) {
         run(QStringLiteral("vorbiscomment"),
             {QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("TITLE=Títle"),
              QStringLiteral("-t"), QStringLiteral("ARTIST=Ärtist Ω"), QStringLiteral("-t"),
              QStringLiteral("ALBUM=Alb"), QStringLiteral("-t"), QStringLiteral("DATE=2001"),
              QStringLiteral("-t"), QStringLiteral("TRACKNUMBER=3"), QStringLiteral("-t"),
              QStringLiteral("GENRE=Synthwave"), QStringLiteral("-t"),
              QStringLiteral("COMMENT=Cömment"), p});
     },
     {"Títle", "Ärtist Ω", "Alb", "2001", "3", "", "Cömment"}},
};

class ForeignFiles : public ::testing::TestWithParam<Foreign>
{
};

TEST_P(ForeignFiles, OpenWithEveryFieldAndChangingTheTitleKeepsTheRest)
{
    const Foreign &c = GetParam();
    if (!have(c.tool))
        GTEST_SKIP() << c.tool << " is not installed";
    reset_settings();
    AppHarness app;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("foreign.") + QLatin1String(c.extension));
    ASSERT_TRUE(QFile::copy(corpus + QLatin1String(c.corpus_file), path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    c.tag(path);
    const QJsonObject before = mutagen_tags(path);
    Tfm_id3 *d = app.id3;
    d->target_path = path;
    while_open(
        d, [&] { d->exec(); },
        [&] {
            const Fields f = shown(d);
            EXPECT_EQ(f.title, c.expected.title);
            EXPECT_EQ(f.artist, c.expected.artist);
            EXPECT_EQ(f.album, c.expected.album);
            EXPECT_EQ(f.year, c.expected.year);
            EXPECT_EQ(f.track, c.expected.track);
            EXPECT_EQ(f.genre, c.expected.genre);
            EXPECT_EQ(f.comment, c.expected.comment);
            type_into(d->edt_title, QStringLiteral("New títle"));
            QTest::mouseClick(d->btn_ok, Qt::LeftButton);
        });
    QJsonObject after = mutagen_tags(path);
    EXPECT_EQ(after[QStringLiteral("title")].toString(), QStringLiteral("New títle"));
    after[QStringLiteral("title")] = before[QStringLiteral("title")];
    if (QLatin1String(c.name) == QLatin1String("id3v1_only")) {
        // The ID3v1 tag is kept in step; the new ID3v2 tag adds nothing else.
        EXPECT_EQ(after[QStringLiteral("artist")], before[QStringLiteral("artist")]);
        EXPECT_EQ(after[QStringLiteral("genre")], before[QStringLiteral("genre")]);
        EXPECT_EQ(after[QStringLiteral("year")], before[QStringLiteral("year")]);
    } else {
        EXPECT_EQ(after, before);
    }
}

INSTANTIATE_TEST_SUITE_P(Tools, ForeignFiles, ::testing::ValuesIn(foreign),
                         [](const auto &info) { return std::string(info.param.name); });

// WMA genres come by their exact text; an MP3 genre number outside the list
// opens with none selected.
struct GenreCase {
    const char *name;
    const char *corpus_file;
    const char *extension;
    const char *genre; // as written by ffmpeg -metadata (WMA) or mid3v2 (MP3)
    int selected;
};
const GenreCase genre_cases[] = {
    {"wma_Rock", "tone8k.wma", "wma", "Rock", 17},
    {"wma_lower_case", "tone8k.wma", "wma", "rock", 12},
    {"wma_trailing_space", "tone8k.wma", "wma", "Rock ", 12},
    {"wma_none", "tone8k.wma", "wma", "", 12},
    {"mp3_255", "tone8k.mp3", "mp3", "255", -1},
    {"mp3_17", "tone8k.mp3", "mp3", "17", 17},
};

class Genres : public ::testing::TestWithParam<GenreCase>
{
};

TEST_P(Genres, OpenWithTheirGenreSelected)
{
    const GenreCase &c = GetParam();
    reset_settings();
    AppHarness app;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("g.") + QLatin1String(c.extension));
    if (QLatin1String(c.extension) == QLatin1String("wma")) {
        run(QStringLiteral("ffmpeg"),
            {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-i"),
             corpus + QLatin1String(c.corpus_file), QStringLiteral("-c"), QStringLiteral("copy"),
             QStringLiteral("-metadata"), QStringLiteral("genre=") + QString::fromUtf8(c.genre),
             QStringLiteral("-metadata"), QStringLiteral("title=Títle"), QStringLiteral("-y"),
             path});
    } else {
        ASSERT_TRUE(QFile::copy(corpus + QLatin1String(c.corpus_file), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        if (!have("mid3v2"))
            GTEST_SKIP() << "mid3v2 is not installed";
        run(QStringLiteral("mid3v2"), {QStringLiteral("-g"), QString::fromUtf8(c.genre), path});
    }
    Tfm_id3 *d = app.id3;
    d->target_path = path;
    while_open(
        d, [&] { d->exec(); },
        [&] {
            EXPECT_EQ(d->cb_genre->currentIndex(), c.selected);
            if (QLatin1String(c.extension) == QLatin1String("wma")) {
                EXPECT_EQ(d->edt_title->text(), QStringLiteral("Títle"));
            }
            d->cb_genre->setCurrentIndex(-1);
            QTest::mouseClick(d->btn_reset, Qt::LeftButton);
            EXPECT_EQ(d->cb_genre->currentIndex(), c.selected) << "Reset reads the genre again";
        });
}

INSTANTIATE_TEST_SUITE_P(Files, Genres, ::testing::ValuesIn(genre_cases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(EditorBoxes, LayoutKeyFilterFocusOrderAndPendingReset)
{
    reset_settings();
    AppHarness app;
    Tfm_id3 *d = app.id3;
    EXPECT_EQ(d->windowTitle(), QStringLiteral("ID3"));
    EXPECT_EQ(d->size(), QSize(374, 255));
    EXPECT_EQ(d->cb_genre->count(), 148);
    EXPECT_EQ(d->cb_genre->itemText(147), QStringLiteral("SynthPop"));
    EXPECT_EQ(d->edt_track->geometry().topLeft(), QPoint(179, 133));
    EXPECT_EQ(d->btn_cancel->geometry(), QRect(271, 212, 68, 25));

    app.main->pending_genre_index = 8;
    app.main->pending_genre_text = QStringLiteral("Jazz");
    app.main->pending_comment = QStringLiteral("stored, not shown");
    app.main->pending_year = 1987;
    while_open(
        d, [&] { app.click(QStringLiteral("ID3")); },
        [&] {
            EXPECT_EQ(QApplication::focusWidget(), d->edt_artist);
            const QWidget *expected[] = {d->edt_album, d->edt_year,   d->edt_comment, d->cb_genre,
                                         d->btn_ok,    d->btn_cancel, d->btn_reset,   d->edt_title,
                                         d->edt_track, d->edt_artist};
            const QWidget *w = d->edt_artist;
            for (const QWidget *next : expected) {
                w = w->nextInFocusChain();
                while (w->focusPolicy() == Qt::NoFocus)
                    w = w->nextInFocusChain();
                EXPECT_EQ(w, next);
            }
            EXPECT_EQ(d->cb_genre->currentText(), QStringLiteral("Jazz"));
            EXPECT_TRUE(d->edt_comment->text().isEmpty());
            EXPECT_EQ(d->edt_year->text(), QStringLiteral("1987"));

            type_into(d->edt_year, QStringLiteral("19a8-7"));
            EXPECT_EQ(d->edt_year->text(), QStringLiteral("1987"));
            QTest::keyClick(d->edt_year, Qt::Key_Backspace);
            EXPECT_EQ(d->edt_year->text(), QStringLiteral("198"));
            type_into(d->edt_track, QStringLiteral("1x234"));
            EXPECT_EQ(d->edt_track->text(), QStringLiteral("12"));

            QTest::mouseClick(d->btn_reset, Qt::LeftButton);
            EXPECT_EQ(d->cb_genre->currentIndex(), -1);
            EXPECT_EQ(d->edt_year->text(), QStringLiteral("1987"));
            d->edt_year->setText(QStringLiteral("abc"));
            QTest::mouseClick(d->btn_ok, Qt::LeftButton);
        });
    EXPECT_EQ(app.main->pending_year, -1);
    EXPECT_EQ(app.main->pending_genre_index, -1);
    EXPECT_TRUE(app.main->pending_genre_text.isEmpty());
    EXPECT_TRUE(app.main->pending_comment.isEmpty());
}

TEST(EditorPlacement, CentredOnTheMainWindowOrOnItAndTheListTogether)
{
    reset_settings();
    for (const bool with_list : {false, true}) {
        AppHarness app;
        if (with_list)
            app.click(QStringLiteral("List"));
        ASSERT_EQ(app.list->isVisible(), with_list);
        while_open(
            app.id3, [&] { app.click(QStringLiteral("ID3")); },
            [&] {
                const QRect main = app.main->frameGeometry();
                const QRect dialog = app.id3->frameGeometry();
                const int list_height = with_list ? app.list->frameGeometry().height() : 0;
                EXPECT_EQ(dialog.left(), main.left() + (main.width() - dialog.width()) / 2);
                EXPECT_EQ(dialog.top(),
                          main.top() + (main.height() + list_height - dialog.height()) / 2);
            });
    }
}

} // namespace
