// The editor of the built plug-in in a real window: opened by a host through
// the record, driven by the 50 ms timer and posted mouse messages, compared
// pixel for pixel with the in-memory rendering of the same state.
#include <gtest/gtest.h>

#include <memory>

#include "editor/editor_panel.h"
#include "editor/memory_surface.h"
#include "expected_face.h"
#include "gesture_automations.h"
#include "support/black_box.h"
#include "window_host.h"

namespace {

constexpr DWORD kFewTicks = 300;
constexpr DWORD kLampSettling = 900;

class EditorWindowTest : public BlackBox {
protected:
    void SetUp() override {
        BlackBox::SetUp();
        ASSERT_TRUE(skin.loadSkin(QUILLO_RESOURCES_DIR));
    }

    static bool classRegistered() {
        WNDCLASSA found;
        return GetClassInfoA(GetModuleHandleA("Vrn-Quillo_Limiter.dll"), "QXclass", &found) != 0;
    }

    PixelImage expectedFace(AEffect* record) { return ::expectedFace(skin, record); }

    MemorySurface skin;
};

}  // namespace

TEST_F(EditorWindowTest, OpensAChildWindowThatShowsTheRenderedFace) {
    ParentWindow parent(10, 10);
    auto effect = create();
    ASSERT_EQ(effect->dispatch(effEditOpen, 0, 0, parent.handle), 1);
    const HWND window = parent.editor();
    ASSERT_NE(window, nullptr);
    char title[32] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Quillo_Limiter");
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, kFaceWidth);
    EXPECT_EQ(client.bottom, kFaceHeight);
    pumpMessages(kLampSettling);
    EXPECT_EQ(differingPixels(captureWindow(window), expectedFace(effect->record())), 0);
    effect->dispatch(effEditClose);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(classRegistered());
}

TEST_F(EditorWindowTest, ClicksAndDragsBecomeAutomationAndShowOnTheFace) {
    ParentWindow parent(10, 10);
    auto effect = create();
    ASSERT_EQ(effect->dispatch(effEditOpen, 0, 0, parent.handle), 1);
    const HWND window = parent.editor();
    pumpMessages(kFewTicks);
    host().calls.clear();

    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, pointAt(50, 140));
    PostMessageA(window, WM_LBUTTONUP, 0, pointAt(50, 140));
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, pointAt(60, 210));
    pumpMessages(kFewTicks);
    PostMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, pointAt(60, 210 - 86));
    pumpMessages(kFewTicks);
    PostMessageA(window, WM_LBUTTONUP, 0, pointAt(60, 210 - 86));
    PostMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, pointAt(150, 210));
    PostMessageA(window, WM_RBUTTONUP, 0, pointAt(150, 210));
    pumpMessages(kLampSettling);

    expectGestureAutomations(host().callsWith(audioMasterAutomate));
    EXPECT_EQ(differingPixels(captureWindow(window), expectedFace(effect->record())), 0);
    effect->dispatch(effEditClose);
}

TEST_F(EditorWindowTest, AGainReadoutReturningToANarrowerTextShowsItAlone) {
    ParentWindow parent(10, 10);
    auto effect = create();
    ASSERT_EQ(effect->dispatch(effEditOpen, 0, 0, parent.handle), 1);
    const HWND window = parent.editor();
    pumpMessages(kFewTicks);
    // Up 43 pixels is +4 dB, "4.00db"; the right click returns to "0.0db".
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, pointAt(60, 210));
    pumpMessages(kFewTicks);
    PostMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, pointAt(60, 210 - 43));
    pumpMessages(kFewTicks);
    PostMessageA(window, WM_LBUTTONUP, 0, pointAt(60, 210 - 43));
    EXPECT_NE(effect->record()->getParameter(effect->record(), 0), 0.5f);
    PostMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, pointAt(60, 210));
    PostMessageA(window, WM_RBUTTONUP, 0, pointAt(60, 210));
    pumpMessages(kLampSettling);
    EXPECT_EQ(effect->record()->getParameter(effect->record(), 0), 0.5f);
    EXPECT_EQ(differingPixels(captureWindow(window), expectedFace(effect->record())), 0);
    effect->dispatch(effEditClose);
}

TEST_F(EditorWindowTest, TwoInstancesShareTheSkinUntilTheLastCloses) {
    ParentWindow firstParent(10, 10);
    ParentWindow secondParent(300, 10);
    auto first = create();
    auto second = create();
    ASSERT_EQ(first->dispatch(effEditOpen, 0, 0, firstParent.handle), 1);
    ASSERT_EQ(second->dispatch(effEditOpen, 0, 0, secondParent.handle), 1);
    EXPECT_TRUE(classRegistered());
    first->dispatch(effEditClose);
    EXPECT_TRUE(classRegistered());
    EXPECT_EQ(firstParent.editor(), nullptr);
    // The survivor still draws from the shared skin.
    second->record()->setParameter(second->record(), 0, 0.25f);
    pumpMessages(kLampSettling);
    EXPECT_EQ(differingPixels(captureWindow(secondParent.editor()), expectedFace(second->record())), 0);
    second->dispatch(effEditClose);
    EXPECT_FALSE(classRegistered());
    ASSERT_EQ(first->dispatch(effEditOpen, 0, 0, firstParent.handle), 1);
    EXPECT_TRUE(classRegistered());
    pumpMessages(kLampSettling);
    EXPECT_EQ(differingPixels(captureWindow(firstParent.editor()), expectedFace(first->record())), 0);
    first->dispatch(effEditClose);
}

TEST_F(EditorWindowTest, OpeningAnOpenEditorKeepsOneWindow) {
    ParentWindow parent(10, 10);
    auto effect = create();
    ASSERT_EQ(effect->dispatch(effEditOpen, 0, 0, parent.handle), 1);
    const HWND window = parent.editor();
    ASSERT_EQ(effect->dispatch(effEditOpen, 0, 0, parent.handle), 1);
    EXPECT_EQ(FindWindowExA(parent.handle, window, "QXclass", nullptr), nullptr);
    effect->dispatch(effEditClose);
    effect->dispatch(effEditClose);
    EXPECT_FALSE(classRegistered());
}

TEST_F(EditorWindowTest, ClosingTheEffectWithItsWindowOpenTakesTheWindowAlong) {
    ParentWindow parent(10, 10);
    auto effect = create();
    ASSERT_EQ(effect->dispatch(effEditOpen, 0, 0, parent.handle), 1);
    const HWND window = parent.editor();
    pumpMessages(kFewTicks);
    effect->close();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(classRegistered());
    pumpMessages(kFewTicks);  // no timer may fire into the freed editor
}
