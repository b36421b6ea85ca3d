// quillo_juce_host: a small command-line host on JUCE's own plug-in hosting,
// for the tests and for looking at any VST 3 or LV2 plug-in by hand.
//
//   quillo_juce_host scan   FORMAT PATH
//   quillo_juce_host params FORMAT PATH [VALUE...]   texts at normalised values
//   quillo_juce_host state  FORMAT PATH              save, restore in a new instance
//   quillo_juce_host render FORMAT PATH --rate R --block B [--set ID=VALUE]...
//                           (--input IN.raw | --noise FRAMES) --output OUT.raw
//   quillo_juce_host editor FORMAT PATH [MILLISECONDS]
//   quillo_juce_host check  FORMAT PATH --reference VST2.so [gtest options]
//
// FORMAT is VST3 or LV2; PATH a .vst3 bundle, an LV2 bundle folder or URI.
// --set takes a parameter's ID or its place in the list `params` prints, and a
// normalised value. Raw audio is stereo, interleaved 32-bit floats in the machine's order.
// Exits 0 on success, 1 when a check fails, 2 on wrong use.
#include <juce_audio_processors/juce_audio_processors.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <vector>

#include "hosts/juce/hosted_plugin.h"
#include "hosts/juce/juce_checks.h"
#include "support/render_material.h"

namespace {

using namespace juce_host;

constexpr int kStereo = 2;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr double kListRate = 48000.0;
constexpr int kListBlock = 512;
constexpr int kEditorMilliseconds = 500;
const float kListedValues[] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f};

// Deterministic loud stereo noise, interleaved (peaks near 3, so the limiter works hard).
std::vector<float> noise(int frames) {
    std::vector<float> signal(static_cast<size_t>(std::max(frames, 0)) * kStereo);
    render_material::fillNoise(signal, 3.0f, 2024u);
    return signal;
}

struct Loaded {
    std::unique_ptr<PluginSource> source;
    std::unique_ptr<juce::AudioPluginInstance> plugin;
};

Loaded load(const char* format, const char* path, double rate = kListRate, int block = kListBlock) {
    Loaded loaded{std::make_unique<PluginSource>(format, path), nullptr};
    loaded.plugin = loaded.source->create(rate, block);
    if (loaded.plugin == nullptr) std::fprintf(stderr, "%s\n", loaded.source->error().toRawUTF8());
    return loaded;
}

int scan(const char* format, const char* path) {
    PluginSource source(format, path);
    for (const auto* d : source.descriptions()) {
        std::printf("%s | %s | %s | %s | uid %08x | in %d out %d | %s\n", d->name.toRawUTF8(),
                    d->manufacturerName.toRawUTF8(), d->version.toRawUTF8(), d->category.toRawUTF8(),
                    static_cast<unsigned>(d->uniqueId), d->numInputChannels, d->numOutputChannels,
                    d->fileOrIdentifier.toRawUTF8());
    }
    if (source.descriptions().isEmpty()) std::fprintf(stderr, "%s\n", source.error().toRawUTF8());
    return source.descriptions().isEmpty() ? kFailed : 0;
}

int params(const char* format, const char* path, const std::vector<float>& values) {
    Loaded loaded = load(format, path);
    if (!loaded.plugin) return kFailed;
    auto& plugin = *loaded.plugin;
    const auto& parameters = plugin.getParameters();
    for (int i = 0; i < parameters.size(); ++i) {
        auto* p = parameters[i];
        auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*>(p);
        std::printf("%d [%s] \"%s\" unit \"%s\" steps %d default %g:", i,
                    hosted ? hosted->getParameterID().toRawUTF8() : "", p->getName(1024).toRawUTF8(),
                    p->getLabel().toRawUTF8(), p->getNumSteps(), static_cast<double>(p->getDefaultValue()));
        for (float v : values) std::printf(" %g=\"%s\"", static_cast<double>(v), p->getText(v, 1024).toRawUTF8());
        std::printf("\n");
    }
    for (int p = 0; p < plugin.getNumPrograms(); ++p) std::printf("program %d \"%s\"\n", p, plugin.getProgramName(p).toRawUTF8());
    std::printf("latency at %g Hz: %d\n", kListRate, (prepare(plugin, kListRate, kListBlock), plugin.getLatencySamples()));
    return 0;
}

