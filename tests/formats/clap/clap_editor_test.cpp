// The CLAP editor in an X window, run by the host's timer and descriptor
// watch: a knob drag leaves as one gesture with its values, and a host
// without timers and watches gets no editor (its generic view instead).
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "editor/x11_host.h"
#include "formats/clap/clap_host.h"

namespace clap_test {
namespace {

constexpr int32_t kTicks = 15;

// The host's loop: its events, the editor's timer and descriptor, then a flush.
void run(X11Host& x, ClapPlugin& plugin, int32_t ticks) {
    const auto* timer = plugin.extension<PluginTimerSupport>(kExtTimerSupport);
    const auto* fd = plugin.extension<PluginPosixFdSupport>(kExtPosixFdSupport);
    for (int32_t i = 0; i < ticks; ++i) {
        while (XPending(x.display) > 0) {
            XEvent event;
            XNextEvent(x.display, &event);
        }
        for (const auto& held : plugin.timers) timer->on_timer(plugin.plugin, held.first);
        for (int descriptor : plugin.descriptors) fd->on_fd(plugin.plugin, descriptor, kPosixFdRead);
        std::this_thread::sleep_for(std::chrono::milliseconds(X11Host::kIdleMs));
    }
}

TEST(ClapEditor, AKnobDragLeavesAsOneGestureAndHostsWithoutALoopGetNone) {
    const ClapModule module(QUILLO_CLAP_FILE);
    ClapPlugin bare(module.factory(), false);
    EXPECT_EQ(bare.extension<PluginGui>(kExtGui), nullptr);

    ClapPlugin plugin(module.factory());
    const auto* gui = plugin.extension<PluginGui>(kExtGui);
    ASSERT_NE(gui, nullptr);
    X11Host x;
    const ::Window parent = x.createTopLevel(10, 10);
    ASSERT_TRUE(gui->create(plugin.plugin, kWindowApiX11, false));
    clap::Window window{kWindowApiX11, {}};
    window.x11 = parent;
    ASSERT_TRUE(gui->set_parent(plugin.plugin, &window));
    EXPECT_FALSE(plugin.timers.empty());
    EXPECT_FALSE(plugin.descriptors.empty());
    const ::Window editor = x.editorIn(parent);
    ASSERT_NE(editor, None);
    x.pointTo(editor, 60, 210);
    x.button(Button1, true);
    run(x, plugin, kTicks);
    x.pointTo(editor, 60, 180);
    run(x, plugin, kTicks);
    x.button(Button1, false);
    run(x, plugin, kTicks);
    plugin.flush();
    const std::vector<EventParamValue>& sent = plugin.sent();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent.front().header.type, kEventParamGestureBegin);
    EXPECT_EQ(sent.back().header.type, kEventParamGestureEnd);
    for (size_t i = 1; i + 1 < sent.size(); ++i) EXPECT_EQ(sent[i].header.type, kEventParamValue);
    for (const auto& event : sent) EXPECT_EQ(event.param_id, 0u);
    EXPECT_GT(sent[sent.size() - 2].value, 0.5) << "raised";
    gui->destroy(plugin.plugin);
    EXPECT_TRUE(plugin.timers.empty());
    EXPECT_TRUE(plugin.descriptors.empty());
    EXPECT_EQ(x.editorIn(parent), None);
}

}  // namespace
}  // namespace clap_test
