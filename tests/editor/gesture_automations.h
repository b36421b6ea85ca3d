// What the host must receive for the gesture every window test plays, on every
// window system alike: a click on the Iq lamp, a drag of the Gain knob up to
// 0.6, a right click on the Knee knob.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "support/recording_host.h"

inline void expectGestureAutomations(const std::vector<HostCall>& automations) {
    ASSERT_EQ(automations.size(), 3u);
    EXPECT_EQ(automations[0].index, 2);
    EXPECT_EQ(automations[0].opt, 1.0f);
    EXPECT_EQ(automations[1].index, 0);
    EXPECT_NEAR(automations[1].opt, 0.6f, 1e-5f);
    EXPECT_EQ(automations[2].index, 1);
    EXPECT_FLOAT_EQ(automations[2].opt, 89.0f / 127.0f);
}
