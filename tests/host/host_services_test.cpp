#include <gtest/gtest.h>

#include "support/recording_host.h"
#include "test_effect.h"

namespace {

class HostServices : public ::testing::Test {
protected:
    void SetUp() override { host.reset(); }
    void TearDown() override { host.reset(); }
    RecordingHost& host = RecordingHost::instance();
    TestEffect effect{RecordingHost::callback};
};

}  // namespace

TEST_F(HostServices, AutomationSetsTheValueThenTellsTheHost) {
    int setsSeenByHost = -1;
    host.answer = [&](const HostCall&) {
        setsSeenByHost = effect.parameterSets;
        return intptr_t{0};
    };
    effect.automateParameter(3, 0.25f);
    ASSERT_EQ(host.calls.size(), 1u);
    const HostCall& call = host.calls[0];
    EXPECT_EQ(call.effect, effect.effectRecord());
    EXPECT_EQ(call.opcode, audioMasterAutomate);
    EXPECT_EQ(call.index, 3);
    EXPECT_EQ(call.value, 0);
    EXPECT_EQ(call.ptr, nullptr);
    EXPECT_EQ(call.opt, 0.25f);
    EXPECT_EQ(setsSeenByHost, 1);
}

TEST_F(HostServices, PinQueriesReadZeroAsConnected) {
    host.answer = [](const HostCall&) { return intptr_t{0}; };
    EXPECT_TRUE(effect.inputPinConnected(1));
    EXPECT_TRUE(effect.outputPinConnected(1));
    ASSERT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[0].opcode, audioMasterPinConnected);
    EXPECT_EQ(host.calls[0].index, 1);
    EXPECT_EQ(host.calls[0].value, 0);
    EXPECT_EQ(host.calls[1].index, 1);
    EXPECT_EQ(host.calls[1].value, 1);
    host.answer = [](const HostCall&) { return intptr_t{1}; };
    EXPECT_FALSE(effect.inputPinConnected(0));
    host.answer = [](const HostCall&) { return intptr_t{-1}; };
    EXPECT_FALSE(effect.outputPinConnected(0));
}

TEST_F(HostServices, AnswersAreReadEachTheirOwnWay) {
    host.answer = [](const HostCall&) { return intptr_t{0}; };
    EXPECT_EQ(effect.hostVersion(), 1);
    host.answer = [](const HostCall&) { return intptr_t{2400}; };
    EXPECT_EQ(effect.hostVersion(), 2400);
    host.answer = [](const HostCall&) { return intptr_t{1}; };
    EXPECT_TRUE(effect.hostSendEvents(nullptr));
    host.answer = [](const HostCall&) { return intptr_t{2}; };
    EXPECT_FALSE(effect.hostSendEvents(nullptr));
    EXPECT_EQ(effect.hostOfflinePass(), 1);
    EXPECT_TRUE(effect.notifyIoChanged());
    EXPECT_FALSE(effect.hostCanDo(nullptr) == false);
    host.answer = [](const HostCall&) { return intptr_t{12345}; };
    EXPECT_EQ(effect.refreshSampleRate(), 44100.0f);
    EXPECT_EQ(effect.refreshBlockSize(), 1024);
}

TEST_F(HostServices, NeighbourQueriesNeverSendThePin) {
    effect.previousEffect(5);
    effect.nextEffect(7);
    ASSERT_EQ(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[0].opcode, audioMasterGetPreviousPlug);
    EXPECT_EQ(host.calls[0].index, 0);
    EXPECT_EQ(host.calls[1].opcode, audioMasterGetNextPlug);
    EXPECT_EQ(host.calls[1].index, 0);
}

TEST_F(HostServices, ArgumentsGoWhereTheHostExpectsThem) {
    float rate = 0.0f;
    effect.requestWindowSize(221, 289);
    effect.hostOfflineRead(nullptr, 3, true);
    effect.hostVendorCall(4, 5, &rate, 6.0f);
    effect.hostSetOutputRate(88200.0f);
    ASSERT_EQ(host.calls.size(), 4u);
    EXPECT_EQ(host.calls[0].opcode, audioMasterSizeWindow);
    EXPECT_EQ(host.calls[0].index, 221);
    EXPECT_EQ(host.calls[0].value, 289);
    EXPECT_EQ(host.calls[1].opcode, audioMasterOfflineRead);
    EXPECT_EQ(host.calls[1].index, 1);
    EXPECT_EQ(host.calls[1].value, 3);
    EXPECT_EQ(host.calls[2].index, 4);
    EXPECT_EQ(host.calls[2].value, 5);
    EXPECT_EQ(host.calls[2].ptr, &rate);
    EXPECT_EQ(host.calls[2].opt, 6.0f);
    EXPECT_EQ(host.calls[3].opt, 88200.0f);
}

TEST(HostServicesWithoutHost, EveryWrapperGivesItsFallback) {
    TestEffect effect(nullptr);
    effect.automateParameter(1, 0.5f);
    EXPECT_EQ(effect.parameterSets, 1);
    EXPECT_EQ(effect.hostVersion(), 1);
    EXPECT_TRUE(effect.inputPinConnected(0));
    EXPECT_TRUE(effect.outputPinConnected(1));
    EXPECT_EQ(effect.hostTimeInfo(0), nullptr);
    EXPECT_FALSE(effect.hostSendEvents(nullptr));
    EXPECT_EQ(effect.previousEffect(0), nullptr);
    EXPECT_FALSE(effect.requestIdle());
    EXPECT_EQ(effect.refreshSampleRate(), 44100.0f);
    EXPECT_EQ(effect.hostOfflineMetaPass(), 0);
    EXPECT_EQ(effect.hostDirectory(), nullptr);
    effect.hostIdle();
}
