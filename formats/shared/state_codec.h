// The limiter's saved state as every format stores it: the current program,
// the ten programs' names and values, and the bypass. Written in a small
// versioned binary of our own; also read from the bank and program files of
// VST 2 hosts, which is what a host hands over when it moves a project from
// the VST 2 plug-in to another format.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plugin/limiter_model.h"

namespace formats {

// Our own format: a tag, a version, then fixed-size fields, little-endian.
// Version 2 adds the ceiling and the true-peak switch after the programs;
// version 1 states still open, with the two as they were.
constexpr char kStateTag[] = "QLST";
constexpr uint32_t kFirstStateVersion = 1;
constexpr uint32_t kStateVersion = 2;
constexpr size_t kStateNameBytes = kProgramNameLength + 1;

// Plain values throughout: a state is handed to the audio thread whole, by copy.
struct ProgramState {
    std::array<char, kStateNameBytes> name{};  // NUL-terminated
    std::array<float, kParameterCount> values{};
};

struct EffectState {
    int32_t program = 0;
    std::array<ProgramState, kProgramCount> programs{};
    bool bypass = false;
    float ceiling = 1.0f;  // normalised: 0 dB
    bool truePeak = false;
};

// A state as read back: a whole bank (every program and the current one), or a
// single program that replaces the current program's name and values. The
// bypass and the delivery settings only where the bytes carried them.
struct RestoredState {
    bool wholeBank = true;
    EffectState state;  // a single program is programs[0]
    std::optional<bool> bypass;
    bool delivery = false;  // state.ceiling and state.truePeak were carried
};

std::vector<uint8_t> encodeState(const EffectState& state);
// Our format or a VST 2 bank or program (optionally behind its wrapper's
// header). Anything malformed, truncated, of another effect or out of range
// gives nothing.
std::optional<RestoredState> decodeState(const uint8_t* bytes, size_t size);

// The effect's programs as it holds them, and the bypass the format keeps.
EffectState captureState(const LimiterModel& model, bool bypass);
// Writes a restored state into the effect: every program by its index, then
// the current one is selected. No block runs with anything in between when
// this runs between blocks. In two parts where blocks may run meanwhile: the
// names, which no block reads, and the values with the selection.
void applyState(LimiterModel& model, const RestoredState& restored);
void applyNames(LimiterModel& model, const RestoredState& restored);
void applyValues(LimiterModel& model, const RestoredState& restored);
// The same on a captured state (the bypass where the state carries one).
void applyState(EffectState& state, const RestoredState& restored);

}  // namespace formats
