// The instance: its life, its blocks with the host's events, its parameters,
// latency and state, and the editor's edits on their way to the host.
#include "formats/clap/clap_plugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace clap {

namespace {

// States are small; a stream longer than this is not one of ours.
constexpr size_t kLargestState = 1 << 16;
constexpr size_t kStreamChunk = 4096;
constexpr uint32_t kStereo = 2;
constexpr uint32_t kMono = 1;

// A stepped parameter's plain values are its user units (decibels for the
// ceiling, the step for switches and choices) over its own range; the others'
// are the effect's values from 0 to 1.
double lowestPlain(const ParameterDescriptor& p) { return p.steps > 0 ? p.minimum : 0.0; }
double highestPlain(const ParameterDescriptor& p) { return p.steps > 0 ? p.maximum : 1.0; }

double plainOf(const ParameterDescriptor& p, double normalised) {
    return p.steps > 0 ? userFromNormalised(p.id, static_cast<float>(normalised)) : std::clamp(normalised, 0.0, 1.0);
}

// Nothing for a value that is not a number. A value between two steps takes
// the nearer one, as hosts that glide over steps expect.
std::optional<double> normalisedOf(const ParameterDescriptor& p, double plain) {
    if (!std::isfinite(plain)) return std::nullopt;
    const double lowest = lowestPlain(p);
    const double clamped = std::clamp(plain, lowest, highestPlain(p));
    if (p.steps == 0) return clamped;
    const double step = (highestPlain(p) - lowest) / p.steps;
    return normalisedFromUser(p.id, static_cast<float>(lowest + std::round((clamped - lowest) / step) * step));
}

bool isParamValue(const EventHeader* event) {
    return event != nullptr && event->space_id == kCoreEventSpace && event->type == kEventParamValue &&
           event->size >= sizeof(EventParamValue);
}

// The block's parameter events in the order the host lists them (sorted by
// time, as it must); one that comes too early or past the block is taken
// where the block has got to, or at its end.
class EventChanges final : public formats::BlockChanges {
public:
    explicit EventChanges(const InputEvents* events)
        : in(events), count(events != nullptr && events->size != nullptr ? events->size(events) : 0) {}

    int32_t takeUpTo(int32_t frame, formats::ChangeSink& sink) override {
        for (; next < count; ++next) {
            const EventHeader* event = in->get != nullptr ? in->get(in, next) : nullptr;
            if (event == nullptr) continue;
            if (event->time > static_cast<uint32_t>(frame)) return static_cast<int32_t>(event->time);
            if (!isParamValue(event)) continue;
            const auto& change = *reinterpret_cast<const EventParamValue*>(event);
            const ParameterDescriptor* p = parameterOfId(change.param_id);
            if (p == nullptr) continue;
            if (const auto value = normalisedOf(*p, change.value)) sink.change(p->id, *value);
        }
        return formats::kNoChange;
    }

private:
    const InputEvents* in;
    uint32_t count;
    uint32_t next = 0;
};

void push(const OutputEvents* out, const EventHeader& event) {
    if (out != nullptr && out->try_push != nullptr) out->try_push(out, &event);
}

void pushValue(const OutputEvents* out, Id id, uint32_t time, double value) {
    EventParamValue event{};
    event.header = EventHeader{sizeof event, time, kCoreEventSpace, kEventParamValue, 0};
    event.param_id = id;
    event.note_id = -1;
    event.port_index = event.channel = event.key = -1;
    event.value = value;
    push(out, event.header);
}

}  // namespace

Limiter::Limiter(const Host* hostRecord) : plugin(kInstanceTable), host(hostRecord) {
    plugin.desc = &kDescriptor;
    plugin.plugin_data = this;
}

Limiter::~Limiter() {
    closeEditor();
    audio.effect().setListener(nullptr);
}

Limiter* Limiter::of(const Plugin* record) {
    return record != nullptr && record->desc == &kDescriptor ? static_cast<Limiter*>(record->plugin_data) : nullptr;
}

template <typename HostTable>
const HostTable* Limiter::hostExtension(const char* id) const {
    return host->get_extension != nullptr ? static_cast<const HostTable*>(host->get_extension(host, id)) : nullptr;
}

