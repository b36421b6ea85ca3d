// The vector path of the limiter engine: the same values as the generic path,
// bit for bit (see vector_pipeline.inc for how), plus the input and output
// stages that both paths share.
#include <emmintrin.h>

#include <cstring>

#include "dsp/limiter_engine.h"
#include "dsp/vector_pipeline.h"

namespace {

using V = __m128;

inline V load2(const float* p) { return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))); }
inline void store2(float* p, V v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(v)); }
inline V pair(float left, float right) { return _mm_setr_ps(left, right, 0.0f, 0.0f); }
inline float lane0(V v) { return _mm_cvtss_f32(v); }
inline float lane1(V v) { return _mm_cvtss_f32(_mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1))); }
inline V high(V v) { return _mm_movehl_ps(v, v); }
inline V mask2(bool left, bool right) {
    return _mm_castsi128_ps(_mm_setr_epi32(left ? -1 : 0, right ? -1 : 0, left ? -1 : 0, right ? -1 : 0));
}

// AVX where the processor has it and the system saves its registers.
bool detectAvx() {
#if defined(__GNUC__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
#else
    return false;
#endif
}

const bool kAvx = detectAvx();

// A normal float whose significand is exactly 1: its reciprocal is exact.
bool powerOfTwo(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const uint32_t exponent = (bits >> 23) & 0xFFu;
    // The reciprocal must be normal too: exponents 2 .. 252.
    return (bits & 0x807FFFFFu) == 0 && exponent >= 2 && exponent <= 252;
}

// A circular history (last written entry at pos, length W) laid out in a line,
// oldest entry first, for a pipeline run; and back after n frames.
void toLine(float (*line)[2], const float (*circle)[2], int32_t pos, int32_t W) {
    int32_t first = pos + 1;
    if (first >= W) first = 0;
    const int32_t tail = W - first;
    std::memcpy(line, circle + first, sizeof(float[2]) * static_cast<size_t>(tail));
    std::memcpy(line + tail, circle, sizeof(float[2]) * static_cast<size_t>(first));
}

void fromLine(float (*circle)[2], const float (*line)[2], int32_t pos, int32_t W) {
    int32_t first = pos + 1;
    if (first >= W) first = 0;
    const int32_t tail = W - first;
    std::memcpy(circle + first, line, sizeof(float[2]) * static_cast<size_t>(tail));
    std::memcpy(circle, line + tail, sizeof(float[2]) * static_cast<size_t>(first));
}

// After a run of n frames the history is the last W entries of the line.
int32_t advanceLine(float (*line)[2], int32_t pos, int32_t W, int32_t n) {
    std::memmove(line, line + n, sizeof(float[2]) * static_cast<size_t>(W));
    return static_cast<int32_t>((static_cast<int64_t>(pos) + n) % W);
}

}  // namespace

bool LimiterEngine::avxUsable() { return kAvx; }

// The vector path keeps the three running-sum histories laid out in lines
// between blocks; the generic path works on the text's circular histories.
void LimiterEngine::historiesToLines() {
    if (linesHoldHistories) return;
    const int32_t W = resetLengths.window;
    // A position left at W or beyond by a block that ran with a longer window
    // (another instance's rate) goes to entry 0 next, as W - 1 does.
    if (softHistoryPos >= W) softHistoryPos = W - 1;
    for (auto& link : links) {
        if (link.position >= W) link.position = W - 1;
    }
    toLine(scratch->softLine, softHistory, softHistoryPos, W);
    toLine(scratch->softLinkLine, links[0].history, links[0].position, W);
    toLine(scratch->brickLinkLine, links[1].history, links[1].position, W);
    linesHoldHistories = true;
}

void LimiterEngine::linesToHistories() {
    if (!linesHoldHistories) return;
    const int32_t W = resetLengths.window;
    fromLine(softHistory, scratch->softLine, softHistoryPos, W);
    fromLine(links[0].history, scratch->softLinkLine, links[0].position, W);
    fromLine(links[1].history, scratch->brickLinkLine, links[1].position, W);
    linesHoldHistories = false;
}

