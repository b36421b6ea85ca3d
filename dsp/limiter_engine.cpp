// The block driver of the limiter engine (Part 3.1): reset, pieces, input and
// output stages, and the generic path that runs the gain stages (Part 3.4) and
// the stereo link (Part 3.2) step by step as the text writes them. The vector
// path (limiter_engine_vector.cpp) computes the same values for the common case.
#include "dsp/limiter_engine.h"

#include "dsp/vector_pipeline.h"

#include <cstddef>
#include <cstring>
#include <new>

namespace {

using quillo::flushTiny;
using quillo::minimumOf;

constexpr int32_t kRingMargin = 2048;
constexpr int32_t kSpare = 10;
constexpr int32_t kLargestBlock = 1 << 26;

int32_t truncated(float value) {
    if (!(value > -2147483520.0f && value < 2147483520.0f)) return 0;
    return static_cast<int32_t>(value);
}

bool positiveFinite(float v) { return v > 0.0f && v <= 3.4028235e38f; }

float clampOutput(float y) {
    y = flushTiny(y);
    if (y > 1.0f) y = 1.0f;
    if (y < -1.0f) y = -1.0f;
    return y;
}

}  // namespace

LimiterEngine::LimiterEngine() {
    for (auto& link : links) quillo::resetStereoLink(link, 32.0f);
    for (auto& entry : softHistory) entry[0] = entry[1] = 1.0f;
}

LimiterEngine::~LimiterEngine() { freeRings(); }

void LimiterEngine::freeRings() {
    delete[] memory;
    memory = nullptr;
    inputRing = softGain = delayedSignal = brickGain = pieceOut = nullptr;
    scratch = nullptr;
}

bool LimiterEngine::fitsHistories(const EngineTiming& t) {
    if (!positiveFinite(t.rateInverse) || !positiveFinite(t.segmentLength) ||
        !positiveFinite(t.rampLength) || !positiveFinite(t.windowLength)) {
        return false;
    }
    return truncated(t.windowLength) + 10 <= quillo::kHistorySize;
}

LimiterEngine::Lengths LimiterEngine::lengthsOf(const EngineTiming& t) {
    Lengths len;
    len.timing = t;
    len.segment = truncated(t.segmentLength);
    len.ramp = truncated(t.rampLength);
    len.window = truncated(t.windowLength);
    return len;
}

// The text reads the process-wide timing at every block, so a rate change by
// another instance acts at once. Timing that would not fit the histories (or
// is not usable at all) is not followed: the block runs with the timing of the
// last reset, so no index ever leaves the histories or the rings.
LimiterEngine::Lengths LimiterEngine::blockLengths(bool* sameAsReset) const {
    const EngineTiming now = engineTiming();
    const EngineTiming& then = resetLengths.timing;
    *sameAsReset = now.rateRatio == then.rateRatio && now.rateInverse == then.rateInverse &&
                   now.segmentLength == then.segmentLength && now.rampLength == then.rampLength &&
                   now.windowLength == then.windowLength;
    if (*sameAsReset || !fitsHistories(now)) return resetLengths;
    return lengthsOf(now);
}

