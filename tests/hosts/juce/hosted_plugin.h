// A plug-in loaded through JUCE's own hosting, as JUCE-based hosts load it:
// found by JUCE's format classes, created, driven through AudioPluginInstance
// and its parameters, its state and its editor. What the test host's commands
// and checks share.
#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>
#include <string>
#include <vector>

namespace juce_host {

// The formats this host loads (JUCE's names for them).
constexpr const char* kVst3 = "VST3";
constexpr const char* kLv2 = "LV2";

// One plug-in file or bundle of one format and what JUCE finds in it.
class PluginSource {
public:
    // `path` is a .vst3 bundle, or an LV2 bundle folder (or an LV2 URI).
    PluginSource(const juce::String& formatName, const juce::String& path);
    ~PluginSource();
    PluginSource(const PluginSource&) = delete;
    PluginSource& operator=(const PluginSource&) = delete;

    // Empty where nothing was found; error() says why.
    const juce::OwnedArray<juce::PluginDescription>& descriptions() const { return found; }
    const juce::String& error() const { return problem; }
    const juce::String& formatName() const { return format; }

    // An instance of the first plug-in found; null (and error() set) where
    // JUCE refuses it.
    std::unique_ptr<juce::AudioPluginInstance> create(double rate, int maxBlock);

private:
    void findLv2(const juce::String& path);

    juce::AudioPluginFormatManager formats;
    juce::OwnedArray<juce::PluginDescription> found;
    juce::String format;
    juce::String problem;
    juce::File linkFolder;
};

// Parameter `index` in the numbering a VST 2 host uses: the parameter whose ID
// is that number (VST 3 parameter IDs), otherwise the index-th (LV2 control
// ports in port order). Null where there is none.
juce::AudioProcessorParameter* parameterAt(juce::AudioPluginInstance& plugin, int index);

// Sets up rate and block size with stereo buses (or the plug-in's own where it
// takes no stereo), then runs one block of no frames: hosts do, and formats
// that report their delay from a run (LV2) report it then.
void prepare(juce::AudioPluginInstance& plugin, double rate, int maxBlock);

// Lets JUCE's message loop run briefly, as it runs all the time in a host: JUCE
// hands some changes on from there (a VST 3 controller learns of the host's
// parameter and program changes from a 60 Hz timer).
void settle();

// One block of `frames` (at most the prepared block size): the inputs are
// copied in, the first outputs copied out, as a host's buffers are.
void process(juce::AudioPluginInstance& plugin, const float* const* inputs, float* const* outputs, int channels,
             int frames);

// A whole interleaved signal of `channels` through the plug-in in blocks.
std::vector<float> renderInterleaved(juce::AudioPluginInstance& plugin, const std::vector<float>& input, int channels,
                                     int block);

// Every parameter's normalised value, in JUCE's order.
std::vector<float> parameterValues(juce::AudioPluginInstance& plugin);

// Opens the editor in a window of its own on the display, lets the message
// loop run for `milliseconds` (running `whileOpen` on each pass), and deletes it
// again. False, with the reason in `error`, where no editor came up.
bool showEditor(juce::AudioPluginInstance& plugin, int milliseconds, const std::function<void()>& whileOpen,
                std::string& error);

}  // namespace juce_host