bool Limiter::init() {
    if (!audio.valid()) return false;
    hostParams = hostExtension<HostParams>(kExtParams);
    hostLatency = hostExtension<HostLatency>(kExtLatency);
    hostTimers = hostExtension<HostTimerSupport>(kExtTimerSupport);
    hostDescriptors = hostExtension<HostPosixFdSupport>(kExtPosixFdSupport);
    audio.effect().setListener(this);
    audio.feedMeters(false);
    return true;
}

// The rate and largest block come with each activation; the latency that
// follows from them is announced here, the one place CLAP lets it change.
bool Limiter::activate(double rate, uint32_t maxFrames) {
    if (active || !audio.configure(rate, static_cast<int32_t>(std::min<uint32_t>(maxFrames, formats::kLargestBlock))))
        return false;
    if (!audio.activate()) {
        audio.deactivate();
        return false;
    }
    if (announcedLatency >= 0 && announcedLatency != audio.latency() && hostLatency != nullptr &&
        hostLatency->changed != nullptr)
        hostLatency->changed(host);
    announcedLatency = audio.latency();
    active = true;
    return true;
}

void Limiter::deactivate() {
    if (!active) return;
    processing = false;
    active = false;
    audio.deactivate();
}

bool Limiter::startProcessing() {
    processing = active;
    return processing;
}

// Back to a fresh start, as a transport jump asks.
void Limiter::reset() {
    if (!active) return;
    audio.deactivate();
    audio.activate();
}

// Without usable buffers the block's changes still count.
ProcessStatus Limiter::process(const Process& block) {
    EventChanges changes(block.in_events);
    formats::BlockBuffers buffers{};
    const bool usable = processing && buffersOf(block, buffers);
    audio.process(usable ? &buffers : nullptr,
                  static_cast<int32_t>(std::min<uint32_t>(block.frames_count, INT32_MAX)), &changes);
    sendEdits(block.out_events);
    sendReports(block.out_events);
    askRestartForLatency();
    return usable ? kProcessContinue : kProcessError;
}

// One input and one output port of the same width, one or two channels: a
// mono port is one buffer on both of the effect's inputs and outputs.
bool Limiter::buffersOf(const Process& block, formats::BlockBuffers& buffers) {
    if (block.audio_inputs_count == 0 || block.audio_outputs_count == 0 || block.audio_inputs == nullptr ||
        block.audio_outputs == nullptr)
        return false;
    const AudioBuffer& in = *block.audio_inputs;
    const AudioBuffer& out = *block.audio_outputs;
    const uint32_t channels = in.channel_count;
    if (in.data32 == nullptr || out.data32 == nullptr || out.channel_count != channels ||
        (channels != kStereo && channels != kMono))
        return false;
    buffers.channels = static_cast<int32_t>(channels);
    for (int32_t c = 0; c < kEffectChannels; ++c) {
        buffers.inputs[c] = in.data32[std::min<uint32_t>(static_cast<uint32_t>(c), channels - 1)];
        buffers.outputs[c] = out.data32[std::min<uint32_t>(static_cast<uint32_t>(c), channels - 1)];
        if (buffers.inputs[c] == nullptr || buffers.outputs[c] == nullptr) return false;
    }
    return true;
}

bool Limiter::paramInfo(uint32_t index, ParamInfo& info) const {
    if (index >= static_cast<uint32_t>(kDescribedParameters)) return false;
    const ParameterDescriptor& p = parameterAt(static_cast<int32_t>(index));
    std::memset(&info, 0, sizeof info);
    info.id = p.id;
    info.flags = kParamIsAutomatable;
    if (p.steps > 0) info.flags |= kParamIsStepped;
    if (p.kind == ParameterKind::Choice) info.flags |= kParamIsEnum;
    if (p.bypass) info.flags |= kParamIsBypass;
    std::snprintf(info.name, sizeof info.name, "%s", p.name);
    info.min_value = lowestPlain(p);
    info.max_value = highestPlain(p);
    info.default_value = plainOf(p, p.start);
    return true;
}

bool Limiter::paramValue(Id id, double& value) const {
    const ParameterDescriptor* p = parameterOfId(id);
    if (p == nullptr) return false;
    value = plainOf(*p, audio.value(id));
    return true;
}

