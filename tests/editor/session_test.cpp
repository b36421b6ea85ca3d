// Opening and closing windows, and the skin that open windows share.
#include <gtest/gtest.h>

#include "editor/editor_panel.h"
#include "editor/editor_session.h"
#include "editor_fakes.h"

namespace {

struct SessionFixture : ::testing::Test {
    SessionFixture() : first(effect), second(effect) {}
    ~SessionFixture() override {
        one.close();
        two.close();
    }

    FakeEffect effect;
    EditorPanel first;
    EditorPanel second;
    FakeWindowSystem system;
    EditorSession one;
    EditorSession two;
};

}  // namespace

TEST_F(SessionFixture, TwoWindowsShareOneSkinThatTheLastCloseReleases) {
    ASSERT_TRUE(one.open(system, nullptr, first));
    ASSERT_TRUE(two.open(system, nullptr, second));
    EXPECT_EQ(system.joined(), "register create load create");
    EXPECT_EQ(EditorSession::openWindowCount(), 2);
    one.close();
    EXPECT_EQ(system.joined(), "register create load create destroy");
    two.close();
    EXPECT_EQ(system.joined(), "register create load create destroy destroy release unregister");
    EXPECT_EQ(EditorSession::openWindowCount(), 0);
    system.log.clear();
    ASSERT_TRUE(one.open(system, nullptr, first));
    EXPECT_EQ(system.joined(), "register create load");
}

TEST_F(SessionFixture, IdleCallsReachOnlyAnOpenWindow) {
    one.idle();
    ASSERT_TRUE(one.open(system, nullptr, first));
    one.idle();
    one.idle();
    EXPECT_EQ(system.lastWindow->idles, 2);
    one.close();
    one.idle();
}

TEST_F(SessionFixture, OpeningAnOpenSessionKeepsItsOneWindow) {
    ASSERT_TRUE(one.open(system, nullptr, first));
    ASSERT_TRUE(one.open(system, nullptr, first));
    EXPECT_EQ(system.liveWindows, 1);
    EXPECT_EQ(EditorSession::openWindowCount(), 1);
    one.close();
    one.close();
    EXPECT_EQ(system.liveWindows, 0);
    EXPECT_EQ(EditorSession::openWindowCount(), 0);
}

TEST_F(SessionFixture, AWindowThatCannotBeCreatedLeavesNothingBehind) {
    system.refuseWindows = true;
    EXPECT_FALSE(one.open(system, nullptr, first));
    EXPECT_FALSE(one.isOpen());
    EXPECT_EQ(system.joined(), "register create unregister");
    EXPECT_EQ(EditorSession::openWindowCount(), 0);
    one.close();
    EXPECT_EQ(system.joined(), "register create unregister");
}
