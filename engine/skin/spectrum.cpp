#include "skin/spectrum.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

RealSpectrum::RealSpectrum(int size) : m_size(size)
{
    if (size < 4 || (size & (size - 1)) != 0)
        throw std::invalid_argument("RealSpectrum needs a power of two of at least 4");
    const int half = size / 2;
    m_reverse.resize(half);
    int bits = 0;
    while ((1 << bits) < half)
        ++bits;
    for (int i = 0; i < half; ++i) {
        int r = 0;
        for (int b = 0; b < bits; ++b)
            r |= ((i >> b) & 1) << (bits - 1 - b);
        m_reverse[i] = r;
    }
    const auto angle = [size](int k) { return -2.0 * std::numbers::pi * k / size; };
    m_split_re.resize(half);
    m_split_im.resize(half);
    for (int k = 0; k < half; ++k) {
        m_split_re[k] = static_cast<float>(std::cos(angle(k)));
        m_split_im[k] = static_cast<float>(std::sin(angle(k)));
    }
    // The stage of length len uses the factors of every (size / len)-th k.
    for (int len = 2; len <= half; len <<= 1) {
        for (int j = 0; j < len / 2; ++j) {
            m_stage_re.push_back(m_split_re[j * (size / len)]);
            m_stage_im.push_back(m_split_im[j * (size / len)]);
        }
    }
    m_re.resize(half);
    m_im.resize(half);
}

void RealSpectrum::transform(const float *in, float *out)
{
    // The real input of length N packed as N/2 complex values, transformed
    // with a radix-2 FFT of N/2 points, then split into the N/2 + 1 bins.
    const int half = m_size / 2;
    float *re = m_re.data();
    float *im = m_im.data();
    for (int i = 0; i < half; ++i) {
        re[m_reverse[i]] = in[2 * i];
        im[m_reverse[i]] = in[2 * i + 1];
    }
    const float *stage_re = m_stage_re.data();
    const float *stage_im = m_stage_im.data();
    for (int len = 2; len <= half; len <<= 1) {
        const int h = len / 2;
        for (int start = 0; start < half; start += len) {
            float *ar = re + start, *ai = im + start;
            float *br = ar + h, *bi = ai + h;
            for (int j = 0; j < h; ++j) {
                const float tr = br[j] * stage_re[j] - bi[j] * stage_im[j];
                const float ti = br[j] * stage_im[j] + bi[j] * stage_re[j];
                br[j] = ar[j] - tr;
                bi[j] = ai[j] - ti;
                ar[j] += tr;
                ai[j] += ti;
            }
        }
        stage_re += h;
        stage_im += h;
    }
    for (int k = 0; k <= half; ++k) {
        const int a = k % half, b = (half - k) % half;
        // z = work[k], zc = conj(work[half - k]); even = (z + zc) / 2,
        // odd = -i (z - zc) / 2, bin = even + w^k odd.
        const float even_re = 0.5f * (re[a] + re[b]);
        const float even_im = 0.5f * (im[a] - im[b]);
        const float odd_re = 0.5f * (im[a] + im[b]);
        const float odd_im = -0.5f * (re[a] - re[b]);
        const float wr = k < half ? m_split_re[k] : -1.0f;
        const float wi = k < half ? m_split_im[k] : 0.0f;
        out[2 * k] = even_re + wr * odd_re - wi * odd_im;
        out[2 * k + 1] = even_im + wr * odd_im + wi * odd_re;
    }
}
