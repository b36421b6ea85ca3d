// The limiter engine: rings, soft and brickwall gain stages, stereo link and the
// meter values, for two channels. Only the standard library; the plug-in layer
// decides routing and parameters and hands them in per block.
#pragma once

#include <cstdint>

#include "dsp/engine_timing.h"
#include "dsp/gain_stages.h"
#include "dsp/limiter_constants.h"
#include "dsp/shared_value.h"
#include "dsp/stereo_link.h"

namespace quillo {
struct PipelineScratch;
struct PipelineState;
}

// What a block needs from the parameters, read once per block.
struct BlockParameters {
    float inputGain = 1.0f;  // linear gain applied to every input sample
    float knee = 0.0f;       // the Knee parameter in its natural units
    int32_t iq = 0;          // truncated Iq switch
    bool link = false;       // Stereo Link on and both channels processed
};

// Values of Routing::copyMode: whether one channel's result also goes to the
// other output.
constexpr int32_t kCopyNone = 0;
constexpr int32_t kCopyLeftToRight = 1;
constexpr int32_t kCopyRightToLeft = 2;

// Which channels are read and written this block, and which result is copied.
struct Routing {
    int32_t leftActive = 1;
    int32_t rightActive = 1;
    bool writeLeft = true;
    bool writeRight = true;
    int32_t copyMode = kCopyNone;
    bool singleChannel = false;
};

namespace quillo {

// A routing per channel: which outputs are written, which results are computed
// (a copy source also when its own output is not written, so that the copy is
// the current sample), and which channel's result each output receives.
struct ChannelRoute {
    bool written[kChannels];
    bool computed[kChannels];
    int32_t source[kChannels];
};

inline ChannelRoute channelRoute(const Routing& r) {
    const int32_t copied = r.copyMode == kCopyLeftToRight ? 0 : r.copyMode == kCopyRightToLeft ? 1 : -1;
    ChannelRoute route;
    route.written[0] = r.writeLeft;
    route.written[1] = r.writeRight;
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        route.computed[ch] = route.written[ch] || copied == ch;
        route.source[ch] = copied < 0 ? ch : copied;
    }
    return route;
}

}  // namespace quillo

class LimiterEngine {
public:
    LimiterEngine();
    ~LimiterEngine();
    LimiterEngine(const LimiterEngine&) = delete;
    LimiterEngine& operator=(const LimiterEngine&) = delete;

    // The engine's part of the plug-in's resume: takes the given timing for
    // every block until the next reset, sets the ring length to blockSize plus
    // the ring margin, (re)allocates the rings without throwing and resets the
    // rings, both link records and both gain stages. Returns false, and leaves
    // the engine not ready, when blockSize < 1, the memory cannot be had, or
    // the timing's window does not fit the histories.
    bool reset(int32_t blockSize, const EngineTiming& timing);

    // Restarts at rest, off unless asked for. With them on, the engine starts
    // over as a reset leaves it (its segment grid included) at the first sound
    // after a rest: silence long enough to empty the look-ahead, the stores and
    // the windows, with both gain stages settled where silence leaves them.
    // Silence then costs nothing and leaves everything as it is, and the same
    // sound after a rest gives the same output bits, however long the rest and
    // whatever was processed before it. A reset counts as a rest. Without them
    // the grid runs on from the reset whatever comes.
    void restartAtRest(bool on) { restarts = on; }
    bool atRest() const { return resting; }

    // One block. Blocks longer than the reset's block size are run in pieces of
    // at most that size; a not-ready engine leaves the buffers untouched. Input
    // samples that are not finite numbers, or that the input gain carries past
    // the float range, are processed as silence.
    void process(float** inputs, float** outputs, int32_t frames, const BlockParameters& p,
                 const Routing& r, bool accumulate);

    void resetMeters();   // meterLeft, meterRight and kneeLamp to 1.0
    void resetNeedles();  // meterLeft and meterRight to 1.0

    bool ready() const { return isReady; }
    int32_t latency() const { return delay; }  // the look-ahead set up by the last reset
    int32_t ringLength() const { return length; }

    // Tests only: run every block through the generic path (the reference
    // units step by step, one channel at a time) instead of the vector path.
    void useGenericPathForTesting(bool on) { forceGeneric = on; }
    // Tests only: run the vector path with SSE2 instructions even where AVX is
    // usable (both give the same bits).
    void useSse2ForTesting(bool on);
    // Whether the vector path runs with AVX instructions on this machine.
    static bool avxUsable();

