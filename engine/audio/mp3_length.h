#pragma once
// A fast length probe for MP3 files that never decodes audio: the frame count
// of a Xing/Info or VBRI header when the first frame carries one, else the
// number of frames found by walking the frame headers. Reads the file; any
// thread; blocks for the read (a few milliseconds for a song). Returns
// nullopt for a file without a run of valid MPEG audio frames.

#include <QString>
#include <cstdint>
#include <optional>

struct Mp3Length {
    int64_t frames = 0; // per channel, after the encoder delay and padding the header names
    uint32_t sample_rate = 0;
    bool from_header = false; // false: counted frame by frame
};

std::optional<Mp3Length> probe_mp3_length(const QString &path);
