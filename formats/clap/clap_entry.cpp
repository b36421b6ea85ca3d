// The module's exported entry, its factory of one plug-in, and the tables of
// operations a host calls: each hands the call to the instance and catches
// everything, so that nothing thrown reaches the host; a record that is not
// ours is answered as a refusal.
#include <cstring>
#include <new>

#include "formats/clap/clap_plugin.h"

#ifndef QUILLO_VERSION
#error "QUILLO_VERSION must give the product's version"
#endif

#if defined(_WIN32)
#define CLAP_EXPORT
#else
#define CLAP_EXPORT __attribute__((visibility("default")))
#endif

namespace clap {

namespace {

// Never changes: hosts keep it in their projects.
constexpr char kPluginId[] = "invalid.vrn-quillo.limiter";
constexpr char kUrl[] = "https://vrn-quillo.invalid/";
constexpr char kDescription[] = "A stereo brickwall peak limiter";
constexpr const char* kFeatures[] = {kFeatureAudioEffect, kFeatureLimiter, kFeatureStereo, kFeatureMono, nullptr};
constexpr uint32_t kEditorWidth = 221;
constexpr uint32_t kEditorHeight = 289;

#if defined(_WIN32)
constexpr const char* kWindowApi = kWindowApiWin32;
#else
constexpr const char* kWindowApi = kWindowApiX11;
#endif

// Runs `call` on the instance behind `plugin`, or answers `refused`.
template <typename Result, typename Call>
Result with(const Plugin* plugin, Result refused, Call call) {
    Limiter* limiter = Limiter::of(plugin);
    if (limiter == nullptr) return refused;
    try {
        return call(*limiter);
    } catch (...) {
        return refused;
    }
}

template <typename Call>
void with(const Plugin* plugin, Call call) {
    with(plugin, 0, [&](Limiter& limiter) { return call(limiter), 0; });
}

const PluginParams kParams{
    [](const Plugin* p) { return with(p, 0u, [](Limiter&) { return static_cast<uint32_t>(kDescribedParameters); }); },
    [](const Plugin* p, uint32_t index, ParamInfo* info) {
        return info != nullptr && with(p, false, [&](Limiter& l) { return l.paramInfo(index, *info); });
    },
    [](const Plugin* p, Id id, double* value) {
        return value != nullptr && with(p, false, [&](Limiter& l) { return l.paramValue(id, *value); });
    },
    [](const Plugin* p, Id id, double value, char* text, uint32_t capacity) {
        return with(p, false, [&](Limiter& l) { return l.valueText(id, value, text, capacity); });
    },
    [](const Plugin* p, Id id, const char* text, double* value) {
        return value != nullptr && with(p, false, [&](Limiter& l) { return l.textValue(id, text, *value); });
    },
    [](const Plugin* p, const InputEvents* in, const OutputEvents* out) {
        with(p, [&](Limiter& l) { l.flush(in, out); });
    }};

constexpr const char* kPortNames[] = {"Output", "Input"};

const PluginAudioPorts kAudioPorts{
    [](const Plugin* p, bool) { return with(p, 0u, [](Limiter&) { return 1u; }); },
    [](const Plugin* p, uint32_t index, bool input, AudioPortInfo* info) {
        if (info == nullptr || index != 0 || Limiter::of(p) == nullptr) return false;
        std::memset(info, 0, sizeof *info);
        std::strncpy(info->name, kPortNames[input ? 1 : 0], kNameSize - 1);
        info->flags = kAudioPortIsMain;
        info->channel_count = kEffectChannels;
        info->port_type = kPortStereo;
        info->in_place_pair = 0;
        return true;
    }};

const PluginLatency kLatency{[](const Plugin* p) { return with(p, 0u, [](Limiter& l) { return l.latency(); }); }};
const PluginTail kTail{[](const Plugin* p) { return with(p, 0u, [](Limiter& l) { return l.latency(); }); }};

const PluginState kState{
    [](const Plugin* p, const OutputStream* stream) {
        return stream != nullptr && stream->write != nullptr && with(p, false, [&](Limiter& l) { return l.save(*stream); });
    },
    [](const Plugin* p, const InputStream* stream) {
        return stream != nullptr && stream->read != nullptr && with(p, false, [&](Limiter& l) { return l.load(*stream); });
    }};

// Offline and real-time renders sound the same; nothing needs to be told.
const PluginRender kRender{[](const Plugin*) { return false; },
                           [](const Plugin* p, RenderMode) { return Limiter::of(p) != nullptr; }};

bool ourWindow(const Plugin* p, const char* api, bool floating) {
    return api != nullptr && !floating && std::strcmp(api, kWindowApi) == 0 &&
           with(p, false, [](Limiter& l) { return l.editorUsable(); });
}

const PluginGui kGui{
    [](const Plugin* p, const char* api, bool floating) { return ourWindow(p, api, floating); },
    [](const Plugin* p, const char** api, bool* floating) {
        if (api == nullptr || floating == nullptr || !ourWindow(p, kWindowApi, false)) return false;
        *api = kWindowApi;
        *floating = false;
        return true;
    },
    [](const Plugin* p, const char* api, bool floating) { return ourWindow(p, api, floating); },
    [](const Plugin* p) { with(p, [](Limiter& l) { l.closeEditor(); }); },
    [](const Plugin*, double) { return false; },
    [](const Plugin* p, uint32_t* width, uint32_t* height) {
        if (width == nullptr || height == nullptr || Limiter::of(p) == nullptr) return false;
        *width = kEditorWidth;
        *height = kEditorHeight;
        return true;
    },
    [](const Plugin*) { return false; },
    [](const Plugin*, GuiResizeHints*) { return false; },
    [](const Plugin*, uint32_t*, uint32_t*) { return false; },
    [](const Plugin*, uint32_t width, uint32_t height) { return width == kEditorWidth && height == kEditorHeight; },
    [](const Plugin* p, const Window* window) {
        return window != nullptr && with(p, false, [&](Limiter& l) { return l.openEditor(*window); });
    },
    [](const Plugin*, const Window*) { return false; },
    [](const Plugin*, const char*) {},
    [](const Plugin* p) { return Limiter::of(p) != nullptr; },
    [](const Plugin* p) { return Limiter::of(p) != nullptr; }};

const PluginTimerSupport kTimers{[](const Plugin* p, Id) { with(p, [](Limiter& l) { l.editorTick(); }); }};
const PluginPosixFdSupport kDescriptors{
    [](const Plugin* p, int, PosixFdFlags) { with(p, [](Limiter& l) { l.editorTick(); }); }};

const std::pair<const char*, const void*> kExtensions[] = {
    {kExtParams, &kParams}, {kExtAudioPorts, &kAudioPorts}, {kExtLatency, &kLatency}, {kExtTail, &kTail},
    {kExtState, &kState},   {kExtRender, &kRender},         {kExtGui, &kGui},         {kExtTimerSupport, &kTimers},
    {kExtPosixFdSupport, &kDescriptors}};

Plugin instanceTable() {
    Plugin table{};
    table.init = [](const Plugin* p) { return with(p, false, [](Limiter& l) { return l.init(); }); };
    table.destroy = [](const Plugin* p) {
        if (Limiter* limiter = Limiter::of(p)) delete limiter;
    };
    table.activate = [](const Plugin* p, double rate, uint32_t, uint32_t maxFrames) {
        return with(p, false, [&](Limiter& l) { return l.activate(rate, maxFrames); });
    };
    table.deactivate = [](const Plugin* p) { with(p, [](Limiter& l) { l.deactivate(); }); };
    table.start_processing = [](const Plugin* p) { return with(p, false, [](Limiter& l) { return l.startProcessing(); }); };
    table.stop_processing = [](const Plugin* p) { with(p, [](Limiter& l) { l.stopProcessing(); }); };
    table.reset = [](const Plugin* p) { with(p, [](Limiter& l) { l.reset(); }); };
    table.process = [](const Plugin* p, const Process* block) -> ProcessStatus {
        const ProcessStatus refused = kProcessError;
        return block != nullptr ? with(p, refused, [&](Limiter& l) { return l.process(*block); }) : refused;
    };
    table.get_extension = [](const Plugin* p, const char* id) -> const void* {
        return id != nullptr ? with(p, static_cast<const void*>(nullptr), [&](Limiter& l) { return l.extension(id); })
                             : nullptr;
    };
    table.on_main_thread = [](const Plugin*) {};
    return table;
}

const PluginFactory kFactory{
    [](const PluginFactory*) { return 1u; },
    [](const PluginFactory*, uint32_t index) { return index == 0 ? &kDescriptor : nullptr; },
    [](const PluginFactory*, const Host* host, const char* id) -> const Plugin* {
        if (host == nullptr || id == nullptr || std::strcmp(id, kPluginId) != 0 ||
            !versionIsCompatible(host->clap_version))
            return nullptr;
        try {
            auto* limiter = new (std::nothrow) Limiter(host);
            return limiter != nullptr ? limiter->record() : nullptr;
        } catch (...) {
            return nullptr;
        }
    }};

}  // namespace

const PluginDescriptor kDescriptor{kVersion,   kPluginId,     kEffectName, kVendorName, kUrl, kUrl, kUrl,
                                   QUILLO_VERSION, kDescription, kFeatures};
const Plugin kInstanceTable = instanceTable();

// The GUI only where the editor can run: on Linux its ticks and its window
// system's events come from the host's timers and descriptor watch.
const void* Limiter::extension(const char* id) const {
    for (const auto& [name, table] : kExtensions) {
        if (std::strcmp(name, id) != 0) continue;
        const bool editor = table == &kGui || table == &kTimers || table == &kDescriptors;
        return editor && !editorUsable() ? nullptr : table;
    }
    return nullptr;
}

}  // namespace clap

extern "C" CLAP_EXPORT const clap::PluginEntry clap_entry{
    clap::kVersion, [](const char*) { return true; }, []() {},
    [](const char* id) -> const void* {
        return id != nullptr && std::strcmp(id, clap::kPluginFactoryId) == 0 ? &clap::kFactory : nullptr;
    }};
