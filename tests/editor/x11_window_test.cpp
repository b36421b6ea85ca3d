// The editor of the built .so in real X windows: embedded by a host through
// the record, driven by the host's idle calls and real pointer input, compared
// pixel for pixel with the in-memory rendering of the same state, and closed
// without leaving a window, a connection or memory behind.
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "editor/memory_surface.h"
#include "expected_face.h"
#include "gesture_automations.h"
#include "support/black_box.h"
#include "x11_host.h"

extern char** environ;

namespace {

constexpr int32_t kFewTicks = 300;
constexpr int32_t kLampSettling = 900;
constexpr int32_t kCycles = 100;
// The least the allocator books for one allocation.
constexpr size_t kSmallestAllocation = 16;
constexpr int32_t kOneTick = 60;
constexpr int32_t kServerStartMs = 10000;
// Pixel bytes of the three skin bitmaps, decoded.
constexpr size_t kSkinBytes =
    (kNeedleStripWidth * kNeedleSliceHeight + kKnobStripWidth * kKnobCell + kFaceSheetWidth * kFaceSheetHeight) *
    kBytesPerPixel;
constexpr int32_t kIdlesAfterTheLoss = 5;
// An id the server has given to no window.
constexpr uintptr_t kNoSuchWindow = 0x3FFFFFFF;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kHeapMeasurable = false;  // the sanitizer's allocator keeps its own books
#else
constexpr bool kHeapMeasurable = true;
#endif

size_t heapInUse() {
    return mallinfo2().uordblks;
}

int32_t openDescriptors() {
    int32_t count = 0;
    if (DIR* fds = opendir("/proc/self/fd")) {
        while (readdir(fds) != nullptr) {
            ++count;
        }
        closedir(fds);
    }
    return count;
}

int hostErrorsSeen = 0;
int countHostError(Display*, XErrorEvent*) {
    ++hostErrorsSeen;
    return 0;
}
int keepHostAlive(Display*) {
    return 0;
}
void leaveOpen(Display*, void*) {}

// An X server of the test's own, to be killed under an open editor.
class PrivateServer {
public:
    PrivateServer() {
        int ends[2];
        if (pipe(ends) != 0) {
            return;
        }
        const std::string reportTo = std::to_string(ends[1]);
        const char* argv[] = {"Xvfb", "-displayfd", reportTo.c_str(), "-screen", "0", "640x480x24",
                              "-nolisten", "tcp", nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
            pid = 0;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        pollfd ready{ends[0], POLLIN, 0};
        char number[16] = {};
        if (pid != 0 && poll(&ready, 1, kServerStartMs) == 1 && read(ends[0], number, sizeof number - 1) > 0) {
            name = ":" + std::to_string(std::atoi(number));
        }
        close(ends[0]);
    }
    ~PrivateServer() { stop(); }

    void stop() {
        if (pid != 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = 0;
        }
    }

    std::string name;

private:
    pid_t pid = 0;
};

class X11WindowTest : public BlackBox {
protected:
    void SetUp() override {
        BlackBox::SetUp();
        ASSERT_NE(x.display, nullptr) << "no X display";
        ASSERT_TRUE(skin.loadSkin(QUILLO_RESOURCES_DIR));
    }

    PixelImage expectedFace(AEffect* record) { return ::expectedFace(skin, record); }
    int32_t shownDifferently(Window parent, EffectHandle& effect) {
        return differingPixels(x.capture(x.editorIn(parent)), expectedFace(effect.record()));
    }

