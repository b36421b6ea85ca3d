// The vector path of the limiter engine: the same values as the generic path,
// bit for bit (see vector_pipeline.inc for how), plus the input and output
// stages that both paths share.
#include <emmintrin.h>

#include <cmath>
#include <cstring>

#include "dsp/input_gate.h"
#include "dsp/limiter_engine.h"
#include "dsp/vector_pipeline.h"

namespace {

using quillo::kChannels;
using quillo::kLanes;
using quillo::kPairFrames;
using V = __m128;

// Lanes 0 and 1 hold a channel pair [L R].
inline V load2(const float* p) { return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))); }
inline void store2(float* p, V v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(v)); }
inline V high(V v) { return _mm_movehl_ps(v, v); }
// All bits set in the lanes of the channels that are on, for both frames of a pair.
inline V maskOf(const bool (&on)[kChannels]) {
    const int32_t left = on[0] ? -1 : 0;
    const int32_t right = on[1] ? -1 : 0;
    return _mm_castsi128_ps(_mm_setr_epi32(left, right, left, right));
}
// Even and odd lanes of two registers: one channel of four interleaved frames.
constexpr int kEvenLanes = _MM_SHUFFLE(2, 0, 2, 0);
constexpr int kOddLanes = _MM_SHUFFLE(3, 1, 3, 1);

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

// A circular history (last written entry at pos, length W) laid out in a line,
// oldest entry first, for a pipeline run; and back after n frames.
void toLine(float (*line)[kChannels], const float (*circle)[kChannels], int32_t pos, int32_t W) {
    int32_t first = pos + 1;
    if (first >= W) first = 0;
    const int32_t tail = W - first;
    std::memcpy(line, circle + first, sizeof(line[0]) * static_cast<size_t>(tail));
    std::memcpy(line + tail, circle, sizeof(line[0]) * static_cast<size_t>(first));
}

void fromLine(float (*circle)[kChannels], const float (*line)[kChannels], int32_t pos, int32_t W) {
    int32_t first = pos + 1;
    if (first >= W) first = 0;
    const int32_t tail = W - first;
    std::memcpy(circle + first, line, sizeof(line[0]) * static_cast<size_t>(tail));
    std::memcpy(circle, line + tail, sizeof(line[0]) * static_cast<size_t>(first));
}

// After a run of n frames the history is the last W entries of the line.
int32_t advanceLine(float (*line)[kChannels], int32_t pos, int32_t W, int32_t n) {
    std::memmove(line, line + n, sizeof(line[0]) * static_cast<size_t>(W));
    return static_cast<int32_t>((static_cast<int64_t>(pos) + n) % W);
}

}  // namespace

bool LimiterEngine::avxUsable() { return kAvx; }

// A power of two whose reciprocal is a normal float: dividing by it and
// multiplying by its reciprocal give the same bits.
bool LimiterEngine::exactReciprocal(float v) {
    if (!(v > 0.0f) || !std::isnormal(v) || !std::isnormal(1.0f / v)) return false;
    return std::ldexp(1.0f, std::ilogb(v)) == v;
}

// The vector path keeps the three running-sum histories laid out in lines
// between blocks; the generic path works on the circular histories.
void LimiterEngine::historiesToLines() {
    if (linesHoldHistories) return;
    const int32_t W = resetLengths.window;
    toLine(scratch->softLine, softHistory, softHistoryPos, W);
    toLine(scratch->softLinkLine, links[kSoftLink].history, links[kSoftLink].position, W);
    toLine(scratch->brickLinkLine, links[kBrickLink].history, links[kBrickLink].position, W);
    linesHoldHistories = true;
}

void LimiterEngine::linesToHistories() {
    if (!linesHoldHistories) return;
    const int32_t W = resetLengths.window;
    fromLine(softHistory, scratch->softLine, softHistoryPos, W);
    fromLine(links[kSoftLink].history, scratch->softLinkLine, links[kSoftLink].position, W);
    fromLine(links[kBrickLink].history, scratch->brickLinkLine, links[kBrickLink].position, W);
    linesHoldHistories = false;
}

// The block's constants of a pipeline run.
void LimiterEngine::pipelineConstants(quillo::PipelineState& st, const BlockParameters& p, const Routing& r) {
    const Lengths& len = resetLengths;
    const quillo::SoftCoefficients c = quillo::softCoefficients(p.knee, p.iq, len.timing.rateInverse);
    st.attack = _mm_set1_ps(c.attack);
    st.fixedRel = _mm_set1_ps(quillo::softReleaseRate(c, c.kc));
    st.k = _mm_set1_ps(c.k);
    st.kc = _mm_set1_ps(c.kc);
    st.kcTail = _mm_set1_ps(c.kcTail);
    st.release = _mm_set1_ps(c.release);
    st.releaseFloor = _mm_set1_ps(c.releaseFloor);
    st.windowLength = _mm_set1_ps(len.timing.windowLength);
    st.windowPowerOfTwo = windowReciprocalExact;
    st.windowReciprocal = _mm_set1_ps(1.0f / len.timing.windowLength);
    st.rampLength = _mm_set1_ps(len.timing.rampLength);
    st.computeMask = maskOf(quillo::channelRoute(r).computed);
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
}

