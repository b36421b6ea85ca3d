// The LV2 bundle beside the VST 2 build it wraps, the CLAP module and the other
// LV2 peak limiter Debian ships (x42's digital peak limiter, stereo), each
// through the same kind of host: loud stereo noise at 44.1 kHz in separate
// buffers, each plug-in at its default parameters, blocks of 512 and 32
// frames. Figures are ns per stereo frame, medians of repeated runs, summed up
// at the end.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/loud_noise.h"
#include "bench/median_reporter.h"
#include "formats/clap/clap_abi.h"
#include "host/vst_abi.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int32_t kFrames = quillo_bench::kNoiseFrames;
constexpr int64_t kSmallBlock = 32, kCommonBlock = 512;
constexpr int kRepetitions = 5;
constexpr double kMinTime = 0.5;
constexpr char kPluginUri[] = "https://vrn-quillo.invalid/lv2/limiter";
constexpr char kPeerUri[] = "http://gareus.org/oss/lv2/dpl#stereo";
constexpr char kPeerBundle[] = "/usr/lib/lv2/dpl.lv2/";
// Bytes for each atom port's sequence: the peer reports on its notify port.
constexpr size_t kAtomBytes = 8192;
constexpr intptr_t kHostVersion = 2400;
constexpr intptr_t kMainsOn = 1;

struct Material {
    std::vector<float> in[2] = {quillo_bench::loudNoise(1u), quillo_bench::loudNoise(2u)};
    std::vector<float> out[2] = {std::vector<float>(kFrames), std::vector<float>(kFrames)};
};

class UriMap {
public:
    LV2_URID_Map map{this, [](LV2_URID_Map_Handle self, const char* uri) -> LV2_URID {
                         auto& known = static_cast<UriMap*>(self)->ids;
                         return known.emplace(uri, static_cast<LV2_URID>(known.size() + 1)).first->second;
                     }};
    LV2_URID id(const char* uri) { return map.map(this, uri); }

private:
    std::map<std::string, LV2_URID> ids;
};

// Any stereo LV2 plug-in as a plain host runs it: the first two audio ports
// each way, controls at their defaults, atom ports with empty sequences, the
// block size announced through the options feature.
class LilvHosted {
public:
    LilvHosted(const char* bundle, const char* uri, int32_t block);
    ~LilvHosted();
    bool valid() const { return instance != nullptr; }
    void run(float* const* inputs, float* const* outputs, uint32_t frames);

private:
    LilvWorld* world = lilv_world_new();
    UriMap uris;
    LilvInstance* instance = nullptr;
    std::vector<uint32_t> audioIn, audioOut;
    std::vector<LV2_Atom_Sequence*> atomOut;
    std::vector<float> controls;
    std::vector<std::unique_ptr<LV2_Atom_Sequence[]>> atoms;
    LV2_URID chunk = 0;
};

LilvHosted::LilvHosted(const char* bundle, const char* uri, int32_t block) {
    LilvNode* bundleUri = lilv_new_file_uri(world, nullptr, bundle);
    lilv_world_load_bundle(world, bundleUri);
    lilv_node_free(bundleUri);
    LilvNode* pluginUri = lilv_new_uri(world, uri);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), pluginUri);
    lilv_node_free(pluginUri);
    if (plugin == nullptr) return;
    const int32_t length = block;
    const LV2_Options_Option options[] = {
        {LV2_OPTIONS_INSTANCE, 0, uris.id(LV2_BUF_SIZE__maxBlockLength), sizeof length, uris.id(LV2_ATOM__Int), &length},
        {LV2_OPTIONS_INSTANCE, 0, uris.id(LV2_BUF_SIZE__nominalBlockLength), sizeof length, uris.id(LV2_ATOM__Int),
         &length},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    const LV2_Feature mapFeature{LV2_URID__map, &uris.map};
    const LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
    const LV2_Feature* features[] = {&mapFeature, &optionsFeature, nullptr};
    instance = lilv_plugin_instantiate(plugin, kRate, features);
    if (instance == nullptr) return;
    const uint32_t ports = lilv_plugin_get_num_ports(plugin);
    controls.resize(ports);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, controls.data());
    LilvNode* audio = lilv_new_uri(world, LV2_CORE__AudioPort);
    LilvNode* atom = lilv_new_uri(world, LV2_ATOM__AtomPort);
    LilvNode* input = lilv_new_uri(world, LV2_CORE__InputPort);
    chunk = uris.id(LV2_ATOM__Chunk);
    for (uint32_t i = 0; i < ports; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        const bool in = lilv_port_is_a(plugin, port, input);
        if (lilv_port_is_a(plugin, port, audio)) {
            (in ? audioIn : audioOut).push_back(i);
        } else if (lilv_port_is_a(plugin, port, atom)) {
            atoms.emplace_back(new LV2_Atom_Sequence[kAtomBytes / sizeof(LV2_Atom_Sequence)]);
            LV2_Atom_Sequence* sequence = atoms.back().get();
            sequence->atom = {sizeof(LV2_Atom_Sequence_Body), uris.id(LV2_ATOM__Sequence)};
            sequence->body = {0, 0};
            if (!in) atomOut.push_back(sequence);
            lilv_instance_connect_port(instance, i, sequence);
        } else {
            lilv_instance_connect_port(instance, i, &controls[i]);
        }
    }
    lilv_node_free(audio);
    lilv_node_free(atom);
    lilv_node_free(input);
    lilv_instance_activate(instance);
}

