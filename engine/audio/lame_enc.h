#pragma once
// TAudioFile2LameEnc: the MP3 encoder's settings, handed to
// TAudioFile2::SetMp3Encoder. Plain values: every property reads back exactly
// what was written. Quality and VbrQuality are LAME's 0 (best, slowest) to
// 9 (worst, fastest); bit rates are kbit/s.

#include <QObject>
#include <cstdint>

class TAudioFile2LameEnc : public QObject
{
    Q_OBJECT
public:
    explicit TAudioFile2LameEnc(QObject *parent = nullptr) : QObject(parent) {}

    uint32_t SampleRate() const { return m_sample_rate; }
    void setSampleRate(uint32_t v) { m_sample_rate = v; }
    int Bitrate() const { return m_bitrate; }
    void setBitrate(int v) { m_bitrate = v; }
    int Channels() const { return m_channels; }
    void setChannels(int v) { m_channels = v; }
    int Quality() const { return m_quality; }
    void setQuality(int v) { m_quality = v; }
    bool ConstantBitrate() const { return m_constant_bitrate; }
    void setConstantBitrate(bool v) { m_constant_bitrate = v; }
    int VbrBitrate() const { return m_vbr_bitrate; }
    void setVbrBitrate(int v) { m_vbr_bitrate = v; }
    int VbrQuality() const { return m_vbr_quality; }
    void setVbrQuality(int v) { m_vbr_quality = v; }

private:
    uint32_t m_sample_rate = 44100;
    int m_bitrate = 128;
    int m_channels = 2;
    int m_quality = 9;
    bool m_constant_bitrate = true;
    int m_vbr_bitrate = 128;
    int m_vbr_quality = 9;
};
