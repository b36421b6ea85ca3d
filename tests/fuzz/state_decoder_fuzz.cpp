// Fuzz target: each input is a saved state as a host hands it over (a VST 3
// host's setState, a format's restore): ours, or a VST 2 bank or program,
// perhaps behind the header a host puts in front. Whatever is accepted must
// hold only what the effect can take, and once in the effect must save and
// read back as the same state.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "formats/shared/state_codec.h"
#include "host_promises.h"

namespace {

void checkAccepted(const formats::RestoredState& restored) {
    const formats::EffectState& state = restored.state;
    PROMISE(state.program >= 0 && state.program < kProgramCount, "program %d", state.program);
    for (const formats::ProgramState& program : state.programs) {
        PROMISE(std::memchr(program.name.data(), 0, program.name.size()) != nullptr, "a name without its end");
        for (float value : program.values) {
            PROMISE(std::isfinite(value) && value >= 0.0f && value <= 1.0f, "value %g", value);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto restored = formats::decodeState(data, size);
    if (!restored) return 0;
    checkAccepted(*restored);
    // One effect for every input, as a host's instance sees one state after another.
    static LimiterModel effect;
    formats::applyState(effect, *restored);
    const bool bypass = restored->bypass.value_or(false);
    const std::vector<uint8_t> saved = formats::encodeState(formats::captureState(effect, bypass));
    const auto again = formats::decodeState(saved.data(), saved.size());
    PROMISE(again && again->bypass == bypass, "the effect's own state does not read back");
    PROMISE(formats::encodeState(again->state) == saved, "the effect's own state reads back changed");
    if (restored->wholeBank) PROMISE(again->state.program == restored->state.program, "the current program moved");
    return 0;
}
