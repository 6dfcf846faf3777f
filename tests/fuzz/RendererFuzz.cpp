// The render chain without the framework: BinauralRenderer, bass boost and output gain
// driven with any control value (raw float bit patterns included), any configuration
// number, any input count and 0 to 20000 samples of hostile audio per call, on each FFT
// backend the build has. Nothing may crash or trip a sanitizer and the two outputs must
// stay finite. The speaker ring's
// lookup is checked on the way: any direction yields at most two weights summing to 1.
#include "BassBoostStage.h"
#include "BinauralRenderer.h"
#include "FuzzInput.h"
#include "OutputGainStage.h"
#include "SpeakerRing.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace
{
constexpr int kMaxBlock = 20000;
// Enough actions per input to reach any state; more only slows the search down.
constexpr int kMaxSteps = 24;

[[noreturn]] void fail (const char* what, double value)
{
    std::fprintf (stderr, "%s: %g\n", what, value);
    std::abort();
}

struct Buffers
{
    Buffers()
    {
        for (size_t c = 0; c < channels.size(); ++c)
        {
            channels[c].resize (kMaxBlock);
            pointers[c] = channels[c].data();
        }
    }
    std::array<std::vector<float>, 8> channels;
    std::array<float*, 8> pointers {};
};
} // namespace

namespace
{
void runScript (const std::uint8_t* data, std::size_t size, vendrasolith::FftBackend backend)
{
    fuzz::Input in (data, size);
    fuzz::AudioSource source;
    static Buffers io;

    auto renderer = std::make_unique<vendrasolith::BinauralRenderer> (backend);
    vendrasolith::BassBoostStage bass;
    vendrasolith::OutputGainStage gain;
    vendrasolith::SpeakerRing ring;
    renderer->setPanGain (4.0f);

    for (int step = 0; step < kMaxSteps && ! in.empty(); ++step)
    {
        switch (in.byte() % 8)
        {
            case 0: renderer->setAngle (in.parameterValue()); break;
            case 1: renderer->setWidth (in.parameterValue()); break;
            case 2: renderer->setInputConfiguration (in.range (-1000, 1000) / (in.byte() % 2 == 0 ? 1 : 100)); break;
            case 3: bass.setStep (in.range (-2, 5)); break;
            case 4: gain.setGainParameter (in.parameterValue()); break;
            case 5:
            {
                const float direction = in.rawFloat();
                const float* weights = ring.locate (direction);
                int nonZero = 0;
                double sum = 0.0;
                for (int f = 0; f < vendrasolith::kNumFeeds; ++f)
                {
                    if (! (weights[f] >= 0.0f && weights[f] <= 1.0f))
                        fail ("weight outside 0..1 for direction", direction);
                    nonZero += weights[f] != 0.0f ? 1 : 0;
                    sum += weights[f];
                }
                if (nonZero > 2 || std::fabs (sum - 1.0) > 1.0e-5)
                    fail ("weights do not make one pair summing to 1 for direction", direction);
                break;
            }
            default:
            {
                const int numInputs = in.range (-2, 10);
                const int numSamples = in.byte() % 8 == 0 ? in.range (0, kMaxBlock) : in.range (0, 1100);
                source.configure (in);
                for (int c = 0; c < 8; ++c)
                    for (int k = 0; k < numSamples; ++k)
                        io.channels[(size_t) c][(size_t) k] = source.next (c);

                renderer->render (io.pointers.data(), io.pointers.data(), numInputs, numSamples);
                bass.process (io.pointers.data(), numSamples);
                gain.process (io.pointers.data(), 2, numSamples);

                for (int c = 0; c < 2; ++c)
                    for (int k = 0; k < numSamples; ++k)
                        if (! std::isfinite (io.channels[(size_t) c][(size_t) k]))
                            fail ("non-finite output at sample", k);
                break;
            }
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    for (const auto backend : { vendrasolith::FftBackend::fftw, vendrasolith::FftBackend::kiss })
        if (vendrasolith::isFftBackendAvailable (backend))
            runScript (data, size, backend);
    return 0;
}