void LimiterEngine::vectorPiece(float** outputs, int32_t offset, int32_t n, const BlockParameters& p,
                                const Routing& r, bool accumulate, float* blockMin, float* needle) {
    const Lengths& len = resetLengths;
    const quillo::SoftCoefficients c = quillo::softCoefficients(p.knee, p.iq, len.timing.rateInverse);
    const bool computeLeft = r.writeLeft || r.copyMode == 1;
    const bool computeRight = r.writeRight || r.copyMode == 2;

    quillo::PipelineState st;
    st.attack = _mm_set1_ps(c.attack);
    st.fixedRel = _mm_set1_ps(quillo::softReleaseRate(c, c.kc));
    st.k = _mm_set1_ps(c.k);
    st.kc = _mm_set1_ps(c.kc);
    st.kcTail = _mm_set1_ps(c.kcTail);
    st.release = _mm_set1_ps(c.release);
    st.releaseFloor = _mm_set1_ps(c.releaseFloor);
    st.windowLength = _mm_set1_ps(len.timing.windowLength);
    st.windowPowerOfTwo = powerOfTwo(len.timing.windowLength);
    st.windowReciprocal = _mm_set1_ps(1.0f / len.timing.windowLength);
    st.rampLength = _mm_set1_ps(len.timing.rampLength);
    st.computeMask = mask2(computeLeft, computeRight);
    st.segmentLength = len.timing.segmentLength;
    st.W = len.window;
    st.S = len.segment;
    st.L = length;
    st.iq = c.iq == 1;
    st.link = p.link;
    st.brickRing = brickGain;
    st.scratch = scratch;
    st.softLine = &scratch->softLine[0][0];
    st.segment = &segment;
    st.minSoft = _mm_set1_ps(1.0f);
    st.needle = _mm_set1_ps(1.0f);
    void (*run)(quillo::PipelineState&) = kAvx && !forceSse2 ? quillo::runPipelineAvx : quillo::runPipelineSse2;

    float lamp[2] = {blockMin[0], blockMin[1]};
    float lowest[2] = {needle[0], needle[1]};

    // Stretches in which no ring position wraps, of at most kPipelinePairs
    // pairs; an odd last frame of a stretch goes through the generic path (the
    // state is the same).
    for (int32_t done = 0; done < n;) {
        int32_t stretch = n - done;
        const int32_t P = readPos;
        const int32_t Q = P + len.ramp < length ? P + len.ramp : P + len.ramp - length;
        if (length - P < stretch) stretch = length - P;
        if (length - delayWritePos < stretch) stretch = length - delayWritePos;
        if (length - Q < stretch) stretch = length - Q;
        if (stretch > 2 * quillo::kPipelinePairs) stretch = 2 * quillo::kPipelinePairs;
        const int32_t pairs = stretch / 2;
        if (pairs > 0) {
            st.pairs = pairs;
            st.D0 = delayWritePos;
            st.in = inputRing + 2 * P;
            st.delayedWrite = delayedSignal + 2 * delayWritePos;
            st.delayedRead = delayedSignal + 2 * P;
            st.brickHere = brickGain + 2 * P;
            st.brickAhead = brickGain + 2 * Q;
            st.out = pieceOut + 2 * done;

            const int32_t W = len.window;
            historiesToLines();
            st.s = load2(softState);
            st.softSum = load2(softSum);
            st.softLink = quillo::LinkLanes{pair(links[0].sumLeft, links[0].sumRight), &scratch->softLinkLine[0][0]};
            st.brickLink = quillo::LinkLanes{pair(links[1].sumLeft, links[1].sumRight), &scratch->brickLinkLine[0][0]};
            st.run = load2(segment.runningMin);
            st.counter = segment.counter;
            st.env = pair(smoother[0].env, smoother[1].env);
            st.target = pair(smoother[0].target, smoother[1].target);
            st.slope = pair(smoother[0].slope, smoother[1].slope);
            st.falling = mask2(smoother[0].falling, smoother[1].falling);

            run(st);

            store2(softState, st.s);
            store2(softSum, st.softSum);
            softHistoryPos = advanceLine(scratch->softLine, softHistoryPos, W, 2 * pairs);
            if (p.link) {
                links[0].sumLeft = lane0(st.softLink.sum);
                links[0].sumRight = lane1(st.softLink.sum);
                links[0].position = advanceLine(scratch->softLinkLine, links[0].position, W, 2 * pairs);
                links[1].sumLeft = lane0(st.brickLink.sum);
                links[1].sumRight = lane1(st.brickLink.sum);
                links[1].position = advanceLine(scratch->brickLinkLine, links[1].position, W, 2 * pairs);
            }
            store2(segment.runningMin, st.run);
            segment.counter = st.counter;
            smoother[0].env = lane0(st.env);
            smoother[1].env = lane1(st.env);
            smoother[0].target = lane0(st.target);
            smoother[1].target = lane1(st.target);
            smoother[0].slope = lane0(st.slope);
            smoother[1].slope = lane1(st.slope);
            const int fallingBits = _mm_movemask_ps(st.falling);
            smoother[0].falling = (fallingBits & 1) != 0;
            smoother[1].falling = (fallingBits & 2) != 0;
            readPos += 2 * pairs;
            if (readPos >= length) readPos -= length;
            delayWritePos += 2 * pairs;
            if (delayWritePos >= length) delayWritePos -= length;
        }
        if ((stretch & 1) != 0) {
            // One frame the text's way, its result into the piece store.
            linesToHistories();
            genericFrames(done + 2 * pairs, 1, p, r, len, lamp, lowest);
        }
        done += stretch;
    }

    // Block minima over both frames of each pair (order does not matter for a minimum).
    const V soft = _mm_min_ps(st.minSoft, high(st.minSoft));
    const V low2 = _mm_min_ps(st.needle, high(st.needle));
    blockMin[0] = quillo::minimumOf(lamp[0], lane0(soft));
    blockMin[1] = quillo::minimumOf(lamp[1], lane1(soft));
    needle[0] = quillo::minimumOf(lowest[0], lane0(low2));
    needle[1] = quillo::minimumOf(lowest[1], lane1(low2));

    writeOutputs(outputs, offset, n, r, accumulate);
}

