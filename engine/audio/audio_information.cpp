#include "audio/audio_information.h"

#include "audio/codecs.h"
#include "audio/tags.h"

bool TAudioInformation2::ReadFromFile(const QString &path)
{
    TagValues v;
    try {
        if (!codecs().read_tags(path, v))
            return false;
    } catch (const EngineError &) {
        return false;
    }
    infoTitle = v.title;
    infoArtist = v.artist;
    infoAlbum = v.album;
    infoComments = v.comments;
    infoGenreS = v.genre_text;
    infoGenreIndex = v.genre_index;
    infoYear = v.year;
    infoTrack = v.track;
    return true;
}

bool TAudioInformation2::WriteToFile(const QString &path)
{
    TagValues v;
    v.title = infoTitle;
    v.artist = infoArtist;
    v.album = infoAlbum;
    v.comments = infoComments;
    v.genre_text = infoGenreS;
    v.genre_index = infoGenreIndex;
    v.year = infoYear;
    v.track = infoTrack;
    try {
        return codecs().write_tags(path, v);
    } catch (const EngineError &) {
        return false;
    }
}
