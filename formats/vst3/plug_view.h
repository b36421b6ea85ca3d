// The editor as a VST 3 view: the effect's own editor window, opened in the
// parent the host gives (an HWND on Windows, an X window id on Linux) at the
// editor's fixed size. On Linux a VST 3 host sends no idle calls: the view
// hands the editor's work to the host's run loop, a timer for the editor's
// tick and a watch on its X connection for its events, for as long as the
// window is open.
#pragma once

#include "formats/vst3/vst3_support.h"
#include "formats/vst3/vst3_view.h"

namespace vst3 {

class Controller;

// Often enough that the editor's 50 ms tick is never late by much.
constexpr linux_loop::TimerInterval kIdleIntervalMs = 20;

class PlugView final : public IPlugView, public linux_loop::ITimerHandler, public linux_loop::IEventHandler {
public:
    // Holds a reference to its controller for as long as it lives.
    explicit PlugView(Controller& controller);
    PlugView(const PlugView&) = delete;
    PlugView& operator=(const PlugView&) = delete;

    tresult VST3_CALL queryInterface(const char* iid, void** object) override;
    uint32_t VST3_CALL addRef() override { return references.add(); }
    uint32_t VST3_CALL release() override { return references.release(this); }

    tresult VST3_CALL isPlatformTypeSupported(FIDString type) override;
    tresult VST3_CALL attached(void* parent, FIDString type) override;
    tresult VST3_CALL removed() override;
    tresult VST3_CALL onWheel(float) override { return kResultFalse; }
    tresult VST3_CALL onKeyDown(char16, int16_t, int16_t) override { return kResultFalse; }
    tresult VST3_CALL onKeyUp(char16, int16_t, int16_t) override { return kResultFalse; }
    tresult VST3_CALL getSize(ViewRect* size) override;
    tresult VST3_CALL onSize(ViewRect* newSize) override;
    tresult VST3_CALL onFocus(TBool) override { return kResultOk; }
    tresult VST3_CALL setFrame(IPlugFrame* frame) override;
    tresult VST3_CALL canResize() override { return kResultFalse; }
    tresult VST3_CALL checkSizeConstraint(ViewRect* rect) override;

    void VST3_CALL onTimer() override;
    void VST3_CALL onFDIsSet(linux_loop::FileDescriptor fd) override;

    // Closes the window when the controller goes before its view.
    void detach();

private:
    friend class References;  // deletes it at the last release
    ~PlugView();
    void joinRunLoop();
    void leaveRunLoop();

    References references;
    Controller& owner;
    IPlugFrame* frame = nullptr;  // the host's, which outlives the view's use of it
    HostPointer<linux_loop::IRunLoop> runLoop;
    bool watching = false;  // the editor's connection, in the run loop
    bool open = false;
    bool detached = false;
};

}  // namespace vst3
