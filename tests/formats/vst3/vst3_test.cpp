// What only the VST 3 build has, through the bundle's module as a host loads
// it: classes made from the VST 2 identity, the buses, the parameters beside
// the effect's, changes at their frames, the bypass, the latency announced,
// old VST 2 projects opening, and a host that misbehaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "formats/format_under_test.h"
#include "formats/shared/vst2_files.h"
#include "formats/vst3/vst3_host.h"
#include "formats/vst3/vst3_layout.h"
#include "formats/vst3/vst3_support.h"
#include "support/plugin_library.h"
#include "support/recording_host.h"
#include "support/render_material.h"

namespace vst3_test {
namespace {

constexpr double kRate = 44100.0;
constexpr int32_t kBlock = 512;
constexpr int32_t kLatency = 40;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

Channels loud(int32_t frames) {
    return {render_material::material(frames, render_material::kLeftSeed),
            render_material::material(frames, render_material::kRightSeed)};
}

// Renders in blocks of `block`, the changes of each block given by `changes`.
template <typename Changes>
Channels render(Vst3Plugin& plugin, const Channels& input, int32_t block, Changes changes) {
    const auto frames = static_cast<int32_t>(input[0].size());
    Channels output(2, std::vector<float>(static_cast<size_t>(frames), 9.0f));
    for (int32_t at = 0; at < frames; at += block) {
        const int32_t n = std::min(block, frames - at);
        changes(at, n);
        float* in[2] = {const_cast<float*>(input[0].data()) + at, const_cast<float*>(input[1].data()) + at};
        float* out[2] = {output[0].data() + at, output[1].data() + at};
        plugin.process(in, out, n);
    }
    return output;
}
Channels render(Vst3Plugin& plugin, const Channels& input, int32_t block) {
    return render(plugin, input, block, [](int32_t, int32_t) {});
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

std::string hex(const uint8_t* bytes, size_t count) {
    std::string text;
    char digits[3];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        text += digits;
    }
    return text;
}

class Vst3 : public ::testing::Test {
protected:
    static Vst3Module& module() {
        static Vst3Module loaded(QUILLO_VST3_FILE);
        return loaded;
    }

    void SetUp() override {
        ASSERT_NE(module().factory(), nullptr) << QUILLO_VST3_FILE;
        plugin = make();
        ASSERT_TRUE(plugin->valid());
    }

    std::unique_ptr<Vst3Plugin> make() { return std::make_unique<Vst3Plugin>(module().factory(), application, handler); }

    // The VST 2 build of the same tree, started with the same values.
    static std::unique_ptr<FormatInstance> reference(const std::vector<float>& values) {
        auto effect = vst2Reference()->create();
        for (size_t i = 0; i < values.size(); ++i) effect->setParameter(static_cast<int32_t>(i), values[i]);
        effect->start(static_cast<float>(kRate), kBlock);
        return effect;
    }

    int32_t restarts(int32_t flag) const {
        return static_cast<int32_t>(std::count_if(handler.calls.begin(), handler.calls.end(), [&](const HandlerCall& c) {
            return c.kind == HandlerCall::kRestart && (c.what & flag) != 0;
        }));
    }

