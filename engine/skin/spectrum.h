#pragma once
// A forward real FFT of a fixed power-of-two size, for the level display:
// transform(in) gives size/2 + 1 complex bins (re, im interleaved), not
// normalised. Not thread-safe; allocation happens once, in the constructor.
#include <complex>
#include <vector>

class RealSpectrum
{
public:
    explicit RealSpectrum(int size);
    int size() const { return m_size; }
    // `in` holds size() samples; `out` receives size() + 2 floats.
    void transform(const float *in, float *out);

private:
    int m_size;
    std::vector<int> m_reverse;                 // bit reversal of size/2 indexes
    std::vector<std::complex<float>> m_twiddle; // e^(-2 pi i k / size), k < size/2
    std::vector<std::complex<float>> m_work;
};
