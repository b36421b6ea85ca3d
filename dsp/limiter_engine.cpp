// The block driver of the limiter engine: reset, pieces and meters, and the
// generic path, which runs the gain stages, the stereo link and the output
// stage position by position, one channel at a time, from the reference units
// in gain_stages.h. The vector path (limiter_engine_vector.cpp) computes the
// same values for the common case.
#include "dsp/limiter_engine.h"

#include "dsp/vector_pipeline.h"

#include <cstddef>
#include <cstring>
#include <new>

namespace {

using quillo::flushTiny;
using quillo::kChannels;
using quillo::minimumOf;

// The four rings reset allocates, one after the other in the engine's memory.
constexpr std::size_t kRingCount = 4;
// Each ring and store starts at its own place within a 4 KiB page: streams
// read and written at nearby ring positions a multiple of 4 KiB apart would
// make the processor take loads from one as waiting for stores to the other.
// The rings lie a quarter page apart, far more than the look-ahead spans.
constexpr std::size_t kPageFloats = 4096 / sizeof(float);
constexpr std::size_t kStoreCount = kRingCount + 2;  // the rings, the piece store, the scratch
constexpr std::size_t kPageEighths[kStoreCount] = {0, 2, 4, 6, 1, 5};  // in store order
// The longest block reset accepts: keeps every ring position and float count
// far inside int32_t.
constexpr int32_t kLargestBlock = 1 << 26;

// The first index at or after at that lies at the given place of a page.
std::size_t placed(std::size_t at, std::size_t place) {
    const std::size_t within = at % kPageFloats;
    return at - within + place + (within > place ? kPageFloats : 0);
}

bool positiveFinite(float v) { return v > 0.0f && v <= quillo::kLargestFinite; }

// The output's final guard: no sample leaves beyond 1.0 in magnitude, and none
// small enough to become a denormal number downstream.
float clampOutput(float y) {
    y = flushTiny(y);
    if (y > 1.0f) y = 1.0f;
    if (y < -1.0f) y = -1.0f;
    return y;
}

}  // namespace

LimiterEngine::LimiterEngine() {
    for (auto& link : links) quillo::resetStereoLink(link, quillo::kWindowFactor);
    for (auto& entry : softHistory) {
        for (float& value : entry) value = 1.0f;
    }
}

LimiterEngine::~LimiterEngine() { freeRings(); }

void LimiterEngine::freeRings() {
    delete[] memory;
    memory = nullptr;
    inputRing = softGain = delayedSignal = brickGain = pieceOut = nullptr;
    scratch = nullptr;
}

// The window must leave the spare entries of the histories free. The test is
// made on the float length, so that no length too large for an int32_t can
// pass it by wrapping. A segment must hold at least one frame: a shorter one
// (rates below 6.3 kHz) writes its ramp behind the read position, and gains
// far outside [0, 1] reach the output.
bool LimiterEngine::fitsHistories(const EngineTiming& t) {
    if (!positiveFinite(t.rateInverse) || !positiveFinite(t.segmentLength) ||
        !positiveFinite(t.rampLength) || !positiveFinite(t.windowLength)) {
        return false;
    }
    return t.segmentLength >= 1.0f &&
           t.windowLength < static_cast<float>(quillo::kHistorySize - quillo::kHistorySpare + 1);
}

LimiterEngine::Lengths LimiterEngine::lengthsOf(const EngineTiming& t) {
    Lengths len;
    len.timing = t;
    len.segment = truncateToInt(t.segmentLength);
    len.ramp = truncateToInt(t.rampLength);
    len.window = truncateToInt(t.windowLength);
    return len;
}

