#pragma once

namespace vendrasolith
{
/** The longest block any renderer stage accepts in one call. Callers with longer
    host blocks split them; the stages clamp as a last line of defence. */
constexpr int kMaxBlockSize = 8192;

/** Feeds of the virtual loudspeaker ring, in the 7.1 order L R C LFE Lsr Rsr Lss Rss. */
constexpr int kNumFeeds = 8;

/** Binaural outputs: 0 left ear, 1 right ear. */
constexpr int kNumEars = 2;

/** New samples per transform of the convolver, which is also its delay. */
constexpr int kConvolutionHop = 768;

/** Smallest gain or filter state kept; anything below is set to zero, which also
    keeps denormals out of the recursive paths without a flush-to-zero mode. */
constexpr double kSilenceThreshold = 1.0e-6;

/** Per-sample coefficient of every gain glide (time constant about 200 samples). */
constexpr double kGlideKeep = 0.995;
constexpr double kGlideTake = 0.005;
} // namespace vendrasolith
