// The effect's entry point, linked into the VST 3 binary from host/entry.cpp:
// the adapter creates every instance of the effect through it, as a VST 2
// host does through the exported entry.
#pragma once

#include "host/vst_abi.h"

extern "C" AEffect* quilloEntry(audioMasterCallback callback);
