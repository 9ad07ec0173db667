#include "audio/audio_file.h"

#include "audio/audio_decoder.h"
#include "audio/audio_writer.h"
#include "audio/codecs.h"
#include "audio/flac_writer.h"
#include "audio/lame_enc.h"
#include "audio/mp3_writer.h"
#include "audio/ogg_writer.h"
#include "audio/opus_writer.h"
#include "audio/wma_profiles.h"

#include <algorithm>
#include <functional>
#include <limits>

namespace
{

// ErrorCode values.
constexpr int error_format = 1; // no format chosen, or one the encoder refuses
constexpr int error_create = 2; // the file cannot be created
constexpr int error_write = 3;  // writing failed; what came before is kept
constexpr int error_finish = 4; // the file could not be completed

} // namespace

struct TAudioFile2::Impl {
    // Format choice: what CreateOutputFile builds, and the format it takes.
    std::function<std::unique_ptr<AudioWriter>()> make_writer;
    QString format_error;
    uint32_t out_rate = 0;
    int out_channels = 0;

    std::unique_ptr<AudioWriter> writer;
    int64_t written = 0;
    bool write_failed = false;

    std::unique_ptr<AudioDecoder> decoder;

    void choose(uint32_t rate, int channels, std::function<std::unique_ptr<AudioWriter>()> make)
    {
        out_rate = rate;
        out_channels = channels;
        make_writer = std::move(make);
        format_error.clear();
    }
};

TAudioFile2::TAudioFile2(QObject *parent) : QObject(parent), m_impl(std::make_unique<Impl>()) {}

TAudioFile2::~TAudioFile2()
{
    try {
        CloseFile();
    } catch (...) {
    }
}

void TAudioFile2::OpenFile(const QString &path, int, int)
{
    CloseFile();
    m_impl->decoder = codecs().open_decoder(path);
}

int TAudioFile2::TotalSamples() const
{
    if (!m_impl->decoder)
        return 0;
    // The interface counts in 32 bits: about 6.7 hours of 44.1 kHz stereo.
    return static_cast<int>(
        std::min<int64_t>(m_impl->decoder->total_samples(), std::numeric_limits<int>::max()));
}

int TAudioFile2::Duration() const
{
    int64_t ms = 0;
    if (m_impl->writer)
        ms = samples_to_ms(m_impl->written, m_impl->writer->sample_rate(),
                           m_impl->writer->channels());
    else if (m_impl->decoder)
        ms = samples_to_ms(m_impl->decoder->total_samples(), m_impl->decoder->sample_rate(),
                           m_impl->decoder->channels());
    return static_cast<int>(std::min<int64_t>(ms, std::numeric_limits<int>::max()));
}

uint32_t TAudioFile2::SampleRate() const
{
    if (m_impl->writer)
        return m_impl->writer->sample_rate();
    if (m_impl->decoder)
        return m_impl->decoder->sample_rate();
    return m_impl->out_rate;
}

int TAudioFile2::Channels() const
{
    if (m_impl->writer)
        return m_impl->writer->channels();
    if (m_impl->decoder)
        return m_impl->decoder->channels();
    return m_impl->out_channels;
}

uint32_t TAudioFile2::BitsPerSample() const
{
    return m_impl->decoder ? m_impl->decoder->bits_per_sample() : 16;
}

int TAudioFile2::Bitrate() const
{
    if (!m_impl->decoder)
        return 0;
    return static_cast<int>(
        std::clamp<int64_t>(m_impl->decoder->bit_rate(), 0, std::numeric_limits<int>::max()));
}

QString TAudioFile2::FormatCode() const
{
    return m_impl->decoder ? m_impl->decoder->format_code() : QString();
}

int TAudioFile2::Seek(int position, int)
{
    if (!m_impl->decoder)
        return 0;
    m_impl->decoder->seek(position);
    return position;
}

SampleArray TAudioFile2::ReadArray(int count)
{
    if (!m_impl->decoder || count <= 0)
        return {};
    return m_impl->decoder->read(count);
}

bool TAudioFile2::IsOpen() const
{
    return m_impl->decoder || m_impl->writer;
}

void TAudioFile2::CloseFile()
{
    m_impl->decoder.reset();
    if (!m_impl->writer)
        return;
    // Finishing errors are reported like write errors: through ErrorCode, so
    // the recorder's stop sequence runs to its end either way.
    std::unique_ptr<AudioWriter> writer = std::move(m_impl->writer);
    try {
        writer->close();
    } catch (const EngineError &e) {
        if (m_error_code == 0) {
            m_error_code = error_finish;
            m_error_text = e.message();
        }
    }
}

bool TAudioFile2::CheckMp3Format(uint32_t sample_rate, int bitrate_kbps, int channels) const
{
    try {
        return codecs().mp3_format_supported(sample_rate, bitrate_kbps, channels);
    } catch (const EngineError &) {
        return false;
    }
}

