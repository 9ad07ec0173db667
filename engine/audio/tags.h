#pragma once
// Tag access over TagLib, chosen by the file's extension: ID3v2 in .mp3,
// ASF attributes in .wma, Vorbis comments in .ogg, RIFF INFO and ID3v2 in
// .wav. Blocking file I/O on the caller's thread. Both functions return
// false (and never throw) for a file they cannot read or write; read_tags
// leaves `values` untouched then.

#include <QString>
#include <cstdint>

struct TagValues {
    QString title, artist, album, comments, genre_text;
    int16_t genre_index = -1; // position in genre_names(), -1 for none
    int32_t year = 0;         // 0: none
    int16_t track = 0;        // 0: none
};

bool read_tags(const QString &path, TagValues &values);
bool write_tags(const QString &path, const TagValues &values);

// True when a WAV file's tag chunks all follow its audio, so tags can be
// rewritten at its end without moving the audio; false for anything else.
bool wav_tags_follow_audio(const QString &path);
