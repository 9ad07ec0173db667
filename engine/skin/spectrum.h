#pragma once
// A forward real FFT of a fixed power-of-two size, for the level display:
// transform(in) gives size/2 + 1 complex bins (re, im interleaved), not
// normalised. Not thread-safe; allocation happens once, in the constructor.
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
    std::vector<int> m_reverse; // bit reversal of size/2 indexes
    // e^(-2 pi i j / len) for every butterfly stage of length len, stage after
    // stage, so that each stage reads its factors in a straight run.
    std::vector<float> m_stage_re, m_stage_im;
    std::vector<float> m_split_re, m_split_im; // e^(-2 pi i k / size), k < size/2
    // Real and imaginary parts apart: the butterflies then vectorise.
    std::vector<float> m_re, m_im;
};
