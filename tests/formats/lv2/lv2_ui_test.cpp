// The bundle's UI binary as an LV2 host runs it: loaded by its descriptor,
// embedded in the host's window, idled, fed port values, clicked and dragged
// through XTest. What it shows is what the VST 2 editor shows for the same
// values; what the user does reaches the host through write_function in port
// units, inside touch gestures.
#include <gtest/gtest.h>

#include <lv2/ui/ui.h>

#include <string>
#include <vector>

#include "editor/expected_face.h"
#include "editor/x11_host.h"
#include "formats/lv2/lv2_identity.h"
#include "formats/lv2/lv2_ports.h"
#include "support/plugin_library.h"
#include "support/recording_host.h"

using namespace formats;
using namespace formats::lv2;

namespace {

constexpr int32_t kFewTicks = 300;
constexpr int32_t kLampSettling = 900;
constexpr float kLoudMeter = 0.05f;
// An id the server has given to no window.
constexpr uintptr_t kNoSuchWindow = 0x3FFFFFFF;

// What the host hears from the UI, in order.
struct Heard {
    enum Kind { Write, TouchOn, TouchOff } kind;
    uint32_t port;
    float value;
    bool operator==(const Heard& other) const {
        return kind == other.kind && port == other.port && value == other.value;
    }
};

std::ostream& operator<<(std::ostream& out, const Heard& heard) {
    const char* kinds[] = {"write", "touch on", "touch off"};
    return out << kinds[heard.kind] << " " << heard.port << " " << heard.value;
}

int hostErrors = 0;
int countHostError(Display*, XErrorEvent*) {
    ++hostErrors;
    return 0;
}

class Lv2Ui : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(x.display, nullptr) << "no X display";
        ASSERT_TRUE(skin.loadSkin(QUILLO_RESOURCES_DIR));
        using Entry = const LV2UI_Descriptor* (*)(uint32_t);
        const auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(library.entry("lv2ui_descriptor")));
        ASSERT_NE(entry, nullptr);
        descriptor = entry(0);
        ASSERT_NE(descriptor, nullptr);
        EXPECT_EQ(entry(1), nullptr);
        XSetErrorHandler(countHostError);
        hostErrors = 0;
    }
    void TearDown() override { XSetErrorHandler(nullptr); }

    LV2UI_Handle open(const void* parent, const char* plugin = kPluginUri) {
        const LV2_Feature parentFeature{LV2_UI__parent, const_cast<void*>(parent)};
        const LV2_Feature touchFeature{LV2_UI__touch, &touch};
        const LV2_Feature resizeFeature{LV2_UI__resize, &resize};
        const LV2_Feature* features[] = {&parentFeature, &touchFeature, &resizeFeature, nullptr};
        return descriptor->instantiate(descriptor, plugin, QUILLO_LV2_BUNDLE, write, this, &widget,
                                       parent != nullptr ? features : features + 1);
    }
    void close(LV2UI_Handle ui) { descriptor->cleanup(ui); }

    void portEvent(LV2UI_Handle ui, uint32_t port, float value) { descriptor->port_event(ui, port, sizeof value, 0, &value); }

    // The host's loop: the UI's idle call every 20 ms, the host's events taken.
    void run(LV2UI_Handle ui, int32_t milliseconds) {
        const auto* idle = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        do {
            while (XPending(x.display) > 0) {
                XEvent event;
                XNextEvent(x.display, &event);
            }
            EXPECT_EQ(idle->idle(ui), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(X11Host::kIdleMs));
        } while (std::chrono::steady_clock::now() < end);
    }

    // What the VST 2 editor shows for the port values, meters at rest.
    PixelImage expected(const std::vector<std::pair<uint32_t, float>>& ports) {
        EffectHandle effect(PluginLibrary::Entry(vst2.entry("VSTPluginMain"))(RecordingHost::callback));
        for (const auto& [port, value] : ports) {
            effect.record()->setParameter(effect.record(), parameterOfPort(port), *normalisedValue(parameterOfPort(port), value));
        }
        return expectedFace(skin, effect.record());
    }

    static void write(LV2UI_Controller host, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer) {
        ASSERT_EQ(size, sizeof(float));
        ASSERT_EQ(protocol, 0u);
        static_cast<Lv2Ui*>(host)->heard.push_back({Heard::Write, port, *static_cast<const float*>(buffer)});
    }
    static void touched(LV2UI_Feature_Handle host, uint32_t port, bool grabbed) {
        static_cast<Lv2Ui*>(host)->heard.push_back({grabbed ? Heard::TouchOn : Heard::TouchOff, port, 0.0f});
    }
    static int resized(LV2UI_Feature_Handle host, int width, int height) {
        static_cast<Lv2Ui*>(host)->sizes.emplace_back(width, height);
        return 0;
    }

    X11Host x;
    MemorySurface skin;
    PluginLibrary library{QUILLO_LV2_BUNDLE "/vrn-quillo-limiter-ui.so"};
    PluginLibrary vst2{QUILLO_MODULE_FILE};
    const LV2UI_Descriptor* descriptor = nullptr;
    LV2UI_Widget widget = nullptr;
    LV2UI_Touch touch{this, touched};
    LV2UI_Resize resize{this, resized};
    std::vector<Heard> heard;
    std::vector<std::pair<int, int>> sizes;
};

