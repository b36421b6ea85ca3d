// Hosts of every kind, careless ones included: whatever a host sends (ports
// left unconnected, shared buffers, empty runs, odd rates, values that are no
// values, switching on and off in any order), the bundle never crashes,
// never writes where it was not asked to, never allocates in run and never
// lets a sample above full scale through.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "lv2_bundle.h"
#include "support/render_material.h"

using namespace formats;
using namespace formats::lv2;

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Every allocation of the process is counted while `counting` is set.
namespace {
bool counting = false;
size_t allocations = 0;
}  // namespace

void* operator new(size_t size) {
    if (counting) ++allocations;
    if (void* memory = std::malloc(size > 0 ? size : 1)) return memory;
    throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    if (counting) ++allocations;
    return std::malloc(size > 0 ? size : 1);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, size_t) noexcept { std::free(memory); }
#define QUILLO_COUNTS_ALLOCATIONS 1
#endif

namespace {

constexpr double kRate = 44100.0;
constexpr uint32_t kFrames = 6000;
constexpr float kLoud = 4.0f;
constexpr float kUntouched = 7.0f;

// One channel of loud noise.
std::vector<float> noise(uint32_t frames, uint32_t seed) {
    std::vector<float> samples(frames);
    render_material::fillNoise(samples, kLoud, seed);
    return samples;
}

// One instance with every port the host may connect held here.
class Plugin {
public:
    explicit Plugin(double rate = kRate) : instance(Lv2Bundle::built().instantiate(rate)) {
        for (uint32_t port = 0; port < kPortCount; ++port) control[port] = Lv2Bundle::built().defaultValue(port);
    }
    ~Plugin() {
        if (instance != nullptr) lilv_instance_free(instance);
    }
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    bool valid() const { return instance != nullptr; }
    void connect(uint32_t port, float* data) { lilv_instance_connect_port(instance, port, data); }
    void connectControls() {
        for (uint32_t port = kFirstParameterPort; port < kPortCount; ++port) connect(port, &control[port]);
    }
    void activate() { lilv_instance_activate(instance); }
    void deactivate() { lilv_instance_deactivate(instance); }
    void run(uint32_t frames) { lilv_instance_run(instance, frames); }

    // The whole input through separate buffers, in blocks: left then right.
    std::vector<float> render(const std::vector<float>& left, const std::vector<float>& right, uint32_t block) {
        std::vector<float> out(2 * left.size(), kUntouched);
        renderInto(out, left, right, block);
        return out;
    }
    void renderInto(std::vector<float>& out, const std::vector<float>& left, const std::vector<float>& right,
                    uint32_t block) {
        for (uint32_t at = 0; at < left.size(); at += block) {
            const uint32_t n = std::min<uint32_t>(block, static_cast<uint32_t>(left.size()) - at);
            connect(kInputLeft, const_cast<float*>(left.data()) + at);
            connect(kInputRight, const_cast<float*>(right.data()) + at);
            connect(kOutputLeft, out.data() + at);
            connect(kOutputRight, out.data() + left.size() + at);
            run(n);
        }
    }

    float control[kPortCount] = {};

private:
    LilvInstance* instance;
};

std::vector<float> started(Plugin& plugin, const std::vector<float>& left, const std::vector<float>& right,
                           uint32_t block = 512) {
    plugin.connectControls();
    plugin.activate();
    return plugin.render(left, right, block);
}

bool withinFullScale(const std::vector<float>& samples) { return render_material::loudest(samples) <= 1.0f; }

class Lv2Host : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(Lv2Bundle::built().plugin(), nullptr); }
    const std::vector<float> left = noise(kFrames, 3u);
    const std::vector<float> right = noise(kFrames, 8u);
};

TEST_F(Lv2Host, PortsLeftUnconnectedUntilRun) {
    Plugin plugin;
    ASSERT_TRUE(plugin.valid());
    plugin.activate();
    plugin.run(64);  // nothing connected at all
    std::vector<float> out(64, kUntouched);
    plugin.connect(kOutputLeft, out.data());
    plugin.run(64);  // an output but no inputs: silence, and only there
    for (float s : out) EXPECT_EQ(s, 0.0f);
    Plugin reference;
    EXPECT_EQ(plugin.render(left, right, 512), started(reference, left, right));
}