LilvHosted::~LilvHosted() {
    if (instance != nullptr) {
        lilv_instance_deactivate(instance);
        lilv_instance_free(instance);
    }
    lilv_world_free(world);
}

// Hosts hand over the buffers of every block; an atom output gets its room back.
void LilvHosted::run(float* const* inputs, float* const* outputs, uint32_t frames) {
    for (size_t c = 0; c < 2; ++c) {
        lilv_instance_connect_port(instance, audioIn[c], inputs[c]);
        lilv_instance_connect_port(instance, audioOut[c], outputs[c]);
    }
    for (LV2_Atom_Sequence* sequence : atomOut) sequence->atom = {kAtomBytes - sizeof(LV2_Atom), chunk};
    lilv_instance_run(instance, frames);
}

// The VST 2 build, driven through its record as a VST 2 host does.
class Vst2Hosted {
public:
    explicit Vst2Hosted(int32_t block) : library(dlopen(QUILLO_MODULE_FILE, RTLD_NOW | RTLD_LOCAL)) {
        using Entry = AEffect* (*)(audioMasterCallback);
        const auto entry = library != nullptr ? reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain")) : nullptr;
        effect = entry != nullptr ? entry(callback) : nullptr;
        if (effect == nullptr) return;
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
        effect->dispatcher(effect, effSetBlockSize, 0, block, nullptr, 0.0f);
        effect->dispatcher(effect, effMainsChanged, 0, kMainsOn, nullptr, 0.0f);
    }
    ~Vst2Hosted() {
        if (effect != nullptr) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        if (library != nullptr) dlclose(library);
    }
    bool valid() const { return effect != nullptr; }
    void run(float* const* inputs, float* const* outputs, uint32_t frames) {
        effect->processReplacing(effect, const_cast<float**>(inputs), const_cast<float**>(outputs),
                                 static_cast<int32_t>(frames));
    }

private:
    static intptr_t callback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
        return opcode == audioMasterVersion ? kHostVersion : 0;
    }
    void* library;
    AEffect* effect = nullptr;
};