// A value away from the parameter's present one; one of its steps where it has steps.
float movedValue(const juce::AudioProcessorParameter& p) {
    const float away = p.getValue() < 0.5f ? 0.75f : 0.25f;
    if (!p.isDiscrete() || p.getNumSteps() < kStereo) return away;
    const float last = static_cast<float>(p.getNumSteps() - 1);
    return std::round(away * last) / last;
}

// A parameter by its ID, or else by its place in JUCE's list.
juce::AudioProcessorParameter* parameterByKey(juce::AudioPluginInstance& plugin, const std::string& key) {
    for (auto* p : plugin.getParameters()) {
        auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*>(p);
        if (hosted != nullptr && hosted->getParameterID() == juce::String(key)) return p;
    }
    const int index = std::atoi(key.c_str());
    return key.find_first_not_of("0123456789") == std::string::npos && index < plugin.getParameters().size()
               ? plugin.getParameters()[index]
               : nullptr;
}

int state(const char* format, const char* path) {
    Loaded saved = load(format, path);
    if (!saved.plugin) return kFailed;
    // Every parameter moved away from where it was, then what it holds kept.
    // Hosts save after a block has run: only a block hands a host's changes to
    // a VST 3 processor or to LV2 ports.
    prepare(*saved.plugin, kListRate, kListBlock);
    for (auto* p : saved.plugin->getParameters()) p->setValue(movedValue(*p));
    renderInterleaved(*saved.plugin, std::vector<float>(kStereo * kListBlock, 0.0f), kStereo, kListBlock);
    const std::vector<float> wanted = parameterValues(*saved.plugin);
    juce::MemoryBlock state;
    saved.plugin->getStateInformation(state);
    Loaded restored = load(format, path);
    if (!restored.plugin) return kFailed;
    restored.plugin->setStateInformation(state.getData(), static_cast<int>(state.getSize()));
    const std::vector<float> got = parameterValues(*restored.plugin);
    int wrong = 0;
    for (size_t i = 0; i < wanted.size(); ++i) {
        const bool same = i < got.size() && got[i] == wanted[i];
        wrong += same ? 0 : 1;
        std::printf("%zu %s: saved %g restored %g\n", i, same ? "ok" : "DIFFERS", static_cast<double>(wanted[i]),
                    static_cast<double>(i < got.size() ? got[i] : -1.0f));
    }
    std::printf("state of %zu bytes, %d parameter(s) differ\n", state.getSize(), wrong);
    return wrong == 0 && got.size() == wanted.size() ? 0 : kFailed;
}