    SharedValue<float> meterLeft{1.0f}, meterRight{1.0f}, kneeLamp{1.0f};

private:
    struct Lengths {
        EngineTiming timing;
        int32_t segment;  // S
        int32_t ramp;     // R
        int32_t window;   // W
    };
    // The two link records: one couples the soft gains, one the brickwall gains.
    enum LinkStage { kSoftLink, kBrickLink, kLinkStages };

    void runFrames(float** inputs, float** outputs, int32_t offset, int32_t frames, const BlockParameters& p,
                      const Routing& r, bool accumulate);
    int32_t firstSound(float** inputs, int32_t frames, float gain, const Routing& r) const;
    void silenceOutputs(float** outputs, int32_t frames, const Routing& r, bool accumulate) const;
    int32_t trailingSilence(int32_t frames) const;
    bool settled(const BlockParameters& p) const;
    void carriedStages(float* s, float* env, float* fallTarget) const;
    void restartState();
    static bool fitsHistories(const EngineTiming& t);
    static bool exactReciprocal(float v);
    static Lengths lengthsOf(const EngineTiming& t);
    bool allocateRings(int32_t newBlockSize);

    void genericPiece(float** inputs, float** outputs, int32_t offset, int32_t n, const BlockParameters& p,
                      const Routing& r, bool accumulate);
    void updateMeters(const Routing& r, const float* blockMin, const float* needle);
    void inputStage(float** inputs, int32_t offset, int32_t n, float gain, const Routing& r);
    void inputChannels(float** inputs, int32_t offset, int32_t n, float gain, const Routing& r);
    void genericFrames(float* const* results, int32_t count, const BlockParameters& p, const Routing& r,
                       const Lengths& len, float* blockMin, float* needle);
    void outputStage(float* const* results, int32_t count, const Routing& r, float* needle);
    void vectorPiece(float** inputs, float** outputs, int32_t offset, int32_t n, const BlockParameters& p,
                     const Routing& r, bool accumulate);
    void pipelineConstants(quillo::PipelineState& st, const BlockParameters& p);
    int32_t runStretch(float* const* results, int32_t done, int32_t left, bool link);
    void chooseEncoding();
    void writeOutputs(float** outputs, int32_t offset, int32_t n, const Routing& r, bool accumulate);
    void runSoftStage(int32_t start, const quillo::SoftCoefficients& c, int32_t n, const Lengths& len,
                      float* blockMin);
    void runBrickwallStage(int32_t start, int32_t writeStart, int32_t n, const Lengths& len);
    void freeRings();
    void stateToLanes();
    void stateFromLanes();

    // Rings: every position P holds channel ch at [kChannels * P + ch].
    float* memory = nullptr;
    float* inputRing = nullptr;
    float* softGain = nullptr;
    float* delayedSignal = nullptr;
    float* brickGain = nullptr;
    float* pieceOut = nullptr;  // the results of one piece, channel ch from [ch * blockSize]
    quillo::PipelineScratch* scratch = nullptr;  // the vector path's history lines and carried state
    int32_t length = 0;     // L
    int32_t blockSize = 0;  // the longest piece
    int32_t readPos = 0;
    int32_t delayWritePos = 0;
    int32_t delay = 0;
    bool isReady = false;
    bool restarts = false;
    bool resting = false;      // at rest: silence changes nothing until the first sound
    int32_t quietFrames = 0;   // frames since the gain stages last read a sound, up to restFrames
    int32_t restFrames = 0;    // the silence a rest needs
    bool forceGeneric = false;
    bool forceSse2 = false;
    bool vectorUsable = false;  // the reset's lengths suit the vector path
    // The vector path's units in the encoding chosen (AVX where usable).
    void (*pipelineRun)(quillo::PipelineState&) = nullptr;
    void (*admitRun)(const float*, const float*, float*, int32_t, float) = nullptr;
    bool lanesHoldState = false;    // the vector path's carried state and lines are current, not the members below
    bool constantsCurrent = false;  // the vector path's block constants are those of the last block
    Lengths resetLengths{};
    bool windowReciprocalExact = false;  // dividing by the reset's windowLength is a multiplication

    // Soft stage.
    float softState[quillo::kChannels] = {1.0f, 1.0f};
    float softSum[quillo::kChannels] = {0.0f, 0.0f};
    int32_t softHistoryPos = 0;
    float softHistory[quillo::kHistorySize][quillo::kChannels];  // [entry][channel]

    // Brickwall stage.
    quillo::SegmentState segment;
    quillo::SmootherState smoother[quillo::kChannels];

    quillo::StereoLinkState links[kLinkStages];
};
