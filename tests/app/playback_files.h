#pragma once
// Audio files for the playback tests, made by other programs (sox, lame,
// oggenc, ffmpeg, mid3v2), and what ffprobe says of them.

#include <QString>
#include <QStringList>

namespace playback_files
{

// Runs a program to its end (bounded); true when it exited with 0.
bool run(const QString &program, const QStringList &args, int timeout_ms = 60000);

// sox -n with the given format into `path` (its extension picks the type),
// then the effects, e.g. {"synth", "2", "sine", "440"}.
bool sox(const QString &path, const QStringList &effects, int rate = 8000, int channels = 1,
         int bits = 16);

// The decoded length in seconds as ffprobe counts it, frame by frame, so that
// a variable-bit-rate MP3 without a Xing header is measured, not guessed.
double ffprobe_seconds(const QString &path);

} // namespace playback_files
