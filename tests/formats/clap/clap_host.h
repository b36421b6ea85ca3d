// A CLAP host for tests: loads the built module as hosts do, makes its plug-in
// with a host record of its own, drives it through activation, blocks with
// parameter events, flush and state, and records what the plug-in sends and asks.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "formats/clap/clap_extensions.h"
#include "support/plugin_library.h"

namespace clap_test {

using namespace clap;

// The built module, entered as hosts do; left by the destructor.
class ClapModule {
public:
    explicit ClapModule(const char* path);
    ~ClapModule();
    const PluginFactory* factory() const { return pluginFactory; }

private:
    PluginLibrary library;
    const PluginEntry* entered = nullptr;
    const PluginFactory* pluginFactory = nullptr;
};

// The factory's plug-in as a host holds it, with a host record of its own:
// made and initialised; stopped, deactivated and destroyed by the destructor.
// The host offers the extensions this plug-in asks for (timers and descriptors
// only with an editor loop); a test runs the timers, descriptors and callbacks.
class ClapPlugin {
public:
    explicit ClapPlugin(const PluginFactory* factory, bool editorLoop = true);
    ~ClapPlugin();
    ClapPlugin(const ClapPlugin&) = delete;
    ClapPlugin& operator=(const ClapPlugin&) = delete;

    static ClapPlugin& of(const Host* record) { return *static_cast<ClapPlugin*>(record->host_data); }
    bool valid() const { return plugin != nullptr; }
    template <typename Table>
    const Table* extension(const char* id) const {
        return valid() ? static_cast<const Table*>(plugin->get_extension(plugin, id)) : nullptr;
    }

    // Activation and the start of processing, as hosts do both; false where refused.
    bool start(double rate, uint32_t minFrames, uint32_t maxFrames);
    void stop();

    // A value change at `frame` of the next process or flush call, kept in the
    // order given: a careless host's need not be sorted.
    EventParamValue& queue(Id param, double value, uint32_t frame = 0);
    // One block of 32-bit audio through one input and one output port; the
    // plug-in decides whether it runs.
    ProcessStatus process(float* const* inputs, float* const* outputs, uint32_t frames, uint32_t channels = 2);
    void flush();
    // What the plug-in sent in the last process or flush call, gestures as value records with no value.
    const std::vector<EventParamValue>& sent() const { return output; }

    // State through streams that move at most `chunk` bytes a call, as some hosts' do.
    std::vector<uint8_t> state(uint64_t chunk = UINT64_MAX);
    bool restore(const std::vector<uint8_t>& bytes, uint64_t chunk = UINT64_MAX);

    const Plugin* plugin = nullptr;
    std::vector<std::string> requests;  // what it asked, in order: "callback", "restart"...
    std::map<Id, uint32_t> timers;      // period in ms by identifier
    std::set<int> descriptors;
    const bool editorLoop;

private:
    Host host;
    std::vector<EventParamValue> pending;
    std::vector<EventParamValue> output;
    const InputEvents inEvents;
    const OutputEvents outEvents;
    int64_t steadyTime = 0;
    bool active = false;
    bool processing = false;
};

}  // namespace clap_test
