// Fuzz target: each input is a CLAP host session with the plug-in linked in,
// played through the tests' CLAP host as a careless host plays it:
// activations at any rate, blocks of any length with parameter events of any
// ID, value, time and size, flushes, states of any bytes, resets, all in any
// order. After every block the output must be finite and, unless the host
// asked for the bypass, within full scale; every value the plug-in reports
// must lie in its range and have its text.
#include <cmath>
#include <cstring>
#include <vector>

#include "byte_stream.h"
#include "formats/clap/clap_host.h"
#include "host_promises.h"

extern "C" const clap::PluginEntry clap_entry;

namespace {

using namespace clap_test;

enum Action : uint8_t { kActivate, kDeactivate, kStart, kStop, kProcess, kFlush, kState, kReset, kActions };

constexpr uint32_t kMostFrames = 4096;
constexpr uint32_t kMostEvents = 8;
constexpr float kRates[] = {44100.0f, 48000.0f, 96000.0f, 8000.0f, 192000.0f};
constexpr Id kIds[] = {0, 1, 2, 3, 4, 5, 100, 102, 103};
constexpr double kValues[] = {0.0, 1.0, 0.5, 2.0, -1.0, 200.0, 0.1};

struct Session {
    explicit Session(const PluginFactory* factory) : host(factory) {}
    ClapPlugin host;
    const Plugin* plugin() const { return host.plugin; }
    std::vector<uint8_t> saved;
    bool bypassAsked = false;
};

double value(fuzz::ByteReader& in) {
    const uint8_t pick = in.byte();
    return pick < 2 * std::size(kValues) ? kValues[pick % std::size(kValues)] : in.f32();
}

void queueEvents(fuzz::ByteReader& in, Session& s) {
    for (uint32_t n = in.byte() % (kMostEvents + 1); n > 0; --n) {
        const uint8_t pick = in.byte();
        const Id id = pick < 2 * std::size(kIds) ? kIds[pick % std::size(kIds)] : in.u32();
        const uint32_t frame = in.u16();
        EventParamValue& event = s.host.queue(id, value(in), frame);
        if (in.byte() % 8 == 0) event.header.size = in.byte();  // a broken event
        if (id == 100 && !(event.value < 0.5) && event.header.size >= sizeof event) s.bypassAsked = true;
    }
}

void checkValues(const Session& s) {
    const auto* params = s.host.extension<PluginParams>(kExtParams);
    for (uint32_t i = 0; i < params->count(s.plugin()); ++i) {
        ParamInfo info{};
        PROMISE(params->get_info(s.plugin(), i, &info), "parameter %u has no record", i);
        double v = NAN;
        PROMISE(params->get_value(s.plugin(), info.id, &v) && v >= info.min_value && v <= info.max_value,
                "parameter %u at %g", info.id, v);
        char text[kNameSize];
        PROMISE(params->value_to_text(s.plugin(), info.id, v, text, sizeof text) && std::memchr(text, 0, sizeof text),
                "parameter %u without its text", info.id);
    }
}

void process(fuzz::ByteReader& in, Session& s) {
    const uint32_t frames = in.u16() % (kMostFrames + 1);
    const uint32_t channels = 1 + in.byte() % 2;
    const float level = static_cast<float>(value(in));
    std::vector<float> audio(2 * kMostFrames), out(2 * kMostFrames);
    for (uint32_t i = 0; i < audio.size(); ++i) audio[i] = level * std::sin(0.05f * static_cast<float>(i));
    float* ins[2] = {audio.data(), audio.data() + kMostFrames};
    float* outs[2] = {out.data(), in.byte() % 4 == 0 ? ins[1] : out.data() + kMostFrames};
    queueEvents(in, s);
    if (s.host.process(ins, outs, frames, channels) != kProcessContinue) return;
    for (uint32_t c = 0; c < channels; ++c) {
        for (uint32_t i = 0; i < frames; ++i) {
            const float y = outs[c][i];
            PROMISE(std::isfinite(y), "sample %u of channel %u is %g", i, c, y);
            PROMISE(s.bypassAsked || !std::isfinite(level) || std::fabs(y) <= 1.0f, "sample %u at %g", i, y);
        }
    }
}

void state(fuzz::ByteReader& in, Session& s) {
    if (in.byte() % 2 == 0) {
        s.saved = s.host.state(1 + in.byte());
        PROMISE(!s.saved.empty(), "the state was not saved");
        return;
    }
    const std::string bytes = in.bytes(in.u16() % 1024);
    // A state may carry the bypass.
    if (s.host.restore(in.byte() % 2 == 0 ? s.saved : std::vector<uint8_t>(bytes.begin(), bytes.end()), 1 + in.byte()))
        s.bypassAsked = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ByteReader in(data, size);
    Session s(static_cast<const PluginFactory*>(clap_entry.get_factory(kPluginFactoryId)));
    PROMISE(s.host.valid(), "the plug-in was not made");
    const Plugin* plugin = s.plugin();
    while (!in.empty()) {
        switch (in.byte() % kActions) {
            case kActivate: {
                const uint8_t pick = in.byte();
                const double rate = pick < 2 * std::size(kRates) ? kRates[pick % std::size(kRates)] : in.f32();
                plugin->activate(plugin, rate, 1, in.u16());
                break;
            }
            case kDeactivate: plugin->deactivate(plugin); break;
            case kStart: plugin->start_processing(plugin); break;
            case kStop: plugin->stop_processing(plugin); break;
            case kProcess: process(in, s); break;
            case kFlush:
                queueEvents(in, s);
                s.host.flush();
                break;
            case kState: state(in, s); break;
            case kReset: plugin->reset(plugin); break;
            default: break;
        }
        checkValues(s);
    }
    return 0;
}
