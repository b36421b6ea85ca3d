#include "formats/vst3/plug_view.h"

#include <cstdint>
#include <cstring>

#include "formats/vst3/controller.h"

namespace vst3 {

namespace {

#if defined(_WIN32)
constexpr FIDString kPlatformType = kPlatformTypeHWND;
#else
constexpr FIDString kPlatformType = kPlatformTypeX11EmbedWindowID;
#endif

bool ourPlatform(FIDString type) { return type != nullptr && std::strcmp(type, kPlatformType) == 0; }

}  // namespace

PlugView::PlugView(Controller& controller) : owner(controller) { owner.addRef(); }

PlugView::~PlugView() {
    detach();
    owner.viewClosed(this);
    owner.release();
}

tresult PlugView::queryInterface(const char* iid, void** object) {
    return answerQuery<IPlugView, linux_loop::ITimerHandler, linux_loop::IEventHandler>(this, iid, object);
}

tresult PlugView::isPlatformTypeSupported(FIDString type) { return ourPlatform(type) ? kResultTrue : kResultFalse; }

// An X window id arrives as the pointer's value, as the effect takes it.
tresult PlugView::attached(void* parent, FIDString type) {
    LimiterModel* effect = detached ? nullptr : owner.effectModel();
    if (effect == nullptr || open) return kResultFalse;
    if (parent == nullptr || !ourPlatform(type)) return kInvalidArgument;
    if (effect->openEditor(parent) == nullptr) return kResultFalse;
    open = true;
    joinRunLoop();
    return kResultOk;
}

tresult PlugView::removed() {
    if (!open) return kResultFalse;
    leaveRunLoop();
    if (LimiterModel* effect = owner.effectModel()) effect->closeEditor();
    open = false;
    return kResultOk;
}

void PlugView::detach() {
    removed();
    detached = true;
}

tresult PlugView::getSize(ViewRect* size) {
    LimiterModel* effect = owner.effectModel();
    if (size == nullptr || effect == nullptr) return kInvalidArgument;
    int32_t width = 0;
    int32_t height = 0;
    effect->editorSize(width, height);
    *size = ViewRect{0, 0, width, height};
    return kResultOk;
}

// The editor keeps its one size whatever the host asks.
tresult PlugView::onSize(ViewRect* newSize) { return newSize != nullptr ? kResultOk : kInvalidArgument; }

tresult PlugView::checkSizeConstraint(ViewRect* rect) {
    ViewRect fixed{};
    if (rect == nullptr || getSize(&fixed) != kResultOk) return kInvalidArgument;
    rect->right = rect->left + fixed.right;
    rect->bottom = rect->top + fixed.bottom;
    return kResultOk;
}

tresult PlugView::setFrame(IPlugFrame* given) {
    frame = given;
    return kResultOk;
}

void PlugView::onTimer() {
    LimiterModel* effect = open ? owner.effectModel() : nullptr;
    if (effect == nullptr) return;
    effect->idleEditor();
    // A lost connection stays readable: the watch ends here rather than in its
    // own callback, which some hosts do not expect to be unregistered from.
    if (watching && effect->editorEventDescriptor() < 0) {
        runLoop->unregisterEventHandler(this);
        watching = false;
    }
}

void PlugView::onFDIsSet(linux_loop::FileDescriptor) {
    if (LimiterModel* effect = open ? owner.effectModel() : nullptr) effect->idleEditor();
}

// The run loop is the frame's; some hosts offer it through their context.
// Windows editors run their own timer and need none.
void PlugView::joinRunLoop() {
#if !defined(_WIN32)
    if (!runLoop.query(frame) && !runLoop.query(owner.hostContext())) return;
    runLoop->registerTimer(this, kIdleIntervalMs);
    const int descriptor = owner.effectModel()->editorEventDescriptor();
    watching = descriptor >= 0 && runLoop->registerEventHandler(this, descriptor) == kResultOk;
#endif
}

void PlugView::leaveRunLoop() {
    if (!runLoop) return;
    runLoop->unregisterTimer(this);
    if (watching) runLoop->unregisterEventHandler(this);
    watching = false;
    runLoop.reset();
}

}  // namespace vst3