    X11Host x;
    MemorySurface skin;
};

}  // namespace

TEST_F(X11WindowTest, OpensAChildWindowThatShowsTheRenderedFace) {
    const int32_t descriptors = openDescriptors();
    const Window parent = x.createTopLevel(10, 10);
    auto effect = create();
    EXPECT_EQ(effect->record()->flags & effFlagsHasEditor, effFlagsHasEditor);
    ASSERT_EQ(effect->dispatch(effEditOpen, 0, 0, X11Host::asParent(parent)), 1);
    const Window window = x.editorIn(parent);
    ASSERT_NE(window, None);
    char* title = nullptr;
    ASSERT_NE(XFetchName(x.display, window, &title), 0);
    EXPECT_STREQ(title, "Quillo_Limiter");
    XFree(title);
    XWindowAttributes attributes;
    ASSERT_NE(XGetWindowAttributes(x.display, window, &attributes), 0);
    EXPECT_EQ(attributes.width, kFaceWidth);
    EXPECT_EQ(attributes.height, kFaceHeight);
    EXPECT_EQ(attributes.map_state, IsViewable);
    x.run({effect.get()}, kLampSettling);
    EXPECT_EQ(shownDifferently(parent, *effect), 0);
    effect->dispatch(effEditClose);
    EXPECT_TRUE(x.children(parent).empty());
    EXPECT_EQ(openDescriptors(), descriptors) << "the editor's connection is closed";
}

TEST_F(X11WindowTest, ClicksAndDragsBecomeAutomationAndShowOnTheFace) {
    const Window parent = x.createTopLevel(10, 10);
    auto effect = create();
    ASSERT_EQ(effect->dispatch(effEditOpen, 0, 0, X11Host::asParent(parent)), 1);
    const Window window = x.editorIn(parent);
    x.run({effect.get()}, kFewTicks);
    host().calls.clear();
    // Edits reach the host with the host's own X error handler in place.
    XSetErrorHandler(countHostError);
    int32_t foreignHandlers = 0;
    host().answer = [&](const HostCall&) -> intptr_t {
        const XErrorHandler current = XSetErrorHandler(countHostError);
        foreignHandlers += current == countHostError ? 0 : 1;
        return 0;
    };

    x.click(window, 50, 140, Button1);
    x.pointTo(window, 60, 210);
    x.button(Button1, true);
    x.run({effect.get()}, kFewTicks);
    x.pointTo(window, 60, 210 - 86);
    x.run({effect.get()}, kFewTicks);
    x.button(Button1, false);
    x.click(window, 150, 210, Button3);
    x.run({effect.get()}, kLampSettling);

    expectGestureAutomations(host().callsWith(audioMasterAutomate));
    EXPECT_EQ(foreignHandlers, 0);
    EXPECT_EQ(shownDifferently(parent, *effect), 0);
    effect->dispatch(effEditClose);
    XSetErrorHandler(nullptr);
}

TEST_F(X11WindowTest, AGainReadoutReturningToANarrowerTextShowsItAlone) {
    const Window parent = x.createTopLevel(10, 10);
    auto effect = create();
    ASSERT_EQ(effect->dispatch(effEditOpen, 0, 0, X11Host::asParent(parent)), 1);
    const Window window = x.editorIn(parent);
    x.run({effect.get()}, kFewTicks);
    // Up 43 pixels is +4 dB, "4.00db"; the right click returns to "0.0db".
    x.pointTo(window, 60, 210);
    x.button(Button1, true);
    x.run({effect.get()}, kFewTicks);
    x.pointTo(window, 60, 210 - 43);
    x.run({effect.get()}, kFewTicks);
    x.button(Button1, false);
    EXPECT_NE(effect->record()->getParameter(effect->record(), 0), 0.5f);
    x.click(window, 60, 210, Button3);
    x.run({effect.get()}, kLampSettling);
    EXPECT_EQ(effect->record()->getParameter(effect->record(), 0), 0.5f);
    EXPECT_EQ(shownDifferently(parent, *effect), 0);
    effect->dispatch(effEditClose);
}

TEST_F(X11WindowTest, TwoInstancesShareTheSkinUntilTheLastCloses) {
    const Window firstParent = x.createTopLevel(10, 10);
    const Window secondParent = x.createTopLevel(300, 10);
    auto first = create();
    auto second = create();
    const size_t before = heapInUse();
    const int32_t descriptors = openDescriptors();
    ASSERT_EQ(first->dispatch(effEditOpen, 0, 0, X11Host::asParent(firstParent)), 1);
    const size_t withOne = heapInUse();
    ASSERT_EQ(second->dispatch(effEditOpen, 0, 0, X11Host::asParent(secondParent)), 1);
    const size_t withTwo = heapInUse();
    if (kHeapMeasurable) {
        EXPECT_GT(withOne - before, kSkinBytes);
        EXPECT_LT(withTwo - withOne, kSkinBytes) << "the second window decodes no skin of its own";
    }
    first->dispatch(effEditClose);
    EXPECT_TRUE(x.children(firstParent).empty());
    if (kHeapMeasurable) {
        EXPECT_GT(heapInUse() - before, kSkinBytes) << "the survivor keeps the skin";
    }
    // The survivor still draws from the shared skin.
    second->record()->setParameter(second->record(), 0, 0.25f);
    x.run({first.get(), second.get()}, kLampSettling);
    EXPECT_EQ(shownDifferently(secondParent, *second), 0);
    second->dispatch(effEditClose);
    if (kHeapMeasurable) {
        EXPECT_LT(heapInUse(), before + kSkinBytes / 100) << "the last close frees the skin";
    }
    EXPECT_EQ(openDescriptors(), descriptors);
    // Opened anew, the editor decodes the skin again and draws the full face.
    ASSERT_EQ(first->dispatch(effEditOpen, 0, 0, X11Host::asParent(firstParent)), 1);
    x.run({first.get()}, kLampSettling);
    EXPECT_EQ(shownDifferently(firstParent, *first), 0);
    first->dispatch(effEditClose);
}

TEST_F(X11WindowTest, OpenAndCloseCyclesLeaveNothingBehind) {
    const Window parent = x.createTopLevel(10, 10);
    auto effect = create();
    const auto cycle = [&] {
        ASSERT_EQ(effect->dispatch(effEditOpen, 0, 0, X11Host::asParent(parent)), 1);
        // One tick drawn and copied to the window in every cycle.
        x.run({effect.get()}, kOneTick);
        effect->dispatch(effEditClose);
    };
    cycle();  // Xlib's own process-wide caches are filled once
    const size_t heap = heapInUse();
    const int32_t descriptors = openDescriptors();
    for (int32_t i = 0; i < kCycles; ++i) {
        cycle();
    }
    const size_t heapAfter = heapInUse();
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_TRUE(x.children(parent).empty());
    if (kHeapMeasurable) {
        // The host's own connection may keep a few more queued-event records when
        // a busy machine lets events pile up; an editor that kept anything per
        // cycle would grow by at least a small allocation each time.
        EXPECT_LT(heapAfter, heap + kCycles * kSmallestAllocation)
            << "grew by " << heapAfter - heap << " bytes over " << kCycles << " cycles";
    }
}

TEST_F(X11WindowTest, WithoutADisplayOrAWindowToHoldItNothingOpens) {
    const int32_t descriptors = openDescriptors();
    auto effect = create();
    XSetErrorHandler(countHostError);
    hostErrorsSeen = 0;
    for (uintptr_t noWindow : {uintptr_t{0}, kNoSuchWindow}) {
        EXPECT_EQ(effect->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(noWindow)), 0);
        effect->dispatch(effEditIdle);
        effect->dispatch(effEditClose);
    }
    const std::string display = std::getenv("DISPLAY");
    unsetenv("DISPLAY");
    const Window parent = x.createTopLevel(10, 10);
    EXPECT_EQ(effect->dispatch(effEditOpen, 0, 0, X11Host::asParent(parent)), 0);
    setenv("DISPLAY", display.c_str(), 1);
    effect->dispatch(effEditIdle);
    EXPECT_TRUE(x.children(parent).empty());
    EXPECT_EQ(openDescriptors(), descriptors);
    EXPECT_EQ(hostErrorsSeen, 0) << "the editor's errors stay with the editor";
    EXPECT_EQ(XSetErrorHandler(nullptr), countHostError) << "the host's handler is back in place";
}