bool Limiter::valueText(Id id, double value, char* text, uint32_t capacity) const {
    const ParameterDescriptor* p = parameterOfId(id);
    const auto normalised = p != nullptr ? normalisedOf(*p, value) : std::nullopt;
    if (!normalised || text == nullptr || capacity == 0) return false;
    std::snprintf(text, capacity, "%s", trimmed(displayOf(id, static_cast<float>(*normalised))).c_str());
    return true;
}

bool Limiter::textValue(Id id, const char* text, double& value) const {
    const ParameterDescriptor* p = parameterOfId(id);
    const auto parsed = p != nullptr && text != nullptr ? parseDisplay(id, text) : std::nullopt;
    if (!parsed) return false;
    value = plainOf(*p, *parsed);
    return true;
}

// Events without audio: while no blocks run, or between them.
void Limiter::flush(const InputEvents* in, const OutputEvents* out) {
    EventChanges changes(in);
    audio.process(nullptr, 0, &changes);
    sendEdits(out);
    askRestartForLatency();
}

// The latency may change only inside activate: a switch of the true-peak
// stage while active asks the host to start the plug-in again.
void Limiter::askRestartForLatency() {
    if (audio.latencyChanged() && active && host->request_restart != nullptr) host->request_restart(host);
}

uint32_t Limiter::latency() const { return static_cast<uint32_t>(std::max(audio.latency(), 0)); }

bool Limiter::save(const OutputStream& stream) const {
    const std::vector<uint8_t> bytes = formats::encodeState(audio.state());
    for (size_t done = 0; done < bytes.size();) {
        const int64_t moved = stream.write(&stream, bytes.data() + done, bytes.size() - done);
        if (moved <= 0) return false;
        done += static_cast<size_t>(moved);
    }
    return true;
}

// Anything but a whole state of ours, or a VST 2 bank or program, changes nothing.
bool Limiter::load(const InputStream& stream) {
    std::vector<uint8_t> bytes;
    uint8_t chunk[kStreamChunk];
    for (int64_t moved = 0; bytes.size() <= kLargestState; bytes.insert(bytes.end(), chunk, chunk + moved)) {
        moved = stream.read(&stream, chunk, sizeof chunk);
        if (moved < 0 || moved > static_cast<int64_t>(sizeof chunk)) return false;
        if (moved == 0) break;
    }
    const auto restored = bytes.size() <= kLargestState ? formats::decodeState(bytes.data(), bytes.size()) : std::nullopt;
    if (!restored) return false;
    audio.restore(*restored);
    return true;
}

void Limiter::parameterEdited(int32_t index, float value) {
    queueEdit(kEventParamValue, index, plainOf(parameterAt(index), value));
}
void Limiter::editBegun(int32_t index) { queueEdit(kEventParamGestureBegin, index, 0.0); }
void Limiter::editEnded(int32_t index) { queueEdit(kEventParamGestureEnd, index, 0.0); }

// The editor's edits come on the main thread; what the effect changes inside
// a block goes out as a report of that block.
void Limiter::queueEdit(uint16_t type, int32_t index, double value) {
    const uint32_t written = editsWritten.load(std::memory_order_relaxed);
    if (written - editsRead.load(std::memory_order_acquire) >= kEditRoom) return;
    edits[written % kEditRoom] = Edit{type, static_cast<Id>(index), value};
    editsWritten.store(written + 1, std::memory_order_release);
    if (hostParams != nullptr && hostParams->request_flush != nullptr) hostParams->request_flush(host);
}

void Limiter::sendEdits(const OutputEvents* out) {
    const uint32_t written = editsWritten.load(std::memory_order_acquire);
    uint32_t read = editsRead.load(std::memory_order_relaxed);
    for (; read != written; ++read) {
        const Edit& edit = edits[read % kEditRoom];
        if (edit.type == kEventParamValue) {
            pushValue(out, edit.id, 0, edit.value);
        } else {
            const EventParamGesture gesture{EventHeader{sizeof(EventParamGesture), 0, kCoreEventSpace, edit.type, 0},
                                            edit.id};
            push(out, gesture.header);
        }
    }
    editsRead.store(read, std::memory_order_release);
}

void Limiter::sendReports(const OutputEvents* out) {
    for (int32_t i = 0; i < audio.reportCount(); ++i) {
        const formats::EffectReport& report = audio.report(i);
        pushValue(out, static_cast<Id>(report.index), static_cast<uint32_t>(report.frame),
                  plainOf(parameterAt(report.index), report.value));
    }
}

}  // namespace clap