bool LimiterEngine::reset(int32_t newBlockSize) {
    isReady = false;
    const EngineTiming timing = engineTiming();
    if (newBlockSize < 1 || newBlockSize > kLargestBlock || !fitsHistories(timing)) return false;

    const int32_t newLength = newBlockSize + kRingMargin;
    const std::size_t ringFloats = 2 * static_cast<std::size_t>(newLength + kSpare);
    freeRings();
    // Four interleaved rings (left and right side by side) and the piece store,
    // each 64-byte aligned.
    const std::size_t stride = (ringFloats + 15) & ~static_cast<std::size_t>(15);
    const std::size_t outFloats = (2 * static_cast<std::size_t>(newBlockSize) + 15) & ~static_cast<std::size_t>(15);
    const std::size_t scratchFloats = sizeof(quillo::PipelineScratch) / sizeof(float);
    memory = new (std::nothrow) float[4 * stride + outFloats + scratchFloats + 16];
    if (memory == nullptr) return false;
    float* base = memory;
    while ((reinterpret_cast<std::uintptr_t>(base) & 63) != 0) ++base;
    inputRing = base;
    softGain = base + stride;
    delayedSignal = base + 2 * stride;
    brickGain = base + 3 * stride;
    pieceOut = base + 4 * stride;
    scratch = reinterpret_cast<quillo::PipelineScratch*>(base + 4 * stride + outFloats);
    for (std::size_t i = 0; i < ringFloats; ++i) {
        inputRing[i] = 0.0f;
        delayedSignal[i] = 0.0f;
        softGain[i] = 1.0f;
        brickGain[i] = 1.0f;
    }

    length = newLength;
    blockSize = newBlockSize;
    resetLengths = lengthsOf(timing);
    const float windowLength = timing.windowLength;

    for (auto& link : links) quillo::resetStereoLink(link, windowLength);
    readPos = 0;
    delay = latencyOf(timing);
    delayWritePos = delay;

    // Gain stages (Part 3.4 step 3).
    for (int32_t c = 0; c < 2; ++c) {
        softState[c] = 1.0f;
        softSum[c] = windowLength;
        smoother[c] = quillo::SmootherState();
    }
    for (auto& entry : softHistory) entry[0] = entry[1] = 1.0f;
    softHistoryPos = 0;
    linesHoldHistories = false;
    segment = quillo::SegmentState();

    resetMeters();
    isReady = true;
    return true;
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

#if defined(__i386__) && defined(_WIN32)
// 32-bit Windows hosts may call in with a stack aligned to 4 bytes only; the
// vector code below needs 16.
__attribute__((force_align_arg_pointer))
#endif
void LimiterEngine::process(float** inputs, float** outputs, int32_t frames, const BlockParameters& p,
                            const Routing& r, bool accumulate) {
    if (!isReady || frames <= 0 || inputs == nullptr || outputs == nullptr) return;
    bool same = false;
    const Lengths len = blockLengths(&same);
    // The vector path needs the timing of the last reset, at least two entries
    // of history and one frame per segment (rates from about 6.3 kHz), and a
    // segment counter below S (a block run with another rate may leave it above).
    const bool generic = forceGeneric || !same || len.window < 2 || len.segment < 1 || segment.counter >= len.segment;
    // A block longer than the reset's block size runs as the host would have cut
    // it: pieces of at most that size, one after the other.
    for (int32_t offset = 0; offset < frames;) {
        const int32_t n = frames - offset < blockSize ? frames - offset : blockSize;
        runPiece(inputs, outputs, offset, n, p, r, accumulate, len, generic);
        offset += n;
    }
}

void LimiterEngine::runPiece(float** inputs, float** outputs, int32_t offset, int32_t n,
                             const BlockParameters& p, const Routing& r, bool accumulate,
                             const Lengths& len, bool generic) {
    // The whole piece's input enters the ring before any output is written, so
    // buffers shared between inputs and outputs give what the text gives.
    inputStage(inputs, offset, n, p.inputGain, r);

    float blockMin[2] = {1.0f, 1.0f};
    float needle[2] = {1.0f, 1.0f};
    if (generic) {
        linesToHistories();
        genericFrames(0, n, p, r, len, blockMin, needle);
        writeOutputs(outputs, offset, n, r, accumulate);
    } else {
        vectorPiece(outputs, offset, n, p, r, accumulate, blockMin, needle);
    }

    // Knee lamp from the soft stage's block minima (Part 3.3 step 2).
    float lamp = kneeLamp;
    if (r.leftActive == 1) lamp = minimumOf(lamp, blockMin[0]);
    if (r.rightActive == 1) lamp = minimumOf(lamp, blockMin[1]);
    kneeLamp = lamp;
    // Needles: the lowest gain that reached each written output (Part 3.3 step 1).
    if (r.writeLeft) meterLeft = minimumOf(meterLeft, needle[0]);
    if (r.writeRight) meterRight = minimumOf(meterRight, needle[1]);
}

// ---- Generic path: the text step by step -----------------------------------------

// The gain stages and the output stage (Part 3.1 step 5.4-5.8 and 9.1-9.2) for
// count frames from readPos; the results go to the piece store from entry first.
void LimiterEngine::genericFrames(int32_t first, int32_t count, const BlockParameters& p, const Routing& r,
                                  const Lengths& len, float* blockMin, float* needle) {
    const quillo::SoftCoefficients c = quillo::softCoefficients(p.knee, p.iq, len.timing.rateInverse);
    const quillo::LinkLengths linkLengths{len.window, len.timing.windowLength};
    const int32_t start = readPos;
    runSoftStage(start, c, count, len, blockMin);
    if (p.link) quillo::linkChannelGains(links[0], softGain, softGain + 1, 2, start, count, length, linkLengths);
    runBrickwallStage(start, delayWritePos, count, len);
    if (p.link) quillo::linkChannelGains(links[1], brickGain, brickGain + 1, 2, start, count, length, linkLengths);

    // Output stage. A channel that is the copy source is computed even when its
    // own output is not written.
    const bool compute[2] = {r.writeLeft || r.copyMode == 1, r.writeRight || r.copyMode == 2};
    const bool write[2] = {r.writeLeft, r.writeRight};
    float* y = pieceOut + 2 * first;
    for (int32_t k = 0; k < count; ++k) {
        const int32_t P = readPos;
        for (int32_t ch = 0; ch < 2; ++ch) {
            y[2 * k + ch] = 0.0f;
            if (!compute[ch]) continue;
            const float g = brickGain[2 * P + ch];
            if (write[ch]) needle[ch] = minimumOf(needle[ch], g);
            y[2 * k + ch] = clampOutput(delayedSignal[2 * P + ch] * g);
            brickGain[2 * P + ch] = 1.0f;
        }
        if (++readPos >= length) readPos = 0;
        if (++delayWritePos >= length) delayWritePos = 0;
    }
}

// Part 3.4 step 1.
void LimiterEngine::runSoftStage(int32_t start, const quillo::SoftCoefficients& c, int32_t n,
                                 const Lengths& len, float* blockMin) {
    const float windowLength = len.timing.windowLength;
    int32_t P = start;
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t ch = 0; ch < 2; ++ch) softState[ch] = quillo::softFollowerStep(c, softState[ch], inputRing[2 * P + ch]);
        if (++softHistoryPos >= len.window) softHistoryPos = 0;
        for (int32_t ch = 0; ch < 2; ++ch) {
            float& sum = softSum[ch];
            float& entry = softHistory[softHistoryPos][ch];
            sum -= entry;
            entry = softState[ch];
            sum += softState[ch];
            sum = quillo::clampSum(sum, windowLength);
            const float g = sum / windowLength;
            softGain[2 * P + ch] = g;
            blockMin[ch] = minimumOf(blockMin[ch], g);
        }
        if (++P >= length) P = 0;
    }
}

