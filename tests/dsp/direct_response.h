#pragma once

#include <cmath>
#include <complex>

#include "dsp/filter_design.h"

namespace v36::test {

// H(z) of a section evaluated directly at z = e^{jw}, independent of the
// curve code's closed form.
inline std::complex<double> responseAt(const SectionCoefficients& c, double freqHz,
                                       double sampleRate = kSampleRate) {
    const double w = 2.0 * std::acos(-1.0) * freqHz / sampleRate;
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = z1 * z1;
    return (c.b0 + c.b1 * z1 + c.b2 * z2) / (1.0 + c.a1 * z1 + c.a2 * z2);
}

inline double magnitudeDb(const SectionCoefficients& c, double freqHz) {
    return 20.0 * std::log10(std::abs(responseAt(c, freqHz)));
}

// Gain at DC and at the Nyquist frequency.
inline double dcGain(const SectionCoefficients& c) {
    return (c.b0 + c.b1 + c.b2) / (1.0 + c.a1 + c.a2);
}
inline double nyquistGain(const SectionCoefficients& c) {
    return (c.b0 - c.b1 + c.b2) / (1.0 - c.a1 + c.a2);
}

}  // namespace v36::test
