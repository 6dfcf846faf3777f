#include "Pad.h"

Pad::Pad (VantorAudioProcessor* p) : processor (p) {}

Pad::~Pad() = default;

void Pad::resized() {}
