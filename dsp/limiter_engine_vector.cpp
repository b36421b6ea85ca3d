// The vector path of the limiter engine: the same values as the generic path,
// bit for bit (see vector_pipeline.inc for how), plus the input and output
// stages that both paths share.
#include <emmintrin.h>

#include <cmath>
#include <cstring>
#include <limits>

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
// oldest entry first, and back: the oldest entry goes to pos + 1, so that pos
// is again the last written entry.
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

// Whether a run of frames after the history that begins at entry base would
// run past the end of its line; if so the history moves back to the front.
bool runsPastLine(int32_t base, int32_t W, int32_t frames) { return base + W + frames > quillo::kLinearHistory; }

void moveToFront(float (*line)[kChannels], int32_t base, int32_t W) {
    std::memmove(line, line + base, sizeof(line[0]) * static_cast<size_t>(W));
}

}  // namespace

bool LimiterEngine::avxUsable() { return kAvx; }

void LimiterEngine::useSse2ForTesting(bool on) {
    forceSse2 = on;
    chooseEncoding();
}

void LimiterEngine::chooseEncoding() {
    const bool avx = kAvx && !forceSse2;
    pipelineRun = avx ? quillo::runPipelineAvx : quillo::runPipelineSse2;
    admitRun = avx ? quillo::admitFramesAvx : quillo::admitFramesSse2;
}

// A power of two whose reciprocal is a normal float: dividing by it and
// multiplying by its reciprocal give the same bits.
bool LimiterEngine::exactReciprocal(float v) {
    if (!(v > 0.0f) || !std::isnormal(v) || !std::isnormal(1.0f / v)) return false;
    return std::ldexp(1.0f, std::ilogb(v)) == v;
}

// The vector path keeps its carried state in lanes and the three running-sum
// histories in lines from block to block; the generic path works on the
// members, which take the state back before it runs.
void LimiterEngine::stateToLanes() {
    if (lanesHoldState) return;
    const int32_t W = resetLengths.window;
    quillo::PipelineCarry& c = scratch->carry;
    toLine(scratch->softLine, softHistory, softHistoryPos, W);
    toLine(scratch->softLinkLine, links[kSoftLink].history, links[kSoftLink].position, W);
    toLine(scratch->brickLinkLine, links[kBrickLink].history, links[kBrickLink].position, W);
    c.softBase = 0;
    c.linkBase = 0;
    // A smoother that is not falling has its target at env (see the
    // pipeline's smoother): the lanes hold infinity for it.
    float env[kChannels], fallTarget[kChannels], slope[kChannels];
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        env[ch] = smoother[ch].env;
        fallTarget[ch] = smoother[ch].falling ? smoother[ch].target : std::numeric_limits<float>::infinity();
        slope[ch] = smoother[ch].slope;
    }
    c.s = load2(softState);
    c.softSum = load2(softSum);
    c.linkSums = _mm_movelh_ps(load2(links[kSoftLink].sum), load2(links[kBrickLink].sum));
    c.carriedMin = load2(segment.runningMin);
    c.peak = _mm_set1_ps(1.0f);
    c.counter = segment.counter;
    const float(*M)[kChannels] = segment.minima;
    const int32_t* slots = segment.slots;
    c.early = _mm_movelh_ps(load2(M[slots[quillo::kSecondSlot]]), load2(M[slots[quillo::kThirdSlot]]));
    c.late = _mm_movelh_ps(load2(M[slots[quillo::kRampStartSlot]]), load2(M[slots[quillo::kRampEndSlot]]));
    c.previous = load2(segment.previousMin);
    c.ends = 0;
    c.env = load2(env);
    c.fallTarget = load2(fallTarget);
    c.slope = load2(slope);
    lanesHoldState = true;
}

// The follower states, smoother envelopes and fall targets (infinity where a
// smoother is not falling), wherever the state is carried now.
void LimiterEngine::carriedStages(float* s, float* env, float* fallTarget) const {
    if (lanesHoldState) {
        const quillo::PipelineCarry& c = scratch->carry;
        store2(s, c.s);
        store2(env, c.env);
        store2(fallTarget, c.fallTarget);
        return;
    }
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        s[ch] = softState[ch];
        env[ch] = smoother[ch].env;
        fallTarget[ch] = smoother[ch].falling ? smoother[ch].target : std::numeric_limits<float>::infinity();
    }
}

