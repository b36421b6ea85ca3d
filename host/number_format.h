// Fixed-width decimal texts of floats, written without a formatting library so
// the parameter display and the editor read-outs show exactly the same digits.
#pragma once

#include <cstdint>

constexpr int32_t kNumberBudget = 8;
constexpr char kOverflowText[] = " Huge!  ";
constexpr char kMinusInfinityText[] = "  -oo   ";

// Writes 8 - offset characters (sign, integer digits, point, truncated
// fraction) and a terminating zero.
void formatNumberText(float value, char* text, int8_t offset);
void formatDecibelText(float gain, char* text);
void formatIntegerText(int32_t value, char* text);

// The formatter writes a value just below zero as a negative zero; displays
// show it without the sign.
void dropNegativeZero(char* text);
