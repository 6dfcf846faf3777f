#pragma once

// What a host's bypass switch must sound like, for the host tests of every format: a run
// processed for a part, bypassed for the next part, then processed again.

namespace hosttest
{
/** Checks one output of such a run of 3 × part samples. `dry` is the input late by the
    reported latency, `wet` what an instance that was never bypassed plays. Once each
    crossfade is over, bypassed is exactly dry and back on is exactly wet; 10 ms into each
    switch the fade is still under way (no abrupt switch), and no sample steps further than
    the two signals it moves between do (no click). */
void expectBypassKeepsTimeWithoutAClick (const float* out, const float* wet, const float* dry, int part, double sampleRate);
} // namespace hosttest
