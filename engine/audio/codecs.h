#pragma once
// The codec libraries (LAME, libvorbis, libsndfile, libFLAC, libopusenc, FFmpeg, TagLib) live in a
// module of their own, loaded the first time a file is written, read or
// tagged, so that a start-up pays nothing for them. codecs() loads it on the
// calling thread (the user-interface thread; a few milliseconds, once) and
// throws EngineError when the module cannot be loaded.
#include "audio_types.h"

#include <QString>
#include <memory>
#include <thread>

class AudioWriter;
class AudioDecoder;
struct Mp3Settings;
struct OggSettings;
struct FlacSettings;
struct OpusSettings;
struct TagValues;

struct CodecTable {
    int version;
    std::unique_ptr<AudioWriter> (*make_mp3_writer)(const Mp3Settings &);
    std::unique_ptr<AudioWriter> (*make_ogg_writer)(const OggSettings &);
    std::unique_ptr<AudioWriter> (*make_wav_writer)(uint32_t sample_rate, int channels,
                                                    uint32_t bits_per_sample);
    std::unique_ptr<AudioWriter> (*make_wma_writer)(uint32_t sample_rate, int channels,
                                                    int bitrate_kbps);
    std::unique_ptr<AudioDecoder> (*open_decoder)(const QString &path); // throws EngineError
    bool (*mp3_format_supported)(uint32_t sample_rate, int bitrate_kbps, int channels);
    bool (*ogg_format_supported)(uint32_t sample_rate, int channels, int bitrate_kbps,
                                 int max_bitrate_kbps, int min_bitrate_kbps);
    bool (*read_tags)(const QString &path, TagValues &values);
    bool (*write_tags)(const QString &path, const TagValues &values);
    std::unique_ptr<AudioWriter> (*make_flac_writer)(const FlacSettings &);
    std::unique_ptr<AudioWriter> (*make_opus_writer)(const OpusSettings &);
};

// Bumped whenever CodecTable changes, so a stale module is refused.
constexpr int codec_table_version = 2;

const CodecTable &codecs();

// Loads the module on a thread of its own once the program is idle, so the
// first recording or playback does not wait for it either. A failure is left
// for the first real use to report. The destructor waits for the load.
class CodecPreload
{
public:
    CodecPreload() = default;
    CodecPreload(const CodecPreload &) = delete;
    CodecPreload &operator=(const CodecPreload &) = delete;
    ~CodecPreload();
    void start();

private:
    std::thread m_thread;
};
