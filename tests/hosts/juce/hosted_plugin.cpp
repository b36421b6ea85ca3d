#include "hosts/juce/hosted_plugin.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace juce_host {

namespace {

// How often the editor's message loop hands control back to the caller.
constexpr int kEditorPassMilliseconds = 20;
// Three periods of JUCE's 60 Hz parameter timer.
constexpr int kSettleMilliseconds = 50;

juce::AudioPluginFormat* formatNamed(juce::AudioPluginFormatManager& formats, const juce::String& name) {
    for (auto* format : formats.getFormats())
        if (format->getName() == name) return format;
    return nullptr;
}

}  // namespace

PluginSource::PluginSource(const juce::String& formatName, const juce::String& path) : format(formatName) {
    formats.addDefaultFormats();
    // JUCE recognises bundles by their names: no "." or ".." in the path.
    const juce::String file(std::filesystem::weakly_canonical(path.toStdString()).string());
    if (formatName == kLv2 && !juce::File::isAbsolutePath(path) && path.contains(":")) {
        formatNamed(formats, kLv2)->findAllTypesForFile(found, path);  // a URI
    } else if (formatName == kLv2) {
        findLv2(file);
    } else if (auto* chosen = formatNamed(formats, formatName)) {
        chosen->findAllTypesForFile(found, file);
    } else {
        problem = "unknown format " + formatName + " (VST3 or LV2)";
    }
    if (found.isEmpty() && problem.isEmpty()) problem = "no " + formatName + " plug-in found in " + path;
}

PluginSource::~PluginSource() {
    if (linkFolder != juce::File()) linkFolder.deleteRecursively(false);  // the link, never the bundle
}

// JUCE names LV2 plug-ins by URI and finds them in folders of bundles. The
// bundle is offered alone, through a link in a folder of its own (kept while
// the plug-in may be created), so that what is found is what the bundle holds.
// A plug-in of the same URI in a default folder would be loaded instead of the
// bundle's: then nothing is found.
void PluginSource::findLv2(const juce::String& path) {
    auto* lv2 = formatNamed(formats, kLv2);
    const juce::File bundle(path);
    if (!bundle.isDirectory()) {
        problem = "no LV2 bundle folder at " + path;
        return;
    }
    const auto installed = lv2->searchPathsForPlugins(juce::FileSearchPath(), true, false);  // loaded with the format
    linkFolder = juce::File::getSpecialLocation(juce::File::tempDirectory).getNonexistentChildFile("lv2host", "");
    if (!linkFolder.createDirectory() || !bundle.createSymbolicLink(linkFolder.getChildFile(bundle.getFileName()), true)) {
        problem = "cannot link the bundle into " + linkFolder.getFullPathName();
        return;
    }
    for (const auto& uri : lv2->searchPathsForPlugins(juce::FileSearchPath(linkFolder.getFullPathName()), true, false)) {
        if (!installed.contains(uri)) lv2->findAllTypesForFile(found, uri);
    }
    if (found.isEmpty()) problem = "no plug-in in " + path + " that is not installed in a default LV2 folder too";
}

std::unique_ptr<juce::AudioPluginInstance> PluginSource::create(double rate, int maxBlock) {
    if (found.isEmpty()) return nullptr;
    juce::String message;
    auto instance = formats.createPluginInstance(*found[0], rate, maxBlock, message);
    if (instance == nullptr) problem = message.isEmpty() ? juce::String("JUCE could not create the plug-in") : message;
    return instance;
}

juce::AudioProcessorParameter* parameterAt(juce::AudioPluginInstance& plugin, int index) {
    const auto& parameters = plugin.getParameters();
    for (auto* parameter : parameters) {
        if (auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*>(parameter)) {
            if (hosted->getParameterID() == juce::String(index)) return parameter;
        }
    }
    if (plugin.getPluginDescription().pluginFormatName == kVst3) return nullptr;
    return juce::isPositiveAndBelow(index, parameters.size()) ? parameters[index] : nullptr;
}

