#include <cmath>
#include <limits>

#include "support/black_box.h"

namespace {

const float kStartValues[6] = {0.5f, 89.0f / 127.0f, 0.0f, 1.0f, 1.0f, 0.0f};

class Parameters : public BlackBox {
protected:
    void SetUp() override {
        BlackBox::SetUp();
        effect = create();
        ASSERT_TRUE(effect);
        record = effect->record();
        host().calls.clear();
    }

    void set(int32_t index, float value) { record->setParameter(record, index, value); }
    float get(int32_t index) { return record->getParameter(record, index); }
    std::string display(int32_t index) { return effect->text(effGetParamDisplay, index); }

    std::unique_ptr<EffectHandle> effect;
    AEffect* record = nullptr;
};

}  // namespace

TEST_F(BlackBox, ConstructionAutomatesTheSixStartValuesInOrder) {
    auto effect = create();
    ASSERT_TRUE(effect);
    const auto automations = host().callsWith(audioMasterAutomate);
    ASSERT_EQ(automations.size(), 6u);
    for (int32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(automations[i].index, i);
        EXPECT_EQ(automations[i].opt, kStartValues[i]) << i;
        EXPECT_EQ(automations[i].value, 0);
        EXPECT_EQ(automations[i].ptr, nullptr);
        EXPECT_EQ(automations[i].effect, effect->record());
    }
}

TEST_F(Parameters, StartValuesRoundTripThroughTheRecord) {
    for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(get(i), kStartValues[i]) << i;
    set(1, 1.0f);
    EXPECT_EQ(get(1), 1.0f);
    EXPECT_EQ(display(1), "100.");
    set(0, 0.25f);
    EXPECT_EQ(get(0), 0.25f);
    EXPECT_TRUE(host().calls.empty()) << "a host's own change is not reported back";
}

TEST_F(Parameters, NamesAreTwentyTwoCharactersPadded) {
    const char* names[6] = {"IN Gain               ", "Knee                  ", "Iq                    ",
                            "Stereo Link           ", "Auto Select Channels  ", "Force Channels        "};
    for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(effect->text(effGetParamName, i), names[i]);
    const char* units[6] = {"db", "%", " ", " ", " ", " "};
    for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(effect->text(effGetParamLabel, i), units[i]);
}

TEST_F(Parameters, GainDisplayTexts) {
    EXPECT_EQ(display(0), "0.0");
    const struct {
        float value;
        const char* text;
    } cases[] = {{0.0f, "-40."}, {1.0f, "40.0"}, {0.4f, "-8.0"}, {0.49f, "-0.8"}, {0.501f, "0.10"},
                 {0.55f, "4.00"}, {0.75f, "19.9"}, {0.5f, "0.0"}};
    for (const auto& c : cases) {
        set(0, c.value);
        EXPECT_EQ(display(0), c.text) << c.value;
    }
}

TEST_F(Parameters, KneeAndSwitchTexts) {
    EXPECT_EQ(display(1), "70.0");
    const struct {
        float knee;
        const char* text;
    } knees[] = {{0.0f, "0.00"}, {10.0f, "7.87"}, {126.0f, "99.2"}, {127.0f, "100."}};
    for (const auto& k : knees) {
        set(1, k.knee / 127.0f);
        EXPECT_EQ(display(1), k.text) << k.knee;
    }
    set(2, 0.99f);
    EXPECT_EQ(display(2), "Off");
    set(2, 1.0f);
    EXPECT_EQ(display(2), "On");
    EXPECT_EQ(display(3), "On");
    EXPECT_EQ(display(4), "On");
    const struct {
        float value;
        const char* text;
    } channels[] = {{0.49f, "Stereo"}, {0.5f, "Left"}, {0.99f, "Left"}, {1.0f, "Right"}};
    for (const auto& c : channels) {
        set(5, c.value);
        EXPECT_EQ(display(5), c.text) << c.value;
    }
    EXPECT_EQ(display(6), "error");
    EXPECT_EQ(display(-1), "error");
}

TEST_F(Parameters, OutOfRangeIndicesAreRefused) {
    for (int32_t index : {6, 10, 11, 1000, -1, INT32_MIN}) {
        set(index, 0.3f);
        EXPECT_EQ(get(index), 0.0f);
        EXPECT_EQ(effect->text(effGetParamName, index), "");
        EXPECT_EQ(effect->text(effGetParamLabel, index), " ");
        EXPECT_EQ(display(index), "error");
    }
    for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(get(i), kStartValues[i]);
}

TEST_F(Parameters, NonFiniteValuesAreIgnoredAndOutOfRangeValuesTakeTheNearerEnd) {
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                      -std::numeric_limits<float>::infinity()}) {
        set(0, bad);
        set(1, bad);
        EXPECT_EQ(get(0), 0.5f);
        EXPECT_EQ(get(1), kStartValues[1]);
    }
    set(0, 2.0f);
    EXPECT_EQ(get(0), 1.0f);
    EXPECT_EQ(display(0), "40.0");
    set(0, -3.0f);
    EXPECT_EQ(get(0), 0.0f);
    EXPECT_EQ(display(0), "-40.");
    // Huge finite values once overflowed the natural range to infinity, which a
    // program change then sent to the host as automation.
    for (int32_t i = 0; i < 6; ++i) set(i, 3e38f);
    for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(get(i), 1.0f) << i;
    host().reset();
    effect->dispatch(effSetProgram, 0, 0);
    const auto automations = host().callsWith(audioMasterAutomate);
    ASSERT_EQ(automations.size(), 6u);
    for (const HostCall& a : automations) EXPECT_EQ(a.opt, 1.0f) << a.index;
}

TEST_F(BlackBox, SecondInstanceKeepsTheGainTableAndANewFirstRebuildsIt) {
    std::string first;
    {
        auto a = create();
        auto b = create();
        ASSERT_TRUE(a && b);
        a->record()->setParameter(a->record(), 0, 1.0f);
        b->record()->setParameter(b->record(), 0, 1.0f);
        first = a->text(effGetParamDisplay, 0);
        EXPECT_EQ(b->text(effGetParamDisplay, 0), first);
    }
    auto c = create();
    ASSERT_TRUE(c);
    c->record()->setParameter(c->record(), 0, 1.0f);
    EXPECT_EQ(c->text(effGetParamDisplay, 0), first);
}