// Input stage (Part 3.1 step 6) for n positions from readPos: both channels four
// frames at a time when both are read.
void LimiterEngine::inputStage(float** inputs, int32_t offset, int32_t n, float gain, const Routing& r) {
    const bool active[2] = {r.leftActive != 0, r.rightActive != 0};
    const V g = _mm_set1_ps(gain);
    const V tiny = _mm_set1_ps(kTinyThreshold);
    const V sign = _mm_set1_ps(-0.0f);
    const V zero = _mm_setzero_ps();
    auto flush = [&](V x) {
        return _mm_andnot_ps(_mm_and_ps(_mm_cmplt_ps(_mm_andnot_ps(sign, x), tiny), _mm_cmpneq_ps(x, zero)), x);
    };
    const float* inL = inputs[0] + offset;
    const float* inR = inputs[1] + offset;
    int32_t pos = readPos;
    for (int32_t k = 0; k < n;) {
        int32_t run = length - pos;
        if (run > n - k) run = n - k;
        float* ring = inputRing + 2 * pos;
        int32_t i = 0;
        if (active[0] && active[1]) {
            for (; i + 4 <= run; i += 4) {
                const V left = flush(_mm_mul_ps(_mm_loadu_ps(inL + k + i), g));
                const V right = flush(_mm_mul_ps(_mm_loadu_ps(inR + k + i), g));
                _mm_storeu_ps(ring + 2 * i, _mm_unpacklo_ps(left, right));
                _mm_storeu_ps(ring + 2 * i + 4, _mm_unpackhi_ps(left, right));
            }
        }
        for (; i < run; ++i) {
            if (active[0]) ring[2 * i] = quillo::flushTiny(inL[k + i] * gain);
            if (active[1]) ring[2 * i + 1] = quillo::flushTiny(inR[k + i] * gain);
        }
        k += run;
        pos += run;
        if (pos >= length) pos = 0;
    }
}

// Output stage, step 9.3-9.4: copy and write or add, left before right for each
// frame (so one buffer passed for both outputs ends with what the text gives).
void LimiterEngine::writeOutputs(float** outputs, int32_t offset, int32_t n, const Routing& r, bool accumulate) {
    float* outL = outputs[0] + offset;
    float* outR = outputs[1] + offset;
    const float* y = pieceOut;
    const int32_t left = r.copyMode == 2 ? 1 : 0;   // which result goes to the left output
    const int32_t right = r.copyMode == 1 ? 0 : 1;  // and which to the right output
    int32_t k = 0;
    if (r.writeLeft && r.writeRight && left == 0 && right == 1 && outL != outR) {
        // Distinct buffers, no copy: four frames at a time.
        for (; k + 4 <= n; k += 4) {
            const V a = _mm_loadu_ps(y + 2 * k);
            const V b = _mm_loadu_ps(y + 2 * k + 4);
            V l = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
            V rr = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
            if (accumulate) {
                l = _mm_add_ps(_mm_loadu_ps(outL + k), l);
                rr = _mm_add_ps(_mm_loadu_ps(outR + k), rr);
            }
            _mm_storeu_ps(outL + k, l);
            _mm_storeu_ps(outR + k, rr);
        }
    }
    if (accumulate) {
        for (; k < n; ++k) {
            if (r.writeLeft) outL[k] += y[2 * k + left];
            if (r.writeRight) outR[k] += y[2 * k + right];
        }
    } else {
        for (; k < n; ++k) {
            if (r.writeLeft) outL[k] = y[2 * k + left];
            if (r.writeRight) outR[k] = y[2 * k + right];
        }
    }
}