// The state carried from frame to frame, into the pipeline's lanes.
void LimiterEngine::carryIntoLanes(quillo::PipelineState& st) {
    historiesToLines();
    float env[kChannels], target[kChannels], slope[kChannels];
    bool falling[kChannels];
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        env[ch] = smoother[ch].env;
        target[ch] = smoother[ch].target;
        slope[ch] = smoother[ch].slope;
        falling[ch] = smoother[ch].falling;
    }
    st.s = load2(softState);
    st.softSum = load2(softSum);
    st.softLink = quillo::LinkLanes{load2(links[kSoftLink].sum), &scratch->softLinkLine[0][0]};
    st.brickLink = quillo::LinkLanes{load2(links[kBrickLink].sum), &scratch->brickLinkLine[0][0]};
    st.run = load2(segment.runningMin);
    st.counter = segment.counter;
    st.env = load2(env);
    st.target = load2(target);
    st.slope = load2(slope);
    st.falling = maskOf(falling);
}

// And back after a run of frames; the link records only when the run linked.
void LimiterEngine::carryFromLanes(const quillo::PipelineState& st, int32_t frames, bool link) {
    const int32_t W = resetLengths.window;
    store2(softState, st.s);
    store2(softSum, st.softSum);
    softHistoryPos = advanceLine(scratch->softLine, softHistoryPos, W, frames);
    if (link) {
        const quillo::LinkLanes* lanes[kLinkStages] = {&st.softLink, &st.brickLink};
        float (*lines[kLinkStages])[kChannels] = {scratch->softLinkLine, scratch->brickLinkLine};
        for (int32_t stage = 0; stage < kLinkStages; ++stage) {
            store2(links[stage].sum, lanes[stage]->sum);
            links[stage].position = advanceLine(lines[stage], links[stage].position, W, frames);
        }
    }
    store2(segment.runningMin, st.run);
    segment.counter = st.counter;
    float env[kChannels], target[kChannels], slope[kChannels];
    store2(env, st.env);
    store2(target, st.target);
    store2(slope, st.slope);
    const int fallingBits = _mm_movemask_ps(st.falling);
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        smoother[ch].env = env[ch];
        smoother[ch].target = target[ch];
        smoother[ch].slope = slope[ch];
        smoother[ch].falling = ((fallingBits >> ch) & 1) != 0;
    }
}

// One pipeline run over pairs frame pairs from readPos (no position wraps),
// its results into the piece store from entry first.
void LimiterEngine::runStretch(quillo::PipelineState& st, int32_t first, int32_t pairs, bool link) {
    const int32_t frames = kPairFrames * pairs;
    const int32_t P = readPos;
    const int32_t Q = P + resetLengths.ramp < length ? P + resetLengths.ramp : P + resetLengths.ramp - length;
    st.pairs = pairs;
    st.D0 = delayWritePos;
    st.in = inputRing + kChannels * P;
    st.delayedWrite = delayedSignal + kChannels * delayWritePos;
    st.delayedRead = delayedSignal + kChannels * P;
    st.brickHere = brickGain + kChannels * P;
    st.brickAhead = brickGain + kChannels * Q;
    st.out = pieceOut + kChannels * first;
    carryIntoLanes(st);

    const bool avx = kAvx && !forceSse2;
    (avx ? quillo::runPipelineAvx : quillo::runPipelineSse2)(st);

    carryFromLanes(st, frames, link);
    readPos += frames;
    if (readPos >= length) readPos -= length;
    delayWritePos += frames;
    if (delayWritePos >= length) delayWritePos -= length;
}

