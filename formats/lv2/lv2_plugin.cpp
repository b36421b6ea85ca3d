// The bundle's audio binary: the audio side the formats share, behind LV2's
// plug-in interface. Ports carry everything: the parameters and the enabled
// switch in, the latency and the editor's meter values out. The binary links
// no window system; its effect's editor opens no window (the UI binary shows
// the editor).
#include <lv2/core/lv2.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "formats/lv2/lv2_identity.h"
#include "formats/lv2/lv2_ports.h"
#include "formats/shared/audio_side.h"

namespace formats::lv2 {

namespace {

// LV2 names no largest block: the effect is set up for this many frames and
// runs longer blocks in pieces of it, with the same output bits.
constexpr int32_t kEngineBlock = 4096;
// Frames handed to the audio side in one call, within its int32_t frame count.
constexpr uint32_t kLongestCall = 1u << 20;

class Limiter {
public:
    Limiter() {
        for (float& value : applied) value = NAN;
    }

    // The effect at this rate, or false where the effect cannot run at it.
    bool start(double rate) {
        if (!audio.valid() || !audio.configure(rate, kEngineBlock)) return false;
        const bool runs = audio.activate();
        audio.deactivate();
        return runs;
    }

    void connect(uint32_t port, void* data) {
        if (port < kPortCount) ports[port] = static_cast<float*>(data);
    }

    void activate() { audio.activate(); }
    void deactivate() { audio.deactivate(); }
    void run(uint32_t frames);

private:
    void applyParameters();
    void process(uint32_t frames);
    void silence(uint32_t frames);
    void write(uint32_t port, float value) {
        if (ports[port] != nullptr) *ports[port] = value;
    }

    AudioSide audio;
    float* ports[kPortCount] = {};
    // The port values last applied, bit for bit; NaN applies the first ones.
    float applied[kDescribedParameters];
};

// Only ports whose value changed reach the effect; a value that is not a
// number leaves the parameter as it was. While Auto Select is on the effect
// puts its own choice into Force Channels, which no port can report: when
// Auto Select changes, the Force Channels port's value is given again.
void Limiter::applyParameters() {
    static_assert(kAutoSelectChannels < kForceChannels, "Force Channels follows Auto Select in one pass");
    for (int32_t position = 0; position < kDescribedParameters; ++position) {
        const float* port = ports[portOfParameter(position)];
        if (port == nullptr) continue;
        const float value = *port;
        if (std::memcmp(&value, &applied[position], sizeof value) == 0) continue;
        applied[position] = value;
        if (position == kAutoSelectChannels) applied[kForceChannels] = NAN;
        if (const auto normalised = normalisedValue(position, value)) audio.change(parameterAt(position).id, *normalised);
    }
}

void Limiter::process(uint32_t frames) {
    for (uint32_t done = 0; done < frames;) {
        const uint32_t n = std::min(frames - done, kLongestCall);
        const BlockBuffers buffers{{ports[kInputLeft] + done, ports[kInputRight] + done},
                                   {ports[kOutputLeft] + done, ports[kOutputRight] + done},
                                   kEffectChannels};
        audio.process(&buffers, static_cast<int32_t>(n), nullptr);
        done += n;
    }
}

void Limiter::silence(uint32_t frames) {
    for (uint32_t port : {kOutputLeft, kOutputRight}) {
        if (ports[port] != nullptr) std::fill(ports[port], ports[port] + frames, 0.0f);
    }
}

// Outputs are silent while an audio port is missing. The latency is written
// on every run: hosts run zero frames to read it.
void Limiter::run(uint32_t frames) {
    applyParameters();
    if (frames > 0) {
        const bool connected = std::all_of(ports, ports + kAudioPorts, [](const float* p) { return p != nullptr; });
        if (connected) {
            process(frames);
        } else {
            silence(frames);
        }
    }
    const MeterValues shown = audio.meters();
    write(kLatencyPort, static_cast<float>(audio.latency()));
    write(kMeterLeftPort, shown.gain[0]);
    write(kMeterRightPort, shown.gain[1]);
    write(kKneeLampPort, shown.kneeLamp);
}

Limiter* handleOf(LV2_Handle handle) { return static_cast<Limiter*>(handle); }

// Every entry catches everything: nothing thrown reaches the host.
LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const*) {
    if (!std::isfinite(static_cast<float>(rate)) || !(rate > 0.0)) return nullptr;
    try {
        auto* limiter = new (std::nothrow) Limiter;
        if (limiter != nullptr && !limiter->start(rate)) {
            delete limiter;
            limiter = nullptr;
        }
        return limiter;
    } catch (...) {
        return nullptr;
    }
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) { handleOf(handle)->connect(port, data); }

void activate(LV2_Handle handle) {
    try {
        handleOf(handle)->activate();
    } catch (...) {
    }
}

void run(LV2_Handle handle, uint32_t frames) { handleOf(handle)->run(frames); }

void deactivate(LV2_Handle handle) {
    try {
        handleOf(handle)->deactivate();
    } catch (...) {
    }
}

void cleanup(LV2_Handle handle) {
    try {
        delete handleOf(handle);
    } catch (...) {
    }
}

const void* extensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptor = {kPluginUri, instantiate, connectPort, activate, run, deactivate, cleanup,
                                    extensionData};

}  // namespace

}  // namespace formats::lv2

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &formats::lv2::kDescriptor : nullptr;
}
