// What meters read of the true-peak stage's output (native build: libebur128
// and the tool's meters). The limiter driven +12 dB, its output scaled to a
// ceiling of -1 dB, then the stage: libebur128's true peak (BS.1770-4) and the
// tool's fine reading (a long interpolation, as delivery checks read it) stay
// at or under -1.0 dBTP at 44.1, 48 and 96 kHz, the same bits leaving for
// blocks of 32 and 512 frames; music-like material loses at most 0.5 LU to it.
#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "test_signals.h"
#include "tools/limit/true_peak.h"

using namespace quillo_test;

namespace {

constexpr float kCeiling = 0.8912509f;
constexpr double kCeilingDb = -1.0;
constexpr double kMostLoudnessLost = 0.5;
constexpr int32_t kPlusTwelveDb = 520;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kEighthTurn = kTwoPi / 8.0;
constexpr double kToneSeconds = 1.0, kMusicSeconds = 4.0;
// Silence after the material: the fine meter mirrors the waveform at the
// file's ends, and at a loud end reads a waveform no stage has seen.
constexpr double kTailSeconds = 0.05;
constexpr double kSquareHz = 997.0, kSquareDrive = 8.0;
// Pink noise (Voss-McCartney): one random row per octave, each refreshed at
// half the rate of the one before, and a white row; scaled to peak near 1.
constexpr int32_t kPinkRows = 16;
constexpr double kPinkScale = 0.25;
// A drum loop at 120 beats a minute: a kick on every beat with its pitch
// falling, a snare (noise and a tone) on beats two and four, closed hats on
// every eighth.
constexpr double kBeatsPerSecond = 2.0, kBeatsPerBar = 4.0, kEighthsPerBeat = 2.0;
constexpr double kKickHz = 50.0, kKickSweepHz = 100.0, kKickSweepDecay = 40.0, kKickDecay = 20.0;
constexpr double kSnareHz = 190.0, kSnareDecay = 30.0, kSnareNoise = 0.6;
constexpr double kHatDecay = 120.0, kHatLevel = 0.4, kKickLevel = 0.8, kSnareLevel = 0.7;

enum class Material { QuarterRateSine, ClippedSquare, PinkNoise, DrumLoop };
const char* const kNames[] = {"fs/4 sine at 45 degrees", "997 Hz square, clipped", "pink noise", "drum loop"};

Stereo material(Material m, float rate) {
    const bool music = m == Material::PinkNoise || m == Material::DrumLoop;
    const size_t frames = static_cast<size_t>(rate * (music ? kMusicSeconds : kToneSeconds));
    Stereo s(frames + static_cast<size_t>(rate * kTailSeconds));
    Noise rng(77u);
    double rows[quillo::kChannels][kPinkRows] = {};
    for (size_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / rate;
        const double beat = std::fmod(t * kBeatsPerSecond, 1.0) / kBeatsPerSecond;  // seconds into the beat
        const double eighthsPerSecond = kBeatsPerSecond * kEighthsPerBeat;
        const double eighth = std::fmod(t * eighthsPerSecond, 1.0) / eighthsPerSecond;
        const bool backbeat = static_cast<int64_t>(std::fmod(t * kBeatsPerSecond, kBeatsPerBar)) % 2 == 1;
        for (int32_t ch = 0; ch < quillo::kChannels; ++ch) {
            double v = 0.0;
            if (m == Material::QuarterRateSine) {
                v = std::sin(kTwoPi * static_cast<double>(n) / 4.0 + kEighthTurn);
            } else if (m == Material::ClippedSquare) {
                v = std::max(-1.0, std::min(1.0, kSquareDrive * std::sin(kTwoPi * kSquareHz * t)));
            } else if (m == Material::PinkNoise) {
                for (int32_t row = 0; row < kPinkRows; ++row) {
                    if (n % (size_t{1} << row) == 0) rows[ch][row] = rng.uniform();
                    v += rows[ch][row];
                }
                v = kPinkScale * (v + rng.uniform());
            } else {
                const double pitch = kKickHz + kKickSweepHz * std::exp(-beat * kKickSweepDecay);
                v = kKickLevel * std::exp(-beat * kKickDecay) * std::sin(kTwoPi * pitch * beat);
                if (backbeat) {
                    const double tone = std::sin(kTwoPi * kSnareHz * beat);
                    const double body = kSnareNoise * rng.uniform() + (1.0 - kSnareNoise) * tone;
                    v += kSnareLevel * std::exp(-beat * kSnareDecay) * body;
                }
                v += kHatLevel * std::exp(-eighth * kHatDecay) * rng.uniform();
            }
            (ch == 0 ? s.left : s.right)[n] = static_cast<float>(v);
        }
    }
    return s;
}

std::vector<float> interleaved(const Stereo& s) {
    std::vector<float> v(2 * s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        v[2 * i] = s.left[i];
        v[2 * i + 1] = s.right[i];
    }
    return v;
}

double decibels(double linear) { return 20.0 * std::log10(linear); }

struct Reading {
    double library, fine, loudness;
};

Reading measured(const Stereo& s, float rate) {
    const std::vector<float> frames = interleaved(s);
    ebur128_state* state = ebur128_init(quillo::kChannels, static_cast<unsigned long>(rate),
                                        EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_float(state, frames.data(), s.size());
    Reading r{0.0, 0.0, 0.0};
    for (unsigned ch = 0; ch < quillo::kChannels; ++ch) {
        double peak = 0.0;
        ebur128_true_peak(state, ch, &peak);
        r.library = std::max(r.library, peak);
    }
    ebur128_loudness_global(state, &r.loudness);
    ebur128_destroy(&state);
    limit_tool::TruePeakMeter fine(quillo::kChannels, static_cast<int32_t>(rate), limit_tool::TruePeakFilter::Fine);
    fine.add(frames.data(), static_cast<int64_t>(s.size()));
    fine.finish();
    return {decibels(r.library), decibels(fine.peak()), r.loudness};
}

bool sameBits(const Stereo& a, const Stereo& b) {
    return a.size() == b.size() && std::memcmp(a.left.data(), b.left.data(), sizeof(float) * a.size()) == 0 &&
           std::memcmp(a.right.data(), b.right.data(), sizeof(float) * a.size()) == 0;
}

TEST(TruePeakStageMeters, TruePeakStaysUnderTheCeilingAndLoudnessStays) {
    for (const float rate : {44100.0f, 48000.0f, 96000.0f}) {
        for (const Material m :
             {Material::QuarterRateSine, Material::ClippedSquare, Material::PinkNoise, Material::DrumLoop}) {
            const char* name = kNames[static_cast<int>(m)];
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(rate));
            const Stereo limited = limitedAtCeiling(material(m, rate), rate, kPlusTwelveDb, kCeiling);
            const Stereo out = throughStage(limited, rate, kCeiling, 512);
            EXPECT_TRUE(sameBits(out, throughStage(limited, rate, kCeiling, 32)));
            const Reading off = measured(limited, rate);
            const Reading on = measured(out, rate);
            std::printf("%6.0f Hz %-24s off %+.3f / %+.3f dBTP, on %+.4f / %+.4f dBTP, loudness %+.3f LU\n", rate,
                        name, off.library, off.fine, on.library, on.fine, on.loudness - off.loudness);
            EXPECT_GT(std::max(off.library, off.fine), kCeilingDb);  // there was something to hold
            EXPECT_LE(on.library, kCeilingDb);
            EXPECT_LE(on.fine, kCeilingDb);
            if (m == Material::PinkNoise || m == Material::DrumLoop) {
                EXPECT_LE(off.loudness - on.loudness, kMostLoudnessLost);
            }
        }
    }
}

}  // namespace