// The four interleaved rings, the piece store and the vector path's scratch in
// one allocation, each at its place in a page (see kPageEighths); the rings start
// silent (signals 0.0) and without reduction (gains 1.0), spare floats included.
// The layout depends on the block size alone: a reset at the same size keeps
// the memory, as hosts may resume on their audio thread.
bool LimiterEngine::allocateRings(int32_t newBlockSize) {
    if (memory != nullptr && newBlockSize == blockSize) return true;
    const int32_t newLength = newBlockSize + quillo::kRingMargin;
    const std::size_t ringFloats = kChannels * static_cast<std::size_t>(newLength + quillo::kSpareFloats);
    const std::size_t outFloats = kChannels * static_cast<std::size_t>(newBlockSize);
    const std::size_t scratchFloats = sizeof(quillo::PipelineScratch) / sizeof(float);
    const std::size_t sizes[kStoreCount] = {ringFloats, ringFloats, ringFloats, ringFloats, outFloats, scratchFloats};
    std::size_t starts[kStoreCount];
    std::size_t end = 0;
    for (std::size_t i = 0; i < kStoreCount; ++i) {
        starts[i] = placed(end, kPageEighths[i] * kPageFloats / 8);
        end = starts[i] + sizes[i];
    }
    freeRings();
    memory = new (std::nothrow) float[end + kPageFloats];
    if (memory == nullptr) return false;
    float* base = memory;
    while ((reinterpret_cast<std::uintptr_t>(base) % (kPageFloats * sizeof(float))) != 0) ++base;
    float** rings[kRingCount] = {&inputRing, &softGain, &delayedSignal, &brickGain};
    for (std::size_t i = 0; i < kRingCount; ++i) *rings[i] = base + starts[i];
    pieceOut = base + starts[kRingCount];
    scratch = reinterpret_cast<quillo::PipelineScratch*>(base + starts[kRingCount + 1]);
    length = newLength;
    blockSize = newBlockSize;
    return true;
}

bool LimiterEngine::reset(int32_t newBlockSize, const EngineTiming& timing) {
    isReady = false;
    if (newBlockSize < 1 || newBlockSize > kLargestBlock || !fitsHistories(timing)) return false;
    if (!allocateRings(newBlockSize)) return false;

    resetLengths = lengthsOf(timing);
    windowReciprocalExact = exactReciprocal(timing.windowLength);
    // The vector path needs at least two entries of history and one frame
    // per segment.
    vectorUsable = resetLengths.window >= quillo::kPairFrames && resetLengths.segment >= 1;
    chooseEncoding();
    delay = latencyOf(timing);
    // Long enough for the silence to pass the look-ahead twice over, both
    // windows and every entry of the segment store.
    restFrames = 2 * delay + resetLengths.window + (quillo::kSegmentStore + 1) * resetLengths.segment;
    constantsCurrent = false;
    restartState();
    resetMeters();
    isReady = true;
    return true;
}

// The rings start silent (signals 0.0) and without reduction (gains 1.0),
// spare floats included; both gain stages start without reduction, their
// histories full of 1.0.
void LimiterEngine::restartState() {
    const std::size_t ringFloats = kChannels * static_cast<std::size_t>(length + quillo::kSpareFloats);
    for (std::size_t i = 0; i < ringFloats; ++i) {
        inputRing[i] = 0.0f;
        delayedSignal[i] = 0.0f;
        softGain[i] = 1.0f;
        brickGain[i] = 1.0f;
    }
    const float windowLength = resetLengths.timing.windowLength;
    for (auto& link : links) quillo::resetStereoLink(link, windowLength);
    readPos = 0;
    delayWritePos = delay;
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        softState[ch] = 1.0f;
        softSum[ch] = windowLength;
        smoother[ch] = quillo::SmootherState();
    }
    for (auto& entry : softHistory) {
        for (float& value : entry) value = 1.0f;
    }
    softHistoryPos = 0;
    lanesHoldState = false;
    segment = quillo::SegmentState();
    resting = restarts;
    quietFrames = restFrames;
}

void LimiterEngine::resetMeters() {
    meterLeft = 1.0f;
    meterRight = 1.0f;
    kneeLamp = 1.0f;
}

void LimiterEngine::resetNeedles() {
    meterLeft = 1.0f;
    meterRight = 1.0f;
}

// ---- Generic path ----------------------------------------------------------------

// One piece position by position. The whole piece's input enters the ring
// before any output is written, so buffers shared between inputs and outputs
// give the same result as separate ones.
void LimiterEngine::genericPiece(float** inputs, float** outputs, int32_t offset, int32_t n,
                                 const BlockParameters& p, const Routing& r, bool accumulate) {
    inputStage(inputs, offset, n, p.inputGain, r);
    stateFromLanes();
    float blockMin[kChannels] = {1.0f, 1.0f};
    float needle[kChannels] = {1.0f, 1.0f};
    float* const results[kChannels] = {pieceOut, pieceOut + blockSize};
    genericFrames(results, n, p, r, resetLengths, blockMin, needle);
    writeOutputs(outputs, offset, n, r, accumulate);
    updateMeters(r, blockMin, needle);
}

