// One set of expectations for every format the limiter ships in. Each format's
// test program supplies a driver that loads the built binary the way that
// format's hosts do and presents it through this interface; the expectations
// (format_expectations.cpp) speak only to it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/render_material.h"

using Channels = std::vector<std::vector<float>>;

// One instance of the limiter as the format presents it.
class FormatInstance {
public:
    virtual ~FormatInstance() = default;

    // Rate and largest block, then switched on (activated, resumed).
    virtual void start(float rate, int32_t maxBlock) = 0;
    // The delay the format reports to its host, once started.
    virtual int32_t latency() = 0;

    // Parameters by their VST 2 index and normalised VST 2 value: each driver
    // turns the value into what its format carries (a normalised VST 3 value,
    // a port value in the user's units).
    virtual void setParameter(int32_t index, float vst2Value) = 0;
    virtual float parameter(int32_t index) = 0;
    // The VST 2 value the format holds once set to `vst2Value`: the value
    // itself where the format carries VST 2 values whole; where its values
    // come in steps of their own (a port in tenths of a decibel), the VST 2
    // value of the step, which gives the same sound.
    virtual float carried(int32_t, float vst2Value) { return vst2Value; }
    // Texts the format shows; nothing where the format has no such text.
    virtual std::optional<std::string> parameterName(int32_t index) = 0;
    virtual std::optional<std::string> parameterUnit(int32_t index) = 0;
    virtual std::optional<std::string> display(int32_t index) = 0;

    // Programs (presets): names as the host lists them, and loading one.
    virtual std::vector<std::string> programNames() = 0;
    virtual void selectProgram(int32_t index) = 0;

    // One stereo block of at most the started block size.
    virtual void process(float* const* inputs, float* const* outputs, int32_t frames) = 0;
};

class FormatUnderTest {
public:
    virtual ~FormatUnderTest() = default;
    virtual std::string name() const = 0;
    virtual std::unique_ptr<FormatInstance> create() = 0;
};

// Supplied by each format's test program: the format under test, and the VST 2
// build to compare its bits with (null where the format is the VST 2 build).
FormatUnderTest& formatUnderTest();
FormatUnderTest* vst2Reference();

// The VST 2 build loaded from a path, driven through its record.
std::unique_ptr<FormatUnderTest> vst2Format(const char* modulePath);

// An instance of `format` given `values` (all six, or null for its own) and
// started; null where the format makes none.
std::unique_ptr<FormatInstance> started(FormatUnderTest& format, float rate, int32_t block, const float* values);

using render_material::renderThrough;
