// The limiter engine: rings, soft and brickwall gain stages, stereo link and the
// meter values, for two channels. Only the standard library; the plug-in layer
// decides routing and parameters and hands them in per block.
#pragma once

#include <cstdint>

#include "dsp/engine_timing.h"
#include "dsp/gain_stages.h"
#include "dsp/shared_value.h"
#include "dsp/stereo_link.h"

namespace quillo {
struct PipelineScratch;
}

// What a block needs from the parameters, read once per block.
struct BlockParameters {
    float inputGain = 1.0f;  // linear gain applied to every input sample
    float knee = 0.0f;       // natural "Knee" value 0..127
    int32_t iq = 0;          // truncated "Iq" switch
    bool link = false;       // "Stereo Link" on and both channels processed
};

// Which channels are read and written this block, and which result is copied.
struct Routing {
    int32_t leftActive = 1;
    int32_t rightActive = 1;
    bool writeLeft = true;
    bool writeRight = true;
    int32_t copyMode = 0;  // 0 none, 1 left result also right, 2 right result also left
    bool singleChannel = false;
};

class LimiterEngine {
public:
    LimiterEngine();
    ~LimiterEngine();
    LimiterEngine(const LimiterEngine&) = delete;
    LimiterEngine& operator=(const LimiterEngine&) = delete;

    // The engine reset of onResume (Part 3.1 step 4, without the plug-in's own
    // steps): takes the current process-wide timing, sets the ring length to
    // blockSize + 2048, (re)allocates the rings without throwing and resets the
    // rings, both link records and both gain stages. Returns false, and leaves the
    // engine not ready, when blockSize < 1, the memory cannot be had, or the
    // timing does not fit the 512-entry histories (W + 10 > 512).
    bool reset(int32_t blockSize);

    // One block. Blocks longer than the reset's block size are run in pieces of
    // at most that size; a not-ready engine leaves the buffers untouched.
    void process(float** inputs, float** outputs, int32_t frames, const BlockParameters& p,
                 const Routing& r, bool accumulate);

    void resetMeters();   // meterLeft, meterRight and kneeLamp to 1.0
    void resetNeedles();  // meterLeft and meterRight to 1.0

    bool ready() const { return isReady; }
    int32_t latency() const { return delay; }  // the look-ahead set up by the last reset
    int32_t ringLength() const { return length; }

    // Tests only: run every block through the generic path (the text step by
    // step, one channel at a time) instead of the vector path.
    void useGenericPathForTesting(bool on) { forceGeneric = on; }
    // Tests only: run the vector path with SSE2 instructions even where AVX is
    // usable (both give the same bits).
    void useSse2ForTesting(bool on) { forceSse2 = on; }
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

    static bool fitsHistories(const EngineTiming& t);
    static Lengths lengthsOf(const EngineTiming& t);
    Lengths blockLengths(bool* sameAsReset) const;

    void runPiece(float** inputs, float** outputs, int32_t offset, int32_t n, const BlockParameters& p,
                  const Routing& r, bool accumulate, const Lengths& len, bool generic);
    void inputStage(float** inputs, int32_t offset, int32_t n, float gain, const Routing& r);
    void genericFrames(int32_t first, int32_t count, const BlockParameters& p, const Routing& r,
                       const Lengths& len, float* blockMin, float* needle);
    void vectorPiece(float** outputs, int32_t offset, int32_t n, const BlockParameters& p,
                     const Routing& r, bool accumulate, float* blockMin, float* needle);
    void writeOutputs(float** outputs, int32_t offset, int32_t n, const Routing& r, bool accumulate);
    void runSoftStage(int32_t start, const quillo::SoftCoefficients& c, int32_t n, const Lengths& len,
                      float* blockMin);
    void runBrickwallStage(int32_t start, int32_t writeStart, int32_t n, const Lengths& len);
    void freeRings();
    void historiesToLines();
    void linesToHistories();

    // Rings: every position P holds the left value at [2P] and the right at [2P+1].
    float* memory = nullptr;
    float* inputRing = nullptr;
    float* softGain = nullptr;
    float* delayedSignal = nullptr;
    float* brickGain = nullptr;
    float* pieceOut = nullptr;  // the results of one piece, [f][2]
    quillo::PipelineScratch* scratch = nullptr;  // the vector path's stage-to-stage values
    int32_t length = 0;     // L
    int32_t blockSize = 0;  // the longest piece
    int32_t readPos = 0;
    int32_t delayWritePos = 0;
    int32_t delay = 0;
    bool isReady = false;
    bool forceGeneric = false;
    bool forceSse2 = false;
    bool linesHoldHistories = false;  // the vector path's lines, not the circles, are current
    Lengths resetLengths{};

    // Soft stage (Part 3.4).
    float softState[2] = {1.0f, 1.0f};
    float softSum[2] = {0.0f, 0.0f};
    int32_t softHistoryPos = 0;
    float softHistory[quillo::kHistorySize][2];  // [i][channel]

    // Brickwall stage.
    quillo::SegmentState segment;
    quillo::SmootherState smoother[2];

    // Stereo link: [0] soft gains, [1] brickwall gains.
    quillo::StereoLinkState links[2];
};
