// The tag editor driven through its widgets on real files, checked with
// mutagen and kid3-cli; files tagged by other programs; pending mode through a
// recording; the "ID3" command and its placement.
#include "ID3.h"
#include "app_harness.h"
#include "recordlist.h"

#include <QComboBox>
#include <QDir>
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

bool have(const char *tool)
{
    return !QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty();
}

// Runs a command given as UTF-8 words; "@corpus/" stands for the corpus
// folder, "@file" for `file`, which is appended when no word names it.
QString run(std::vector<const char *> words, const QString &file = {})
{
    QStringList args;
    for (size_t i = 1; i < words.size(); ++i)
        args << QString::fromUtf8(words[i]).replace(QStringLiteral("@corpus/"), corpus);
    if (!file.isEmpty() && !args.contains(QStringLiteral("@file")))
        args << file;
    args.replaceInStrings(QStringLiteral("@file"), file);
    QProcess p;
    p.start(QString::fromUtf8(words[0]), args);
    EXPECT_TRUE(p.waitForFinished(30000) && p.exitCode() == 0)
        << words[0] << ": " << p.readAllStandardError().toStdString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

std::string text(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

// The seven fields as mutagen reads them, with "keys": every frame present.
QJsonObject mutagen_tags(const QString &path)
{
    const QString out =
        run({"/usr/bin/python3", VELQUOR_SOURCE_DIR "/tests/app/tag_dump.py"}, path);
    return QJsonDocument::fromJson(out.toUtf8()).object();
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
    QObject::connect(&poll, &QTimer::timeout, dialog, [&] {
        if (!dialog->isVisible() || acted)
            return;
        acted = true;
        act();
        if (dialog->isVisible())
            dialog->reject();
    });
    QTimer bound; // scoped, so it never closes a later opening
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, dialog, [dialog] { dialog->reject(); });
    bound.start(20000);
    poll.start(10);
    open();
    EXPECT_TRUE(acted) << "the editor did not open";
}

void open_file(Tfm_id3 *d, const QString &path, const std::function<void()> &act)
{
    d->target_path = path;
    while_open(
        d, [d] { d->exec(); }, act);
}

QStringList shown(const Tfm_id3 *d)
{
    return {d->edt_title->text(),  d->edt_artist->text(), d->edt_album->text(),
            d->edt_year->text(),   d->edt_track->text(),  d->cb_genre->currentText(),
            d->edt_comment->text()};
}

// Typed key by key, as a keyboard layout delivers non-ASCII letters too.
void type_into(QLineEdit *box, const QString &text)
{
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    for (const QChar ch : text) {
        if (ch.unicode() < 0x80) {
            QTest::keyClick(box, static_cast<char>(ch.unicode()));
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(box, &press);
    }
}

struct Format {
    const char *extension;
    std::vector<const char *> make; // the untagged file, its path appended
    int format_index;               // in the output format list
};
// kid3-cli shows no tags of 8000 Hz OGG files, so that one comes from sox.
const Format formats[] = {
    {"mp3", {"cp", "@corpus/tone8k.mp3"}, 0},
    {"wma", {"cp", "@corpus/tone8k.wma"}, 1},
    {"wav", {"cp", "@corpus/tone8k_mono.wav"}, 2},
    {"ogg", {"sox", "-n", "-r", "44100", "-c", "1", "@file", "synth", "1", "sine", "440"}, 3},
    {"flac", {"flac", "--silent", "-f", "-o", "@file", "@corpus/tone8k_mono.wav"}, 4},
    {"opus", {"opusenc", "--quiet", "@corpus/tone8k_mono.wav", "@file"}, 5}};

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
    QString untagged_file()
    {
        const QString path =
            folder.filePath(QStringLiteral("take.") + QLatin1String(GetParam().extension));
        run(GetParam().make, path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        return path;
    }
};

TEST_P(Editor, FileModeWritesWhatOtherReadersShowAndNeverHarmsTheFile)
{
    const QString path = untagged_file();
    Tfm_id3 *d = app->id3;
    const QStringList typed = {QStringLiteral("Títle"),      QStringLiteral("Ärtist Ω"),
                               QStringLiteral("Albüm 日本"), QStringLiteral("1999"),
                               QStringLiteral("7"),          QStringLiteral("Rock"),
                               QStringLiteral("Cömment")};
    QLineEdit *boxes[] = {d->edt_title, d->edt_artist, d->edt_album,  d->edt_year,
                          d->edt_track, nullptr,       d->edt_comment};
    open_file(d, path, [&] {
        EXPECT_EQ(d->is_wma, QLatin1String(GetParam().extension) == QLatin1String("wma"));
        for (int i = 0; i < 7; ++i)
            if (boxes[i])
                type_into(boxes[i], typed[i]);
        d->cb_genre->setCurrentIndex(17);
        QTest::mouseClick(d->btn_ok, Qt::LeftButton);
        EXPECT_FALSE(d->isVisible());
    });
    const char *mutagen_names[] = {"title", "artist", "album", "year", "track", "genre", "comment"};
    const char *kid3_names[] = {"title",        "artist", "album",  "date",
                                "track number", "genre",  "comment"};
    const QJsonObject m = mutagen_tags(path);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(m[QLatin1String(mutagen_names[i])].toString(), typed[i]);
        if (have("kid3-cli")) {
            const std::string get = std::string("get '") + kid3_names[i] + "'";
            EXPECT_EQ(run({"kid3-cli", "-c", get.c_str()}, path), typed[i]);
        }
    }

    // Reset reads the file again; Cancel keeps it; an empty Year and a Track
    // that a paste made no number keep the file's values.
    open_file(d, path, [&] {
        EXPECT_EQ(shown(d), typed);
        type_into(d->edt_title, QStringLiteral("changed"));
        d->cb_genre->setCurrentIndex(3);
        QTest::mouseClick(d->btn_reset, Qt::LeftButton);
        EXPECT_EQ(shown(d), typed);
        type_into(d->edt_title, QStringLiteral("not kept"));
        QTest::mouseClick(d->btn_cancel, Qt::LeftButton);
    });
    open_file(d, path, [&] {
        d->edt_year->clear();
        d->edt_track->setText(QStringLiteral("x9"));
        type_into(d->edt_title, QStringLiteral("only this"));
        QTest::mouseClick(d->btn_ok, Qt::LeftButton);
    });
    QJsonObject expected = m;
    expected[QStringLiteral("title")] = QStringLiteral("only this");
    EXPECT_EQ(text(mutagen_tags(path)), text(expected));
    EXPECT_TRUE(app->dialogs->shown.empty());

    // Read-only (root writes those all the same) and a full disk (a file-size
    // limit below the file's size): told with the file's name, the edits
    // stay, the file keeps every byte and no copy is left behind.
    const QByteArray before = bytes_of(path);
    auto try_write = [&](const std::function<void()> &before_ok,
                         const std::function<void()> &after_ok) {
        open_file(d, path, [&] {
            type_into(d->edt_title, QStringLiteral("never written"));
            before_ok();
            QTest::mouseClick(d->btn_ok, Qt::LeftButton);
            after_ok();
            EXPECT_TRUE(d->isVisible());
        });
    };
    const bool root = geteuid() == 0;
    if (!root)
        try_write([&] { QFile::setPermissions(path, QFile::ReadOwner); },
                  [&] { QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner); });
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    try_write(
        [&] {
            rlimit small = old;
            small.rlim_cur = static_cast<rlim_t>(before.size() / 2);
            setrlimit(RLIMIT_FSIZE, &small);
        },
        [&] { setrlimit(RLIMIT_FSIZE, &old); });
    std::signal(SIGXFSZ, old_handler);
    ASSERT_EQ(app->dialogs->shown.size(), root ? 1u : 2u);
    for (const auto &s : app->dialogs->shown)
        EXPECT_TRUE(s.caption == QStringLiteral("Error!") && s.text.contains(path))
            << s.text.toStdString();
    EXPECT_EQ(bytes_of(path), before);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // A file removed since it was listed: told, and the editor stays shut.
    QFile::remove(path);
    d->target_path = path;
    EXPECT_EQ(d->exec(), QDialog::Rejected);
    EXPECT_TRUE(app->dialogs->shown.back().text.contains(path));
}

