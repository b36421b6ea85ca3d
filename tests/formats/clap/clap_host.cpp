#include "formats/clap/clap_host.h"

#include <algorithm>
#include <cstring>

namespace clap_test {

namespace {

void note(const Host* host, std::string what) { if (host) ClapPlugin::of(host).requests.push_back(std::move(what)); }

const HostLatency latency{[](const Host* host) { note(host, "latency.changed"); }};
const HostParams params{nullptr, nullptr, [](const Host* host) { note(host, "params.request_flush"); }};
const HostTimerSupport timers{
    [](const Host* host, uint32_t period, Id* id) {
        if (host == nullptr || id == nullptr) return false;
        auto& held = ClapPlugin::of(host).timers;
        *id = held.empty() ? 1 : held.rbegin()->first + 1;
        return held.emplace(*id, period).second;
    },
    [](const Host* host, Id id) { return host && ClapPlugin::of(host).timers.erase(id) > 0; }};
const HostPosixFdSupport descriptors{
    [](const Host* host, int fd, PosixFdFlags) { return host && ClapPlugin::of(host).descriptors.insert(fd).second; },
    [](const Host* host, int fd, PosixFdFlags) { return host && ClapPlugin::of(host).descriptors.count(fd) > 0; },
    [](const Host* host, int fd) { return host && ClapPlugin::of(host).descriptors.erase(fd) > 0; }};

const void* CLAP_CALL hostExtension(const Host* host, const char* id) {
    if (host == nullptr || id == nullptr) return nullptr;
    const bool loop = ClapPlugin::of(host).editorLoop;
    const std::pair<const char*, const void*> offered[] = {
        {kExtLatency, &latency}, {kExtParams, &params},
        {kExtTimerSupport, loop ? &timers : nullptr}, {kExtPosixFdSupport, loop ? &descriptors : nullptr}};
    for (const auto& [name, table] : offered)
        if (std::strcmp(name, id) == 0) return table;
    return nullptr;
}

using Events = std::vector<EventParamValue>;

InputEvents inputList(const Events& events) {
    return {const_cast<Events*>(&events),
            [](const InputEvents* list) { return static_cast<uint32_t>(static_cast<Events*>(list->ctx)->size()); },
            [](const InputEvents* list, uint32_t index) -> const EventHeader* {
                const Events& held = *static_cast<Events*>(list->ctx);
                return index < held.size() ? &held[index].header : nullptr;
            }};
}

// Copies what the plug-in pushes, as hosts must; events shorter than their kind are refused.
OutputEvents outputList(Events& sent) {
    return {&sent, [](const OutputEvents* list, const EventHeader* event) {
                const bool value = event != nullptr && event->type == kEventParamValue;
                if (event == nullptr || event->size < (value ? sizeof(EventParamValue) : sizeof(EventParamGesture)))
                    return false;
                EventParamValue copy{};
                std::memcpy(&copy, event, std::min<size_t>(event->size, sizeof copy));
                static_cast<Events*>(list->ctx)->push_back(copy);
                return true;
            }};
}

struct Bytes { std::vector<uint8_t> held; uint64_t position; uint64_t chunk; };

int64_t CLAP_CALL writeBytes(const OutputStream* stream, const void* buffer, uint64_t size) {
    auto& to = *static_cast<Bytes*>(stream->ctx);
    const uint64_t n = std::min(size, to.chunk);
    if (n > 0 && buffer == nullptr) return -1;
    to.held.insert(to.held.end(), static_cast<const uint8_t*>(buffer), static_cast<const uint8_t*>(buffer) + n);
    return static_cast<int64_t>(n);
}

int64_t CLAP_CALL readBytes(const InputStream* stream, void* buffer, uint64_t size) {
    auto& from = *static_cast<Bytes*>(stream->ctx);
    const uint64_t n = std::min({size, from.chunk, from.held.size() - from.position});
    if (n > 0 && buffer == nullptr) return -1;
    if (n > 0) std::memcpy(buffer, from.held.data() + from.position, n);
    from.position += n;
    return static_cast<int64_t>(n);
}

}  // namespace

ClapModule::ClapModule(const char* path) : library(path) {
    const auto* entry = reinterpret_cast<const PluginEntry*>(reinterpret_cast<void*>(library.entry(kEntrySymbol)));
    if (entry == nullptr || !versionIsCompatible(entry->clap_version) || !entry->init(path)) return;
    entered = entry;
    pluginFactory = static_cast<const PluginFactory*>(entry->get_factory(kPluginFactoryId));
}

// The module is left before the library unloads it.
ClapModule::~ClapModule() {
    if (entered != nullptr) entered->deinit();
}

ClapPlugin::ClapPlugin(const PluginFactory* factory, bool loop)
    : editorLoop(loop),
      host{kVersion, this, "quillo test host", "quillo", "", "1.0", hostExtension,
           [](const Host* record) { note(record, "restart"); }, [](const Host* record) { note(record, "process"); },
           [](const Host* record) { note(record, "callback"); }},
      inEvents(inputList(pending)),
      outEvents(outputList(output)) {
    if (factory == nullptr || factory->get_plugin_count(factory) == 0) return;
    const PluginDescriptor* descriptor = factory->get_plugin_descriptor(factory, 0);
    const Plugin* made = descriptor ? factory->create_plugin(factory, &host, descriptor->id) : nullptr;
    plugin = made != nullptr && made->init(made) ? made : nullptr;
    if (made != nullptr && plugin == nullptr) made->destroy(made);
}

ClapPlugin::~ClapPlugin() {
    stop();
    if (plugin != nullptr) plugin->destroy(plugin);
}

bool ClapPlugin::start(double rate, uint32_t minFrames, uint32_t maxFrames) {
    if (!valid() || active) return false;
    active = plugin->activate(plugin, rate, minFrames, maxFrames);
    processing = active && plugin->start_processing(plugin);
    return processing;
}

void ClapPlugin::stop() {
    if (processing) plugin->stop_processing(plugin);
    if (active) plugin->deactivate(plugin);
    processing = active = false;
}

// A global change: every part of the note address is the wildcard.
EventParamValue& ClapPlugin::queue(Id param, double value, uint32_t frame) {
    return pending.emplace_back(EventParamValue{
        {sizeof(EventParamValue), frame, kCoreEventSpace, kEventParamValue, 0}, param, nullptr, -1, -1, -1, -1, value});
}

ProcessStatus ClapPlugin::process(float* const* inputs, float* const* outputs, uint32_t frames, uint32_t channels) {
    if (!valid()) return kProcessError;
    const AudioBuffer in{const_cast<float**>(inputs), nullptr, channels, 0, 0};
    AudioBuffer out{const_cast<float**>(outputs), nullptr, channels, 0, 0};
    const Process block{steadyTime, frames, nullptr, &in, &out, 1, 1, &inEvents, &outEvents};
    output.clear();
    const ProcessStatus status = plugin->process(plugin, &block);
    steadyTime += frames;
    pending.clear();
    return status;
}

void ClapPlugin::flush() {
    output.clear();
    if (const auto* table = extension<PluginParams>(kExtParams)) table->flush(plugin, &inEvents, &outEvents);
    pending.clear();
}

std::vector<uint8_t> ClapPlugin::state(uint64_t chunk) {
    Bytes bytes{{}, 0, chunk};
    const OutputStream stream{&bytes, writeBytes};
    const auto* table = extension<PluginState>(kExtState);
    return table != nullptr && table->save(plugin, &stream) ? bytes.held : std::vector<uint8_t>();
}

bool ClapPlugin::restore(const std::vector<uint8_t>& saved, uint64_t chunk) {
    Bytes bytes{saved, 0, chunk};
    const InputStream stream{&bytes, readBytes};
    const auto* table = extension<PluginState>(kExtState);
    return table != nullptr && table->load(plugin, &stream);
}

}  // namespace clap_test
