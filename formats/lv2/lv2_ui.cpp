// The bundle's UI binary: the effect's own editor in the host's window. The UI
// never reaches into the audio instance: it creates an effect of its own,
// which only shows what the ports say (parameters through port_event, the
// audio side's meter values through its meter ports), and passes the edits
// the editor makes back through write_function, in port units, each held
// control a gesture from the press to the release. Hosts that run the UI in
// another process therefore see the same editor.
#include <lv2/ui/ui.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "formats/lv2/lv2_identity.h"
#include "formats/lv2/lv2_ports.h"
#include "plugin/limiter_model.h"

namespace formats::lv2 {

namespace {

constexpr uint32_t kFloatProtocol = 0;
constexpr int kKeepRunning = 0;

const void* feature(const LV2_Feature* const* features, const char* uri) {
    for (; features != nullptr && *features != nullptr; ++features) {
        if (std::strcmp((*features)->URI, uri) == 0) return (*features)->data;
    }
    return nullptr;
}

class LimiterUi final : public ModelListener {
public:
    LimiterUi(LV2UI_Write_Function writer, LV2UI_Controller owner) : write(writer), controller(owner) {}
    ~LimiterUi() override { model.closeEditor(); }
    LimiterUi(const LimiterUi&) = delete;
    LimiterUi& operator=(const LimiterUi&) = delete;

    bool open(void* parent, const LV2UI_Touch* hostTouch, const LV2UI_Resize* resize, LV2UI_Widget* widget);
    void portEvent(uint32_t port, uint32_t size, uint32_t protocol, const void* buffer);
    int idle() {
        model.idleEditor();
        return kKeepRunning;
    }
    void parameterEdited(int32_t index, float value) override;
    void editBegun(int32_t index) override { touchPort(index, true); }
    void editEnded(int32_t index) override { touchPort(index, false); }

private:
    void touchPort(int32_t index, bool grabbed) {
        if (touch != nullptr) touch->touch(touch->handle, portOfParameter(index), grabbed);
    }

    LimiterModel model;
    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Touch* touch = nullptr;
};

bool LimiterUi::open(void* parent, const LV2UI_Touch* hostTouch, const LV2UI_Resize* resize, LV2UI_Widget* widget) {
    if (!model.valid() || !model.hasEditor()) return false;
    touch = hostTouch;
    model.setListener(this);
    void* shown = model.openEditor(parent);
    if (shown == nullptr) return false;
    *widget = shown;
    int32_t width = 0, height = 0;
    model.editorSize(width, height);
    if (resize != nullptr) resize->ui_resize(resize->handle, width, height);
    model.showRouting(false);
    return true;
}

// Which channels the editor marks as processed follows from the switches, as
// the effect decides it at the start of a block.
void LimiterUi::portEvent(uint32_t port, uint32_t size, uint32_t protocol, const void* buffer) {
    if (protocol != kFloatProtocol || size != sizeof(float) || buffer == nullptr) return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    const int32_t position = parameterOfPort(port);
    if (position >= 0 && isEffectParameter(parameterAt(position).id)) {
        if (const auto normalised = normalisedValue(position, value)) model.setParameter(position, *normalised);
        if (position == kAutoSelectChannels || position == kForceChannels) model.showRouting(false);
        return;
    }
    MeterValues meters;
    switch (port) {
        case kMeterLeftPort: meters.gain[0] = value; break;
        case kMeterRightPort: meters.gain[1] = value; break;
        case kKneeLampPort: meters.kneeLamp = value; break;
        default: return;
    }
    model.showMeters(meters);
}

void LimiterUi::parameterEdited(int32_t index, float value) {
    if (index < 0 || index >= kParameterCount) return;
    const float carried = portValue(index, value);
    write(controller, portOfParameter(index), sizeof carried, kFloatProtocol, &carried);
    if (index == kAutoSelectChannels || index == kForceChannels) model.showRouting(false);
}

LimiterUi* uiOf(LV2UI_Handle handle) { return static_cast<LimiterUi*>(handle); }

// Every entry catches everything: nothing thrown reaches the host.
LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
    if (pluginUri == nullptr || std::strcmp(pluginUri, kPluginUri) != 0 || write == nullptr || widget == nullptr) {
        return nullptr;
    }
    void* parent = const_cast<void*>(feature(features, LV2_UI__parent));
    if (parent == nullptr) return nullptr;
    try {
        std::unique_ptr<LimiterUi> ui(new (std::nothrow) LimiterUi(write, controller));
        if (!ui || !ui->open(parent, static_cast<const LV2UI_Touch*>(feature(features, LV2_UI__touch)),
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