// Title and artist typed before recording reach the recording and nothing
// else is invented; title and track are cleared after it; then "ID3" on the
// finished row changes only its title.
TEST_P(Editor, PendingTagsReachTheNextRecordingThenTheRowIsEditedInFileMode)
{
    Tfm_id3 *d = app->id3;
    while_open(
        d, [&] { app->click(QStringLiteral("ID3")); },
        [&] {
            EXPECT_TRUE(d->target_path.isEmpty());
            EXPECT_EQ(d->cb_genre->currentIndex(), -1);
            type_into(d->edt_title, QStringLiteral("Títle"));
            type_into(d->edt_artist, QStringLiteral("Ärtist Ω"));
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
        EXPECT_EQ(run({"kid3-cli", "-c", "get genre", "-c", "get date", "-c", "get 'track number'"},
                      path),
                  QString());
    }
    EXPECT_TRUE(app->main->pending_title.isEmpty());
    EXPECT_EQ(app->main->pending_track, -1);
    EXPECT_EQ(app->main->pending_artist, QStringLiteral("Ärtist Ω"));

    app->list->select(0);
    while_open(
        d, [&] { app->click(QStringLiteral("ID3")); },
        [&] {
            EXPECT_EQ(d->target_path, path);
            type_into(d->edt_title, QStringLiteral("Second títle"));
            QTest::mouseClick(d->btn_ok, Qt::LeftButton);
        });
    m[QStringLiteral("title")] = QStringLiteral("Second títle");
    EXPECT_EQ(text(mutagen_tags(path)), text(m));
}

INSTANTIATE_TEST_SUITE_P(Formats, Editor, ::testing::ValuesIn(formats),
                         [](const auto &info) { return std::string(info.param.extension); });

// Files tagged by other programs open with every field shown (WMA genres by
// their exact text, "Other" otherwise); changing only the title leaves
// everything else as mutagen reads it.
struct Foreign {
    const char *name;
    const char *extension;
    std::vector<std::vector<const char *>> commands; // each with the file's path appended
    QStringList shown;                               // title ... comment, as the boxes show them
};

#define MUTAGEN_FRAMES                                                                             \
    "import sys\nfrom mutagen.id3 import ID3,TIT2,TPE1,TALB,TDRC,TRCK,TCON\nt=ID3()\n"             \
    "for f in [TIT2(text='T\\xedtle'),TPE1(text='\\xc4rtist'),TALB(text='Alb'),"                   \
    "TDRC(text='2001'),TRCK(text='3/12'),TCON(text='(17)')]:\n"
const char *latin_v23 =
    MUTAGEN_FRAMES " f.encoding=0; t.add(f)\nt.save(sys.argv[1],v2_version=3)\n";
const char *v1_only = MUTAGEN_FRAMES " t.add(f)\nt.save(sys.argv[1],v1=2)\n";
const QStringList mutagen_shown = {"Títle", "Ärtist", "Alb", "2001", "3", "Rock", ""};

std::vector<const char *> ffmpeg_wma(const char *genre)
{
    return {"ffmpeg",    "-loglevel", "error",     "-y",          "-i",        "@corpus/tone8k.wma",
            "-c",        "copy",      "-metadata", "title=Títle", "-metadata", "artist=Ärtist Ω",
            "-metadata", "date=2001", "-metadata", "track=3",     "-metadata", genre};
}

const Foreign foreign[] = {
    {"mid3v2_v24",
     "mp3",
     {{"cp", "@corpus/tone8k.mp3"},
      {"mid3v2", "-t", "Títle", "-a", "Ärtist Ω", "-A", "Alb", "-y", "2001-05-12", "-T", "3/12",
       "-g", "Rock", "-c", "Cömment"}},
     {"Títle", "Ärtist Ω", "Alb", "2001", "3", "Rock", "Cömment"}},
    {"mid3v2_255",
     "mp3",
     {{"cp", "@corpus/tone8k.mp3"}, {"mid3v2", "-t", "Títle", "-T", "123", "-g", "255"}},
     {"Títle", "", "", "", "12", "", ""}},
    {"mutagen_v23_latin1",
     "mp3",
     {{"cp", "@corpus/tone8k.mp3"}, {"/usr/bin/python3", "-c", latin_v23}},
     mutagen_shown},
    {"id3v1_only",
     "mp3",
     {{"cp", "@corpus/tone8k.mp3"}, {"/usr/bin/python3", "-c", v1_only}, {"mid3v2", "--delete-v2"}},
     mutagen_shown},
    {"vorbiscomment",
     "ogg",
     {{"cp", "@corpus/tone8k.ogg"},
      {"vorbiscomment", "-w", "-t", "TITLE=Títle", "-t", "ARTIST=Ärtist Ω", "-t", "DATE=2001", "-t",
       "TRACKNUMBER=3", "-t", "GENRE=Synthwave", "-t", "COMMENT=Cömment"}},
     {"Títle", "Ärtist Ω", "", "2001", "3", "", "Cömment"}},
    {"metaflac",
     "flac",
     {{"flac", "--silent", "-f", "-o", "@file", "@corpus/tone8k_mono.wav"},
      {"metaflac", "--set-tag=TITLE=Títle", "--set-tag=ARTIST=Ärtist Ω", "--set-tag=DATE=2001",
       "--set-tag=TRACKNUMBER=3", "--set-tag=GENRE=Synthwave", "--set-tag=COMMENT=Cömment"}},
     {"Títle", "Ärtist Ω", "", "2001", "3", "", "Cömment"}},
    {"opusenc",
     "opus",
     {{"opusenc", "--quiet", "--title", "Títle", "--artist", "Ärtist Ω", "--date", "2001",
       "--tracknumber", "3", "--genre", "Rock", "--comment", "COMMENT=Cömment",
       "@corpus/tone8k_mono.wav", "@file"}},
     {"Títle", "Ärtist Ω", "", "2001", "3", "Rock", "Cömment"}},
    {"ffmpeg_wma_Rock",
     "wma",
     {ffmpeg_wma("genre=Rock")},
     {"Títle", "Ärtist Ω", "", "", "3", "Rock", ""}},
    {"ffmpeg_wma_lower_case",
     "wma",
     {ffmpeg_wma("genre=rock")},
     {"Títle", "Ärtist Ω", "", "", "3", "Other", ""}},
    {"ffmpeg_wma_trailing_space",
     "wma",
     {ffmpeg_wma("genre=Rock ")},
     {"Títle", "Ärtist Ω", "", "", "3", "Other", ""}},
};

class ForeignFiles : public ::testing::TestWithParam<Foreign>
{
};

TEST_P(ForeignFiles, OpenWithEveryFieldAndChangingTheTitleKeepsTheRest)
{
    const Foreign &c = GetParam();
    for (const auto &command : c.commands)
        if (!have(command[0]))
            GTEST_SKIP() << command[0] << " is not installed";
    reset_settings();
    AppHarness app;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("f.") + QLatin1String(c.extension));
    for (const auto &command : c.commands)
        run(command, path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QJsonObject before = mutagen_tags(path);
    open_file(app.id3, path, [&] {
        EXPECT_EQ(shown(app.id3), c.shown);
        type_into(app.id3->edt_title, QStringLiteral("New títle"));
        QTest::mouseClick(app.id3->btn_ok, Qt::LeftButton);
    });
    QJsonObject after = mutagen_tags(path);
    EXPECT_EQ(after[QStringLiteral("title")].toString(), QStringLiteral("New títle"));
    before[QStringLiteral("title")] = after[QStringLiteral("title")];
    if (QLatin1String(c.name) == QLatin1String("id3v1_only")) // a new ID3v2 tag joins ID3v1
        before.remove(QStringLiteral("keys")), after.remove(QStringLiteral("keys"));
    EXPECT_EQ(text(after), text(before));
}

INSTANTIATE_TEST_SUITE_P(Tools, ForeignFiles, ::testing::ValuesIn(foreign),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(EditorBoxes, FocusOrderKeyFilterAndPendingModeResetAndComment)
{
    reset_settings();
    AppHarness app;
    Tfm_id3 *d = app.id3;
    EXPECT_EQ(d->size(), QSize(374, 255));
    EXPECT_EQ(d->cb_genre->count(), 148);
    app.main->pending_genre_index = 8;
    app.main->pending_comment = QStringLiteral("stored, not shown");
    app.main->pending_year = 1987;
    while_open(
        d, [&] { app.click(QStringLiteral("ID3")); },
        [&] {
            const QWidget *order[] = {d->edt_artist, d->edt_album,   d->edt_year,  d->edt_track,
                                      d->cb_genre,   d->edt_comment, d->btn_ok,    d->btn_reset,
                                      d->btn_cancel, d->edt_title,   d->edt_artist};
            EXPECT_EQ(QApplication::focusWidget(), order[0]);
            for (size_t i = 1; i < std::size(order); ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                EXPECT_EQ(QApplication::focusWidget(), order[i]) << i;
            }
            EXPECT_EQ(shown(d), QStringList({"", "", "", "1987", "", "Jazz", ""}));
            type_into(d->edt_year, QStringLiteral("19a8-7"));
            QTest::keyClick(d->edt_year, Qt::Key_Backspace);
            type_into(d->edt_track, QStringLiteral("1x234"));
            EXPECT_EQ(d->edt_year->text() + d->edt_track->text(), QStringLiteral("19812"));
            QTest::mouseClick(d->btn_reset, Qt::LeftButton);
            EXPECT_EQ(shown(d), QStringList({"", "", "", "1987", "", "", ""}));
            d->edt_year->setText(QStringLiteral("abc"));
            QTest::mouseClick(d->btn_ok, Qt::LeftButton);
        });
    EXPECT_EQ(app.main->pending_year, -1);
    EXPECT_EQ(app.main->pending_genre_index, -1);
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
                EXPECT_EQ(dialog.topLeft(),
                          QPoint(main.left() + (main.width() - dialog.width()) / 2,
                                 main.top() + (main.height() + list_height - dialog.height()) / 2));
            });
    }
}

} // namespace
