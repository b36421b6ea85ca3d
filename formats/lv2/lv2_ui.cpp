// The bundle's UI binary: the effect's own editor in the host's window. The UI
// never reaches into the audio instance: it creates an effect of its own,
// which only shows what the ports say (parameters through port_event, the
// audio side's meter values through its meter ports), and passes the edits
// the editor makes back through write_function, in port units. Hosts that run
// the UI in another process therefore see the same editor.
#include <X11/Xlib.h>
#include <lv2/ui/ui.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "editor/x11/x_error_trap.h"
#include "formats/lv2/lv2_identity.h"
#include "formats/lv2/lv2_ports.h"
#include "formats/shared/effect_host.h"

extern "C" AEffect* quilloEntry(audioMasterCallback callback);

namespace formats::lv2 {

namespace {

constexpr uint32_t kFloatProtocol = 0;
constexpr unsigned int kButtonsHeld = Button1Mask | Button2Mask | Button3Mask;
constexpr int kKeepRunning = 0;

const void* feature(const LV2_Feature* const* features, const char* uri) {
    for (; features != nullptr && *features != nullptr; ++features) {
        if (std::strcmp((*features)->URI, uri) == 0) return (*features)->data;
    }
    return nullptr;
}

class LimiterUi final : public EffectListener {
public:
    LimiterUi(LV2UI_Write_Function writer, LV2UI_Controller owner) : write(writer), controller(owner) {}
    ~LimiterUi() override;
    LimiterUi(const LimiterUi&) = delete;
    LimiterUi& operator=(const LimiterUi&) = delete;

    bool open(Window parent, const LV2UI_Touch* hostTouch, const LV2UI_Resize* resize, LV2UI_Widget* widget);
    void portEvent(uint32_t port, uint32_t size, uint32_t protocol, const void* buffer);
    int idle();
    void parameterAutomated(int32_t index, float value) override;

private:
    std::optional<std::vector<Window>> childrenOf(Window window);
    Window editorWindow(Window parent, const std::vector<Window>& before);
    void showRouting();
    void endGestures();
    bool buttonHeld();

    EffectHost host{quilloEntry};
    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Touch* touch = nullptr;
    // A connection of the UI's own, to find the editor's window and to see
    // when the pointer's buttons are let go (the end of a gesture).
    Display* display = nullptr;
    bool touching[kParamCount] = {};
    float forceChannels = NAN;  // the port's value, which rules once Auto Select is off
    bool quiet = false;
};

LimiterUi::~LimiterUi() {
    endGestures();
    host.closeEditor();
    if (display != nullptr) {
        {
            XErrorTrap trap;
            XCloseDisplay(display);
        }
        releaseConnection(display);
    }
}

bool LimiterUi::open(Window parent, const LV2UI_Touch* hostTouch, const LV2UI_Resize* resize, LV2UI_Widget* widget) {
    if (!host.valid() || !host.hasEditor()) return false;
    touch = hostTouch;
    host.setListener(this);
    // The routing the editor shows comes from a block of no frames (below).
    host.resume();
    display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    adoptConnection(display);
    const auto before = childrenOf(parent);
    if (!before || !host.openEditor(reinterpret_cast<void*>(parent))) return false;
    const Window shown = editorWindow(parent, *before);
    if (shown == None) return false;
    *widget = reinterpret_cast<LV2UI_Widget>(shown);
    int32_t width = 0, height = 0;
    if (resize != nullptr && host.editorSize(width, height)) resize->ui_resize(resize->handle, width, height);
    showRouting();
    return true;
}

// The window's children; nothing where the window cannot be read.
std::optional<std::vector<Window>> LimiterUi::childrenOf(Window window) {
    XErrorTrap trap;
    Window root = None, up = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &up, &children, &count) == 0) return std::nullopt;
    std::vector<Window> list(children, children + (children != nullptr ? count : 0));
    if (children != nullptr) XFree(children);
    return list;
}

// The child of the parent that the editor added.
Window LimiterUi::editorWindow(Window parent, const std::vector<Window>& before) {
    for (Window child : childrenOf(parent).value_or(std::vector<Window>())) {
        if (std::find(before.begin(), before.end(), child) == before.end()) return child;
    }
    return None;
}