// The CLAP module as a CLAP host runs it: activated at the block size, each
// block with no events in and an output list that takes whatever comes.
class ClapHosted {
public:
    explicit ClapHosted(int32_t block) : library(dlopen(QUILLO_CLAP_FILE, RTLD_NOW | RTLD_LOCAL)) {
        const auto* entry = library != nullptr ? static_cast<const clap::PluginEntry*>(dlsym(library, clap::kEntrySymbol))
                                               : nullptr;
        if (entry == nullptr || !entry->init(QUILLO_CLAP_FILE)) return;
        deinit = entry->deinit;
        const auto* factory = static_cast<const clap::PluginFactory*>(entry->get_factory(clap::kPluginFactoryId));
        plugin = factory->create_plugin(factory, &host, factory->get_plugin_descriptor(factory, 0)->id);
        if (plugin == nullptr || !plugin->init(plugin) || !plugin->activate(plugin, kRate, 1, static_cast<uint32_t>(block)) ||
            !plugin->start_processing(plugin)) {
            if (plugin != nullptr) plugin->destroy(plugin);
            plugin = nullptr;
        }
    }
    ~ClapHosted() {
        if (plugin != nullptr) {
            plugin->stop_processing(plugin);
            plugin->deactivate(plugin);
            plugin->destroy(plugin);
        }
        if (deinit != nullptr) deinit();
        if (library != nullptr) dlclose(library);
    }
    bool valid() const { return plugin != nullptr; }
    void run(float* const* inputs, float* const* outputs, uint32_t frames) {
        const clap::AudioBuffer in{const_cast<float**>(inputs), nullptr, 2, 0, 0};
        clap::AudioBuffer out{const_cast<float**>(outputs), nullptr, 2, 0, 0};
        const clap::Process block{-1, frames, nullptr, &in, &out, 1, 1, &kNoEvents, &kAnyEvents};
        plugin->process(plugin, &block);
    }

private:
    static constexpr clap::InputEvents kNoEvents{
        nullptr, [](const clap::InputEvents*) { return 0u; },
        [](const clap::InputEvents*, uint32_t) -> const clap::EventHeader* { return nullptr; }};
    static constexpr clap::OutputEvents kAnyEvents{nullptr, [](const clap::OutputEvents*, const clap::EventHeader*) {
                                                       return true;
                                                   }};
    const clap::Host host{clap::kVersion, nullptr, "bench", "", "", "1",
                          [](const clap::Host*, const char*) -> const void* { return nullptr; },
                          [](const clap::Host*) {}, [](const clap::Host*) {}, [](const clap::Host*) {}};
    void* library;
    void (*deinit)() = nullptr;
    const clap::Plugin* plugin = nullptr;
};

template <class Hosted, class... Arguments>
void blocks(benchmark::State& state, Arguments... arguments) {
    const auto block = static_cast<int32_t>(state.range(0));
    Hosted plugin(arguments..., block);
    if (!plugin.valid()) {
        state.SkipWithError("not installed or refused");
        return;
    }
    Material material;
    int32_t at = 0;
    for (auto _ : state) {
        float* inputs[2] = {material.in[0].data() + at, material.in[1].data() + at};
        float* outputs[2] = {material.out[0].data() + at, material.out[1].data() + at};
        plugin.run(inputs, outputs, static_cast<uint32_t>(block));
        benchmark::ClobberMemory();
        at += block;
        if (at + block > kFrames) at = 0;
    }
    const double frames = static_cast<double>(state.iterations()) * block;
    state.counters["per_frame"] = benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void lv2Bundle(benchmark::State& state) { blocks<LilvHosted>(state, QUILLO_LV2_BUNDLE "/", kPluginUri); }
void vst2Build(benchmark::State& state) { blocks<Vst2Hosted>(state); }
void clapModule(benchmark::State& state) { blocks<ClapHosted>(state); }
void x42Peer(benchmark::State& state) { blocks<LilvHosted>(state, kPeerBundle, kPeerUri); }

double percent(double a, double b) { return b > 0.0 ? 100.0 * (a / b - 1.0) : 0.0; }

void printSummary(const quillo_bench::MedianReporter& r) {
    std::printf("\nMedians of the repeated runs, ns per stereo frame (loud noise, 44.1 kHz, default parameters):\n");
    std::printf("  block   LV2 bundle   VST 2 build   LV2 vs VST 2   CLAP module   CLAP vs LV2   x42 dpl stereo   "
                "ours vs x42\n");
    for (int64_t block : {kCommonBlock, kSmallBlock}) {
        const std::string args = "/" + std::to_string(block);
        const double lv2 = r.median("lv2Bundle" + args), vst2 = r.median("vst2Build" + args);
        const double clap = r.median("clapModule" + args), peer = r.median("x42Peer" + args);
        std::printf("  %5lld   %10.2f   %11.2f   %+11.1f %%   %11.2f   %+10.1f %%   %14.2f   %+9.1f %%\n",
                    static_cast<long long>(block), lv2, vst2, percent(lv2, vst2), clap, percent(clap, lv2), peer,
                    percent(lv2, peer));
    }
}

}  // namespace

BENCHMARK(lv2Bundle)->Arg(kCommonBlock)->Arg(kSmallBlock)->MinTime(kMinTime)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(vst2Build)->Arg(kCommonBlock)->Arg(kSmallBlock)->MinTime(kMinTime)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(clapModule)->Arg(kCommonBlock)->Arg(kSmallBlock)->MinTime(kMinTime)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(x42Peer)->Arg(kCommonBlock)->Arg(kSmallBlock)->MinTime(kMinTime)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);

int main(int argc, char** argv) { return quillo_bench::runBenchmarks(argc, argv, printSummary); }
