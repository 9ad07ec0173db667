#pragma once
// TAudioFile2: reads any audio file FFmpeg opens, and writes MP3, WMA, WAV,
// OGG, FLAC or Opus. Counts are interleaved samples (audio_types.h). Called on the
// user-interface thread only; every call returns when its work is done.
//
// Reading:  OpenFile -> properties / Seek / ReadArray ... -> CloseFile.
// Writing:  one format choice (SetMp3Encoder, SetWmaProfile, SetWavFormat,
//           SetOggFormat, SetFlacFormat, SetOpusFormat) -> CreateOutputFile ->
//           WriteArray ... -> CloseFile.
// Errors: OpenFile throws EngineError; CreateOutputFile, WriteArray and
// CloseFile set ErrorCode (and WriteArray returns false) instead of throwing,
// so that a recorder can finish the file and tell the user: 1 format refused,
// 2 file not created, 3 write failed (what came before stays playable),
// 4 file not completed. CreateOutputFile clears it.

#include "audio_types.h"

#include <QObject>
#include <QString>
#include <memory>

class TAudioFile2LameEnc;
class AudioDecoder;
class AudioWriter;

class TAudioFile2 : public QObject
{
    Q_OBJECT
public:
    explicit TAudioFile2(QObject *parent = nullptr);
    ~TAudioFile2() override;

    // Nothing depends on it; kept so windows can switch it as they always did.
    bool Active() const { return m_active; }
    void setActive(bool active) { m_active = active; }

    // --- reading ---
    void OpenFile(const QString &path, int mode = 0, int flags = 1);
    int TotalSamples() const;
    int Duration() const; // ms; while writing: the length written so far
    uint32_t SampleRate() const;
    int Channels() const;
    uint32_t BitsPerSample() const;
    int Bitrate() const;        // bit/s
    QString FormatCode() const; // the container the reader found, e.g. "MP3"; empty when closed
    int Seek(int position, int mode = 3);
    SampleArray ReadArray(int count);
    bool IsOpen() const;
    void CloseFile();

    // --- writing ---
    bool CheckMp3Format(uint32_t sample_rate, int bitrate_kbps, int channels) const;
    void SetMp3Encoder(const TAudioFile2LameEnc &encoder);
    void SetWmaProfile(int profile); // 1..47
    void SetWavFormat(uint32_t sample_rate, int channels, uint32_t bits_per_sample);
    bool CheckOggFormat(uint32_t sample_rate, int channels, int bitrate, int max_bitrate,
                        int min_bitrate) const;
    void SetOggFormat(uint32_t sample_rate, int channels, int bitrate, int max_bitrate,
                      int min_bitrate, int16_t quality);
    // bits 16 or 24, level 0..8.
    void SetFlacFormat(uint32_t sample_rate, int channels, int bits_per_sample, int level);
    // Always 48000 Hz; bit rate in kbit/s, voice: the "voice" application.
    void SetOpusFormat(int channels, int bitrate_kbps, bool voice, int complexity);
    void CreateOutputFile(const QString &path, int mode = 0);
    int ErrorCode() const { return m_error_code; }
    QString ErrorText() const { return m_error_text; }
    bool WriteArray(const SampleArray &samples);
    // Samples the open output file can still take (a WAV file's 4 GiB);
    // -1 when there is no limit or no file.
    int64_t RoomSamples() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    bool m_active = false;
    int m_error_code = 0;
    QString m_error_text;
};
