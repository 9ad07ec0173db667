// Tags written and read back through TagLib in every output format.

#include "audio/audio_file.h"
#include "audio/audio_information.h"
#include "audio/genres.h"
#include "audio_test_util.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/wavfile.h>

using namespace audio_test;

namespace
{

class Tags : public testing::TestWithParam<Format>
{
protected:
    void SetUp() override
    {
        m_path = m_dir.filePath(QStringLiteral("tagged") + extension(GetParam()));
        TAudioFile2 out;
        choose_format(out, GetParam(), 44100, 2);
        out.CreateOutputFile(m_path, 0);
        ASSERT_EQ(out.ErrorCode(), 0);
        write_tone(out, 0.5);
        out.CloseFile();
    }
    QTemporaryDir m_dir;
    QString m_path;
};

TEST_P(Tags, EveryFieldRoundTrips)
{
    TAudioInformation2 w;
    w.infoTitle = QStringLiteral("Morning take \u00e9\u00e8 \u4e2d");
    w.infoArtist = QStringLiteral("The Testers");
    w.infoAlbum = QStringLiteral("Sessions");
    w.infoGenreIndex = 17;
    w.infoGenreS = QStringLiteral("Rock");
    w.infoComments = QStringLiteral("first line");
    w.infoYear = 2006;
    w.infoTrack = 7;
    ASSERT_TRUE(w.WriteToFile(m_path));

    TAudioInformation2 r;
    ASSERT_TRUE(r.ReadFromFile(m_path));
    EXPECT_EQ(r.infoTitle, w.infoTitle);
    EXPECT_EQ(r.infoArtist, w.infoArtist);
    EXPECT_EQ(r.infoAlbum, w.infoAlbum);
    EXPECT_EQ(r.infoComments, w.infoComments);
    EXPECT_EQ(r.infoGenreS, QStringLiteral("Rock"));
    EXPECT_EQ(r.infoGenreIndex, 17);
    EXPECT_EQ(r.infoYear, 2006);
    EXPECT_EQ(r.infoTrack, 7);

    // The audio is untouched by the tags.
    TAudioFile2 in;
    in.OpenFile(m_path);
    EXPECT_GT(in.TotalSamples(), 40000);
    EXPECT_GT(read_all(in).size(), 40000u);
}

TEST_P(Tags, RewritingReplacesAndZeroYearAndTrackMeanNone)
{
    TAudioInformation2 w;
    w.infoTitle = QStringLiteral("one");
    w.infoGenreIndex = 147;
    w.infoGenreS = QStringLiteral("SynthPop");
    w.infoYear = 1999;
    w.infoTrack = 12;
    ASSERT_TRUE(w.WriteToFile(m_path));
    w.infoTitle = QStringLiteral("two");
    w.infoYear = 0;
    w.infoTrack = 0;
    w.infoGenreIndex = 80;
    w.infoGenreS = QStringLiteral("Folk");
    ASSERT_TRUE(w.WriteToFile(m_path));

    TAudioInformation2 r;
    r.infoYear = 5; // overwritten by the read
    ASSERT_TRUE(r.ReadFromFile(m_path));
    EXPECT_EQ(r.infoTitle, QStringLiteral("two"));
    EXPECT_EQ(r.infoYear, 0);
    EXPECT_EQ(r.infoTrack, 0);
    EXPECT_EQ(r.infoGenreIndex, 80);
    EXPECT_EQ(r.infoGenreS, QStringLiteral("Folk"));
}

TEST_P(Tags, EveryGenreKeepsItsNumberAndName)
{
    TAudioInformation2 w, r;
    for (int g : {0, 12, 64, 79, 123, 133, 140, 146}) {
        w.infoGenreIndex = static_cast<int16_t>(g);
        w.infoGenreS = genre_names().at(g);
        ASSERT_TRUE(w.WriteToFile(m_path));
        ASSERT_TRUE(r.ReadFromFile(m_path));
        EXPECT_EQ(r.infoGenreIndex, g) << w.infoGenreS.toStdString();
        EXPECT_EQ(r.infoGenreS, genre_names().at(g));
    }
}

INSTANTIATE_TEST_SUITE_P(AllFormats, Tags,
                         testing::Values(Format::mp3, Format::wma, Format::ogg, Format::wav16,
                                         Format::flac16, Format::opus),
                         [](const auto &info) { return std::string(format_name(info.param)); });

TEST(TagsWma, GenreTextThatMatchesNoNameKeepsItsTextWithIndexNone)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("g.wma"));
    TAudioFile2 out;
    out.SetWmaProfile(9);
    out.CreateOutputFile(path, 0);
    write_tone(out, 0.3);
    out.CloseFile();
    TAudioInformation2 w, r;
    w.infoGenreIndex = -1;
    w.infoGenreS = QStringLiteral("rock "); // case and blank differ from "Rock"
    ASSERT_TRUE(w.WriteToFile(path));
    ASSERT_TRUE(r.ReadFromFile(path));
    EXPECT_EQ(r.infoGenreS, QStringLiteral("rock "));
    EXPECT_EQ(r.infoGenreIndex, -1);
}

