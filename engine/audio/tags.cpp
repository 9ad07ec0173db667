#include "audio/tags.h"

#include "audio/genres.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTemporaryFile>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <taglib/asffile.h>
#include <taglib/commentsframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <unistd.h>

namespace
{

enum class Kind { mp3, wma, ogg, wav, flac, opus, unknown };

Kind kind_of(const QString &path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("mp3"))
        return Kind::mp3;
    if (ext == QLatin1String("wma"))
        return Kind::wma;
    if (ext == QLatin1String("ogg"))
        return Kind::ogg;
    if (ext == QLatin1String("wav"))
        return Kind::wav;
    if (ext == QLatin1String("flac"))
        return Kind::flac;
    if (ext == QLatin1String("opus"))
        return Kind::opus;
    return Kind::unknown;
}

QString q(const TagLib::String &s)
{
    return QString::fromStdWString(s.toWString());
}
TagLib::String t(const QString &s)
{
    return TagLib::String(s.toStdWString());
}

QString genre_name(int index)
{
    return index >= 0 && index < genre_names().size() ? genre_names().at(index) : QString();
}

// The plain fields every TagLib tag has; genre handled by the caller.
void read_common(const TagLib::Tag &tag, TagValues &v)
{
    v.title = q(tag.title());
    v.artist = q(tag.artist());
    v.album = q(tag.album());
    v.comments = q(tag.comment());
    v.year = static_cast<int32_t>(std::min(tag.year(), 999999u));
    v.track = static_cast<int16_t>(std::min(tag.track(), 32767u));
}

// What apply_common changed, so that each format can finish those fields.
enum Changed : unsigned {
    changed_title = 1,
    changed_artist = 2,
    changed_album = 4,
    changed_comment = 8,
    changed_genre = 16,
    changed_year = 32,
    changed_track = 64,
};

// Only the fields whose value differs are set: a field the user left alone
// keeps its exact form in the file ("3/12" tracks, full dates, "(17)" genres).
unsigned apply_common(TagLib::Tag &tag, const TagValues &v, const QString &genre,
                      bool genre_differs)
{
    unsigned changed = 0;
    auto text = [&](TagLib::String (TagLib::Tag::*get)() const,
                    void (TagLib::Tag::*set)(const TagLib::String &), const QString &value,
                    Changed bit) {
        if (q((tag.*get)()) != value) {
            (tag.*set)(t(value));
            changed |= bit;
        }
    };
    text(&TagLib::Tag::title, &TagLib::Tag::setTitle, v.title, changed_title);
    text(&TagLib::Tag::artist, &TagLib::Tag::setArtist, v.artist, changed_artist);
    text(&TagLib::Tag::album, &TagLib::Tag::setAlbum, v.album, changed_album);
    text(&TagLib::Tag::comment, &TagLib::Tag::setComment, v.comments, changed_comment);
    if (genre_differs) {
        tag.setGenre(t(genre));
        changed |= changed_genre;
    }
    const unsigned year = v.year > 0 ? static_cast<unsigned>(v.year) : 0;
    if (tag.year() != year) {
        tag.setYear(year);
        changed |= changed_year;
    }
    const unsigned track = v.track > 0 ? static_cast<unsigned>(v.track) : 0;
    if (tag.track() != track) {
        tag.setTrack(track);
        changed |= changed_track;
    }
    return changed;
}

// Formats that store the genre as text: the text wins, the number fills in.
QString genre_as_text(const TagValues &v)
{
    return v.genre_text.isEmpty() ? genre_name(v.genre_index) : v.genre_text;
}
void genre_from_text(const QString &text, TagValues &v)
{
    v.genre_text = text;
    v.genre_index = static_cast<int16_t>(genre_index_of(text));
}

// ID3v2 keeps either a genre number ("17", from "(17)" in v2.3) or a name.
void read_id3v2(TagLib::ID3v2::Tag &tag, TagValues &v)
{
    read_common(tag, v);
    v.genre_text.clear();
    v.genre_index = -1;
    const auto &frames = tag.frameListMap()["TCON"];
    if (frames.isEmpty())
        return;
    const auto *frame = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame *>(frames.front());
    const TagLib::StringList fields =
        frame ? frame->fieldList() : TagLib::StringList(frames.front()->toString());
    if (fields.isEmpty())
        return;
    const QString first = q(fields.front()).trimmed();
    bool numeric = false;
    const int number = first.toInt(&numeric);
    if (numeric && number >= 0 && number <= 255) {
        v.genre_index = static_cast<int16_t>(number);
        v.genre_text = genre_name(number);
    } else {
        genre_from_text(first, v);
    }
}

