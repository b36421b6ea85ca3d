// The command line's parameter options onto the values the plug-in receives.
#include <gtest/gtest.h>

#include "tools/limit/cli_options.h"
#include "tools/limit/tool_error.h"

namespace limit_tool {
namespace {

TEST(ParameterValues, OptionsKeepTheirDefaultsAndAcceptBothSpellings) {
    const Options defaults = parseOptions({"in.wav", "out.wav"});
    EXPECT_EQ(defaults.limiter.gainStep, kUnityGainStep);
    EXPECT_EQ(defaults.blockSize, kDefaultBlockSize);
    const auto values = parameterValues(defaults.limiter);
    EXPECT_EQ(values[kIq], 0.0f);
    EXPECT_EQ(values[kStereoLink], 1.0f);
    const Options set = parseOptions({"--gain", "-6.5", "--knee=0", "--no-link", "--", "-in.wav", "o"});
    EXPECT_EQ(set.limiter.gainStep, *gainStepFromDecibels(-6.5));
    EXPECT_EQ(set.limiter.kneePercent, 0.0);
    EXPECT_FALSE(set.limiter.link);
    EXPECT_EQ(set.input, "-in.wav");
    EXPECT_THROW(parseOptions({"--knee", "70", "in.wav"}), UsageError);
}

}  // namespace
}  // namespace limit_tool
