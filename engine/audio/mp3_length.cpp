#include "audio/mp3_length.h"

#include <QFile>
#include <array>

namespace
{

struct FrameHeader {
    int version = 0; // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    int layer = 0;   // 1, 2, 3
    uint32_t sample_rate = 0;
    int size = 0;    // bytes, header included
    int samples = 0; // per channel
    bool mono = false;
};

// Parses the four bytes at p; nullopt for anything that is not a frame header.
std::optional<FrameHeader> parse_header(const uint8_t *p)
{
    if (p[0] != 0xff || (p[1] & 0xe0) != 0xe0)
        return std::nullopt;
    FrameHeader h;
    h.version = (p[1] >> 3) & 3;
    const int layer_bits = (p[1] >> 1) & 3;
    const int rate_index = p[2] >> 4;
    const int freq_index = (p[2] >> 2) & 3;
    if (h.version == 1 || layer_bits == 0 || rate_index == 0 || rate_index == 15 || freq_index == 3)
        return std::nullopt; // reserved, or free format which has no size of its own
    h.layer = 4 - layer_bits;
    static constexpr std::array<std::array<int, 15>, 5> kbps{{
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // V1 L1
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // V1 L2
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // V1 L3
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // V2 L1
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},         // V2 L2, L3
    }};
    static constexpr std::array<std::array<uint32_t, 3>, 4> rates{
        {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}}};
    const bool v1 = h.version == 3;
    const int table = v1 ? h.layer - 1 : (h.layer == 1 ? 3 : 4);
    const int64_t bitrate = int64_t{kbps[table][rate_index]} * 1000;
    h.sample_rate = rates[h.version][freq_index];
    const int padding = (p[2] >> 1) & 1;
    if (h.layer == 1) {
        h.samples = 384;
        h.size = static_cast<int>((12 * bitrate / h.sample_rate + padding) * 4);
    } else if (h.layer == 2 || v1) {
        h.samples = 1152;
        h.size = static_cast<int>(144 * bitrate / h.sample_rate + padding);
    } else {
        h.samples = 576;
        h.size = static_cast<int>(72 * bitrate / h.sample_rate + padding);
    }
    h.mono = (p[3] >> 6) == 3;
    return h;
}

uint32_t be32(const uint8_t *p)
{
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// Two headers in a row of the same stream: a real frame, not a stray 0xff.
bool frame_at(const uint8_t *data, int64_t size, int64_t at, FrameHeader &out)
{
    if (at + 4 > size)
        return false;
    const auto h = parse_header(data + at);
    if (!h)
        return false;
    if (at + h->size + 4 <= size) {
        const auto next = parse_header(data + at + h->size);
        if (!next || next->version != h->version || next->layer != h->layer ||
            next->sample_rate != h->sample_rate)
            return false;
    }
    out = *h;
    return true;
}

// The frame count of a Xing/Info or VBRI header in the frame at `at`; -1 if none.
int64_t header_frames(const uint8_t *data, int64_t size, int64_t at, const FrameHeader &h,
                      int64_t &delay, int64_t &padding)
{
    delay = padding = 0;
    const uint8_t *f = data + at;
    const int64_t room = std::min<int64_t>(h.size, size - at);
    const int side = h.version == 3 ? (h.mono ? 17 : 32) : (h.mono ? 9 : 17);
    int64_t x = 4 + side;
    if (room >= x + 16 &&
        (std::equal(f + x, f + x + 4, "Xing") || std::equal(f + x, f + x + 4, "Info"))) {
        const uint32_t flags = be32(f + x + 4);
        x += 8;
        if (!(flags & 1))
            return -1;
        const int64_t frames = be32(f + x);
        x += 4;
        if (flags & 2)
            x += 4;
        if (flags & 4)
            x += 100;
        if (flags & 8)
            x += 4;
        // LAME's extension: 21 bytes in come the 12-bit delay and padding.
        if (room >= x + 24 && std::equal(f + x, f + x + 4, "LAME")) {
            delay = int64_t{f[x + 21]} << 4 | f[x + 22] >> 4;
            padding = int64_t{f[x + 22] & 0x0f} << 8 | f[x + 23];
        }
        return frames;
    }
    if (room >= 36 + 18 && std::equal(f + 36, f + 40, "VBRI"))
        return be32(f + 36 + 14);
    return -1;
}

} // namespace

std::optional<Mp3Length> probe_mp3_length(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const int64_t size = file.size();
    const uint8_t *data = size > 0 ? file.map(0, size) : nullptr;
    if (!data)
        return std::nullopt;

    int64_t at = 0;
    if (size >= 10 && std::equal(data, data + 3, "ID3")) {
        const auto b = [&](int i) { return int64_t{data[i] & 0x7f}; };
        at = 10 + (b(6) << 21 | b(7) << 14 | b(8) << 7 | b(9));
        if (data[5] & 0x10)
            at += 10; // footer
    }
    // The first frame: up to 64 KiB of junk before it is tolerated.
    FrameHeader first;
    const int64_t search_end = std::min(size, at + 64 * 1024);
    while (at < search_end && !frame_at(data, size, at, first))
        ++at;
    if (at >= search_end)
        return std::nullopt;

    Mp3Length length;
    length.sample_rate = first.sample_rate;
    int64_t delay = 0, padding = 0;
    const int64_t frames = header_frames(data, size, at, first, delay, padding);
    if (frames > 0) {
        const int64_t total = frames * first.samples - delay - padding;
        if (total > 0) {
            length.frames = total;
            length.from_header = true;
            return length;
        }
    }
    // No header: walk the frames; a tag or junk in between is skipped by
    // looking for the next pair of headers, the end of the file stops it.
    int64_t count = 0;
    while (at + 4 <= size) {
        FrameHeader h;
        const auto one = parse_header(data + at);
        if (one && one->sample_rate == first.sample_rate && one->layer == first.layer &&
            at + one->size <= size) {
            ++count;
            at += one->size;
            continue;
        }
        ++at;
        while (at + 4 <= size && !frame_at(data, size, at, h))
            ++at;
    }
    if (count == 0)
        return std::nullopt;
    length.frames = count * first.samples;
    return length;
}
