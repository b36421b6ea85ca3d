// The engine's blocks as a whole, and its rests: with restarts on, the first
// sound after a rest meets the engine as a reset leaves it. Whether a sound
// starts over is decided at that sound, from the silence before it and the
// state silence has left, so the decision, like every output bit, does not
// depend on where the host's blocks end.
#include <cstring>
#include <limits>

#include "dsp/limiter_engine.h"

namespace {

using quillo::kChannels;

}  // namespace

// A block longer than the reset's block size runs as the host would have cut
// it: pieces of at most that size, one after the other. Every block runs with
// the timing of the last reset: the rings and histories were laid out for it.
// (Beside process, which it is part of: one call less for every block.)
void LimiterEngine::runFrames(float** inputs, float** outputs, int32_t offset, int32_t frames,
                              const BlockParameters& p, const Routing& r, bool accumulate) {
    const bool generic = forceGeneric || !vectorUsable;
    for (int32_t done = 0; done < frames;) {
        const int32_t n = frames - done < blockSize ? frames - done : blockSize;
        if (generic) {
            genericPiece(inputs, outputs, offset + done, n, p, r, accumulate);
        } else {
            vectorPiece(inputs, outputs, offset + done, n, p, r, accumulate);
        }
        done += n;
    }
}

#if defined(__i386__) && defined(_WIN32)
// 32-bit Windows hosts may call in with a stack aligned to 4 bytes only; the
// vector code below needs 16.
__attribute__((force_align_arg_pointer))
#endif
void LimiterEngine::process(float** inputs, float** outputs, int32_t frames, const BlockParameters& p,
                            const Routing& r, bool accumulate) {
    if (!isReady || frames <= 0 || inputs == nullptr || outputs == nullptr) return;
    if (!restarts) {
        runFrames(inputs, outputs, 0, frames, p, r, accumulate);
        return;
    }
    // Where no rest can be over by the block's end, nothing decides at a sound.
    if (!resting && static_cast<int64_t>(quietFrames) + frames < restFrames) {
        runFrames(inputs, outputs, 0, frames, p, r, accumulate);
        const int32_t quiet = trailingSilence(frames);
        quietFrames = quiet == frames ? quietFrames + frames : quiet;
        return;
    }
    const int32_t sound = firstSound(inputs, frames, p.inputGain, r);
    if (resting) {
        // Nothing has changed since the rest began: the silence is not run.
        silenceOutputs(outputs, sound, r, accumulate);
        if (sound == frames) return;
        resting = false;
    } else {
        if (sound > 0) runFrames(inputs, outputs, 0, sound, p, r, accumulate);
        if (quietFrames + sound >= restFrames && settled(p)) {
            restartState();
            if (sound == frames) return;
            resting = false;
        }
    }
    runFrames(inputs, outputs, sound, frames - sound, p, r, accumulate);
    // Counted up to what a rest needs, so that the count never overflows.
    const int64_t quiet = sound == frames ? static_cast<int64_t>(quietFrames) + frames : trailingSilence(frames - sound);
    quietFrames = quiet < restFrames ? static_cast<int32_t>(quiet) : restFrames;
}

// The first frame at which either gain stage reads a sound: a processed
// channel's input as the input stage admits it, or what the ring holds for a
// channel that is not processed; `frames` where there is none.
int32_t LimiterEngine::firstSound(float** inputs, int32_t frames, float gain, const Routing& r) const {
    const bool active[kChannels] = {r.leftActive != 0, r.rightActive != 0};
    int32_t pos = readPos;
    for (int32_t k = 0; k < frames; ++k) {
        for (int32_t ch = 0; ch < kChannels; ++ch) {
            const float x = active[ch] ? quillo::admitInput(inputs[ch][k], gain) : inputRing[kChannels * pos + ch];
            if (x != 0.0f) return k;
        }
        if (++pos >= length) pos = 0;
    }
    return frames;
}

// What the engine writes for silence: zeros in the outputs it writes, and
// nothing added to them.
void LimiterEngine::silenceOutputs(float** outputs, int32_t frames, const Routing& r, bool accumulate) const {
    if (accumulate || frames <= 0) return;
    const quillo::ChannelRoute route = quillo::channelRoute(r);
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        if (route.written[ch]) std::memset(outputs[ch], 0, sizeof(float) * static_cast<size_t>(frames));
    }
}

// Silent frames at the end of the last `frames` ring positions, as the gain
// stages read them.
int32_t LimiterEngine::trailingSilence(int32_t frames) const {
    int32_t pos = readPos;
    for (int32_t k = 0; k < frames; ++k) {
        pos = pos > 0 ? pos - 1 : length - 1;
        if (inputRing[kChannels * pos] != 0.0f || inputRing[kChannels * pos + 1] != 0.0f) return k;
    }
    return frames;
}

// Both gain stages have settled where silence leaves them: one more frame of
// silence would move neither the follower nor the smoother (their releases
// end a hair below 1.0, where a step no longer changes a float).
bool LimiterEngine::settled(const BlockParameters& p) const {
    float s[kChannels], env[kChannels], fallTarget[kChannels];
    carriedStages(s, env, fallTarget);
    const quillo::SoftCoefficients c = quillo::softCoefficients(p.knee, p.iq, resetLengths.timing.rateInverse);
    for (int32_t ch = 0; ch < kChannels; ++ch) {
        if (quillo::softFollowerStep(c, s[ch], 0.0f) != s[ch]) return false;
        if (fallTarget[ch] < std::numeric_limits<float>::infinity()) return false;
        quillo::SmootherState next;
        next.env = env[ch];
        next.target = env[ch];
        if (quillo::smootherStep(next, 1.0f, 1.0f, resetLengths.timing.rampLength) != env[ch]) return false;
    }
    return true;
}
