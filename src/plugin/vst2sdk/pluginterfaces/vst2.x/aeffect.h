// The free VST 2.4-compatible headers, found where the framework looks for the SDK.
#include <pluginterfaces/fst/aeffect.h>