void LimiterEngine::stateFromLanes() {
    if (!lanesHoldState) return;
    const int32_t W = resetLengths.window;
    const quillo::PipelineCarry& c = scratch->carry;
    fromLine(softHistory, scratch->softLine + c.softBase, softHistoryPos, W);
    fromLine(links[kSoftLink].history, scratch->softLinkLine + c.linkBase, links[kSoftLink].position, W);
    fromLine(links[kBrickLink].history, scratch->brickLinkLine + c.linkBase, links[kBrickLink].position, W);
    store2(softState, c.s);
    store2(softSum, c.softSum);
    store2(links[kSoftLink].sum, c.linkSums);
    store2(links[kBrickLink].sum, high(c.linkSums));
    store2(segment.runningMin, _mm_min_ps(c.carriedMin, _mm_div_ps(_mm_set1_ps(1.0f), c.peak)));
    segment.counter = c.counter;
    for (int32_t& slot : segment.slots) slot = (slot + c.ends) % quillo::kSegmentStore;
    for (auto& entry : segment.minima) store2(entry, _mm_set1_ps(1.0f));
    const int32_t* slots = segment.slots;
    store2(segment.minima[slots[quillo::kSecondSlot]], c.early);
    store2(segment.minima[slots[quillo::kThirdSlot]], high(c.early));
    store2(segment.minima[slots[quillo::kRampStartSlot]], c.late);
    store2(segment.minima[slots[quillo::kRampEndSlot]], high(c.late));
    store2(segment.previousMin, c.previous);
    float env[kChannels], fallTarget[kChannels], slope[kChannels];
    store2(env, c.env);
    store2(fallTarget, c.fallTarget);
    store2(slope, c.slope);
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        smoother[ch].env = env[ch];
        smoother[ch].falling = fallTarget[ch] < std::numeric_limits<float>::infinity();
        smoother[ch].target = smoother[ch].falling ? fallTarget[ch] : env[ch];
        smoother[ch].slope = slope[ch];
    }
    lanesHoldState = false;
}

// The block's constants of a pipeline run, made again only when the
// parameters they depend on change (and after a reset).
void LimiterEngine::pipelineConstants(quillo::PipelineState& st, const BlockParameters& p) {
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
    st.segmentLength = len.timing.segmentLength;
    st.W = len.window;
    st.S = len.segment;
    st.L = length;
    st.iq = c.iq == 1;
    st.link = p.link;
    st.knee = p.knee;
    st.brickRing = brickGain;
    st.scratch = scratch;
    st.carry = &scratch->carry;
    constantsCurrent = true;
}

// One piece through the input stage and the pipeline, in stretches in which
// no ring position wraps, of at most kPipelinePairs pairs (an odd last frame
// included). The whole piece's input enters the ring before any output is
// written, so buffers shared between inputs and outputs give the same result
// as separate ones. The results go straight to the host's buffers where each
// output receives its own channel's result, replacing what the buffers hold;
// otherwise to the piece store, and from there as routed.
void LimiterEngine::vectorPiece(float** inputs, float** outputs, int32_t offset, int32_t n,
                                const BlockParameters& p, const Routing& r, bool accumulate) {
    inputStage(inputs, offset, n, p.inputGain, r);
    quillo::PipelineState& st = scratch->state;
    if (!constantsCurrent || st.knee != p.knee || st.iq != (p.iq == 1) || st.link != p.link) {
        pipelineConstants(st, p);
    }
    st.minSoft = _mm_set1_ps(1.0f);
    st.needle = _mm_set1_ps(1.0f);
    const bool copied = r.copyMode == kCopyLeftToRight || r.copyMode == kCopyRightToLeft;
    const bool direct = !accumulate && outputs[0] != outputs[1] && r.writeLeft && r.writeRight && !copied;
    float* const results[kChannels] = {direct ? outputs[0] + offset : pieceOut,
                                       direct ? outputs[1] + offset : pieceOut + blockSize};
    stateToLanes();
    for (int32_t done = 0; done < n;) done += runStretch(results, done, n - done, p.link);
    if (!direct) writeOutputs(outputs, offset, n, r, accumulate);
    // Over both frames of each pair (order does not matter for a minimum);
    // every lane starts at 1.0 and no NaN enters, as in the generic path.
    float blockMin[kChannels];
    float needle[kChannels];
    store2(blockMin, _mm_min_ps(st.minSoft, high(st.minSoft)));
    store2(needle, _mm_min_ps(st.needle, high(st.needle)));
    updateMeters(r, blockMin, needle);
}

// The knee lamp takes the soft stage's block minima of the processed channels
// (before the stereo link changed them); each needle the lowest brickwall gain
// that reached its written output.
void LimiterEngine::updateMeters(const Routing& r, const float* blockMin, const float* needle) {
    float lamp = kneeLamp;
    if (r.leftActive == 1) lamp = quillo::minimumOf(lamp, blockMin[0]);
    if (r.rightActive == 1) lamp = quillo::minimumOf(lamp, blockMin[1]);
    kneeLamp = lamp;
    if (r.writeLeft) meterLeft = quillo::minimumOf(meterLeft, needle[0]);
    if (r.writeRight) meterRight = quillo::minimumOf(meterRight, needle[1]);
}

