// The shared format expectations run against the VST 2 build itself.
#include "formats/format_under_test.h"

FormatUnderTest& formatUnderTest() {
    static const std::unique_ptr<FormatUnderTest> format = vst2Format(QUILLO_MODULE_FILE);
    return *format;
}

FormatUnderTest* vst2Reference() { return nullptr; }
