#include "formats/shared/audio_side.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace formats {

namespace {

// The bypass is a step of its own: on from the middle of the range.
constexpr double kBypassFrom = 0.5;

}  // namespace

AudioSide::AudioSide() {
    model.restartAtRest(true);
    planRouting();
}

bool AudioSide::configure(double rate, int32_t maxBlock) {
    if (!(rate >= kLowestRate && rate <= kHighestRate) || maxBlock < 1) return false;
    if (!delivery.prepare(rate, maxBlock)) return false;
    model.setSampleRate(static_cast<float>(rate));
    model.setMaxBlock(maxBlock);
    longestPiece = maxBlock;
    fade.prepare(latency(), model.latency() + delivery.latency(true), longestPiece, rate);
    feed.prepare(rate);
    return true;
}

bool AudioSide::activate() {
    applyPending();
    runs = model.resume();
    delivery.reset();
    fade.reset(bypassOn);
    feed.reset();
    planRouting();
    on = true;
    return runs;
}

void AudioSide::deactivate() {
    on = false;
    model.suspend();
    applyPending();
}

void AudioSide::change(uint32_t id, double value) {
    if (!std::isfinite(value)) return;
    value = std::clamp(value, 0.0, 1.0);
    if (isEffectParameter(id)) {
        model.setParameter(static_cast<int32_t>(id), static_cast<float>(value));
        if (id == kAutoSelectChannels || id == kForceChannels) planRouting();
    } else if (id == kBypassId) {
        bypassOn = value >= kBypassFrom;
        fade.request(bypassOn);
    } else if (id == kCeilingId) {
        delivery.setCeiling(static_cast<float>(value));
    } else if (id == kTruePeakId) {
        const bool on = value >= kBypassFrom;
        if (on != delivery.truePeak()) latencyMoved = true;
        delivery.setTruePeak(on);
    }
}

int32_t AudioSide::latency() const {
    const bool truePeak = applied.load() != posted.load() ? postedTruePeak.load() : delivery.truePeak();
    return model.latency() + delivery.latency(truePeak);
}

double AudioSide::value(uint32_t id) const {
    if (isEffectParameter(id)) return model.parameter(static_cast<int32_t>(id));
    if (id == kBypassId) return bypassOn ? 1.0 : 0.0;
    if (id == kCeilingId) return delivery.ceiling();
    if (id == kTruePeakId) return delivery.truePeak() ? 1.0 : 0.0;
    return 0.0;
}

void AudioSide::selectProgram(int32_t program) {
    model.selectProgram(program);
    planRouting();
}

void AudioSide::restore(const RestoredState& restored) {
    applyNames(model, restored);
    if (!on) {
        applyValues(model, restored);
        if (restored.bypass) bypassOn = *restored.bypass;
        applyDelivery(restored);
        planRouting();
        return;
    }
    lastPosted = restored;
    postedTruePeak = restored.delivery ? restored.state.truePeak : delivery.truePeak();
    const uint32_t sequence = posted + 1;
    pending.post(Posted{restored, sequence});
    posted = sequence;
}

// Taken on the thread that runs blocks, or where none run.
void AudioSide::applyPending() {
    const Posted* taken = pending.take();
    if (taken == nullptr) return;
    applyValues(model, taken->restored);
    if (taken->restored.bypass) {
        bypassOn = *taken->restored.bypass;
        fade.request(bypassOn);
    }
    applyDelivery(taken->restored);
    planRouting();
    applied = taken->sequence;
}

void AudioSide::applyDelivery(const RestoredState& restored) {
    if (!restored.delivery) return;
    change(kCeilingId, restored.state.ceiling);
    change(kTruePeakId, restored.state.truePeak ? 1.0 : 0.0);
}

EffectState AudioSide::state() const {
    EffectState now = captureState(model, bypassOn);
    now.ceiling = delivery.ceiling();
    now.truePeak = delivery.truePeak();
    if (applied.load() != posted.load()) applyState(now, lastPosted);
    return now;
}

void AudioSide::silence(const BlockBuffers& buffers, int32_t frames) {
    if (frames <= 0) return;
    for (int32_t c = 0; c < buffers.channels; ++c) {
        if (buffers.outputs[c] != nullptr) std::memset(buffers.outputs[c], 0, static_cast<size_t>(frames) * sizeof(float));
    }
}

// The block is cut where a parameter changes and where the effect's largest
// block ends; the effect's output does not depend on where its blocks end.
void AudioSide::process(const BlockBuffers* buffers, int32_t frames, BlockChanges* changes) {
    reports = 0;
    metersReady = false;
    applyPending();
    fade.request(bypassOn);
    int32_t next = changes != nullptr ? changes->takeUpTo(0, *this) : kNoChange;
    if (buffers != nullptr && on && runs) {
        for (int32_t done = 0; done < frames;) {
            const int32_t end = std::min({frames, next, done + longestPiece});
            runPiece(*buffers, done, end - done);
            done = end;
            if (changes != nullptr && done < frames) next = changes->takeUpTo(done, *this);
        }
        metersReady = feeding && feed.add(model, frames, metersShown);
    } else if (buffers != nullptr) {
        silence(*buffers, frames);
    }
    // Changes at or past the block's end still count.
    if (changes != nullptr) changes->takeUpTo(kNoChange - 1, *this);
}

void AudioSide::runPiece(const BlockBuffers& buffers, int32_t offset, int32_t frames) {
    float* inputs[kEffectChannels];
    float* outputs[kEffectChannels];
    for (int32_t c = 0; c < kEffectChannels; ++c) {
        inputs[c] = buffers.inputs[c] + offset;
        outputs[c] = buffers.outputs[c] + offset;
    }
    const float choice = automatic ? model.parameter(kForceChannels) : 0.0f;
    // The bypass delays the input by the latency as it now stands.
    fade.setDelay(model.latency() + delivery.latency(delivery.truePeak()));
    fade.take(inputs, frames, buffers.channels);
    float* effectInputs[kEffectChannels];
    delivery.scaleInputs(inputs, effectInputs, frames);
    model.process(effectInputs, outputs, frames);
    if (automatic) {
        // The effect's own choice of channels changes Force Channels inside a
        // block; the change goes to the host.
        const float now = model.parameter(kForceChannels);
        if (now != choice && reports < kMostReports) reported[reports++] = EffectReport{offset, kForceChannels, now};
    } else if (untouched >= 0 && buffers.channels == kEffectChannels && outputs[0] != outputs[1]) {
        // One buffer for both outputs holds the written channel.
        std::memset(outputs[untouched], 0, static_cast<size_t>(frames) * sizeof(float));
    }
    delivery.deliver(outputs, frames);
    fade.mixInto(outputs, frames, buffers.channels);
}

void AudioSide::planRouting() {
    const PlannedRouting routing = model.routing(false);
    automatic = routing.automatic;
    untouched = routing.untouched;
}

bool AudioSide::metersDue(MeterValues& shown) const {
    if (metersReady) shown = metersShown;
    return metersReady;
}

}  // namespace formats
