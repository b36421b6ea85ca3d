// The VST 3 view of the built module in a real window: embedded in a host's
// window (an X window driven by the host's run loop on Linux, an HWND on
// Windows), clicked, changed by the host, closed and opened again.
#include "formats/vst3/vst3_fixture.h"

#if defined(_WIN32)
#include "editor/window_host.h"
#else
#include <dirent.h>
#include <poll.h>

#include "editor/x11_host.h"
#endif

namespace vst3_test {
namespace {

constexpr int32_t kFewTicks = 300;
constexpr int32_t kLampSettling = 900;
constexpr int32_t kCycles = 10;
constexpr int32_t kLampX = 50;
constexpr int32_t kLampY = 140;
constexpr int32_t kGainX = 60;
constexpr int32_t kGainY = 210;
constexpr int32_t kDragTicks = 200;

#if defined(_WIN32)
// The host's side on Windows: a parent window and its message loop; the
// editor runs its own timer.
class EditorHost {
public:
    static constexpr FIDString kType = kPlatformTypeHWND;
    void* parentHandle() { return parent.handle; }
    IPlugFrame* frame() { return nullptr; }
    void run(int32_t milliseconds) { pumpMessages(static_cast<DWORD>(milliseconds)); }
    bool editorShown() { return parent.editor() != nullptr; }
    void clickLamp() {
        PostMessageA(parent.editor(), WM_LBUTTONDOWN, MK_LBUTTON, pointAt(kLampX, kLampY));
        PostMessageA(parent.editor(), WM_LBUTTONUP, 0, pointAt(kLampX, kLampY));
    }
    void dragGain(int32_t rise) {
        PostMessageA(parent.editor(), WM_LBUTTONDOWN, MK_LBUTTON, pointAt(kGainX, kGainY));
        run(kDragTicks);
        PostMessageA(parent.editor(), WM_MOUSEMOVE, MK_LBUTTON, pointAt(kGainX, kGainY - rise));
        run(kDragTicks);
        PostMessageA(parent.editor(), WM_LBUTTONUP, 0, pointAt(kGainX, kGainY - rise));
    }
    PixelImage capture() { return captureWindow(parent.editor()); }
    bool inRunLoop() const { return false; }

private:
    ParentWindow parent{10, 10};
};
#else
// The host's side on Linux: a top-level window, and a frame whose run loop
// calls the editor's timer and watches its connection, as Linux hosts do.
class EditorHost final : public IPlugFrame, public linux_loop::IRunLoop {
public:
    static constexpr FIDString kType = kPlatformTypeX11EmbedWindowID;

    tresult VST3_CALL queryInterface(const char* iid, void** object) override {
        return answerQuery<IPlugFrame, linux_loop::IRunLoop>(this, iid, object);
    }
    uint32_t VST3_CALL addRef() override { return 1; }
    uint32_t VST3_CALL release() override { return 1; }
    tresult VST3_CALL resizeView(IPlugView*, ViewRect*) override { return kResultFalse; }
    tresult VST3_CALL registerEventHandler(linux_loop::IEventHandler* handler, int fd) override {
        watcher = handler;
        descriptor = fd;
        return kResultOk;
    }
    tresult VST3_CALL unregisterEventHandler(linux_loop::IEventHandler* handler) override {
        if (handler != watcher) return kInvalidArgument;
        watcher = nullptr;
        return kResultOk;
    }
    tresult VST3_CALL registerTimer(linux_loop::ITimerHandler* handler, uint64_t milliseconds) override {
        timer = handler;
        interval = milliseconds;
        return kResultOk;
    }
    tresult VST3_CALL unregisterTimer(linux_loop::ITimerHandler* handler) override {
        if (handler != timer) return kInvalidArgument;
        timer = nullptr;
        return kResultOk;
    }

    void* parentHandle() { return X11Host::asParent(parent); }
    IPlugFrame* frame() { return this; }
    // The loop: the host's own events, the editor's descriptor when readable,
    // its timer at its interval.
    void run(int32_t milliseconds) {
        for (int32_t waited = 0; waited < milliseconds; waited += static_cast<int32_t>(interval)) {
            while (XPending(x.display) > 0) {
                XEvent event;
                XNextEvent(x.display, &event);
            }
            pollfd ready{descriptor, POLLIN, 0};
            if (watcher != nullptr && poll(&ready, 1, static_cast<int>(interval)) == 1) watcher->onFDIsSet(descriptor);
            if (timer != nullptr) timer->onTimer();
        }
    }
    bool editorShown() { return x.editorIn(parent) != None; }
    void clickLamp() { x.click(x.editorIn(parent), kLampX, kLampY, Button1); }
    void dragGain(int32_t rise) {
        const Window editor = x.editorIn(parent);
        x.pointTo(editor, kGainX, kGainY);
        x.button(Button1, true);
        run(kDragTicks);
        x.pointTo(editor, kGainX, kGainY - rise);
        run(kDragTicks);
        x.button(Button1, false);
    }
    PixelImage capture() { return x.capture(x.editorIn(parent)); }
    bool inRunLoop() const { return timer != nullptr && watcher != nullptr && interval > 0; }