std::vector<float> readRaw(const char* file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

int render(const char* format, const char* path, std::map<std::string, std::string> options,
           const std::vector<std::pair<std::string, float>>& settings) {
    const double rate = std::atof(options["rate"].c_str());
    const int block = std::atoi(options["block"].c_str());
    if (rate <= 0.0 || block <= 0 || options["output"].empty()) return kUsage;
    std::vector<float> input = options["input"].empty() ? noise(std::atoi(options["noise"].c_str()))
                                                        : readRaw(options["input"].c_str());
    Loaded loaded = load(format, path, rate, block);
    if (!loaded.plugin) return kFailed;
    // Set once prepared: JUCE's LV2 hosting makes the plug-in anew in
    // prepareToPlay, from a state without what no run has taken in yet.
    prepare(*loaded.plugin, rate, block);
    for (const auto& [key, value] : settings) {
        auto* p = parameterByKey(*loaded.plugin, key);
        if (p == nullptr) {
            std::fprintf(stderr, "no parameter %s\n", key.c_str());
            return kUsage;
        }
        p->setValue(value);
    }
    const std::vector<float> output = renderInterleaved(*loaded.plugin, input, kStereo, block);
    std::ofstream out(options["output"], std::ios::binary);
    out.write(reinterpret_cast<const char*>(output.data()), static_cast<std::streamsize>(output.size() * sizeof(float)));
    std::printf("%zu frames at %g Hz in blocks of %d, latency %d\n", output.size() / kStereo, rate, block,
                loaded.plugin->getLatencySamples());
    return out ? 0 : kFailed;
}

int editor(const char* format, const char* path, int milliseconds) {
    Loaded loaded = load(format, path);
    if (!loaded.plugin) return kFailed;
    prepare(*loaded.plugin, kListRate, kListBlock);
    std::string error;
    std::vector<float> silence(kStereo * kListBlock, 0.0f);
    int blocks = 0;
    const bool opened = showEditor(*loaded.plugin, milliseconds, [&] {
        renderInterleaved(*loaded.plugin, silence, kStereo, kListBlock);
        ++blocks;
    }, error);
    std::printf("editor %s, %d blocks processed while open%s%s\n", opened ? "opened and closed" : "failed", blocks,
                error.empty() ? "" : ": ", error.c_str());
    return opened ? 0 : kFailed;
}

// The command, with the program's own arguments (after its name).
int runCommand(const std::vector<std::string>& args) {
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: quillo_juce_host scan|params|state|render|editor|check FORMAT PATH ...\n");
        return kUsage;
    }
    const std::string& command = args[0];
    const char* format = args[1].c_str();
    const char* path = args[2].c_str();
    if (command == "scan") return scan(format, path);
    if (command == "state") return state(format, path);
    if (command == "editor") return editor(format, path, args.size() > 3 ? std::atoi(args[3].c_str()) : kEditorMilliseconds);
    if (command == "check") {
        std::vector<char*> rest;
        for (size_t i = 3; i < args.size(); ++i) rest.push_back(const_cast<char*>(args[i].c_str()));
        return runChecks(format, path, static_cast<int>(rest.size()), rest.data());
    }
    if (command == "params") {
        std::vector<float> values;
        for (size_t i = 3; i < args.size(); ++i) values.push_back(static_cast<float>(std::atof(args[i].c_str())));
        if (values.empty()) values.assign(std::begin(kListedValues), std::end(kListedValues));
        return params(format, path, values);
    }
    if (command == "render") {
        std::map<std::string, std::string> options;
        std::vector<std::pair<std::string, float>> settings;
        for (size_t i = 3; i + 1 < args.size(); i += 2) {
            const std::string& name = args[i];
            const std::string& value = args[i + 1];
            if (name == "--set" && value.find('=') != std::string::npos) {
                settings.emplace_back(value.substr(0, value.find('=')), std::atof(value.c_str() + value.find('=') + 1));
            } else if (name.rfind("--", 0) == 0) {
                options[name.substr(2)] = value;
            }
        }
        return render(format, path, options, settings);
    }
    std::fprintf(stderr, "unknown command %s\n", command.c_str());
    return kUsage;
}

// A JUCE application, as JUCE-based hosts are: JUCE sets up X11 for several
// threads and its own X error handlers only for an application (without them,
// an X error of JUCE's own, common on a display with no window manager, ends
// the process). The command runs in place of the application's event loop.
class HostApplication : public juce::JUCEApplication {
public:
    const juce::String getApplicationName() override { return "quillo_juce_host"; }
    const juce::String getApplicationVersion() override { return "1"; }
    bool moreThanOneInstanceAllowed() override { return true; }
    void initialise(const juce::String&) override {
        std::vector<std::string> args;
        for (const auto& argument : getCommandLineParameterArray()) args.push_back(argument.toStdString());
        setApplicationReturnValue(runCommand(args));
        quit();
    }
    void shutdown() override {}
};

}  // namespace

START_JUCE_APPLICATION(HostApplication)