TEST_F(Lv2Host, BuffersSharedBetweenInputsAndOutputsGiveTheSameBits) {
    Plugin separate, inPlace, crossed;
    const std::vector<float> wanted = started(separate, left, right);
    for (Plugin* plugin : {&inPlace, &crossed}) {
        plugin->connectControls();
        plugin->activate();
    }
    std::vector<float> a(left), b(right), c(left), d(right);
    for (uint32_t at = 0; at < kFrames; at += 512) {
        const uint32_t n = std::min<uint32_t>(512, kFrames - at);
        for (uint32_t port : {kInputLeft, kOutputLeft}) inPlace.connect(port, a.data() + at);
        for (uint32_t port : {kInputRight, kOutputRight}) inPlace.connect(port, b.data() + at);
        for (uint32_t port : {kInputLeft, kOutputRight}) crossed.connect(port, c.data() + at);
        for (uint32_t port : {kInputRight, kOutputLeft}) crossed.connect(port, d.data() + at);
        inPlace.run(n);
        crossed.run(n);
    }
    const std::vector<float> wantedLeft(wanted.begin(), wanted.begin() + kFrames);
    const std::vector<float> wantedRight(wanted.begin() + kFrames, wanted.end());
    EXPECT_EQ(a, wantedLeft);
    EXPECT_EQ(b, wantedRight);
    EXPECT_EQ(d, wantedLeft);
    EXPECT_EQ(c, wantedRight);
}

// Hosts run no frames to read the latency, before and after activation.
TEST_F(Lv2Host, EveryRunWritesTheLatencyAndEmptyRunsTouchNoAudio) {
    Plugin plugin(48000.0);
    ASSERT_TRUE(plugin.valid());
    plugin.connect(kLatencyPort, &plugin.control[kLatencyPort]);
    plugin.run(0);
    EXPECT_EQ(plugin.control[kLatencyPort], 43.0f);
    plugin.connectControls();
    plugin.activate();
    float audio[4] = {kUntouched, kUntouched, kUntouched, kUntouched};
    for (uint32_t port = 0; port < kAudioPorts; ++port) plugin.connect(port, &audio[port]);
    plugin.control[kLatencyPort] = -1.0f;
    plugin.run(0);
    EXPECT_EQ(plugin.control[kLatencyPort], 43.0f);
    for (float s : audio) EXPECT_EQ(s, kUntouched);
}

// One long run is the same as many short ones: the engine cuts it into its
// own blocks, whatever the host's size.
TEST_F(Lv2Host, OneRunOfAnyLengthGivesTheSameBits) {
    const std::vector<float> longLeft = noise(70000, 5u), longRight = noise(70000, 6u);
    Plugin whole, blocks;
    EXPECT_EQ(started(whole, longLeft, longRight, 70000), started(blocks, longLeft, longRight, 256));
}

TEST_F(Lv2Host, RatesTheEngineCannotRunAtAreRefused) {
    for (double rate : {0.0, -44100.0, double(NAN), double(INFINITY), 1e300, 1e9, 1.0, 1000.0}) {
        Plugin plugin(rate);
        EXPECT_FALSE(plugin.valid()) << rate;
    }
    for (double rate : {8000.0, 22050.0, 192000.0, 384000.0, 690000.0}) {
        Plugin plugin(rate);
        ASSERT_TRUE(plugin.valid()) << rate;
        const std::vector<float> out = started(plugin, left, right);
        EXPECT_TRUE(withinFullScale(out)) << rate;
        EXPECT_GE(plugin.control[kLatencyPort], 0.0f) << rate;
    }
}

// A value outside the range is its nearer end; one that is not a number
// leaves the parameter as it was.
TEST_F(Lv2Host, ControlValuesOutsideTheRangeAreClamped) {
    const struct {
        uint32_t port;
        float sent;
        float meant;
    } cases[] = {{kFirstParameterPort + kInGain, 1e9f, 40.1f},
                 {kFirstParameterPort + kInGain, -INFINITY, -40.0f},
                 {kFirstParameterPort + kKnee, -5.0f, 0.0f},
                 {kFirstParameterPort + kForceChannels, 7.0f, 2.0f},
                 {kFirstParameterPort + kInGain, NAN, 0.0f}};
    for (const auto& c : cases) {
        Plugin sent, meant;
        for (Plugin* plugin : {&sent, &meant}) plugin->control[kFirstParameterPort + kAutoSelectChannels] = 0.0f;
        sent.control[c.port] = c.sent;
        meant.control[c.port] = c.meant;
        const std::vector<float> out = started(sent, left, right);
        EXPECT_EQ(out, started(meant, left, right)) << c.port << " at " << c.sent;
        EXPECT_TRUE(withinFullScale(out)) << c.port << " at " << c.sent;
    }
}