    static int32_t openDescriptors() {
        int32_t count = 0;
        if (DIR* fds = opendir("/proc/self/fd")) {
            while (readdir(fds) != nullptr) ++count;
            closedir(fds);
        }
        return count;
    }

private:
    X11Host x;
    Window parent = x.createTopLevel(10, 10);
    linux_loop::ITimerHandler* timer = nullptr;
    linux_loop::IEventHandler* watcher = nullptr;
    int descriptor = -1;
    uint64_t interval = 20;
};
#endif

// An instance as every VST 3 test has it, and the host's window.
class Vst3Editor : public Vst3 {
protected:
    IPlugView* open() {
        IPlugView* view = plugin->controller->createView(kEditorViewType);
        if (view == nullptr) return nullptr;
        view->setFrame(host.frame());
        if (view->attached(host.parentHandle(), EditorHost::kType) != kResultOk) {
            view->release();
            return nullptr;
        }
        return view;
    }

    EditorHost host;
};

}  // namespace

// The effect's editor at its size in the host's window, its work in the
// host's loop; a click is an edit for the host, a change of the host's shows.
TEST_F(Vst3Editor, OpensInTheHostsWindowAndTradesChangesWithTheHost) {
    IPlugView* view = plugin->controller->createView(kEditorViewType);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(plugin->controller->createView(kEditorViewType), nullptr) << "one editor at a time";
    EXPECT_EQ(view->isPlatformTypeSupported(EditorHost::kType), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported("NSView"), kResultFalse);
    ViewRect size{};
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.right - size.left, 221);
    EXPECT_EQ(size.bottom - size.top, 289);
    EXPECT_EQ(view->canResize(), kResultFalse);
    view->setFrame(host.frame());
    EXPECT_EQ(view->attached(host.parentHandle(), "NSView"), kInvalidArgument);
    ASSERT_EQ(view->attached(host.parentHandle(), EditorHost::kType), kResultOk);
    EXPECT_TRUE(host.editorShown());
#if !defined(_WIN32)
    EXPECT_TRUE(host.inRunLoop()) << "a timer and the connection's descriptor";
#endif
    host.run(kFewTicks);
    handler.calls.clear();
    host.clickLamp();
    host.run(kLampSettling);
    ASSERT_EQ(handler.calls.size(), 3u);
    EXPECT_EQ(handler.calls[0].kind, HandlerCall::kBegin);
    EXPECT_EQ(handler.calls[1].kind, HandlerCall::kPerform);
    EXPECT_EQ(handler.calls[1].what, 2);
    EXPECT_EQ(handler.calls[1].value, 1.0);
    EXPECT_EQ(handler.calls[2].kind, HandlerCall::kEnd);

    // A drag of a knob is one edit, from the press to the release.
    handler.calls.clear();
    host.dragGain(30);
    host.run(kLampSettling);
    ASSERT_GE(handler.calls.size(), 3u);
    EXPECT_EQ(handler.calls.front().kind, HandlerCall::kBegin);
    EXPECT_EQ(handler.calls.back().kind, HandlerCall::kEnd);
    for (size_t i = 1; i + 1 < handler.calls.size(); ++i) EXPECT_EQ(handler.calls[i].kind, HandlerCall::kPerform);
    for (const HandlerCall& call : handler.calls) EXPECT_EQ(call.what, 0);

    handler.calls.clear();
    const PixelImage lit = host.capture();
    plugin->controller->setParamNormalized(2, 0.0);
    host.run(kLampSettling);
    EXPECT_NE(host.capture().pixels, lit.pixels) << "the host switched Iq off";
    plugin->controller->setParamNormalized(2, 1.0);
    host.run(kLampSettling);
    EXPECT_EQ(host.capture().pixels, lit.pixels);
    EXPECT_TRUE(handler.calls.empty()) << "the host's own changes are not sent back";

    EXPECT_EQ(view->removed(), kResultOk);
    EXPECT_FALSE(host.editorShown());
    EXPECT_FALSE(host.inRunLoop());
    view->release();
}

// Open and closed again and again, through views the host releases, and a
// view left open when the controller goes: nothing stays behind.
TEST_F(Vst3Editor, OpenAndCloseCyclesLeaveNothingBehind) {
#if !defined(_WIN32)
    IPlugView* first = open();
    ASSERT_NE(first, nullptr);
    first->removed();
    first->release();
    const int32_t descriptors = EditorHost::openDescriptors();
#endif
    for (int32_t cycle = 0; cycle < kCycles; ++cycle) {
        IPlugView* view = open();
        ASSERT_NE(view, nullptr) << cycle;
        host.run(kFewTicks / kCycles);
        view->removed();
        view->release();
    }
#if !defined(_WIN32)
    EXPECT_EQ(EditorHost::openDescriptors(), descriptors);
#endif
    IPlugView* left = open();
    ASSERT_NE(left, nullptr);
    plugin.reset();  // the controller terminated under an open view
    EXPECT_FALSE(host.editorShown());
    EXPECT_EQ(left->removed(), kResultFalse);
    left->release();
}

}  // namespace vst3_test