TEST(TagsFailures, UnreadableFilesGiveFalseAndKeepTheProperties)
{
    QTemporaryDir dir;
    const QString text = dir.filePath(QStringLiteral("text.mp3"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not an mp3 file at all\n");
    f.close();
    QFile e(dir.filePath(QStringLiteral("empty.ogg")));
    ASSERT_TRUE(e.open(QIODevice::WriteOnly));
    e.close();

    TAudioInformation2 info;
    info.infoTitle = QStringLiteral("kept");
    info.infoYear = 1984;
    for (const QString &path :
         {text, dir.filePath(QStringLiteral("empty.ogg")), dir.filePath(QStringLiteral("no.wav")),
          dir.filePath(QStringLiteral("no.xyz")), dir.path()}) {
        EXPECT_FALSE(info.ReadFromFile(path)) << path.toStdString();
        EXPECT_EQ(info.infoTitle, QStringLiteral("kept"));
        EXPECT_EQ(info.infoYear, 1984);
    }
    EXPECT_FALSE(info.WriteToFile(dir.filePath(QStringLiteral("no.wav"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("no.wav"))));
}

TEST(Genres, ListHas148NamesAndExactLookup)
{
    ASSERT_EQ(genre_names().size(), 148);
    EXPECT_EQ(genre_names().at(0), QStringLiteral("Blues"));
    EXPECT_EQ(genre_names().at(79), QStringLiteral("Hard Rock"));
    EXPECT_EQ(genre_names().at(147), QStringLiteral("SynthPop"));
    EXPECT_EQ(genre_index_of(QStringLiteral("Rock")), 17);
    EXPECT_EQ(genre_index_of(QStringLiteral("rock")), -1);
    EXPECT_EQ(genre_index_of(QStringLiteral("Rock ")), -1);
    EXPECT_EQ(genre_index_of(QString()), -1);
    // No name twice, so number <-> text is one to one.
    EXPECT_EQ(QSet<QString>(genre_names().begin(), genre_names().end()).size(), 148);
}

} // namespace

// Tags as other programs write them, made with TagLib directly.
namespace
{

QString tone_file(const QTemporaryDir &dir, Format f)
{
    const QString path = dir.filePath(QStringLiteral("other") + extension(f));
    TAudioFile2 out;
    choose_format(out, f, 44100, 2);
    out.CreateOutputFile(path, 0);
    write_tone(out, 0.3);
    out.CloseFile();
    return path;
}

TEST(TagsFromOtherPrograms, Id3GenreNumbersGiveTheIndex)
{
    QTemporaryDir dir;
    const QString path = tone_file(dir, Format::mp3);
    const QByteArray name = QFile::encodeName(path);
    for (const char *tcon : {"(17)", "17", "255", "(255)", "Rock", "Not a genre"}) {
        {
            TagLib::MPEG::File f(name.constData());
            auto *frame = new TagLib::ID3v2::TextIdentificationFrame("TCON");
            frame->setText(tcon);
            f.ID3v2Tag(true)->removeFrames("TCON");
            f.ID3v2Tag(true)->addFrame(frame);
            ASSERT_TRUE(
                f.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v3));
        }
        TAudioInformation2 r;
        ASSERT_TRUE(r.ReadFromFile(path)) << tcon;
        const std::string t = tcon;
        if (t == "(17)" || t == "17" || t == "Rock") {
            EXPECT_EQ(r.infoGenreIndex, 17) << tcon;
            EXPECT_EQ(r.infoGenreS, QStringLiteral("Rock")) << tcon;
        } else if (t == "255" || t == "(255)") {
            // "No genre": TagLib drops 255, other readers keep it; either way no
            // name of the list is chosen.
            EXPECT_TRUE(r.infoGenreIndex < 0 || r.infoGenreIndex > 147) << tcon;
            EXPECT_TRUE(r.infoGenreS.isEmpty()) << tcon;
        } else {
            EXPECT_EQ(r.infoGenreIndex, -1);
            EXPECT_EQ(r.infoGenreS, QStringLiteral("Not a genre"));
        }
    }
}

TEST(TagsFromOtherPrograms, WavWithOnlyRiffInfoIsRead)
{
    QTemporaryDir dir;
    const QString path = tone_file(dir, Format::wav16);
    {
        TagLib::RIFF::WAV::File f(QFile::encodeName(path).constData());
        TagLib::RIFF::Info::Tag *info = f.InfoTag();
        info->setTitle("Info title");
        info->setArtist("Info artist");
        info->setGenre("Jazz");
        info->setYear(1971);
        info->setTrack(3);
        ASSERT_TRUE(f.save(TagLib::RIFF::WAV::File::Info, TagLib::File::StripOthers));
    }
    TAudioInformation2 r;
    ASSERT_TRUE(r.ReadFromFile(path));
    EXPECT_EQ(r.infoTitle, QStringLiteral("Info title"));
    EXPECT_EQ(r.infoArtist, QStringLiteral("Info artist"));
    EXPECT_EQ(r.infoGenreS, QStringLiteral("Jazz"));
    EXPECT_EQ(r.infoGenreIndex, 8);
    EXPECT_EQ(r.infoYear, 1971);
    EXPECT_EQ(r.infoTrack, 3);
    // And the audio is still the audio.
    TAudioFile2 in;
    in.OpenFile(path);
    EXPECT_EQ(in.TotalSamples(), static_cast<int>(0.3 * 44100) * 2);
}

// RIFF INFO has no declared encoding: older programs wrote their 8-bit code
// page, which reads as Latin-1; what Velquor writes is UTF-8, as FFmpeg reads it.
TEST(TagsFromOtherPrograms, RiffInfoInLatin1IsReadAndUtf8IsWritten)
{
    QTemporaryDir dir;
    const QString path = tone_file(dir, Format::wav16);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        const QByteArray inam = QByteArray("INAM\x06\0\0\0T\xEDtle\0", 14);
        const QByteArray list = QByteArray("LIST\x12\0\0\0INFO", 12) + inam;
        f.seek(f.size());
        f.write(list);
        const quint32 riff = static_cast<quint32>(f.size() - 8);
        f.seek(4);
        f.write(reinterpret_cast<const char *>(&riff), 4); // little-endian host
    }
    TAudioInformation2 tags;
    ASSERT_TRUE(tags.ReadFromFile(path));
    EXPECT_EQ(tags.infoTitle, QStringLiteral("Títle"));

    tags.infoArtist = QStringLiteral("Ärtist Ω");
    ASSERT_TRUE(tags.WriteToFile(path));
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("format_tags=title,artist"), QStringLiteral("-of"),
                 QStringLiteral("default=nw=1:nk=1"), path});
    ASSERT_TRUE(probe.waitForFinished(30000));
    EXPECT_EQ(QString::fromUtf8(probe.readAllStandardOutput())
                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              QStringList({QStringLiteral("Ärtist Ω"), QStringLiteral("Títle")}));
}

} // namespace

namespace
{

TEST(NonAsciiPaths, EveryFormatWritesReadsAndTagsThem)
{
    QTemporaryDir dir;
    for (Format f : {Format::mp3, Format::ogg, Format::wav16, Format::wma, Format::flac16,
                     Format::opus}) {
        const QString path =
            dir.filePath(QStringLiteral("Aufnahme \u00e4\u00f6 \u65e5\u672c") + extension(f));
        TAudioFile2 out;
        choose_format(out, f, 44100, 2);
        out.CreateOutputFile(path, 0);
        ASSERT_EQ(out.ErrorCode(), 0) << out.ErrorText().toStdString();
        write_tone(out, 0.3);
        out.CloseFile();
        TAudioInformation2 w, r;
        w.infoTitle = QStringLiteral("t");
        EXPECT_TRUE(w.WriteToFile(path)) << format_name(f);
        EXPECT_TRUE(r.ReadFromFile(path)) << format_name(f);
        EXPECT_EQ(r.infoTitle, QStringLiteral("t"));
        TAudioFile2 in;
        in.OpenFile(path);
        EXPECT_GT(in.TotalSamples(), 20000) << format_name(f);
    }
}

} // namespace
