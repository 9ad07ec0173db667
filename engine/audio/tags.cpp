#include "audio/tags.h"

#include "audio/genres.h"

#include <QFile>
#include <QFileInfo>
#include <exception>
#include <taglib/asffile.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>

namespace
{

enum class Kind { mp3, wma, ogg, wav, unknown };

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

void write_common(TagLib::Tag &tag, const TagValues &v, const QString &genre)
{
    tag.setTitle(t(v.title));
    tag.setArtist(t(v.artist));
    tag.setAlbum(t(v.album));
    tag.setComment(t(v.comments));
    tag.setGenre(t(genre));
    tag.setYear(v.year > 0 ? static_cast<unsigned>(v.year) : 0);
    tag.setTrack(v.track > 0 ? static_cast<unsigned>(v.track) : 0);
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

// TagLib accepts almost any bytes under an audio name; a file counts only
// when its audio can be found too.
bool has_audio(TagLib::File &f)
{
    return f.isValid() && f.audioProperties() && f.audioProperties()->sampleRate() > 0 &&
           f.audioProperties()->channels() > 0;
}

bool read_impl(const QString &path, TagValues &v)
{
    const QByteArray name = QFile::encodeName(path);
    switch (kind_of(path)) {
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
    case Kind::unknown:
        break;
    }
    return false;
}

bool write_impl(const QString &path, const TagValues &v)
{
    const QByteArray name = QFile::encodeName(path);
    switch (kind_of(path)) {
    case Kind::mp3: {
        TagLib::MPEG::File f(name.constData(), true);
        if (!has_audio(f) || f.readOnly())
            return false;
        write_common(*f.ID3v2Tag(true), v, id3_genre(v));
        return f.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4,
                      TagLib::File::DoNotDuplicate);
    }
    case Kind::wav: {
        TagLib::RIFF::WAV::File f(name.constData(), true);
        if (!has_audio(f) || f.readOnly())
            return false;
        write_common(*f.ID3v2Tag(), v, id3_genre(v));
        write_common(*f.InfoTag(), v, genre_as_text(v));
        return f.save(TagLib::RIFF::WAV::File::AllTags, TagLib::File::StripNone, TagLib::ID3v2::v4);
    }
    case Kind::wma: {
        TagLib::ASF::File f(name.constData(), true);
        if (!has_audio(f) || f.readOnly() || !f.tag())
            return false;
        write_common(*f.tag(), v, genre_as_text(v));
        return f.save();
    }
    case Kind::ogg: {
        TagLib::Ogg::Vorbis::File f(name.constData(), true);
        if (!has_audio(f) || f.readOnly() || !f.tag())
            return false;
        write_common(*f.tag(), v, genre_as_text(v));
        return f.save();
    }
    case Kind::unknown:
        break;
    }
    return false;
}

} // namespace

bool read_tags(const QString &path, TagValues &values)
{
    // Fill a copy: a file that fails half-way leaves the caller's values alone.
    TagValues read = values;
    try {
        if (!read_impl(path, read))
            return false;
    } catch (const std::exception &) {
        return false;
    }
    values = read;
    return true;
}

bool write_tags(const QString &path, const TagValues &values)
{
    try {
        return write_impl(path, values);
    } catch (const std::exception &) {
        return false;
    }
}
