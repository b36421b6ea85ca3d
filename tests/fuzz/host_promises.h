// What the plug-in promises any host, whatever it sends, as the host-session
// fuzz target checks it: the delay it reports for a rate, the rates its engine
// runs at, the input gain a parameter value selects, and the bound on every
// output sample: the gained input one delay earlier, never louder and never of
// the other sign.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A broken promise ends the run the way a sanitizer report does, with the
// input kept as a crash.
#define PROMISE(condition, ...)                                    \
    do {                                                           \
        if (!(condition)) {                                        \
            std::fprintf(stderr, "broken promise: " __VA_ARGS__); \
            std::fputc('\n', stderr);                              \
            std::abort();                                          \
        }                                                          \
    } while (0)

namespace fuzz {

// The look-ahead the plug-in must report for a rate: trunc(3 * 7r + 19r) in
// single precision, r the rate over the reference rate.
int32_t expectedLatency(float rate);
// Whether the engine can run at the rate: its moving-average window must fit
// the histories, and a brickwall segment must hold at least one frame.
bool engineRunsAt(float rate);
// The linear input gain of the IN Gain parameter's normalised value.
float inputGainOf(float normalised);
// An input sample as the engine takes it: times the gain, silence when that is
// not a finite number, flushed when tiny.
float admitted(float sample, float gain);

// Checks one output sample written by processReplacing (or left as it was):
// `gained` holds the admitted input of both channels one delay earlier.
void checkReplaced(float before, float after, const float gained[2], int64_t frame);
// The same for process, which adds into the output; `shared` when both
// channels add into one buffer.
void checkAccumulated(float before, float after, const float gained[2], bool shared, int64_t frame);

// Texts the plug-in writes: terminated within `field` bytes (when `mustWrite`
// or the opcode answered non-zero), and nothing changed beyond the field.
void checkText(const char* text, std::size_t size, std::size_t field, char marker, bool mustWrite, int32_t opcode);

}  // namespace fuzz