TEST_F(Lv2Ui, TheEditorSitsInTheHostsWindowAtItsFixedSize) {
    EXPECT_STREQ(descriptor->URI, kUiUri);
    const Window parent = x.createTopLevel(10, 10);
    LV2UI_Handle ui = open(X11Host::asParent(parent));
    ASSERT_NE(ui, nullptr);
    const Window editor = static_cast<Window>(reinterpret_cast<uintptr_t>(widget));
    EXPECT_EQ(x.children(parent), std::vector<Window>{editor});
    XWindowAttributes attributes{};
    ASSERT_NE(XGetWindowAttributes(x.display, editor, &attributes), 0);
    EXPECT_EQ(attributes.width, kFaceWidth);
    EXPECT_EQ(attributes.height, kFaceHeight);
    EXPECT_EQ(sizes, (std::vector<std::pair<int, int>>{{kFaceWidth, kFaceHeight}}));
    run(ui, kLampSettling);
    EXPECT_EQ(differingPixels(x.capture(editor), expected({})), 0);
    EXPECT_TRUE(heard.empty()) << "opening changes no value";
    close(ui);
    EXPECT_TRUE(x.children(parent).empty());
    EXPECT_EQ(hostErrors, 0);
}

// Port values show as the VST 2 editor shows the values they stand for; the
// UI sends none of them back, nor the effect's own choice of channels.
TEST_F(Lv2Ui, PortValuesShowAsTheVst2EditorShowsThemAndAreNotEchoed) {
    const Window parent = x.createTopLevel(10, 10);
    LV2UI_Handle ui = open(X11Host::asParent(parent));
    ASSERT_NE(ui, nullptr);
    const std::vector<std::pair<uint32_t, float>> ports = {{portOfParameter(kInGain), 12.3f},
                                                           {portOfParameter(kKnee), 10.0f},
                                                           {portOfParameter(kIq), 1.0f},
                                                           {portOfParameter(kStereoLink), 0.0f}};
    for (const auto& [port, value] : ports) portEvent(ui, port, value);
    for (float autoSelect : {0.0f, 1.0f}) portEvent(ui, portOfParameter(kAutoSelectChannels), autoSelect);
    portEvent(ui, portOfParameter(kForceChannels), 1.0f);
    run(ui, kLampSettling);
    const Window editor = static_cast<Window>(reinterpret_cast<uintptr_t>(widget));
    EXPECT_EQ(differingPixels(x.capture(editor), expected(ports)), 0);
    // The audio side's meter values move the needle.
    portEvent(ui, kMeterLeftPort, kLoudMeter);
    portEvent(ui, kMeterRightPort, kLoudMeter);
    run(ui, kFewTicks);
    EXPECT_GT(differingPixels(x.capture(editor), expected(ports)), 0);
    EXPECT_TRUE(heard.empty());
    close(ui);
}

// Clicking Iq, dragging Gain up to 0.6 and resetting Knee with a right click
// reach the host in port units, each inside its own touch gesture.
TEST_F(Lv2Ui, EditsReachTheHostInPortUnitsInsideTouchGestures) {
    const Window parent = x.createTopLevel(10, 10);
    LV2UI_Handle ui = open(X11Host::asParent(parent));
    ASSERT_NE(ui, nullptr);
    const Window editor = static_cast<Window>(reinterpret_cast<uintptr_t>(widget));
    portEvent(ui, portOfParameter(kKnee), 30.0f);
    run(ui, kFewTicks);
    x.click(editor, 50, 140, Button1);
    run(ui, kFewTicks);
    x.pointTo(editor, 60, 210);
    x.button(Button1, true);
    run(ui, kFewTicks);
    x.pointTo(editor, 60, 210 - 86);
    run(ui, kFewTicks);
    x.button(Button1, false);
    run(ui, kFewTicks);
    x.click(editor, 150, 210, Button3);
    run(ui, kFewTicks);
    const uint32_t iq = portOfParameter(kIq), gain = portOfParameter(kInGain);
    const uint32_t knee = portOfParameter(kKnee);
    const std::vector<Heard> wanted = {
        {Heard::TouchOn, iq, 0.0f},   {Heard::Write, iq, 1.0f},   {Heard::TouchOff, iq, 0.0f},
        {Heard::TouchOn, gain, 0.0f}, {Heard::Write, gain, 8.0f}, {Heard::TouchOff, gain, 0.0f},
        {Heard::TouchOn, knee, 0.0f}, {Heard::Write, knee, portValue(kKnee, 89.0f / 127.0f)},
        {Heard::TouchOff, knee, 0.0f}};
    EXPECT_EQ(heard, wanted);
    close(ui);
    EXPECT_EQ(hostErrors, 0);
}

TEST_F(Lv2Ui, RefusesWithoutAWindowToSitInOrForAnotherPlugin) {
    const Window parent = x.createTopLevel(10, 10);
    EXPECT_EQ(open(nullptr), nullptr);
    EXPECT_EQ(open(X11Host::asParent(parent), "https://vrn-quillo.invalid/lv2/other"), nullptr);
    EXPECT_EQ(open(reinterpret_cast<void*>(kNoSuchWindow)), nullptr);
    EXPECT_TRUE(x.children(parent).empty());
    EXPECT_EQ(descriptor->extension_data(LV2_UI__showInterface), nullptr);
    EXPECT_EQ(hostErrors, 0) << "the UI's X errors stay with the UI";
}

}  // namespace