void TAudioFile2::SetMp3Encoder(const TAudioFile2LameEnc &encoder)
{
    Mp3Settings s;
    s.sample_rate = encoder.SampleRate();
    s.channels = encoder.Channels();
    s.bitrate_kbps = encoder.Bitrate();
    s.quality = encoder.Quality();
    s.constant_bitrate = encoder.ConstantBitrate();
    s.vbr_min_kbps = encoder.VbrBitrate();
    s.vbr_quality = encoder.VbrQuality();
    m_impl->choose(s.sample_rate, s.channels, [s] { return codecs().make_mp3_writer(s); });
}

void TAudioFile2::SetWmaProfile(int profile)
{
    const WmaProfile *p = wma_profile(profile);
    if (!p) {
        m_impl->choose(0, 0, nullptr);
        m_impl->format_error = QStringLiteral("There is no WMA profile %1").arg(profile);
        return;
    }
    const WmaProfile preset = *p;
    m_impl->choose(preset.sample_rate, preset.channels, [preset] {
        return codecs().make_wma_writer(preset.sample_rate, preset.channels, preset.bitrate_kbps);
    });
}

void TAudioFile2::SetWavFormat(uint32_t sample_rate, int channels, uint32_t bits_per_sample)
{
    m_impl->choose(sample_rate, channels, [=] {
        return codecs().make_wav_writer(sample_rate, channels, bits_per_sample);
    });
}

bool TAudioFile2::CheckOggFormat(uint32_t sample_rate, int channels, int bitrate, int max_bitrate,
                                 int min_bitrate) const
{
    try {
        return codecs().ogg_format_supported(sample_rate, channels, bitrate, max_bitrate,
                                             min_bitrate);
    } catch (const EngineError &) {
        return false;
    }
}

void TAudioFile2::SetOggFormat(uint32_t sample_rate, int channels, int bitrate, int max_bitrate,
                               int min_bitrate, int16_t quality)
{
    OggSettings s;
    s.sample_rate = sample_rate;
    s.channels = channels;
    s.bitrate_kbps = bitrate;
    s.max_bitrate_kbps = max_bitrate;
    s.min_bitrate_kbps = min_bitrate;
    s.quality = quality < 0 ? -1 : std::min<int>(quality, 1000);
    m_impl->choose(sample_rate, channels, [s] { return codecs().make_ogg_writer(s); });
}

void TAudioFile2::SetFlacFormat(uint32_t sample_rate, int channels, int bits_per_sample, int level)
{
    FlacSettings s;
    s.sample_rate = sample_rate;
    s.channels = channels;
    s.bits_per_sample = bits_per_sample;
    s.level = level;
    m_impl->choose(sample_rate, channels, [s] { return codecs().make_flac_writer(s); });
}

void TAudioFile2::SetOpusFormat(int channels, int bitrate_kbps, bool voice, int complexity)
{
    OpusSettings s;
    s.channels = channels;
    s.bitrate_kbps = bitrate_kbps;
    s.voice = voice;
    s.complexity = complexity;
    m_impl->choose(opus_sample_rate, channels, [s] { return codecs().make_opus_writer(s); });
}

void TAudioFile2::CreateOutputFile(const QString &path, int)
{
    CloseFile();
    m_error_code = 0;
    m_error_text.clear();
    m_impl->written = 0;
    m_impl->write_failed = false;
    if (!m_impl->make_writer) {
        m_error_code = error_format;
        m_error_text = m_impl->format_error.isEmpty()
                           ? QStringLiteral("No output format was chosen")
                           : m_impl->format_error;
        return;
    }
    std::unique_ptr<AudioWriter> writer;
    try {
        writer = m_impl->make_writer();
        writer->open(path);
    } catch (const EngineError &e) {
        m_error_code = error_create;
        m_error_text = e.message();
        return;
    }
    m_impl->writer = std::move(writer);
}

int64_t TAudioFile2::RoomSamples() const
{
    return m_impl->writer ? m_impl->writer->room() : -1;
}

bool TAudioFile2::WriteArray(const SampleArray &samples)
{
    if (!m_impl->writer) {
        if (m_error_code == 0) {
            m_error_code = error_write;
            m_error_text = QStringLiteral("No output file is open");
        }
        return false;
    }
    if (m_impl->write_failed)
        return false; // a file that failed once gets nothing more
    if (samples.empty())
        return true;
    try {
        m_impl->writer->write(samples.data(), samples.size());
    } catch (const EngineError &e) {
        m_impl->write_failed = true;
        m_error_code = error_write;
        m_error_text = e.message();
        return false;
    }
    const int channels = m_impl->writer->channels();
    m_impl->written += static_cast<int64_t>(samples.size() - samples.size() % channels);
    return true;
}