void prepare(juce::AudioPluginInstance& plugin, double rate, int maxBlock) {
    juce::AudioProcessor::BusesLayout stereo;
    stereo.inputBuses.add(juce::AudioChannelSet::stereo());
    stereo.outputBuses.add(juce::AudioChannelSet::stereo());
    if (plugin.getBusCount(true) == 1 && plugin.getBusCount(false) == 1) plugin.setBusesLayout(stereo);
    plugin.prepareToPlay(rate, maxBlock);
    process(plugin, nullptr, nullptr, 0, 0);
}

void settle() { juce::MessageManager::getInstance()->runDispatchLoopUntil(kSettleMilliseconds); }

void process(juce::AudioPluginInstance& plugin, const float* const* inputs, float* const* outputs, int channels,
             int frames) {
    const int ins = plugin.getTotalNumInputChannels();
    const int outs = plugin.getTotalNumOutputChannels();
    juce::AudioBuffer<float> buffer(std::max(ins, outs), frames);
    buffer.clear();
    for (int c = 0; c < std::min(channels, ins); ++c) buffer.copyFrom(c, 0, inputs[c], frames);
    juce::MidiBuffer midi;
    plugin.processBlock(buffer, midi);
    for (int c = 0; c < std::min(channels, outs); ++c) std::copy_n(buffer.getReadPointer(c), frames, outputs[c]);
}

std::vector<float> renderInterleaved(juce::AudioPluginInstance& plugin, const std::vector<float>& input, int channels,
                                     int block) {
    const int frames = static_cast<int>(input.size()) / channels;
    std::vector<float> output(input.size(), 0.0f);
    juce::AudioBuffer<float> in(channels, block);
    juce::AudioBuffer<float> out(channels, block);
    for (int at = 0; at < frames; at += block) {
        const int n = std::min(block, frames - at);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < n; ++i) in.setSample(c, i, input[static_cast<size_t>((at + i) * channels + c)]);
        process(plugin, in.getArrayOfReadPointers(), out.getArrayOfWritePointers(), channels, n);
        for (int c = 0; c < channels; ++c)
            for (int i = 0; i < n; ++i) output[static_cast<size_t>((at + i) * channels + c)] = out.getSample(c, i);
    }
    return output;
}

std::vector<float> parameterValues(juce::AudioPluginInstance& plugin) {
    std::vector<float> values;
    for (auto* parameter : plugin.getParameters()) values.push_back(parameter->getValue());
    return values;
}

bool showEditor(juce::AudioPluginInstance& plugin, int milliseconds, const std::function<void()>& whileOpen,
                std::string& error) {
    if (std::getenv("DISPLAY") == nullptr) {
        error = "no display (DISPLAY is not set)";
        return false;
    }
    if (!plugin.hasEditor()) {
        error = "the plug-in has no editor";
        return false;
    }
    std::unique_ptr<juce::AudioProcessorEditor> editor(plugin.createEditorIfNeeded());
    if (editor == nullptr) {
        error = "createEditorIfNeeded gave no editor";
        return false;
    }
    juce::Component window;
    window.setSize(std::max(1, editor->getWidth()), std::max(1, editor->getHeight()));
    window.addAndMakeVisible(*editor);
    window.addToDesktop(0);
    window.setVisible(true);
    const bool shown = window.getPeer() != nullptr && editor->getWidth() > 0 && editor->getHeight() > 0;
    const auto end = juce::Time::getMillisecondCounter() + static_cast<juce::uint32>(milliseconds);
    while (juce::Time::getMillisecondCounter() < end) {
        juce::MessageManager::getInstance()->runDispatchLoopUntil(kEditorPassMilliseconds);
        if (whileOpen) whileOpen();
    }
    window.removeChildComponent(editor.get());
    editor.reset();
    window.removeFromDesktop();
    if (!shown) error = "the editor has no size or no window";
    return shown;
}

}  // namespace juce_host