void LimiterEngine::vectorPiece(float** outputs, int32_t offset, int32_t n, const BlockParameters& p,
                                const Routing& r, bool accumulate, float* blockMin, float* needle) {
    const Lengths& len = resetLengths;
    quillo::PipelineState st;
    pipelineConstants(st, p, r);

    // Stretches in which no ring position wraps, of at most kPipelinePairs
    // pairs; an odd last frame of a stretch goes through the generic path (the
    // state is the same), its minima straight into blockMin and needle.
    for (int32_t done = 0; done < n;) {
        int32_t stretch = n - done;
        const int32_t P = readPos;
        const int32_t Q = P + len.ramp < length ? P + len.ramp : P + len.ramp - length;
        if (length - P < stretch) stretch = length - P;
        if (length - delayWritePos < stretch) stretch = length - delayWritePos;
        if (length - Q < stretch) stretch = length - Q;
        if (stretch > kPairFrames * quillo::kPipelinePairs) stretch = kPairFrames * quillo::kPipelinePairs;
        const int32_t pairs = stretch / kPairFrames;
        if (pairs > 0) runStretch(st, done, pairs, p.link);
        if (stretch % kPairFrames != 0) {
            linesToHistories();
            genericFrames(done + kPairFrames * pairs, 1, p, r, len, blockMin, needle);
        }
        done += stretch;
    }

    // Block minima over both frames of each pair (order does not matter for a minimum).
    float soft[kChannels];
    float lowest[kChannels];
    store2(soft, _mm_min_ps(st.minSoft, high(st.minSoft)));
    store2(lowest, _mm_min_ps(st.needle, high(st.needle)));
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        blockMin[ch] = quillo::minimumOf(blockMin[ch], soft[ch]);
        needle[ch] = quillo::minimumOf(needle[ch], lowest[ch]);
    }

    writeOutputs(outputs, offset, n, r, accumulate);
}

// Input stage for n positions from readPos: each read channel's samples times
// the input gain, admitted (flushed, and silence if not finite) into the ring;
// both channels a register of frames at a time when both are read. The ring of
// a channel that is not read keeps its contents.
void LimiterEngine::inputStage(float** inputs, int32_t offset, int32_t n, float gain, const Routing& r) {
    const bool active[kChannels] = {r.leftActive != 0, r.rightActive != 0};
    const float* in[kChannels];
    for (int32_t ch = 0; ch < kChannels; ++ch) in[ch] = inputs[ch] + offset;
    const quillo::InputGate gate(gain);
    int32_t pos = readPos;
    for (int32_t k = 0; k < n;) {
        int32_t run = length - pos;
        if (run > n - k) run = n - k;
        float* ring = inputRing + kChannels * pos;
        int32_t i = 0;
        if (active[0] && active[1]) {
            for (; i + kLanes <= run; i += kLanes) {
                const V left = gate.admit(_mm_loadu_ps(in[0] + k + i));
                const V right = gate.admit(_mm_loadu_ps(in[1] + k + i));
                _mm_storeu_ps(ring + kChannels * i, _mm_unpacklo_ps(left, right));
                _mm_storeu_ps(ring + kChannels * i + kLanes, _mm_unpackhi_ps(left, right));
            }
        }
        for (; i < run; ++i) {
            for (int32_t ch = 0; ch < kChannels; ++ch) {
                if (active[ch]) ring[kChannels * i + ch] = quillo::admitInput(in[ch][k + i], gain);
            }
        }
        k += run;
        pos += run;
        if (pos >= length) pos = 0;
    }
}

// Output stage: each written output receives its source channel's result,
// written or added, channel by channel for each frame (so one buffer passed for
// both outputs ends with the right result, or with both added).
void LimiterEngine::writeOutputs(float** outputs, int32_t offset, int32_t n, const Routing& r, bool accumulate) {
    const quillo::ChannelRoute route = quillo::channelRoute(r);
    float* out[kChannels];
    bool ownResults = true;
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        out[ch] = outputs[ch] + offset;
        ownResults = ownResults && route.written[ch] && route.source[ch] == ch;
    }
    const float* y = pieceOut;
    int32_t k = 0;
    if (ownResults && out[0] != out[1]) {
        // Distinct buffers, no copy: a register of frames at a time.
        for (; k + kLanes <= n; k += kLanes) {
            const V a = _mm_loadu_ps(y + kChannels * k);
            const V b = _mm_loadu_ps(y + kChannels * k + kLanes);
            V channel[kChannels] = {_mm_shuffle_ps(a, b, kEvenLanes), _mm_shuffle_ps(a, b, kOddLanes)};
            if (accumulate) {
                for (int32_t ch = 0; ch < kChannels; ++ch) {
                    channel[ch] = _mm_add_ps(_mm_loadu_ps(out[ch] + k), channel[ch]);
                }
            }
            for (int32_t ch = 0; ch < kChannels; ++ch) _mm_storeu_ps(out[ch] + k, channel[ch]);
        }
    }
    for (; k < n; ++k) {
        for (int32_t ch = 0; ch < kChannels; ++ch) {
            if (!route.written[ch]) continue;
            const float value = y[kChannels * k + route.source[ch]];
            if (accumulate) {
                out[ch][k] += value;
            } else {
                out[ch][k] = value;
            }
        }
    }
}