// ID3 readers go by the number: the genre's name from the list when it has
// one, else the free text.
QString id3_genre(const TagValues &v)
{
    const QString name = genre_name(v.genre_index);
    return name.isEmpty() ? v.genre_text : name;
}

// RIFF INFO has no declared encoding: Velquor writes UTF-8, as current tools
// do, and reads older files written in an 8-bit code page as Latin-1.
class InfoText : public TagLib::RIFF::Info::StringHandler
{
public:
    TagLib::String parse(const TagLib::ByteVector &data) const override
    {
        QByteArray bytes(data.data(), static_cast<qsizetype>(data.size()));
        while (bytes.endsWith('\0'))
            bytes.chop(1);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(bytes);
        return t(utf8.hasError() ? QString::fromLatin1(bytes) : text);
    }
    TagLib::ByteVector render(const TagLib::String &s) const override
    {
        return s.data(TagLib::String::UTF8);
    }
};

void use_info_text()
{
    static const InfoText handler;
    static const bool installed = (TagLib::RIFF::Info::Tag::setStringHandler(&handler), true);
    Q_UNUSED(installed);
}

// TagLib accepts almost any bytes under an audio name; a file counts only
// when its audio can be found too.
bool has_audio(TagLib::File &f)
{
    return f.isValid() && f.audioProperties() && f.audioProperties()->sampleRate() > 0 &&
           f.audioProperties()->channels() > 0;
}

bool read_impl(const QString &path, Kind kind, TagValues &v)
{
    const QByteArray name = QFile::encodeName(path);
    switch (kind) {
    case Kind::mp3: {
        TagLib::MPEG::File f(name.constData(), true);
        if (!has_audio(f))
            return false;
        if (f.hasID3v2Tag()) {
            read_id3v2(*f.ID3v2Tag(), v);
        } else if (f.tag()) {
            read_common(*f.tag(), v);
            genre_from_text(q(f.tag()->genre()), v);
        }
        return true;
    }
    case Kind::wav: {
        TagLib::RIFF::WAV::File f(name.constData(), true);
        if (!has_audio(f))
            return false;
        if (f.hasID3v2Tag()) {
            read_id3v2(*f.ID3v2Tag(), v);
        } else {
            read_common(*f.InfoTag(), v);
            genre_from_text(q(f.InfoTag()->genre()), v);
        }
        return true;
    }
    case Kind::wma: {
        TagLib::ASF::File f(name.constData(), true);
        if (!has_audio(f) || !f.tag())
            return false;
        read_common(*f.tag(), v);
        genre_from_text(q(f.tag()->genre()), v);
        return true;
    }
    case Kind::ogg: {
        TagLib::Ogg::Vorbis::File f(name.constData(), true);
        if (!has_audio(f) || !f.tag())
            return false;
        read_common(*f.tag(), v);
        genre_from_text(q(f.tag()->genre()), v);
        return true;
    }
    case Kind::flac: {
        TagLib::FLAC::File f(name.constData(), true);
        if (!has_audio(f) || !f.tag())
            return false;
        // Vorbis comments first; an ID3 tag some programs add shows through f.tag().
        TagLib::Tag &tag = f.hasXiphComment() ? *f.xiphComment() : *f.tag();
        read_common(tag, v);
        genre_from_text(q(tag.genre()), v);
        return true;
    }
    case Kind::opus: {
        TagLib::Ogg::Opus::File f(name.constData(), true);
        if (!has_audio(f) || !f.tag())
            return false;
        read_common(*f.tag(), v);
        genre_from_text(q(f.tag()->genre()), v);
        return true;
    }
    case Kind::unknown:
        break;
    }
    return false;
}

// ID3v2: the genre goes by its number's name, so "(17)" and "Rock" are the same genre.
void apply_id3v2(TagLib::ID3v2::Tag &tag, const TagValues &v)
{
    TagValues before;
    read_id3v2(tag, before);
    const QString genre = id3_genre(v);
    const unsigned changed = apply_common(tag, v, genre, id3_genre(before) != genre);
    // What Velquor writes is Unicode: UTF-8 in v2.4, UTF-16 in v2.3.
    const bool v3 = tag.header()->majorVersion() == 3;
    const TagLib::String::Type encoding = v3 ? TagLib::String::UTF16 : TagLib::String::UTF8;
    const std::pair<unsigned, const char *> frames[] = {{changed_title, "TIT2"},
                                                        {changed_artist, "TPE1"},
                                                        {changed_album, "TALB"},
                                                        {changed_genre, "TCON"},
                                                        {changed_comment, "COMM"}};
    for (const auto &[bit, id] : frames) {
        if (!(changed & bit))
            continue;
        for (TagLib::ID3v2::Frame *frame : tag.frameListMap()[id]) {
            if (auto *text = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame *>(frame))
                text->setTextEncoding(encoding);
            else if (auto *comment = dynamic_cast<TagLib::ID3v2::CommentsFrame *>(frame))
                comment->setTextEncoding(encoding);
        }
    }
}