    HostApplication application;
    ComponentHandler handler;
    std::unique_ptr<Vst3Plugin> plugin;
};

// The class IDs by the rule hosts replace VST 2 plug-ins with: from the VST 2
// build's own name and unique ID, laid out as the interface's own IDs are.
TEST_F(Vst3, ClassesCarryTheVst2IdentityAndTheEffectsNames) {
    PluginLibrary vst2(QUILLO_MODULE_FILE);
    AEffect* record = vst2.entry("main")(RecordingHost::callback);
    ASSERT_NE(record, nullptr);
    EffectHandle effect(record);
    const std::string name = effect.text(effGetEffectName);
    // The 32 digits: the prefix, the unique ID, then nine characters of the name in lower case.
    char identity[64];
    std::snprintf(identity, sizeof identity, "%08X", static_cast<unsigned>(record->uniqueID));
    std::string digits = identity;
    for (size_t i = 0; i < 9; ++i) digits += hex(reinterpret_cast<const uint8_t*>(std::string(1, static_cast<char>(std::tolower(name[i]))).data()), 1);

    IPluginFactory* factory = module().factory();
    PFactoryInfo about{};
    ASSERT_EQ(factory->getFactoryInfo(&about), kResultOk);
    EXPECT_EQ(std::string(about.vendor), effect.text(effGetVendorString));
    ASSERT_EQ(factory->countClasses(), 2);
    IPluginFactory3* unicode = ask<IPluginFactory3>(factory);
    ASSERT_NE(unicode, nullptr);
    const char* prefixes[2] = {"565354", "565345"};
    const char* categories[2] = {"Audio Module Class", "Component Controller Class"};
    for (int32_t i = 0; i < 2; ++i) {
        PClassInfo2 info{};
        ASSERT_EQ(unicode->getClassInfo2(i, &info), kResultOk);
        EXPECT_STREQ(info.category, categories[i]);
        EXPECT_EQ(std::string(info.name), name);
        EXPECT_EQ(std::string(info.vendor), effect.text(effGetVendorString));
        // The words in order, and their bytes as the platform lays out IDs.
        uint8_t words[16];
        for (int w = 0; w < 4; ++w) {
            const auto word = static_cast<uint32_t>(std::stoul((prefixes[i] + digits).substr(8 * w, 8), nullptr, 16));
            for (int b = 0; b < 4; ++b) words[4 * w + b] = static_cast<uint8_t>(word >> (24 - 8 * b));
        }
#if defined(_WIN32)
        // COM order: the first word little-endian, the second as two little-endian halves.
        std::reverse(words, words + 4);
        std::swap(words[4], words[5]);
        std::swap(words[6], words[7]);
#endif
        EXPECT_EQ(hex(info.cid, 16), hex(words, 16)) << i;
        PClassInfoW wide{};
        ASSERT_EQ(unicode->getClassInfoUnicode(i, &wide), kResultOk);
        EXPECT_EQ(asciiText(wide.name, kNameSize), name);
    }
    PClassInfo2 processorClass{};
    unicode->getClassInfo2(0, &processorClass);
    EXPECT_STREQ(processorClass.subCategories, "Fx|Dynamics");
    // The words 0x56535456, 0x717A7576, 0x726E2D71, 0x75696C6C.
#if defined(_WIN32)
    EXPECT_EQ(hex(processorClass.cid, 16), "565453567A717675726E2D7175696C6C");
#else
    EXPECT_EQ(hex(processorClass.cid, 16), "56535456717A7576726E2D7175696C6C");
#endif
    uint8_t controllerId[16];
    ASSERT_EQ(plugin->component->getControllerClassId(controllerId), kResultOk);
    PClassInfo controllerClass{};
    factory->getClassInfo(1, &controllerClass);
    EXPECT_EQ(hex(controllerId, 16), hex(controllerClass.cid, 16));
    unicode->release();
}

// One main bus each way: stereo, or mono on both sides, which sounds as a
// mono track through the VST 2 build (one buffer on both inputs); anything
// else is refused and leaves the buses as they were.
TEST_F(Vst3, BusesAreStereoOrMonoOnBothSides) {
    EXPECT_EQ(plugin->component->getBusCount(kAudio, kInput), 1);
    EXPECT_EQ(plugin->component->getBusCount(kAudio, kOutput), 1);
    EXPECT_EQ(plugin->component->getBusCount(kEvent, kInput), 0);
    BusInfo bus{};
    ASSERT_EQ(plugin->component->getBusInfo(kAudio, kOutput, 0, &bus), kResultOk);
    EXPECT_EQ(bus.channelCount, 2);
    EXPECT_EQ(bus.busType, kMain);
    EXPECT_EQ(plugin->component->getBusInfo(kAudio, kOutput, 1, &bus), kInvalidArgument);
    EXPECT_EQ(plugin->component->getBusInfo(kAudio, kInput, 0, nullptr), kInvalidArgument);

    SpeakerArrangement mono = kArrangementMono, stereo = kArrangementStereo, surround = 0x3F, pair[2] = {mono, mono};
    EXPECT_EQ(plugin->processor->setBusArrangements(&mono, 1, &mono, 1), kResultTrue);
    EXPECT_EQ(plugin->processor->setBusArrangements(&stereo, 1, &mono, 1), kResultFalse);
    EXPECT_EQ(plugin->processor->setBusArrangements(&mono, 1, &stereo, 1), kResultFalse);
    EXPECT_EQ(plugin->processor->setBusArrangements(&surround, 1, &surround, 1), kResultFalse);
    EXPECT_EQ(plugin->processor->setBusArrangements(pair, 2, pair, 2), kResultFalse);
    EXPECT_EQ(plugin->processor->setBusArrangements(nullptr, 1, &mono, 1), kResultFalse);
    SpeakerArrangement now = 0;
    ASSERT_EQ(plugin->processor->getBusArrangement(kInput, 0, &now), kResultOk);
    EXPECT_EQ(now, kArrangementMono);
    plugin->component->getBusInfo(kAudio, kInput, 0, &bus);
    EXPECT_EQ(bus.channelCount, 1);

    ASSERT_TRUE(plugin->start(kRate, kBlock, kArrangementMono));
    const Channels input = loud(3000);
    std::vector<float> output(input[0].size(), 9.0f);
    float* in[1] = {const_cast<float*>(input[0].data())};
    float* out[1] = {output.data()};
    ASSERT_EQ(plugin->process(in, out, 3000, 1), kResultOk);
    auto vst2 = reference({});
    const Channels monoTrack = {input[0], input[0]};
    Channels wanted(2, std::vector<float>(3000));
    float* both[2] = {const_cast<float*>(input[0].data()), const_cast<float*>(input[0].data())};
    float* outs[2] = {wanted[0].data(), wanted[1].data()};
    for (int32_t at = 0; at < 3000; at += kBlock) {
        float* pieceIn[2] = {both[0] + at, both[1] + at};
        float* pieceOut[2] = {outs[0] + at, outs[1] + at};
        vst2->process(pieceIn, pieceOut, std::min(kBlock, 3000 - at));
    }
    EXPECT_TRUE(sameBits(output, wanted[0]));
    // The effect's own channel choice reaches the controller, as in a VST 2 host.
    EXPECT_EQ(plugin->controller->getParamNormalized(formats::kParamForceChannels), 0.5);
}

// The effect's six with their step counts, one bypass, one program change, and
// the hidden meters; every text a parameter shows reads back as its value.
TEST_F(Vst3, ParametersAndTheirTextsRoundTrip) {
    IEditController& controller = *plugin->controller;
    ASSERT_EQ(controller.getParameterCount(), 11);
    const int32_t steps[6] = {0, 0, 1, 1, 1, 2};
    int32_t bypasses = 0;
    int32_t programChanges = 0;
    for (int32_t i = 0; i < controller.getParameterCount(); ++i) {
        ParameterInfo info{};
        ASSERT_EQ(controller.getParameterInfo(i, &info), kResultOk);
        if (i < 6) {
            EXPECT_EQ(info.id, static_cast<ParamID>(i));
            EXPECT_EQ(info.stepCount, steps[i]) << i;
            EXPECT_EQ(info.flags & kCanAutomate, kCanAutomate);
        } else if ((info.flags & kIsBypass) != 0) {
            ++bypasses;
            EXPECT_GT(info.id, 5u);
            EXPECT_EQ(info.stepCount, 1);
        } else if ((info.flags & kIsProgramChange) != 0) {
            ++programChanges;
            EXPECT_EQ(info.stepCount, 9);
        } else {
            EXPECT_EQ(info.flags, kIsReadOnly | kIsHidden) << i;
        }
        for (double value : {0.0, 0.123, 0.5, 0.77, 1.0}) {
            String128 text{};
            if ((info.flags & kIsReadOnly) != 0) continue;
            ASSERT_EQ(controller.getParamStringByValue(info.id, value, text), kResultOk);
            double back = -1.0;
            ASSERT_EQ(controller.getParamValueByString(info.id, text, &back), kResultOk) << *asciiText(text, 128);
            String128 again{};
            controller.getParamStringByValue(info.id, back, again);
            EXPECT_EQ(asciiText(again, 128), asciiText(text, 128)) << info.id << " at " << value;
        }
    }
    EXPECT_EQ(bypasses, 1);
    EXPECT_EQ(programChanges, 1);
    String128 text{};
    EXPECT_NE(controller.getParamStringByValue(99, 0.5, text), kResultOk);
    EXPECT_NE(controller.getParamStringByValue(0, kNaN, text), kResultOk);
    copyText(text, 128, "loud");
    double value = 0.0;
    EXPECT_NE(controller.getParamValueByString(0, text, &value), kResultOk);
    EXPECT_NE(controller.getParameterInfo(11, nullptr), kResultOk);
    // A program chosen by the host loads its values, which the host reads again.
    plugin->change(formats::kParamInGain, 0.25);
    plugin->change(kProgramId, programValue(3));
    EXPECT_EQ(controller.getParamNormalized(formats::kParamInGain), 0.5);
    EXPECT_EQ(restarts(kParamValuesChanged), 1);
}

// Changes at frames inside a block sound as a VST 2 host's blocks cut there.
TEST_F(Vst3, ChangesInsideABlockTakeEffectAtTheirFrame) {
    ASSERT_TRUE(plugin->start(kRate, kBlock));
    const Channels input = loud(2048);
    const Channels output = render(*plugin, input, kBlock, [&](int32_t at, int32_t) {
        if (at == 0) {
            plugin->change(formats::kParamInGain, 0.8, 100);
            plugin->change(formats::kParamIq, 1.0, 300);
            plugin->change(formats::kParamKnee, 0.2, 301);
            plugin->change(formats::kParamInGain, 0.3, 301);
        }
        if (at == kBlock) plugin->change(kProgramId, programValue(2), 7);
    });
    auto vst2 = reference({});
    const struct {
        int32_t frame;
        int32_t index;
        float value;
    } cuts[] = {{100, 0, 0.8f}, {300, 2, 1.0f}, {301, 1, 0.2f}, {301, 0, 0.3f}, {kBlock + 7, -1, 0.0f}, {2048, 0, 0.0f}};
    Channels wanted(2, std::vector<float>(2048));
    int32_t done = 0;
    for (const auto& cut : cuts) {
        float* in[2] = {const_cast<float*>(input[0].data()) + done, const_cast<float*>(input[1].data()) + done};
        float* out[2] = {wanted[0].data() + done, wanted[1].data() + done};
        vst2->process(in, out, cut.frame - done);
        done = cut.frame;
        if (cut.index >= 0) vst2->setParameter(cut.index, cut.value);
        else vst2->selectProgram(2);
    }
    EXPECT_TRUE(sameBits(output[0], wanted[0]));
    EXPECT_TRUE(sameBits(output[1], wanted[1]));
}

// Bypassed, the output is the input one latency later, so nothing shifts;
// on the way in (once a latency of input is known) and out a crossfade, so
// nothing clicks; once back, every sample is the effect's own again.
TEST_F(Vst3, BypassIsTheDelayedInputAndSwitchesWithoutAClick) {
    constexpr int32_t kFrames = 12000, kOn = 1000, kOff = 6000, kFade = 441;
    Channels input(2, std::vector<float>(kFrames));
    for (int32_t i = 0; i < kFrames; ++i) input[0][i] = input[1][i] = 3.0f * std::sin(0.0628f * static_cast<float>(i));
    auto unbypassed = make();
    ASSERT_TRUE(unbypassed->start(kRate, kBlock));
    const Channels effect = render(*unbypassed, input, kBlock);
    ASSERT_TRUE(plugin->start(kRate, kBlock));
    const Channels output = render(*plugin, input, kBlock, [&](int32_t at, int32_t n) {
        if (kOn >= at && kOn < at + n) plugin->change(kBypassId, 1.0, kOn - at);
        if (kOff >= at && kOff < at + n) plugin->change(kBypassId, 0.0, kOff - at);
    });
    EXPECT_EQ(plugin->controller->getParamNormalized(kBypassId), 0.0);
    float largestStep = 0.0f;
    for (int32_t i = 1; i < kFrames; ++i) {
        largestStep = std::max(largestStep, std::fabs(output[0][i] - output[0][i - 1]));
        if (i < kOn || i >= kOff + kFade) {
            ASSERT_EQ(output[0][i], effect[0][i]) << i;
        } else if (i >= kOn + kLatency + kFade && i < kOff) {
            ASSERT_EQ(output[0][i], input[0][i - kLatency]) << i;
        }
    }
    EXPECT_LT(largestStep, 0.2f) << "the sine itself moves at most 0.19 per sample";
}

// A rate that changes the latency is announced, through the controller, to
// the host; one that keeps it is not.
TEST_F(Vst3, LatencyOfANewRateIsAnnounced) {
    const struct {
        double rate;
        uint32_t latency;
        int32_t announcements;
    } rates[] = {{44100.0, 40, 0}, {48000.0, 43, 1}, {48000.0, 43, 1}, {96000.0, 87, 2}};
    for (const auto& r : rates) {
        ASSERT_TRUE(plugin->start(r.rate, kBlock));
        EXPECT_EQ(plugin->processor->getLatencySamples(), r.latency);
        EXPECT_EQ(restarts(kLatencyChanged), r.announcements) << r.rate;
        plugin->stop();
    }
    EXPECT_EQ(application.messagesMade, 2);
}

// The state carries the programs, the current one and the bypass; a VST 2
// host's bank, handed over when it moves a project, opens and sounds as the
// VST 2 build did; anything else is refused and changes nothing.
TEST_F(Vst3, StateRoundTripsAndOldVst2ProjectsOpen) {
    using namespace vst2_files;
    plugin->change(kProgramId, programValue(6));
    plugin->change(formats::kParamKnee, 0.125);
    plugin->change(kBypassId, 1.0);
    float* none[2] = {nullptr, nullptr};
    ASSERT_TRUE(plugin->start(kRate, kBlock));
    plugin->process(none, none, 0);
    const std::vector<uint8_t> saved = plugin->state();
    auto copy = make();
    ASSERT_TRUE(copy->restore(saved));
    EXPECT_EQ(copy->state(), saved);
    EXPECT_EQ(copy->controller->getParamNormalized(kProgramId), programValue(6));
    EXPECT_EQ(copy->controller->getParamNormalized(formats::kParamKnee), 0.125);
    EXPECT_EQ(copy->controller->getParamNormalized(kBypassId), 1.0);

    auto migrated = make();
    ASSERT_TRUE(migrated->restore(wrapped(bank(2, 7), 0)));
    std::vector<float> values;
    for (int32_t i = 0; i < 6; ++i) {
        values.push_back(valueOf(7, i));
        EXPECT_EQ(migrated->controller->getParamNormalized(static_cast<ParamID>(i)), values.back()) << i;
    }
    String128 name{};
    migrated->units->getProgramName(kProgramListId, 4, name);
    EXPECT_EQ(asciiText(name, 128), "Bank 4");
    ASSERT_TRUE(migrated->start(kRate, kBlock));
    auto vst2 = reference(values);
    const Channels input = loud(4000);
    const Channels migratedOutput = render(*migrated, input, kBlock);
    const Channels wanted = renderThrough(*vst2, input, kBlock);
    EXPECT_TRUE(sameBits(migratedOutput[0], wanted[0]));
    EXPECT_TRUE(sameBits(migratedOutput[1], wanted[1])) << "Force Channels Left: the right is silent";

    std::vector<uint8_t> cut = bank(2, 7);
    cut.pop_back();
    MemoryStream bad(cut);
    EXPECT_EQ(copy->component->setState(&bad), kResultFalse);
    EXPECT_EQ(copy->component->setState(nullptr), kInvalidArgument);
    MemoryStream noise(std::vector<uint8_t>(3000, 0xA5));
    EXPECT_EQ(copy->controller->setComponentState(&noise), kResultFalse);
    EXPECT_EQ(copy->state(), saved);
}

// What a careless host sends is refused or survived, and nothing louder than
// full scale leaves: blocks before the set-up, odd rates and block sizes,
// broken buffers, values out of range, unknown parameters, points anywhere.
TEST_F(Vst3, CarelessHostsAreAnsweredQuietly) {
    const Channels input = loud(3000);
    std::vector<float> left(3000, 9.0f), right(3000, 9.0f);
    float* in[2] = {const_cast<float*>(input[0].data()), const_cast<float*>(input[1].data())};
    float* out[2] = {left.data(), right.data()};
    EXPECT_EQ(plugin->process(in, out, 3000), kResultOk);
    EXPECT_EQ(*std::max_element(left.begin(), left.end()), 0.0f) << "silence before the set-up";
    for (double rate : {0.0, -44100.0, 1.0e9, static_cast<double>(kNaN)}) EXPECT_FALSE(plugin->start(rate, kBlock));
    EXPECT_FALSE(plugin->start(kRate, 0));
    ProcessSetup doubles{kRealtime, 1, kBlock, kRate};
    EXPECT_EQ(plugin->processor->setupProcessing(&doubles), kResultFalse);
    EXPECT_EQ(plugin->processor->setupProcessing(nullptr), kResultFalse);
    EXPECT_EQ(plugin->processor->getLatencySamples(), 40u);
    ASSERT_TRUE(plugin->start(kRate, 64));
    EXPECT_EQ(plugin->processor->process(nullptr), kInvalidArgument);
    float* broken[2] = {in[0], nullptr};
    std::fill(left.begin(), left.end(), 9.0f);
    EXPECT_EQ(plugin->process(broken, out, 3000), kInvalidArgument);
    EXPECT_EQ(left[2999], 0.0f);
    for (ParamID id : std::initializer_list<ParamID>{0, 1, 5, kBypassId, kProgramId, kMeterLeftId, 9999}) {
        for (double value : {7.0, static_cast<double>(kNaN), -5.0}) plugin->change(id, value, -3);
    }
    plugin->change(formats::kParamInGain, 1.0, 100000);
    plugin->change(formats::kParamInGain, 0.9, 2000);
    plugin->change(formats::kParamInGain, 1.0, 10);
    ASSERT_EQ(plugin->process(in, out, 3000), kResultOk);  // longer than the set-up's blocks
    for (const auto* channel : {&left, &right}) {
        for (float s : *channel) ASSERT_LE(std::fabs(s), 1.0f);
    }
    for (ParamID id = 0; id < 6; ++id) {
        const double value = plugin->controller->getParamNormalized(id);
        EXPECT_TRUE(value >= 0.0 && value <= 1.0) << id;
    }
    // The factory and the objects answer null pointers and unknown IDs.
    void* object = &object;
    EXPECT_NE(module().factory()->createInstance("0123456789abcdef", reinterpret_cast<const char*>(FUnknown::iid.bytes),
                                                 &object),
              kResultOk);
    EXPECT_EQ(module().factory()->createInstance(nullptr, nullptr, &object), kInvalidArgument);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(plugin->component->queryInterface(nullptr, &object), kInvalidArgument);
    EXPECT_EQ(plugin->component->queryInterface("0123456789abcdef", &object), kNoInterface);
    EXPECT_EQ(plugin->controller->createView("no such view"), nullptr);
}

// The meter values travel as output parameters to the controller's editor,
// and come back to rest.
TEST_F(Vst3, MetersReachTheController) {
    ASSERT_TRUE(plugin->start(kRate, kBlock));
    render(*plugin, loud(1536), kBlock);
    EXPECT_LT(plugin->controller->getParamNormalized(kMeterLeftId), 0.9);
    EXPECT_LT(plugin->controller->getParamNormalized(kKneeLampId), 1.0);
    render(*plugin, Channels(2, std::vector<float>(3 * 44100, 0.0f)), kBlock);
    EXPECT_EQ(plugin->controller->getParamNormalized(kMeterLeftId), 1.0);
    EXPECT_EQ(plugin->lastOutput().find(kMeterRightId), nullptr) << "nothing sent while at rest";
}

}  // namespace
}  // namespace vst3_test
