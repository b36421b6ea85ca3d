// The bundle's audio binary: the effect, created in process through its entry
// point and driven through its record (EffectHost), behind LV2's plug-in
// interface. Ports carry everything: the parameters in, the latency and the
// editor's meter values out. The binary links no window system; its effect's
// editor opens no window (the UI binary shows the editor).
#include <lv2/core/lv2.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "formats/lv2/lv2_identity.h"
#include "formats/lv2/lv2_ports.h"
#include "formats/shared/effect_host.h"

extern "C" AEffect* quilloEntry(audioMasterCallback callback);

namespace formats::lv2 {

namespace {

// LV2 names no largest block: the engine is set up for this many frames and
// runs longer blocks in pieces of it, with the same output bits.
constexpr int32_t kEngineBlock = 4096;
// Frames handed to the effect in one call, within its int32_t frame count.
constexpr uint32_t kLongestCall = 1u << 20;
// Hosts pass output ports to their UI at their own pace, often only the
// latest value: the lowest gains are held this long so that no dip between
// two looks is lost (the needle returns over a second).
constexpr double kMeterHoldSeconds = 0.1;
// An output sample the engine never writes: a block that leaves it in place
// shows that the engine did not run.
constexpr float kUntouched = 2.0f;

MeterValues lowest(const MeterValues& a, const MeterValues& b) {
    MeterValues result;
    for (int32_t c = 0; c < kEffectChannels; ++c) result.gain[c] = std::min(a.gain[c], b.gain[c]);
    result.kneeLamp = std::min(a.kneeLamp, b.kneeLamp);
    return result;
}

// Each block's values join the current window; the ports show the lowest of
// the current and the previous window, so every dip stays for a whole window.
class MeterHold {
public:
    explicit MeterHold(double rate) : windowFrames(static_cast<uint64_t>(std::max(1.0, rate * kMeterHoldSeconds))) {}
    void reset() {
        previous = current = MeterValues();
        counted = 0;
    }
    MeterValues add(const MeterValues& block, uint32_t frames) {
        current = lowest(current, block);
        const MeterValues shown = lowest(previous, current);
        counted += frames;
        if (counted >= windowFrames) {
            previous = current;
            current = MeterValues();
            counted = 0;
        }
        return shown;
    }

private:
    uint64_t windowFrames;
    uint64_t counted = 0;
    MeterValues previous, current;
};

class Limiter {
public:
    explicit Limiter(double rate) : meters(rate) {
        for (float& value : applied) value = NAN;
    }

    // The effect at this rate, or false where the effect refuses the rate or
    // its engine cannot run at it.
    bool start(float rate) {
        if (!host.valid()) return false;
        host.setSampleRate(rate);
        latency = static_cast<float>(host.latency());
        host.setBlockSize(kEngineBlock);
        host.resume();
        const bool runs = engineRuns();
        host.suspend();
        return runs;
    }

    void connect(uint32_t port, void* data) {
        if (port < kPortCount) ports[port] = static_cast<float*>(data);
    }

    // The probe's block is undone by resuming again: every run starts as the
    // first one after a resume does.
    void activate() {
        host.resume();
        ready = engineRuns();
        if (ready) host.resume();
        meters.reset();
    }

    void deactivate() {
        host.suspend();
        ready = false;
    }

    void run(uint32_t frames);

private:
    bool engineRuns();
    void applyParameters();
    void process(uint32_t frames);
    void silence(uint32_t frames, uint32_t firstPort = kOutputLeft, uint32_t lastPort = kOutputRight);
    uint32_t unwrittenOutput() const;
    void write(uint32_t port, float value) {
        if (ports[port] != nullptr) *ports[port] = value;
    }

