#include "skin/spectrum.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace
{

// Without -ffast-math, std::complex's operator* goes through a library call
// that handles infinities; these values are always finite.
std::complex<float> mul(std::complex<float> a, std::complex<float> b)
{
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

} // namespace

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
    m_twiddle.resize(half);
    for (int k = 0; k < half; ++k)
        m_twiddle[k] = std::polar(1.0f, static_cast<float>(-2.0 * std::numbers::pi * k / size));
    m_work.resize(half);
}

void RealSpectrum::transform(const float *in, float *out)
{
    // The real input of length N packed as N/2 complex values, transformed
    // with a radix-2 FFT of N/2 points, then split into the N/2 + 1 bins.
    const int half = m_size / 2;
    for (int i = 0; i < half; ++i)
        m_work[m_reverse[i]] = {in[2 * i], in[2 * i + 1]};
    for (int len = 2; len <= half; len <<= 1) {
        const int step = m_size / len; // twiddle stride for this stage
        for (int start = 0; start < half; start += len) {
            for (int j = 0; j < len / 2; ++j) {
                const std::complex<float> w = m_twiddle[j * step];
                const std::complex<float> a = m_work[start + j];
                const std::complex<float> b = mul(m_work[start + j + len / 2], w);
                m_work[start + j] = a + b;
                m_work[start + j + len / 2] = a - b;
            }
        }
    }
    for (int k = 0; k <= half; ++k) {
        const std::complex<float> z = m_work[k % half];
        const std::complex<float> zc = std::conj(m_work[(half - k) % half]);
        const std::complex<float> even = 0.5f * (z + zc);
        const std::complex<float> d = z - zc;
        const std::complex<float> odd(0.5f * d.imag(), -0.5f * d.real()); // -i/2 times d
        const std::complex<float> w = k < half ? m_twiddle[k] : std::complex<float>(-1.0f, 0.0f);
        const std::complex<float> x = even + mul(w, odd);
        out[2 * k] = x.real();
        out[2 * k + 1] = x.imag();
    }
}
