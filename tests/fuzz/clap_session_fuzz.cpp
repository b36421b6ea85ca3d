// Fuzz target: each input is a CLAP host session with the plug-in linked in,
// played through its entry as a careless host plays it: activations at any
// rate, blocks of any length with parameter events of any ID, value and time,
// flushes, states of any bytes, resets, all in any order. After every block
// the output must be finite and, unless the host asked for the bypass, within
// full scale; every value the plug-in reports must lie in its range.
#include <cmath>
#include <cstring>
#include <vector>

#include "byte_stream.h"
#include "formats/clap/clap_extensions.h"
#include "host_promises.h"

extern "C" const clap::PluginEntry clap_entry;

namespace {

using namespace clap;

enum Action : uint8_t { kActivate, kDeactivate, kStart, kStop, kProcess, kFlush, kState, kReset, kActions };

constexpr uint32_t kMostFrames = 4096;
constexpr uint32_t kMostEvents = 8;
constexpr float kRates[] = {44100.0f, 48000.0f, 96000.0f, 8000.0f, 192000.0f};
constexpr Id kIds[] = {0, 1, 2, 3, 4, 5, 100, 102, 103};
constexpr double kValues[] = {0.0, 1.0, 0.5, 2.0, -1.0, 200.0, 0.1};

const Host kHost{kVersion, nullptr, "fuzz", "fuzz", "", "1", [](const Host*, const char*) -> const void* { return nullptr; },
                 [](const Host*) {}, [](const Host*) {}, [](const Host*) {}};

struct Session {
    const Plugin* plugin = nullptr;
    const PluginParams* params = nullptr;
    const PluginState* state = nullptr;
    std::vector<EventParamValue> events;
    std::vector<uint8_t> saved;
    bool bypassAsked = false;
};

double value(fuzz::ByteReader& in) {
    const uint8_t pick = in.byte();
    return pick < 2 * std::size(kValues) ? kValues[pick % std::size(kValues)] : in.f32();
}

void readEvents(fuzz::ByteReader& in, Session& s) {
    s.events.clear();
    for (uint32_t n = in.byte() % (kMostEvents + 1); n > 0; --n) {
        const uint8_t pick = in.byte();
        const Id id = pick < 2 * std::size(kIds) ? kIds[pick % std::size(kIds)] : in.u32();
        EventParamValue event{{sizeof(EventParamValue), in.u16(), kCoreEventSpace, kEventParamValue, 0},
                              id, nullptr, -1, -1, -1, -1, value(in)};
        if (in.byte() % 8 == 0) event.header.size = in.byte();  // a broken event
        if (id == 100 && !(event.value < 0.5) && event.header.size >= sizeof event) s.bypassAsked = true;
        s.events.push_back(event);
    }
}

InputEvents inputs(Session& s) {
    return {&s.events,
            [](const InputEvents* l) { return static_cast<uint32_t>(static_cast<std::vector<EventParamValue>*>(l->ctx)->size()); },
            [](const InputEvents* l, uint32_t i) -> const EventHeader* {
                auto& held = *static_cast<std::vector<EventParamValue>*>(l->ctx);
                return i < held.size() ? &held[i].header : nullptr;
            }};
}

const OutputEvents kOutputs{nullptr, [](const OutputEvents*, const EventHeader* event) {
                                PROMISE(event != nullptr && event->size >= sizeof(EventHeader), "a broken event out");
                                return true;
                            }};

void checkValues(const Session& s) {
    for (uint32_t i = 0; i < s.params->count(s.plugin); ++i) {
        ParamInfo info{};
        PROMISE(s.params->get_info(s.plugin, i, &info), "parameter %u has no record", i);
        double v = NAN;
        PROMISE(s.params->get_value(s.plugin, info.id, &v) && v >= info.min_value && v <= info.max_value,
                "parameter %u at %g", info.id, v);
        char text[kNameSize];
        PROMISE(s.params->value_to_text(s.plugin, info.id, v, text, sizeof text) && std::memchr(text, 0, sizeof text),
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
    readEvents(in, s);
    const AudioBuffer input{ins, nullptr, channels, 0, 0};
    AudioBuffer output{outs, nullptr, channels, 0, 0};
    const InputEvents events = inputs(s);
    const Process block{0, frames, nullptr, &input, &output, 1, 1, &events, &kOutputs};
    if (s.plugin->process(s.plugin, &block) != kProcessContinue) return;
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
        const OutputStream stream{&s.saved, [](const OutputStream* st, const void* b, uint64_t n) -> int64_t {
                                      auto& to = *static_cast<std::vector<uint8_t>*>(st->ctx);
                                      to.insert(to.end(), static_cast<const uint8_t*>(b), static_cast<const uint8_t*>(b) + n);
                                      return static_cast<int64_t>(n);
                                  }};
        s.saved.clear();
        PROMISE(s.state->save(s.plugin, &stream), "the state was not saved");
        return;
    }
    std::string bytes = in.byte() % 2 == 0 ? std::string(s.saved.begin(), s.saved.end()) : in.bytes(in.u16() % 1024);
    const InputStream stream{&bytes, [](const InputStream* st, void* b, uint64_t n) -> int64_t {
                                 auto& from = *static_cast<std::string*>(st->ctx);
                                 const uint64_t moved = std::min<uint64_t>(n, from.size());
                                 std::memcpy(b, from.data(), moved);
                                 from.erase(0, moved);
                                 return static_cast<int64_t>(moved);
                             }};
    // A state may carry the bypass.
    if (s.state->load(s.plugin, &stream)) s.bypassAsked = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ByteReader in(data, size);
    const auto* factory = static_cast<const PluginFactory*>(clap_entry.get_factory(kPluginFactoryId));
    Session s;
    s.plugin = factory->create_plugin(factory, &kHost, factory->get_plugin_descriptor(factory, 0)->id);
    PROMISE(s.plugin != nullptr && s.plugin->init(s.plugin), "the plug-in was not made");
    s.params = static_cast<const PluginParams*>(s.plugin->get_extension(s.plugin, kExtParams));
    s.state = static_cast<const PluginState*>(s.plugin->get_extension(s.plugin, kExtState));
    while (!in.empty()) {
        switch (in.byte() % kActions) {
            case kActivate: {
                const uint8_t pick = in.byte();
                const double rate = pick < 2 * std::size(kRates) ? kRates[pick % std::size(kRates)] : in.f32();
                s.plugin->activate(s.plugin, rate, 1, in.u16());
                break;
            }
            case kDeactivate: s.plugin->deactivate(s.plugin); break;
            case kStart: s.plugin->start_processing(s.plugin); break;
            case kStop: s.plugin->stop_processing(s.plugin); break;
            case kProcess: process(in, s); break;
            case kFlush: {
                readEvents(in, s);
                const InputEvents events = inputs(s);
                s.params->flush(s.plugin, &events, &kOutputs);
                break;
            }
            case kState: state(in, s); break;
            case kReset: s.plugin->reset(s.plugin); break;
            default: break;
        }
        checkValues(s);
    }
    s.plugin->destroy(s.plugin);
    return 0;
}
