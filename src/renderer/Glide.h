#pragma once

#include "RenderLimits.h"

namespace vendrasolith
{
/** One per-sample step of a gain glide: new = old·0.995 + target·0.005 in double precision,
    stored as a float. Near the target the float can stop moving a few millionths short
    (the step falls below half a unit in the last place); the glide then lands on the
    target instead of stalling there for ever. */
inline float glideStep (float current, float target) noexcept
{
    const auto next = (float) ((double) current * kGlideKeep + (double) target * kGlideTake);
    return next == current ? target : next;
}
} // namespace vendrasolith
