// What only the VST 3 build has, through the bundle's module as a host loads
// it: classes made from the VST 2 identity, the buses, the parameters beside
// the effect's, and a host that misbehaves.
#include "formats/vst3/vst3_fixture.h"
#include "support/plugin_library.h"
#include "support/recording_host.h"

namespace vst3_test {
namespace {

// The class IDs by the rule hosts replace VST 2 plug-ins with: "565354" (the
// controller "565345"), the unique ID, nine characters of the name in lower
// case, from the VST 2 build's own identity.
TEST_F(Vst3, ClassesCarryTheVst2IdentityAndTheEffectsNames) {
    PluginLibrary library(QUILLO_MODULE_FILE);
    EffectHandle effect(library.entry("main")(RecordingHost::callback));
    const std::string name = effect.text(effGetEffectName);
    const std::string vendor = effect.text(effGetVendorString);
    char identity[16];
    std::snprintf(identity, sizeof identity, "%08X", static_cast<unsigned>(effect.record()->uniqueID));
    std::string digits = identity;
    for (size_t i = 0; i < 9; ++i) {
        const auto lower = static_cast<uint8_t>(std::tolower(name[i]));
        digits += hex(&lower, 1);
    }
    IPluginFactory* factory = module().factory();
    PFactoryInfo about{};
    ASSERT_EQ(factory->getFactoryInfo(&about), kResultOk);
    EXPECT_EQ(about.vendor, vendor);
    ASSERT_EQ(factory->countClasses(), 2);
    IPluginFactory3* unicode = ask<IPluginFactory3>(factory);
    ASSERT_NE(unicode, nullptr);
    const char* prefixes[2] = {"565354", "565345"};
    const char* categories[2] = {"Audio Module Class", "Component Controller Class"};
    for (int32_t i = 0; i < 2; ++i) {
        PClassInfo2 info{};
        PClassInfoW wide{};
        ASSERT_EQ(unicode->getClassInfo2(i, &info), kResultOk);
        ASSERT_EQ(unicode->getClassInfoUnicode(i, &wide), kResultOk);
        EXPECT_STREQ(info.category, categories[i]);
        EXPECT_EQ(info.name, name);
        EXPECT_EQ(asciiText(wide.name, kNameSize), name);
        EXPECT_EQ(info.vendor, vendor);
        EXPECT_EQ(hex(info.cid, 16), laidOut(prefixes[i] + digits)) << i;
        EXPECT_STREQ(info.subCategories, i == 0 ? "Fx|Dynamics" : "");
    }
    uint8_t controllerId[16];
    ASSERT_EQ(plugin->component->getControllerClassId(controllerId), kResultOk);
    EXPECT_EQ(hex(controllerId, 16), laidOut(prefixes[1] + digits));
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
    EXPECT_TRUE(sameBits(output, renderThrough(*reference(), {input[0], input[0]}, kBlock)[0]));
    // The effect's own channel choice reaches the controller, as in a VST 2 host.
    EXPECT_EQ(plugin->controller->getParamNormalized(kForceChannels), 0.5);
}

// The effect's six with their step counts, one bypass, one program change, and
// the hidden meters; every text a parameter shows reads back as its value.
TEST_F(Vst3, ParametersAndTheirTextsRoundTrip) {
    IEditController& controller = *plugin->controller;
    ASSERT_EQ(controller.getParameterCount(), 13);
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
        } else if (info.id == kCeilingId || info.id == kTruePeakId) {
            EXPECT_EQ(info.stepCount, info.id == kCeilingId ? 200 : 1);
            EXPECT_EQ(info.flags, kCanAutomate) << i;
        } else {
            EXPECT_EQ(info.flags, kIsReadOnly | kIsHidden) << i;
        }
        // Every one, the meters' gains in decibels too, reads back as the
        // same text from a value in the range.
        for (double value : {0.0, 0.123, 0.5, 0.77, 1.0}) {
            String128 text{};
            ASSERT_EQ(controller.getParamStringByValue(info.id, value, text), kResultOk);
            double back = -1.0;
            ASSERT_EQ(controller.getParamValueByString(info.id, text, &back), kResultOk) << *asciiText(text, 128);
            EXPECT_TRUE(back >= 0.0 && back <= 1.0) << info.id << " at " << value;
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
    EXPECT_NE(controller.getParameterInfo(13, nullptr), kResultOk);
    // A program chosen by the host loads its values (the shared expectations
    // read them): the host is told to read every value again.
    plugin->change(kInGain, 0.25);
    plugin->change(kProgramId, programValue(3));
    EXPECT_EQ(restarts(kParamValuesChanged), 1);
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
    EXPECT_EQ(loudest(left), 0.0f) << "silence before the set-up";
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
    plugin->change(kInGain, 1.0, 100000);
    plugin->change(kInGain, 0.9, 2000);
    plugin->change(kInGain, 1.0, 10);
    ASSERT_EQ(plugin->process(in, out, 3000), kResultOk);  // longer than the set-up's blocks
    EXPECT_LE(loudest(left), 1.0f);
    EXPECT_LE(loudest(right), 1.0f);
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

}  // namespace
}  // namespace vst3_test
