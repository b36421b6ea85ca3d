// The state decoder's seeds, written at test time: our own state as an effect
// saves it, and the VST 2 files hosts hand over (banks of both versions, a
// program, each behind the wrapper's header too).
#include <filesystem>
#include <fstream>

#include "formats/shared/state_codec.h"
#include "tests/formats/shared/vst2_files.h"

namespace {

constexpr uint32_t kOldBank = 1;
constexpr uint32_t kNewBank = 2;
constexpr uint32_t kCurrent = 5;
constexpr uint32_t kBypassed = 1;

void save(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ownState() {
    formats::EffectState state;
    state.program = static_cast<int32_t>(kCurrent);
    state.bypass = true;
    for (int32_t p = 0; p < kProgramCount; ++p) {
        formats::ProgramState& program = state.programs[static_cast<size_t>(p)];
        ("Program " + std::to_string(p)).copy(program.name.data(), program.name.size() - 1);
        for (int32_t i = 0; i < kParameterCount; ++i) {
            program.values[static_cast<size_t>(i)] = vst2_files::valueOf(p, i);
        }
    }
    return formats::encodeState(state);
}

}  // namespace

void writeStateInputs(const std::filesystem::path& root) {
    using namespace vst2_files;
    const std::filesystem::path seeds = root / "state" / "seeds";
    save(seeds / "own-state", ownState());
    save(seeds / "vst2-bank-version-1", bank(kOldBank, 0));
    save(seeds / "vst2-bank-version-2", bank(kNewBank, kCurrent));
    save(seeds / "vst2-bank-behind-wrapper", wrapped(bank(kNewBank, kCurrent), kBypassed));
    save(seeds / "vst2-program", program(kCurrent));
    save(seeds / "vst2-program-behind-wrapper", wrapped(program(kCurrent), 0));
}