void LimiterUi::portEvent(uint32_t port, uint32_t size, uint32_t protocol, const void* buffer) {
    if (protocol != kFloatProtocol || size != sizeof(float) || buffer == nullptr) return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    if (isParameterPort(port)) {
        const int32_t index = parameterOfPort(port);
        if (index == kParamForceChannels) forceChannels = value;
        if (const auto vst2 = vst2Value(index, value)) host.setParameter(index, *vst2);
        if (index == kParamAutoSelect || index == kParamForceChannels) showRouting();
        return;
    }
    MeterValues meters;
    switch (port) {
        case kMeterLeftPort: meters.gain[0] = value; break;
        case kMeterRightPort: meters.gain[1] = value; break;
        case kKneeLampPort: meters.kneeLamp = value; break;
        default: return;
    }
    host.showMeters(meters);
}

// Which channels the editor marks as processed follows from the switches, as
// the effect decides it at the start of a block. While Auto Select is on the
// effect puts its own choice into Force Channels and reports it; the report
// stays here and the port's value rules again once Auto Select is off.
void LimiterUi::showRouting() {
    if (const auto vst2 = vst2Value(kParamForceChannels, forceChannels)) host.setParameter(kParamForceChannels, *vst2);
    float silence[kEffectChannels] = {};
    float unused[kEffectChannels] = {};
    float* inputs[kEffectChannels] = {&silence[0], &silence[1]};
    float* outputs[kEffectChannels] = {&unused[0], &unused[1]};
    quiet = true;
    host.process(inputs, outputs, 0);
    quiet = false;
}

int LimiterUi::idle() {
    host.idleEditor();
    if (!buttonHeld()) endGestures();
    return kKeepRunning;
}

// The editor's edits, in the order it makes them: a gesture starts with the
// first edit of a port and ends when the pointer's buttons are let go.
void LimiterUi::parameterAutomated(int32_t index, float value) {
    if (quiet || index < 0 || index >= kParamCount) return;
    const uint32_t port = portOfParameter(index);
    const float carried = portValue(index, value);
    if (touch != nullptr && !touching[index]) {
        touching[index] = true;
        touch->touch(touch->handle, port, true);
    }
    write(controller, port, sizeof carried, kFloatProtocol, &carried);
}

void LimiterUi::endGestures() {
    for (int32_t i = 0; i < kParamCount; ++i) {
        if (!touching[i]) continue;
        touching[i] = false;
        if (touch != nullptr) touch->touch(touch->handle, portOfParameter(i), false);
    }
}

bool LimiterUi::buttonHeld() {
    if (display == nullptr || connectionLost(display)) return false;
    XErrorTrap trap;
    Window root = None, child = None;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y, &mask);
    return (mask & kButtonsHeld) != 0;
}

LimiterUi* uiOf(LV2UI_Handle handle) { return static_cast<LimiterUi*>(handle); }

// Every entry catches everything: nothing thrown reaches the host.
LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
    if (pluginUri == nullptr || std::strcmp(pluginUri, kPluginUri) != 0 || write == nullptr || widget == nullptr) {
        return nullptr;
    }
    const void* parent = feature(features, LV2_UI__parent);
    if (parent == nullptr) return nullptr;
    try {
        std::unique_ptr<LimiterUi> ui(new (std::nothrow) LimiterUi(write, controller));
        if (!ui || !ui->open(reinterpret_cast<Window>(parent), static_cast<const LV2UI_Touch*>(feature(features, LV2_UI__touch)),
                             static_cast<const LV2UI_Resize*>(feature(features, LV2_UI__resize)), widget)) {
            return nullptr;
        }
        return ui.release();
    } catch (...) {
        return nullptr;
    }
}

void cleanup(LV2UI_Handle handle) {
    try {
        delete uiOf(handle);
    } catch (...) {
    }
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer) {
    try {
        uiOf(handle)->portEvent(port, size, protocol, buffer);
    } catch (...) {
    }
}

int idle(LV2UI_Handle handle) {
    try {
        return uiOf(handle)->idle();
    } catch (...) {
        return kKeepRunning;
    }
}

const LV2UI_Idle_Interface kIdleInterface = {idle};

const void* extensionData(const char* uri) {
    return uri != nullptr && std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &kIdleInterface : nullptr;
}

const LV2UI_Descriptor kDescriptor = {kUiUri, instantiate, cleanup, portEvent, extensionData};

}  // namespace

}  // namespace formats::lv2

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &formats::lv2::kDescriptor : nullptr;
}
