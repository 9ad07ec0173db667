// The entry point of the codec module (see codecs.h).
#include "audio/audio_decoder.h"
#include "audio/codecs.h"
#include "audio/flac_writer.h"
#include "audio/library_messages.h"
#include "audio/mp3_writer.h"
#include "audio/ogg_writer.h"
#include "audio/opus_writer.h"
#include "audio/tags.h"
#include "audio/wav_writer.h"
#include "audio/wma_writer.h"

namespace
{

std::unique_ptr<AudioWriter> mp3(const Mp3Settings &s)
{
    return std::make_unique<Mp3Writer>(s);
}
std::unique_ptr<AudioWriter> ogg(const OggSettings &s)
{
    return std::make_unique<OggWriter>(s);
}
std::unique_ptr<AudioWriter> wav(uint32_t rate, int channels, uint32_t bits)
{
    return std::make_unique<WavWriter>(rate, channels, bits);
}
std::unique_ptr<AudioWriter> wma(uint32_t rate, int channels, int kbps)
{
    return std::make_unique<WmaWriter>(rate, channels, kbps);
}
std::unique_ptr<AudioWriter> flac(const FlacSettings &s)
{
    return std::make_unique<FlacWriter>(s);
}
std::unique_ptr<AudioWriter> opus(const OpusSettings &s)
{
    return std::make_unique<OpusWriter>(s);
}

} // namespace

extern "C" __attribute__((visibility("default"))) const CodecTable *velquor_codec_table()
{
    static const CodecTable table = [] {
        quiet_library_messages();
        return CodecTable{codec_table_version,
                          mp3,
                          ogg,
                          wav,
                          wma,
                          open_audio_decoder,
                          mp3_format_supported,
                          ogg_format_supported,
                          read_tags,
                          write_tags,
                          flac,
                          opus};
    }();
    return &table;
}