// While Auto Select is on the effect writes its own choice into Force
// Channels, which no input port can carry back: once Auto Select is off, the
// port's choice rules, and the unlimited channel's output is silence.
TEST_F(Lv2Host, ForceChannelsRulesAgainOnceAutoSelectIsOff) {
    Plugin plugin;
    plugin.control[kFirstParameterPort + kForceChannels] = 1.0f;  // Left
    started(plugin, left, right);
    plugin.control[kFirstParameterPort + kAutoSelectChannels] = 0.0f;
    const std::vector<float> out = plugin.render(left, right, 512);
    for (uint32_t i = 0; i < kFrames; ++i) ASSERT_EQ(out[kFrames + i], 0.0f) << i;
    EXPECT_TRUE(withinFullScale(out));
}

TEST_F(Lv2Host, SwitchedOnAndOffInAnyOrder) {
    Plugin plugin;
    ASSERT_TRUE(plugin.valid());
    plugin.connectControls();
    plugin.deactivate();
    std::vector<float> out = plugin.render(left, right, 512);
    for (float s : out) ASSERT_EQ(s, 0.0f);  // never activated: silence
    plugin.activate();
    plugin.activate();
    EXPECT_TRUE(withinFullScale(plugin.render(left, right, 512)));
    plugin.deactivate();
    plugin.deactivate();
    out = plugin.render(left, right, 512);
    for (float s : out) ASSERT_EQ(s, 0.0f);
    plugin.activate();  // freed while active
    Plugin fresh;
    EXPECT_EQ(plugin.render(left, right, 512), started(fresh, left, right));
}

// The enabled port off is the bypass (the fade to it is the VST 3 bypass's):
// the input one latency later, as the latency port says.
TEST_F(Lv2Host, EnabledPortOffPassesTheInputDelayedByTheLatency) {
    Plugin plugin;
    started(plugin, left, right);
    plugin.control[kEnabledPort] = 0.0f;
    const std::vector<float> out = plugin.render(left, right, 512);
    const auto latency = static_cast<uint32_t>(plugin.control[kLatencyPort]);
    ASSERT_EQ(latency, 40u);
    for (uint32_t i = kFrames / 2; i < kFrames; ++i) {
        ASSERT_EQ(out[i], left[i - latency]) << i;
        ASSERT_EQ(out[kFrames + i], right[i - latency]) << i;
    }
}

// The meter ports hold each dip for 0.1 s and return to rest.
TEST_F(Lv2Host, MeterPortsHoldTheLowestGainsForTheEditor) {
    Plugin plugin;
    started(plugin, left, right);
    EXPECT_LT(plugin.control[kMeterLeftPort], 0.9f);
    EXPECT_LT(plugin.control[kMeterRightPort], 0.9f);
    EXPECT_LT(plugin.control[kKneeLampPort], 1.0f);
    const std::vector<float> quiet(2048, 0.0f);
    plugin.render(quiet, quiet, 2048);  // under 0.1 s later: still shown
    EXPECT_LT(plugin.control[kMeterLeftPort], 0.9f);
    plugin.render(std::vector<float>(20000, 0.0f), std::vector<float>(20000, 0.0f), 512);
    EXPECT_GT(plugin.control[kMeterLeftPort], 0.999f);
    EXPECT_GT(plugin.control[kMeterRightPort], 0.999f);
}

#if defined(QUILLO_COUNTS_ALLOCATIONS)
TEST_F(Lv2Host, RunAllocatesNothing) {
    Plugin plugin;
    started(plugin, left, right);
    std::vector<float> out(2 * kFrames);
    plugin.control[kFirstParameterPort + kInGain] = 12.0f;
    plugin.control[kFirstParameterPort + kAutoSelectChannels] = 0.0f;
    counting = true;
    plugin.renderInto(out, left, right, 64);
    counting = false;
    EXPECT_EQ(allocations, 0u);
}
#endif

}  // namespace