// Part 3.4 step 2.
void LimiterEngine::runBrickwallStage(int32_t start, int32_t writeStart, int32_t n, const Lengths& len) {
    const int32_t S = len.segment;
    const int32_t R = len.ramp;
    int32_t P = start;
    int32_t D = writeStart;
    for (int32_t i = 0; i < n; ++i) {
        for (int32_t ch = 0; ch < 2; ++ch) {
            const float y = inputRing[2 * P + ch] * softGain[2 * P + ch];
            delayedSignal[2 * D + ch] = y;
            const float need = quillo::reciprocalAboveOne(quillo::magnitude(y));
            segment.runningMin[ch] = minimumOf(segment.runningMin[ch], need);
        }
        if (++segment.counter >= S) {
            int32_t X = D - 2 * S;
            if (X < 0) X += length;
            for (int32_t ch = 0; ch < 2; ++ch) {
                const quillo::RampValues ramp = quillo::endSegment(segment, ch, len.timing.segmentLength);
                quillo::fillRamp(brickGain + ch, 2, length, X, segment.counter, ramp);
            }
            quillo::finishSegment(segment);
        }
        int32_t Q = P + R;
        if (Q >= length) Q -= length;
        for (int32_t ch = 0; ch < 2; ++ch) {
            const float ahead = brickGain[2 * Q + ch];
            const float cur = brickGain[2 * P + ch];
            brickGain[2 * P + ch] = quillo::smootherStep(smoother[ch], ahead, cur, len.timing.rampLength);
        }
        if (++P >= length) P = 0;
        if (++D >= length) D = 0;
    }
}