TEST_F(X11WindowTest, AHostWindowDestroyedUnderTheEditorIsSurvived) {
    const Window parent = x.createTopLevel(10, 10);
    auto effect = create();
    XSetErrorHandler(countHostError);
    hostErrorsSeen = 0;
    ASSERT_EQ(effect->dispatch(effEditOpen, 0, 0, X11Host::asParent(parent)), 1);
    x.run({effect.get()}, kFewTicks);
    XDestroyWindow(x.display, parent);
    XSync(x.display, False);
    x.run({effect.get()}, kFewTicks);
    effect->dispatch(effEditClose);
    EXPECT_EQ(hostErrorsSeen, 0);
    XSetErrorHandler(nullptr);
}

TEST_F(X11WindowTest, AServerThatGoesAwayDoesNotTakeTheHostAlong) {
    PrivateServer server;
    ASSERT_FALSE(server.name.empty()) << "no private server";
    const std::string display = std::getenv("DISPLAY");
    setenv("DISPLAY", server.name.c_str(), 1);
    XSetIOErrorHandler(keepHostAlive);
    {
        X11Host there;
        ASSERT_NE(there.display, nullptr);
        XSetIOErrorExitHandler(there.display, leaveOpen, nullptr);
        auto effect = create();
        ASSERT_EQ(effect->dispatch(effEditOpen, 0, 0, X11Host::asParent(there.createTopLevel(10, 10))), 1);
        there.run({effect.get()}, kFewTicks);
        server.stop();
        for (int32_t i = 0; i < kIdlesAfterTheLoss; ++i) {
            effect->dispatch(effEditIdle);
            usleep(kOneTick * 1000);
        }
        effect->dispatch(effEditClose);
        EXPECT_EQ(XSetIOErrorHandler(keepHostAlive), keepHostAlive) << "the host's handler is back in place";
    }
    XSetIOErrorHandler(nullptr);
    setenv("DISPLAY", display.c_str(), 1);
}
