// The checks of one of our builds through JUCE's hosting: the expectations
// every format of the limiter meets (tests/formats/format_expectations.cpp),
// with the VST 2 build as the reference, and what a JUCE host adds (the scan,
// the state in a fresh instance, the editor). GoogleTest options may follow.
#pragma once

namespace juce_host {

int runChecks(const char* format, const char* path, int argc, char** argv);

}  // namespace juce_host
