// Delivery on the master bus, around the effect: a ceiling below full scale,
// and a true-peak stage after the effect. The effect runs as always on the
// input scaled up by the inverse of the ceiling, and its output is scaled back
// down, so that it keeps its character at every ceiling; with True Peak on,
// the true-peak stage then keeps the output's peaks between the samples at the
// ceiling too, adding its look-ahead to the latency. Switching it fades
// between the two outputs, which both keep to the ceiling. At a ceiling of 0
// dB with True Peak off nothing here touches a sample. Nothing is allocated
// outside prepare().
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "dsp/shared_value.h"
#include "dsp/true_peak_stage.h"
#include "plugin/limiter_model.h"

namespace formats {

// The fade between the effect's output and the true-peak stage's.
constexpr double kTruePeakFadeSeconds = 0.01;

class Delivery {
public:
    // Outside the audio thread: the true-peak stage and room for the longest piece.
    bool prepare(double rate, int32_t longestPiece);
    // As the switch stands, without a fade; so is a switch before the first piece.
    void reset();

    // From the thread that runs the pieces, or while none run.
    void setCeiling(float normalised);
    void setTruePeak(bool on);
    float ceiling() const { return ceilingValue; }
    bool truePeak() const { return truePeakWanted; }
    // The true-peak stage's look-ahead while it is wanted, else 0.
    int32_t latency(bool truePeak) const { return truePeak ? stage.latency() : 0; }

    // The inputs the effect takes for a piece: the host's where the ceiling
    // is at full scale, else scaled copies (one buffer for both inputs stays one).
    void scaleInputs(float* const* inputs, float** scaled, int32_t frames);
    // The effect's output in place: scaled down to the ceiling, then through
    // the true-peak stage as far as it is faded in.
    void deliver(float* const* outputs, int32_t frames);

private:
    void mix(float* const* outputs, int32_t frames);

    SharedValue<float> ceilingValue{1.0f};  // normalised
    SharedValue<bool> truePeakWanted{false};
    float level = 1.0f;     // the ceiling, linear
    float inverse = 1.0f;   // its reciprocal, as the effect's input is scaled
    float amount = 0.0f;    // of the true-peak stage's output: 0 none, 1 all
    float step = 1.0f;
    bool delivered = false;  // since the last reset
    quillo::TruePeakStage stage;
    std::array<std::vector<float>, kEffectChannels> scaled;
    std::array<std::vector<float>, kEffectChannels> direct;  // the effect's output while fading
    std::vector<float> silentRight;                          // the second channel of one buffer
};

}  // namespace formats
