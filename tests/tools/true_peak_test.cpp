// The tool's own true-peak measurement gives libebur128's figures: on material
// made to peak between samples, at every oversampling the library uses, however
// the frames arrive.
#include <gtest/gtest.h>
#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <iterator>

#include "tool_fixture.h"
#include "tools/limit/measurements.h"
#include "tools/limit/true_peak.h"

namespace tool_test {
namespace {

constexpr int64_t kFrames = 30000;
constexpr double kPeak = 0.9;
constexpr double kAgreementDb = 0.01;
constexpr double kQuarterRateGainDb = 3.0103;  // samples at 45 degrees lie 3 dB under the peak
// The library's filter passes a quarter of the rate some 0.1 dB high.
constexpr double kSineAccuracyDb = 0.15;
constexpr int64_t kPieces[] = {1, 255, 256, 1000, 7};
constexpr int32_t kRates[] = {kRate44k, kRate48k, 96000, 192000};

double libraryTruePeak(const std::vector<float>& audio, int32_t rate) {
    ebur128_state* state = ebur128_init(kStereo, static_cast<unsigned long>(rate), EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_float(state, audio.data(), audio.size() / kStereo);
    double highest = 0.0;
    for (unsigned channel = 0; channel < kStereo; ++channel) {
        double value = 0.0;
        ebur128_true_peak(state, channel, &value);
        highest = std::max(highest, value);
    }
    ebur128_destroy(&state);
    return highest;
}

TEST(TruePeakMeter, AgreesWithLibebur128OnInterSamplePeaks) {
    for (const Material material : {Material::QuarterRateSine, Material::ClippedSquare, Material::DenseNoise}) {
        for (const int32_t rate : kRates) {
            SCOPED_TRACE(materialName(material) + " at " + std::to_string(rate));
            const std::vector<float> audio = interSamplePeaks(material, kFrames, rate, kPeak);
            limit_tool::TruePeakMeter meter(kStereo, rate);
            int64_t done = 0;
            for (std::size_t i = 0; done < kFrames; ++i) {
                const int64_t piece = std::min(kPieces[i % std::size(kPieces)], kFrames - done);
                meter.add(audio.data() + done * kStereo, piece);
                done += piece;
            }
            const double ours = limit_tool::toDecibels(meter.peak());
            EXPECT_NEAR(ours, limit_tool::toDecibels(libraryTruePeak(audio, rate)), kAgreementDb);
            if (material == Material::QuarterRateSine && rate < 96000) {
                const double samplePeak = *std::max_element(audio.begin(), audio.end());
                EXPECT_NEAR(ours - limit_tool::toDecibels(samplePeak), kQuarterRateGainDb, kSineAccuracyDb);
            }
        }
    }
}

// The fine design reads the waveform's own peak near the top of the band, and
// the ringing at ends where the waveform starts or stops at full level.
TEST(TruePeakMeter, FineFilterReadsTheWaveformsPeak) {
    constexpr double kHighHz = 19000.0;
    constexpr double kAmplitude = 0.5;
    constexpr double kFadeSeconds = 0.05;
    constexpr double kFineAccuracyDb = 0.05;
    std::vector<float> audio(static_cast<std::size_t>(kFrames * kStereo));
    for (int64_t n = 0; n < kFrames; ++n) {
        const double t = static_cast<double>(n) / kRate44k;
        const double fade = std::min({1.0, t / kFadeSeconds, (kFrames - n) / (kFadeSeconds * kRate44k)});
        for (int32_t channel = 0; channel < kStereo; ++channel) {
            audio[n * kStereo + channel] = static_cast<float>(kAmplitude * fade * std::sin(6.283185307179586 * kHighHz * t + channel));
        }
    }
    limit_tool::TruePeakMeter fine(kStereo, kRate44k, limit_tool::TruePeakFilter::Fine);
    fine.add(audio.data(), kFrames);
    fine.finish();
    const double expected = limit_tool::toDecibels(kAmplitude);
    EXPECT_NEAR(limit_tool::toDecibels(fine.peak()), expected, kFineAccuracyDb);
    // A quarter-rate sine cut off at full level rings beyond its peak at both ends.
    const std::vector<float> cut = interSamplePeaks(Material::QuarterRateSine, kFrames, kRate44k, kPeak);
    limit_tool::TruePeakMeter ends(kStereo, kRate44k, limit_tool::TruePeakFilter::Fine);
    ends.add(cut.data(), kFrames);
    ends.finish();
    EXPECT_GT(ends.peak(), kPeak);
}

// Clipped noise has flat tops: a phase's highest output in a block can lie on
// the flank of a peak that another phase holds, where three grid points have
// almost no curvature. The fine reading is the top of the waveform its own
// interpolator describes (evaluated here on 32 points per sample), not the
// vertex of a parabola far beyond the points (read 0.9 dB higher once).
TEST(TruePeakMeter, FineFilterRefinesOnlyTheTopOfAPeak) {
    constexpr int64_t kClipFrames = 2048;
    constexpr int64_t kSilentEnds = 64;
    constexpr uint32_t kSeed = 49u, kLcgMultiplier = 1664525u, kLcgIncrement = 1013904223u;
    constexpr double kLcgScale = 2.0 / 4294967296.0;
    constexpr double kSmoothing = 0.3, kDrive = 2.0, kClip = 0.5;
    constexpr int32_t kPoints = 32;
    constexpr int32_t kReach = 16;  // the fine interpolator: 32 taps per phase, Kaiser beta 9
    constexpr double kBeta = 9.0;
    constexpr int32_t kBesselTerms = 40;
    constexpr double kAgreementDb = 0.01;
    std::vector<float> audio(static_cast<std::size_t>(kClipFrames * kStereo), 0.0f);
    uint32_t state = kSeed;
    double smooth = 0.0;
    for (int64_t n = 0; n < kClipFrames; ++n) {
        state = state * kLcgMultiplier + kLcgIncrement;
        smooth += kSmoothing * (kDrive * (state * kLcgScale - 1.0) - smooth);
        if (n < kSilentEnds || n >= kClipFrames - kSilentEnds) continue;
        audio[n * kStereo] = audio[n * kStereo + 1] = static_cast<float>(std::max(-kClip, std::min(kClip, smooth)));
    }
    limit_tool::TruePeakMeter fine(kStereo, kRate48k, limit_tool::TruePeakFilter::Fine);
    fine.add(audio.data(), kClipFrames);
    fine.finish();
    const auto bessel = [&](double x) {
        double term = 1.0, sum = 1.0;
        for (int32_t k = 1; k < kBesselTerms; ++k) sum += (term *= (x / (2 * k)) * (x / (2 * k)));
        return sum;
    };
    // The taps from sample n - kReach to n + kReach + 1 for each point after n.
    constexpr int32_t kSpan = 2 * kReach + 2;
    std::vector<double> taps(static_cast<std::size_t>(kPoints * kSpan), 0.0);
    for (int32_t point = 0; point < kPoints; ++point) {
        for (int32_t k = 0; k < kSpan; ++k) {
            const double t = static_cast<double>(point) / kPoints + kReach - k;
            if (std::fabs(t) >= kReach) continue;
            const double sinc = t == 0.0 ? 1.0 : std::sin(M_PI * t) / (M_PI * t);
            taps[point * kSpan + k] = sinc * bessel(kBeta * std::sqrt(1.0 - t * t / (kReach * kReach))) / bessel(kBeta);
        }
    }
    double top = 0.0;
    for (int64_t n = kReach; n + kReach + 1 < kClipFrames; ++n) {
        for (int32_t point = 0; point < kPoints; ++point) {
            double sum = 0.0;
            for (int32_t k = 0; k < kSpan; ++k) sum += audio[(n - kReach + k) * kStereo] * taps[point * kSpan + k];
            top = std::max(top, std::fabs(sum));
        }
    }
    EXPECT_NEAR(limit_tool::toDecibels(fine.peak()), limit_tool::toDecibels(top), kAgreementDb);
}

}  // namespace
}  // namespace tool_test