// Formats with the genre as text.
void apply_text_genre(TagLib::Tag &tag, const TagValues &v)
{
    const QString genre = genre_as_text(v);
    apply_common(tag, v, genre, q(tag.genre()) != genre);
}

// A file that had ID3v2.3 keeps it (some players read no v2.4); new tags are v2.4.
TagLib::ID3v2::Version id3v2_version(bool has_tag, TagLib::ID3v2::Tag *tag)
{
    return has_tag && tag && tag->header()->majorVersion() == 3 ? TagLib::ID3v2::v3
                                                                : TagLib::ID3v2::v4;
}

bool write_impl(const QString &path, Kind kind, const TagValues &v)
{
    const QByteArray name = QFile::encodeName(path);
    switch (kind) {
    case Kind::mp3: {
        TagLib::MPEG::File f(name.constData(), true);
        if (!has_audio(f) || f.readOnly())
            return false;
        const auto version = id3v2_version(f.hasID3v2Tag(), f.ID3v2Tag());
        apply_id3v2(*f.ID3v2Tag(true), v);
        // An ID3v1 tag the file already has is kept in step, so no reader
        // shows the old title from it.
        int tags = TagLib::MPEG::File::ID3v2;
        if (f.hasID3v1Tag()) {
            apply_text_genre(*f.ID3v1Tag(), v);
            tags |= TagLib::MPEG::File::ID3v1;
        }
        return f.save(tags, TagLib::File::StripNone, version, TagLib::File::DoNotDuplicate);
    }
    case Kind::wav: {
        TagLib::RIFF::WAV::File f(name.constData(), true);
        if (!has_audio(f) || f.readOnly())
            return false;
        const auto version = id3v2_version(f.hasID3v2Tag(), f.ID3v2Tag());
        apply_id3v2(*f.ID3v2Tag(), v);
        apply_text_genre(*f.InfoTag(), v);
        return f.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripNone, version);
    }
    case Kind::wma: {
        TagLib::ASF::File f(name.constData(), true);
        if (!has_audio(f) || f.readOnly() || !f.tag())
            return false;
        TagLib::ASF::Tag &tag = *f.tag();
        const QString genre = genre_as_text(v);
        const unsigned changed = apply_common(tag, v, genre, q(tag.genre()) != genre);
        // ASF keeps an emptied attribute as an empty one ("0" for year and
        // track): a value taken away is removed instead.
        if ((changed & changed_album) && v.album.isEmpty())
            tag.removeItem("WM/AlbumTitle");
        if ((changed & changed_genre) && genre.isEmpty())
            tag.removeItem("WM/Genre");
        if ((changed & changed_year) && v.year <= 0)
            tag.removeItem("WM/Year");
        if ((changed & changed_track) && v.track <= 0) {
            tag.removeItem("WM/TrackNumber");
            tag.removeItem("WM/Track");
        }
        return f.save();
    }
    case Kind::ogg: {
        TagLib::Ogg::Vorbis::File f(name.constData(), true);
        if (!has_audio(f) || f.readOnly() || !f.tag())
            return false;
        apply_text_genre(*f.tag(), v);
        return f.save();
    }
    case Kind::flac: {
        TagLib::FLAC::File f(name.constData(), true);
        if (!has_audio(f) || f.readOnly())
            return false;
        apply_text_genre(*f.xiphComment(true), v);
        return f.save();
    }
    case Kind::opus: {
        TagLib::Ogg::Opus::File f(name.constData(), true);
        if (!has_audio(f) || f.readOnly() || !f.tag())
            return false;
        apply_text_genre(*f.tag(), v);
        return f.save();
    }
    case Kind::unknown:
        break;
    }
    return false;
}

// The text fields every format keeps as they are given.
bool same_text(const TagValues &a, const TagValues &b)
{
    return a.title == b.title && a.artist == b.artist && a.album == b.album &&
           a.comments == b.comments;
}

