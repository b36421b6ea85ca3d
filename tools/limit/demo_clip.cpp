#include "tools/limit/demo_clip.h"

#include <algorithm>
#include <cmath>

#include "tools/limit/measurements.h"

namespace limit_tool {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kBeatSeconds = 0.5;
constexpr int32_t kBeatsPerBar = 4;
constexpr double kEighth = 0.5;

// Kick: a falling sine with a short click.
constexpr double kKickEndHz = 45.0;
constexpr double kKickSweepHz = 110.0;
constexpr double kKickSweepSeconds = 0.03;
constexpr double kKickDecaySeconds = 0.25;
constexpr double kKickClickSeconds = 0.002;
constexpr double kKickLevel = 1.0;
constexpr double kKickClickLevel = 0.3;
constexpr double kKickBeats[] = {0.0, 2.0, 2.5};

// Snare: noise and a body tone, a little left of centre.
constexpr double kSnareHz = 190.0;
constexpr double kSnareNoiseDecay = 0.12;
constexpr double kSnareToneDecay = 0.08;
constexpr double kSnareNoiseLevel = 0.55;
constexpr double kSnareToneLevel = 0.35;
constexpr double kSnareBeats[] = {1.0, 3.0};
constexpr double kSnarePan[kDemoChannels] = {0.58, 0.42};
constexpr double kCentre = 0.5;

// Bass: eighth notes of a one-bar riff, sine plus a saturated overtone.
constexpr double kBassNotesHz[] = {41.2, 41.2, 49.0, 41.2, 55.0, 55.0, 73.4, 49.0};
constexpr double kBassAttackSeconds = 0.005;
constexpr double kBassDecaySeconds = 0.18;
constexpr double kBassOvertone = 2.0;
constexpr double kBassOvertoneLevel = 0.4;
constexpr double kBassDrive = 1.6;
constexpr double kBassLevel = 0.6;

constexpr uint32_t kNoiseSeed = 0x2545F491u;
constexpr int kShiftA = 13;
constexpr int kShiftB = 17;
constexpr int kShiftC = 5;
constexpr double kNoiseScale = 2.0 / 4294967296.0;

// Deterministic white noise in [-1, 1): xorshift, the same on every platform.
class Noise {
public:
    double next() {
        state ^= state << kShiftA;
        state ^= state >> kShiftB;
        state ^= state << kShiftC;
        return state * kNoiseScale - 1;
    }

private:
    uint32_t state = kNoiseSeed;
};

double kick(double t) {
    const double phase = kTwoPi * (kKickEndHz * t + kKickSweepHz * kKickSweepSeconds *
                                                        (1 - std::exp(-t / kKickSweepSeconds)));
    const double click = t < kKickClickSeconds ? kKickClickLevel * (1 - t / kKickClickSeconds) : 0.0;
    return kKickLevel * std::exp(-t / kKickDecaySeconds) * std::sin(phase) + click;
}

double snareTone(double t) {
    return kSnareToneLevel * std::exp(-t / kSnareToneDecay) * std::sin(kTwoPi * kSnareHz * t);
}

double bass(double t, double hz) {
    const double envelope =
        std::min(1.0, t / kBassAttackSeconds) * std::exp(-t / kBassDecaySeconds);
    const double tone = std::sin(kTwoPi * hz * t) +
                        kBassOvertoneLevel * std::sin(kTwoPi * kBassOvertone * hz * t);
    return kBassLevel * envelope * std::tanh(kBassDrive * tone);
}

// Seconds since the latest hit of a pattern (beats within a bar), or -1.
double sinceHit(double t, const double* beats, std::size_t count) {
    const double barSeconds = kBeatsPerBar * kBeatSeconds;
    const double inBar = std::fmod(t, barSeconds);
    double since = -1;
    for (std::size_t i = 0; i < count; ++i) {
        const double start = beats[i] * kBeatSeconds;
        if (inBar >= start) since = inBar - start;
    }
    return since;
}

}  // namespace

std::vector<float> synthesiseDemoClip() {
    const int64_t frames = static_cast<int64_t>(kDemoSeconds * kDemoSampleRate);
    std::vector<double> mix(static_cast<std::size_t>(frames * kDemoChannels), 0.0);
    Noise noise;
    const double eighthSeconds = kBeatSeconds * kEighth;
    const std::size_t riffLength = std::size(kBassNotesHz);
    for (int64_t frame = 0; frame < frames; ++frame) {
        const double t = static_cast<double>(frame) / kDemoSampleRate;
        const double kickAge = sinceHit(t, kKickBeats, std::size(kKickBeats));
        const double snareAge = sinceHit(t, kSnareBeats, std::size(kSnareBeats));
        const auto eighth = static_cast<int64_t>(t / eighthSeconds);
        const double centre = (kickAge >= 0 ? kick(kickAge) : 0.0) +
                              bass(t - eighth * eighthSeconds, kBassNotesHz[eighth % riffLength]);
        const double grain = noise.next();
        const double snare =
            snareAge >= 0 ? kSnareNoiseLevel * std::exp(-snareAge / kSnareNoiseDecay) * grain +
                                snareTone(snareAge)
                          : 0.0;
        for (int32_t channel = 0; channel < kDemoChannels; ++channel) {
            mix[frame * kDemoChannels + channel] =
                centre * kCentre + snare * kSnarePan[channel];
        }
    }
    double peak = 0.0;
    for (const double sample : mix) peak = std::max(peak, std::fabs(sample));
    const double scale = peak > 0.0 ? fromDecibels(kDemoPeakDb) / peak : 1.0;
    std::vector<float> clip(mix.size());
    std::transform(mix.begin(), mix.end(), clip.begin(),
                   [scale](double sample) { return static_cast<float>(sample * scale); });
    return clip;
}

}  // namespace limit_tool
