// The audio side every plug-in format shares: one effect, driven by the
// format's host through its adapter. Blocks are cut where parameters change
// and where the effect's largest block ends; the bypass fades to the input
// delayed by the latency; an output the effect leaves alone carries silence
// (a host's output buffers hold anything); a state restored while blocks run
// is applied whole at the start of the next one; the meters travel by one
// policy. The effect restarts at rest, so that renders repeat. Nothing here
// allocates, locks or waits while blocks run.
#pragma once

#include <atomic>
#include <climits>
#include <cstdint>

#include "formats/shared/bypass_fade.h"
#include "formats/shared/delivery.h"
#include "formats/shared/meter_feed.h"
#include "formats/shared/state_codec.h"
#include "formats/shared/state_mailbox.h"
#include "plugin/limiter_model.h"
#include "plugin/parameters.h"

namespace formats {

// The frame of a change that does not come.
constexpr int32_t kNoChange = INT_MAX;
// Rates hosts run at: the effect is set up for no other.
constexpr double kLowestRate = 8000.0;
constexpr double kHighestRate = 768000.0;
// The effect's blocks are at most this long; longer host blocks are cut up
// (the output does not depend on where blocks end).
constexpr int32_t kLargestBlock = 1 << 14;

// Takes parameter changes by descriptor ID, normalised.
class ChangeSink {
public:
    virtual ~ChangeSink() = default;
    virtual void change(uint32_t id, double value) = 0;
};

// A block's parameter changes as the format's host sends them.
class BlockChanges {
public:
    virtual ~BlockChanges() = default;
    // Hands every change at or before `frame` to `sink` (each parameter's in
    // their order) and answers the frame of the next one, or kNoChange.
    virtual int32_t takeUpTo(int32_t frame, ChangeSink& sink) = 0;
};

// One block's buffers as the effect takes them: a mono bus is one buffer on
// both of its inputs and both of its outputs.
struct BlockBuffers {
    float* inputs[kEffectChannels];
    float* outputs[kEffectChannels];
    int32_t channels;
};

// A change the effect made itself inside a block (its channel choice), for
// the format's host.
struct EffectReport {
    int32_t frame;
    int32_t index;
    float value;
};

class AudioSide final : public ChangeSink {
public:
    AudioSide();
    bool valid() const { return model.valid(); }
    LimiterModel& effect() { return model; }
    const LimiterModel& effect() const { return model; }

    // Set-up, never while a block runs (may throw std::bad_alloc). A rate
    // outside those hosts run at, or no block, is refused and changes nothing.
    bool configure(double rate, int32_t maxBlock);
    // Answers whether the engine runs; blocks before that write silence.
    bool activate();
    void deactivate();
    bool active() const { return on; }
    // The effect's look-ahead, and the true-peak stage's while it is on, or
    // will be on once a restored state applies: hosts ask right after restoring.
    int32_t latency() const;
    // Whether the latency changed since the last ask, by a switch of the
    // true-peak stage: hosts must hear of it.
    bool latencyChanged() { return latencyMoved.exchange(false); }
    int32_t maxBlock() const { return longestPiece; }

    // A parameter by its descriptor's ID, from the block's changes or between
    // blocks. Values outside 0..1 are the nearer end; others are not values.
    void change(uint32_t id, double value) override;
    double value(uint32_t id) const;
    bool bypassed() const { return bypassOn.load(); }

    // A program change of the host's, between blocks or from its changes.
    void selectProgram(int32_t program);

    // A state decoded away from the audio thread: applied at once while no
    // blocks run, else whole at the start of the next block; the names at once.
    void restore(const RestoredState& restored);
    // What a save now holds, a restored state not yet applied included.
    EffectState state() const;

    // One block. Without usable buffers (null) it only takes its changes.
    void process(const BlockBuffers* buffers, int32_t frames, BlockChanges* changes);
    // Zeros in the outputs where a block cannot run.
    static void silence(const BlockBuffers& buffers, int32_t frames);

    // The last block's own changes, in frame order.
    int32_t reportCount() const { return reports; }
    const EffectReport& report(int32_t i) const { return reported[i]; }
    // The meter values the last block made due, if any. A format whose
    // editor shows this very effect turns the feed off: the editor takes the
    // values itself.
    bool metersDue(MeterValues& shown) const;
    void feedMeters(bool on) { feeding = on; }
    MeterValues meters() const { return feed.latest(model); }

private:
    static constexpr int32_t kMostReports = 8;
    struct Posted {
        RestoredState restored;
        uint32_t sequence;
    };

    void applyPending();
    void applyDelivery(const RestoredState& restored);
    void runPiece(const BlockBuffers& buffers, int32_t offset, int32_t frames);
    void planRouting();

    LimiterModel model;
    Delivery delivery;
    BypassFade fade;
    MeterFeed feed;
    StateMailbox<Posted> pending;
    SharedValue<uint32_t> posted{0};   // states restored while blocks ran
    SharedValue<uint32_t> applied{0};  // of those, the ones applied
    RestoredState lastPosted{};
    SharedValue<bool> postedTruePeak{false};  // the switch of the last state posted
    SharedValue<bool> bypassOn{false};
    std::atomic<bool> latencyMoved{false};
    bool on = false;
    bool runs = false;
    int32_t longestPiece = 1;
    int32_t untouched = -1;  // the output the effect leaves alone now, else -1
    bool automatic = true;
    int32_t reports = 0;
    EffectReport reported[kMostReports]{};
    bool metersReady = false;
    bool feeding = true;
    MeterValues metersShown;
};

}  // namespace formats
