// Saved state: ours round-trips exactly; a VST 2 host's bank or program, with
// or without its wrapper's header, opens as it was saved; anything else is
// refused whole.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "formats/shared/state_codec.h"
#include "formats/shared/vst2_files.h"
#include "plugin/parameters.h"

namespace formats {
namespace {

using namespace vst2_files;

std::optional<RestoredState> decode(const std::vector<uint8_t>& bytes) {
    return decodeState(bytes.data(), bytes.size());
}

TEST(StateCodec, OwnStateRoundTripsThroughAnotherInstance) {
    LimiterModel first;
    first.selectProgram(4);
    first.setParameter(0, 0.8f);
    first.renameProgram(4, "Loud");
    first.selectProgram(6);
    first.setParameter(3, 0.0f);
    const std::vector<uint8_t> saved = encodeState(captureState(first, true));
    const auto restored = decode(saved);
    ASSERT_TRUE(restored && restored->wholeBank);
    EXPECT_EQ(restored->bypass, true);
    LimiterModel second;
    applyState(second, *restored);
    EXPECT_EQ(encodeState(captureState(second, true)), saved);
    EXPECT_EQ(second.program(), 6);
    EXPECT_EQ(second.parameter(3), 0.0f);
    EXPECT_EQ(trimmed(second.programName(4)), "Loud");
    // A state of the first version, without the delivery settings, still opens.
    std::vector<uint8_t> older1 = saved;
    older1[4] = 1;
    older1.resize(older1.size() - 8);
    const auto older = decode(older1);
    ASSERT_TRUE(older);
    EXPECT_FALSE(older->delivery);
    EXPECT_EQ(older->state.programs[6].values, restored->state.programs[6].values);
}

TEST(StateCodec, Vst2BanksAndProgramsOpenAsSaved) {
    for (uint32_t version : {1u, 2u}) {
        for (bool wrap : {false, true}) {
            const std::vector<uint8_t> inner = bank(version, 7);
            const auto restored = decode(wrap ? wrapped(inner, 1) : inner);
            ASSERT_TRUE(restored) << version << wrap;
            LimiterModel host;
            applyState(host, *restored);
            EXPECT_EQ(host.program(), version == 2 ? 7 : 0);
            EXPECT_EQ(restored->bypass, wrap ? std::optional<bool>(true) : std::nullopt);
            for (int32_t p = 0; p < 10; ++p) {
                EXPECT_EQ(trimmed(host.programName(p)), "Bank " + std::to_string(p));
                for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(host.programValue(p, i), valueOf(p, i));
            }
        }
    }
    // A single program replaces the current one only.
    LimiterModel host;
    host.selectProgram(2);
    const auto single = decode(wrapped(program(9), 0));
    ASSERT_TRUE(single);
    EXPECT_FALSE(single->wholeBank);
    applyState(host, *single);
    EXPECT_EQ(trimmed(host.programName(2)), "Bank 9");
    EXPECT_EQ(host.parameter(5), valueOf(9, 5));
    EXPECT_EQ(trimmed(host.programName(3)), "empty 4");
}

TEST(StateCodec, AnythingMalformedIsRefusedWhole) {
    const std::vector<uint8_t> goodBank = bank(2, 3);
    const std::vector<uint8_t> own = encodeState(captureState(LimiterModel(), false));
    for (const auto* good : {&goodBank, &own}) {
        for (size_t size = 0; size < good->size(); ++size) {
            ASSERT_FALSE(decodeState(good->data(), size)) << size;
        }
        std::vector<uint8_t> longer = *good;
        longer.push_back(0);
        EXPECT_FALSE(decode(longer));
    }
    const auto patched = [](std::vector<uint8_t> bytes, size_t at, std::vector<uint8_t> with) {
        std::copy(with.begin(), with.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
        return bytes;
    };
    const BigEndian nan = BigEndian().real(std::numeric_limits<float>::quiet_NaN());
    const BigEndian above = BigEndian().real(1.5f);
    const size_t firstValue = 156 + 56;
    const std::vector<std::vector<uint8_t>> bad = {
        patched(goodBank, 0, {'C', 'c', 'n', 'X'}),        // chunk tag
        patched(goodBank, 7, {0xB5}),                      // byte count
        patched(goodBank, 16, {'X', 'q', 'z', 'u'}),       // another effect
        patched(goodBank, 12, {0, 0, 0, 3}),               // bank version
        patched(goodBank, 27, {9}),                        // program count
        patched(goodBank, 31, {10}),                       // current program
        patched(goodBank, 156 + 27, {5}),                  // parameter count
        patched(goodBank, firstValue, nan.bytes),          // not a number
        patched(goodBank, firstValue, above.bytes),        // out of range
        patched(goodBank, 156 + 28, std::vector<uint8_t>(28, 'x')),  // unterminated name
        wrapped(goodBank, 2),                              // bypass neither 0 nor 1
        patched(wrapped(goodBank, 0), 7, {9}),             // wrapper header size
        patched(own, 4, {3}),                              // our version
        patched(own, 8, {10}),                             // our current program
        patched(own, 24 + 24, {0xFF, 0xFF, 0xFF, 0xFF}),   // our values: not a number
    };
    for (size_t i = 0; i < bad.size(); ++i) EXPECT_FALSE(decode(bad[i])) << "case " << i;
    EXPECT_FALSE(decodeState(nullptr, 0));
}

}  // namespace
}  // namespace formats