// Flushes a file's data to the disk; false when it cannot.
bool sync_file(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Copies `source` into the open `copy`; false on any short read or write.
bool copy_into(QFile &source, QFile &copy)
{
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = source.read(buffer.data(), buffer.size());
        if (n < 0)
            return false;
        if (n == 0)
            return copy.flush();
        if (copy.write(buffer.constData(), n) != n)
            return false;
    }
}

} // namespace

bool read_tags(const QString &path, TagValues &values)
{
    // Fill a copy: a file that fails half-way leaves the caller's values alone.
    TagValues read = values;
    use_info_text();
    try {
        if (!read_impl(path, kind_of(path), read))
            return false;
    } catch (const std::exception &) {
        return false;
    }
    values = read;
    return true;
}

// Then TagLib rewrites only the end of the file; Velquor's own recordings are
// laid out so.
bool wav_tags_follow_audio(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(12);
    if (head.size() != 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return false;
    bool audio_seen = false;
    qint64 at = 12;
    while (at + 8 <= f.size()) {
        if (!f.seek(at))
            return false;
        const QByteArray chunk = f.read(8);
        if (chunk.size() != 8)
            return false;
        const QByteArray id = chunk.left(4);
        // Only a layout understood to its last byte is rewritten in place:
        // TagLib keeps bytes it cannot place and writes its chunks after
        // them, where no reader finds them.
        for (const char c : id)
            if (c < ' ' || c > '~')
                return false;
        const auto *b = reinterpret_cast<const uchar *>(chunk.constData() + 4);
        const qint64 size = b[0] | (b[1] << 8) | (b[2] << 16) | (qint64(b[3]) << 24);
        if (at + 8 + size > f.size())
            return false;
        if (id == "data")
            audio_seen = true;
        else if ((id == "LIST" || id == "ID3 " || id == "id3 ") && !audio_seen)
            return false;
        at += 8 + size + (size & 1);
    }
    // The last chunk may lack its pad byte; nothing else may follow it.
    return audio_seen && (at == f.size() || at == f.size() + 1);
}

// Room to grow a file by `bytes`, on its disk and under the process's file-size limit.
bool room_to_grow(const QString &path, qint64 size, qint64 bytes)
{
    struct statvfs disk {
    };
    if (::statvfs(QFile::encodeName(path).constData(), &disk) != 0 ||
        static_cast<qint64>(disk.f_bavail) * static_cast<qint64>(disk.f_frsize) < bytes)
        return false;
    rlimit limit{};
    return ::getrlimit(RLIMIT_FSIZE, &limit) == 0 &&
           (limit.rlim_cur == RLIM_INFINITY || static_cast<qint64>(limit.rlim_cur) >= size + bytes);
}

bool write_tags(const QString &path, const TagValues &values)
{
    const Kind kind = kind_of(path);
    // Through a link, to the file itself, so the link stays a link.
    const QString real = QFileInfo(path).canonicalFilePath();
    if (kind == Kind::unknown || real.isEmpty())
        return false;
    use_info_text();
    const QFileInfo info(real);
    if (!info.isFile() || !info.isWritable())
        return false;
    // A WAV file can be hours long; where its tags follow the audio they are
    // rewritten in place, with room for them checked first.
    constexpr qint64 tag_room = 4 << 20;
    if (kind == Kind::wav && wav_tags_follow_audio(real) &&
        room_to_grow(real, info.size(), tag_room)) {
        try {
            return write_impl(real, kind, values) && sync_file(real);
        } catch (const std::exception &) {
            return false;
        }
    }
    // Otherwise the tags go into a copy beside the file, which then replaces
    // it in one rename: a full disk, a removed file or a crash half-way leaves
    // the file exactly as it was, where TagLib writing in place may move the
    // audio and cut it short.
    QFile source(real);
    QTemporaryFile copy(info.absolutePath() + QStringLiteral("/.velquor-tags-XXXXXX"));
    if (!source.open(QIODevice::ReadOnly) || !copy.open() || !copy_into(source, copy))
        return false;
    source.close();
    copy.close();
    try {
        // TagLib can write tags where it cannot find them again (after bytes
        // of a layout it only half understood): such a copy never replaces
        // the file.
        TagValues written;
        if (!write_impl(copy.fileName(), kind, values) ||
            !read_impl(copy.fileName(), kind, written) || !same_text(written, values))
            return false;
    } catch (const std::exception &) {
        return false;
    }
    if (!sync_file(copy.fileName()) || !copy.setPermissions(info.permissions()))
        return false;
    if (::rename(QFile::encodeName(copy.fileName()).constData(),
                 QFile::encodeName(real).constData()) != 0)
        return false;
    copy.setAutoRemove(false);
    return true;
}