// One pipeline run from readPos: at most the frames left, up to the first
// ring end that a stream would cross, at most kPipelinePairs pairs. Returns
// the frames run; the results of frame k go to results[ch] + done + k.
int32_t LimiterEngine::runStretch(float* const* results, int32_t done, int32_t left, bool link) {
    quillo::PipelineState& st = scratch->state;
    quillo::PipelineCarry& c = scratch->carry;
    const int32_t P = readPos;
    const int32_t D = delayWritePos;
    const int32_t Q = P + resetLengths.ramp < length ? P + resetLengths.ramp : P + resetLengths.ramp - length;
    // The stream nearest its ring end (reading here, reading ahead, writing).
    const int32_t last = P > Q ? (P > D ? P : D) : (Q > D ? Q : D);
    int32_t frames = length - last < left ? length - last : left;
    if (frames > kPairFrames * quillo::kPipelinePairs) frames = kPairFrames * quillo::kPipelinePairs;
    st.pairs = frames / kPairFrames;
    st.oddFrame = frames % kPairFrames != 0;
    st.D0 = D;
    st.in = inputRing + kChannels * P;
    st.delayedWrite = delayedSignal + kChannels * D;
    st.delayedRead = delayedSignal + kChannels * P;
    st.brickHere = brickGain + kChannels * P;
    st.brickAhead = brickGain + kChannels * Q;
    st.out[0] = results[0] + done;
    st.out[1] = results[1] + done;
    const int32_t W = resetLengths.window;
    if (runsPastLine(c.softBase, W, frames)) {
        moveToFront(scratch->softLine, c.softBase, W);
        c.softBase = 0;
    }
    if (link && runsPastLine(c.linkBase, W, frames)) {
        moveToFront(scratch->softLinkLine, c.linkBase, W);
        moveToFront(scratch->brickLinkLine, c.linkBase, W);
        c.linkBase = 0;
    }
    pipelineRun(st);
    c.softBase += frames;
    if (link) c.linkBase += frames;
    readPos = P + frames < length ? P + frames : P + frames - length;
    delayWritePos = D + frames < length ? D + frames : D + frames - length;
    return frames;
}

// Input stage for n positions from readPos: each read channel's samples times
// the input gain, admitted (flushed, and silence if not finite) into the ring;
// both channels eight frames at a time when both are read. The ring of a
// channel that is not read keeps its contents. A piece wraps around the ring
// at most once (it is shorter than the ring).
void LimiterEngine::inputStage(float** inputs, int32_t offset, int32_t n, float gain, const Routing& r) {
    if (r.leftActive == 0 || r.rightActive == 0) {
        inputChannels(inputs, offset, n, gain, r);
        return;
    }
    const int32_t first = n < length - readPos ? n : length - readPos;
    admitRun(inputs[0] + offset, inputs[1] + offset, inputRing + kChannels * readPos, first, gain);
    if (first < n) admitRun(inputs[0] + offset + first, inputs[1] + offset + first, inputRing, n - first, gain);
}

// The input stage of the channels read when not both are, one sample at a
// time (kept apart, so that the common case needs no registers saved for it).
void LimiterEngine::inputChannels(float** inputs, int32_t offset, int32_t n, float gain, const Routing& r) {
    const int32_t first = n < length - readPos ? n : length - readPos;
    const bool active[kChannels] = {r.leftActive != 0, r.rightActive != 0};
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        if (!active[ch]) continue;
        const float* in = inputs[ch] + offset;
        for (int32_t k = 0; k < n; ++k) {
            const int32_t pos = k < first ? readPos + k : k - first;
            inputRing[kChannels * pos + ch] = quillo::admitInput(in[k], gain);
        }
    }
}

// Output stage from the piece store: each written output receives its source
// channel's result, written or added, channel by channel for each frame (so
// one buffer passed for both outputs ends with the right result, or with both
// added).
void LimiterEngine::writeOutputs(float** outputs, int32_t offset, int32_t n, const Routing& r, bool accumulate) {
    const quillo::ChannelRoute route = quillo::channelRoute(r);
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        if (!route.written[ch]) continue;
        float* out = outputs[ch] + offset;
        const float* y = pieceOut + route.source[ch] * blockSize;
        int32_t k = 0;
        if (accumulate) {
            for (; k + kLanes <= n; k += kLanes) _mm_storeu_ps(out + k, _mm_add_ps(_mm_loadu_ps(out + k), _mm_loadu_ps(y + k)));
            for (; k < n; ++k) out[k] += y[k];
        } else {
            std::memcpy(out, y, sizeof(float) * static_cast<size_t>(n));
        }
    }
}
