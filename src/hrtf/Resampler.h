#pragma once

#include <vector>

namespace vendrasolith::hrtf
{
/** A response on a time line: samples[origin] is time zero, and samples before it are
    the (small) part of a response that comes before its nominal start. */
struct TimedResponse
{
    std::vector<double> samples;
    int origin = 0;
};

/** Band-limited resampling of impulse responses by direct evaluation of a
    Kaiser-windowed sinc, in double precision. The pass band reaches 0.42 of the lower
    rate, the stop band is at least 100 dB down from 0.5 of it, and time zero stays
    exactly on a sample, so delays in seconds and features in hertz come through. The
    same input always gives the same output. */
class Resampler
{
public:
    Resampler (double fromRate, double toRate);

    TimedResponse process (const TimedResponse& input) const;

    double fromRate() const noexcept { return from; }
    double toRate() const noexcept { return to; }

private:
    double kernel (double x) const noexcept;

    double from, to;
    double cutoff;    // of the input rate, in cycles per input sample
    double halfWidth; // kernel half-length, in input samples

    // Between whole-hertz rates the output positions fall on `phases` fractions of an
    // input sample, so the kernel is worked out once per fraction and tap.
    long long step = 0, phases = 0; // output spacing is step / phases input samples
    int reach = 0;                  // taps either side of a position
    std::vector<double> phaseKernels;
};
} // namespace vendrasolith::hrtf
