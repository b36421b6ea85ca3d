#include "host/number_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "dsp/limiter_constants.h"
#include "host/effect_base.h"

namespace {

constexpr int32_t kScratchSize = 32;
constexpr double kPositiveLimit = 99999999.0;
constexpr double kNegativeLimit = 9999999.0;
constexpr int32_t kLargestInteger = 99999999;
constexpr double kDigitBase = 10.0;
constexpr double kNextDigit = 0.1;
constexpr double kMillisecondsPerSecond = 1000.0;
constexpr int32_t kDigitAndPoint = 2;
constexpr int32_t kIntegerScratch = 16;
constexpr char kNegativeZero[] = "-0.0";
constexpr char kPositiveZero[] = "0.0";

char digitOf(double x) { return static_cast<char>('0' + static_cast<int32_t>(std::fmod(x, kDigitBase))); }

// Integer digits right to left, stopping when the budget is spent, so an
// integer part too long for it keeps its least significant digits.
int32_t writeIntegerPart(double v, bool negative, int32_t spent, char* scratch, int32_t& start) {
    int32_t pos = kScratchSize - 1;
    scratch[pos] = '\0';
    scratch[--pos] = '.';
    double n = std::floor(v);
    scratch[--pos] = digitOf(n);
    n *= kNextDigit;
    spent += kDigitAndPoint;
    while (n >= 1.0 && spent < kNumberBudget) {
        scratch[--pos] = digitOf(n);
        n *= kNextDigit;
        ++spent;
    }
    if (negative) scratch[--pos] = '-';
    start = pos;
    return spent;
}

void appendFraction(double v, int32_t digits, char* text) {
    char scratch[kScratchSize];
    int32_t pos = kScratchSize - 1;
    scratch[pos] = '\0';
    double x = std::fmod(v, 1.0) * std::pow(kDigitBase, digits);
    for (int32_t i = 0; i < digits; ++i) {
        if (x <= 0.0) {
            scratch[--pos] = '0';
        } else {
            scratch[--pos] = digitOf(x);
            x *= kNextDigit;
        }
    }
    std::strcat(text, scratch + pos);
}

}  // namespace

void formatNumberText(float value, char* text, int8_t offset) {
    double v = value;
    const bool negative = v < 0.0;
    if (negative) v = -v;
    if (v > (negative ? kNegativeLimit : kPositiveLimit) || std::isnan(v)) {
        std::strcpy(text, kOverflowText);
        return;
    }
    char scratch[kScratchSize];
    int32_t start = 0;
    const int32_t spent = writeIntegerPart(v, negative, offset + (negative ? 1 : 0), scratch, start);
    std::strcpy(text, scratch + start);
    if (spent >= kNumberBudget) return;
    // A negative offset widens the text; the scratch area bounds it.
    appendFraction(v, std::min(kNumberBudget - spent, kScratchSize - 1), text);
}

void formatDecibelText(float gain, char* text) {
    if (!(gain > 0.0f)) {
        std::strcpy(text, kMinusInfinityText);
        return;
    }
    formatNumberText(static_cast<float>(quillo::kDecibelsPerDecade * std::log10(static_cast<double>(gain))), text, 0);
}

void formatIntegerText(int32_t value, char* text) {
    if (value > kLargestInteger) {
        std::strcpy(text, kOverflowText);
        return;
    }
    char wide[kIntegerScratch];
    std::snprintf(wide, sizeof wide, "%7d", static_cast<int>(value));
    std::memcpy(text, wide, kNumberBudget);
    text[kNumberBudget] = '\0';
}

void dropNegativeZero(char* text) {
    if (std::strcmp(text, kNegativeZero) == 0) std::strcpy(text, kPositiveZero);
}

void EffectBase::formatNumber(float value, char* text, int8_t offset) { formatNumberText(value, text, offset); }
void EffectBase::formatDecibels(float gain, char* text) { formatDecibelText(gain, text); }
void EffectBase::formatInteger(int32_t value, char* text) { formatIntegerText(value, text); }

void EffectBase::formatHertz(float samples, char* text) {
    const float hertz = samples == 0.0f ? 0.0f : static_cast<float>(static_cast<double>(sampleRate()) / samples);
    formatNumberText(hertz, text, 0);
}

void EffectBase::formatMilliseconds(float samples, char* text) {
    formatNumberText(static_cast<float>(static_cast<double>(samples) * kMillisecondsPerSecond / sampleRate()), text, 0);
}