// The gain stages, the stereo link and the output stage for count frames from
// readPos; each channel's results go to its results buffer.
void LimiterEngine::genericFrames(float* const* results, int32_t count, const BlockParameters& p, const Routing& r,
                                  const Lengths& len, float* blockMin, float* needle) {
    const quillo::SoftCoefficients c = quillo::softCoefficients(p.knee, p.iq, len.timing.rateInverse);
    const quillo::LinkLengths linkLengths{len.window, len.timing.windowLength};
    const int32_t start = readPos;
    runSoftStage(start, c, count, len, blockMin);
    if (p.link) quillo::linkChannelGains(links[kSoftLink], softGain, start, count, length, linkLengths);
    runBrickwallStage(start, delayWritePos, count, len);
    if (p.link) quillo::linkChannelGains(links[kBrickLink], brickGain, start, count, length, linkLengths);
    outputStage(results, count, r, needle);
}

// Delayed sample times brickwall gain, guarded, for count frames from readPos.
// A channel's result is 0.0 when it is neither written nor copied.
void LimiterEngine::outputStage(float* const* results, int32_t count, const Routing& r, float* needle) {
    const quillo::ChannelRoute route = quillo::channelRoute(r);
    for (int32_t k = 0; k < count; ++k) {
        const int32_t at = kChannels * readPos;
        for (int32_t ch = 0; ch < kChannels; ++ch) {
            float& result = results[ch][k];
            result = 0.0f;
            if (!route.computed[ch]) continue;
            const float g = brickGain[at + ch];
            if (route.written[ch]) needle[ch] = minimumOf(needle[ch], g);
            result = clampOutput(delayedSignal[at + ch] * g);
            // The position starts the next lap of the ring without reduction.
            brickGain[at + ch] = 1.0f;
        }
        if (++readPos >= length) readPos = 0;
        if (++delayWritePos >= length) delayWritePos = 0;
    }
}

// The soft stage: the follower per channel, then its moving average over the
// last W states as a running sum, giving the soft gain of each position.
void LimiterEngine::runSoftStage(int32_t start, const quillo::SoftCoefficients& c, int32_t n,
                                 const Lengths& len, float* blockMin) {
    const float windowLength = len.timing.windowLength;
    int32_t P = start;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t at = kChannels * P;
        for (int32_t ch = 0; ch < kChannels; ++ch) {
            softState[ch] = quillo::softFollowerStep(c, softState[ch], inputRing[at + ch]);
        }
        if (++softHistoryPos >= len.window) softHistoryPos = 0;
        for (int32_t ch = 0; ch < kChannels; ++ch) {
            float& sum = softSum[ch];
            float& entry = softHistory[softHistoryPos][ch];
            sum -= entry;
            entry = softState[ch];
            sum += softState[ch];
            sum = quillo::clampSum(sum, windowLength);
            const float g = sum / windowLength;
            softGain[at + ch] = g;
            blockMin[ch] = minimumOf(blockMin[ch], g);
        }
        if (++P >= length) P = 0;
    }
}

// The brickwall stage: the soft-gained signal goes into the delay line and its
// needs into the segment minima; each segment end writes a ramp of the gain
// curve behind the write position, and the smoother runs over the curve at the
// read position.
void LimiterEngine::runBrickwallStage(int32_t start, int32_t writeStart, int32_t n, const Lengths& len) {
    const int32_t S = len.segment;
    const int32_t R = len.ramp;
    int32_t P = start;
    int32_t D = writeStart;
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t ch = 0; ch < kChannels; ++ch) {
            const float y = inputRing[kChannels * P + ch] * softGain[kChannels * P + ch];
            delayedSignal[kChannels * D + ch] = y;
            const float need = quillo::reciprocalAboveOne(quillo::magnitude(y));
            segment.runningMin[ch] = minimumOf(segment.runningMin[ch], need);
        }
        if (++segment.counter >= S) {
            int32_t X = D - quillo::kRampSegmentsBack * S;
            if (X < 0) X += length;
            for (int32_t ch = 0; ch < kChannels; ++ch) {
                const quillo::RampValues ramp = quillo::endSegment(segment, ch, len.timing.segmentLength);
                quillo::fillRamp(brickGain + ch, kChannels, length, X, segment.counter, ramp);
            }
            quillo::finishSegment(segment);
        }
        int32_t Q = P + R;
        if (Q >= length) Q -= length;
        for (int32_t ch = 0; ch < kChannels; ++ch) {
            const float ahead = brickGain[kChannels * Q + ch];
            const float cur = brickGain[kChannels * P + ch];
            brickGain[kChannels * P + ch] = quillo::smootherStep(smoother[ch], ahead, cur, len.timing.rampLength);
        }
        if (++P >= length) P = 0;
        if (++D >= length) D = 0;
    }
}