    EffectHost host{quilloEntry};
    float* ports[kPortCount] = {};
    // The port values last applied, bit for bit; NaN applies the first ones.
    float applied[kParamCount];
    MeterHold meters;
    float latency = 0.0f;
    uint32_t skippedOutput = kPortCount;
    bool ready = false;
};

bool Limiter::engineRuns() {
    float inLeft = 0.0f, inRight = 0.0f, outLeft = kUntouched, outRight = kUntouched;
    float* inputs[kEffectChannels] = {&inLeft, &inRight};
    float* outputs[kEffectChannels] = {&outLeft, &outRight};
    host.process(inputs, outputs, 1);
    return outLeft != kUntouched || outRight != kUntouched;
}

// Only ports whose value changed reach the effect; a value that is not a
// number leaves the parameter as it was. While Auto Select is on the effect
// puts its own choice into Force Channels, which no port can report: when
// Auto Select changes, the Force Channels port's value is given again.
void Limiter::applyParameters() {
    static_assert(kParamAutoSelect < kParamForceChannels, "Force Channels follows Auto Select in one pass");
    bool changed = false;
    for (int32_t i = 0; i < kParamCount; ++i) {
        const float* port = ports[portOfParameter(i)];
        if (port == nullptr) continue;
        const float value = *port;
        if (std::memcmp(&value, &applied[i], sizeof value) == 0) continue;
        applied[i] = value;
        changed = true;
        if (i == kParamAutoSelect) applied[kParamForceChannels] = NAN;
        if (const auto vst2 = vst2Value(i, value)) host.setParameter(i, *vst2);
    }
    if (changed) skippedOutput = unwrittenOutput();
}

// With Auto Select off and one channel forced, the effect writes that
// channel's output only, as a VST 2 host's buffer keeps what it held. An LV2
// output carries this run's audio: the other output is silence.
uint32_t Limiter::unwrittenOutput() const {
    const EffectHost::Routing routing = host.routing();
    if (routing.automatic || routing.untouched < 0) return kPortCount;
    return kOutputLeft + static_cast<uint32_t>(routing.untouched);
}

void Limiter::process(uint32_t frames) {
    for (uint32_t done = 0; done < frames;) {
        const uint32_t n = std::min(frames - done, kLongestCall);
        float* inputs[kEffectChannels] = {ports[kInputLeft] + done, ports[kInputRight] + done};
        float* outputs[kEffectChannels] = {ports[kOutputLeft] + done, ports[kOutputRight] + done};
        host.process(inputs, outputs, static_cast<int32_t>(n));
        done += n;
    }
}

void Limiter::silence(uint32_t frames, uint32_t firstPort, uint32_t lastPort) {
    for (uint32_t port = firstPort; port <= lastPort; ++port) {
        if (ports[port] != nullptr) std::fill(ports[port], ports[port] + frames, 0.0f);
    }
}

// Outputs are silent while the engine is off or an audio port is missing. The
// latency is written on every run: hosts run zero frames to read it.
void Limiter::run(uint32_t frames) {
    applyParameters();
    if (frames > 0) {
        const bool connected = std::all_of(ports, ports + kAudioPorts, [](const float* p) { return p != nullptr; });
        if (ready && connected) {
            process(frames);
            // One buffer for both outputs holds the written channel.
            if (skippedOutput != kPortCount && ports[kOutputLeft] != ports[kOutputRight]) {
                silence(frames, skippedOutput, skippedOutput);
            }
        } else {
            silence(frames);
        }
    }
    const MeterValues shown = meters.add(host.takeMeters(), frames);
    write(kLatencyPort, latency);
    write(kMeterLeftPort, shown.gain[0]);
    write(kMeterRightPort, shown.gain[1]);
    write(kKneeLampPort, shown.kneeLamp);
}

Limiter* handleOf(LV2_Handle handle) { return static_cast<Limiter*>(handle); }

// Every entry catches everything: nothing thrown reaches the host.
LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const*) {
    const auto effectRate = static_cast<float>(rate);
    if (!std::isfinite(effectRate) || effectRate <= 0.0f) return nullptr;
    try {
        auto* limiter = new (std::nothrow) Limiter(rate);
        if (limiter != nullptr && !limiter->start(effectRate)) {
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
