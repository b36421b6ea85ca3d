// The limiter's audio path as the host drives it: rate and block size, switching
// on and off, and per block the channel routing handed to the engine.

#include "dsp/engine_timing.h"
#include "plugin/limiter_effect.h"

namespace {

enum ForcedChannels : int32_t { kStereo = 0, kLeftOnly = 1, kRightOnly = 2 };
enum CopyMode : int32_t { kNoCopy = 0, kCopyLeft = 1, kCopyRight = 2 };

bool usableBuffers(float** inputs, float** outputs, int32_t frames) {
    return inputs != nullptr && outputs != nullptr && inputs[0] != nullptr && inputs[1] != nullptr &&
           outputs[0] != nullptr && outputs[1] != nullptr && frames >= 0;
}

Routing forcedRouting(int32_t choice) {
    Routing routing;
    if (choice == kLeftOnly) {
        routing.rightActive = 0;
        routing.copyMode = kCopyLeft;
        routing.writeRight = false;
    } else if (choice == kRightOnly) {
        routing.leftActive = 0;
        routing.copyMode = kCopyRight;
        routing.writeLeft = false;
    }
    return routing;
}

}  // namespace

bool LimiterEffect::switchOn(int32_t index) const { return truncateToInt(paramValue[index]) == 1; }

void LimiterEffect::changeSampleRate(float rate) {
    if (!usableSampleRate(rate)) return;
    currentSampleRate = rate;
    engineTimingValues = timingForRate(rate);
    declareLatency(latencyOf(engineTimingValues));
}

void LimiterEffect::changeBlockSize(int32_t frames) {
    if (usableBlockSize(frames)) currentBlockSize = frames;
}

void LimiterEffect::onSuspend() {
    engineReady = false;
    engine.resetNeedles();
}

// Rebuilds the engine for the current block size and rate; if the engine cannot
// be set up it stays off and blocks leave the buffers as they are.
void LimiterEffect::onResume() {
    engineReady = false;
    changeSampleRate(sampleRate());
    // The engine keeps this rate's timing until the next resume, whatever
    // rate is set meanwhile.
    if (!engine.reset(blockSize(), engineTimingValues)) return;
    updateInputGain();
    engine.resetMeters();
    if (switchOn(kAutoSelectChannels)) channelChoicePending = true;
    engineReady = true;
}

void LimiterEffect::processReplace(float** inputs, float** outputs, int32_t frames) {
    runBlock(inputs, outputs, frames, false);
}

void LimiterEffect::processAccumulate(float** inputs, float** outputs, int32_t frames) {
    runBlock(inputs, outputs, frames, true);
}

void LimiterEffect::runBlock(float** inputs, float** outputs, int32_t frames, bool accumulate) {
    if (!engineReady || !usableBuffers(inputs, outputs, frames)) return;
    accumulateMode = accumulate;
    const Routing routing = selectChannels(inputs, outputs);
    engine.process(inputs, outputs, frames, blockParameters(routing), routing, accumulateMode);
    accumulateMode = false;
}

BlockParameters LimiterEffect::blockParameters(const Routing& routing) const {
    BlockParameters parameters;
    parameters.inputGain = inputGainLinear;
    parameters.knee = paramValue[kKnee];
    parameters.iq = truncateToInt(paramValue[kIq]);
    parameters.link = switchOn(kStereoLink) && !routing.singleChannel;
    return parameters;
}

Routing LimiterEffect::selectChannels(float** inputs, float** outputs) {
    const bool automatic = switchOn(kAutoSelectChannels);
    const Routing routing = plannedRouting(inputs, outputs);
    if (automatic) {
        paramValue[kForceChannels] = static_cast<float>(routing.copyMode);
        if (channelChoicePending) publishChannelChoice(routing);
    }
    showRouting(routing);
    return routing;
}

Routing LimiterEffect::plannedRouting(float** inputs, float** outputs) {
    Routing routing = switchOn(kAutoSelectChannels) ? automaticRouting(inputs, outputs)
                                                    : forcedRouting(truncateToInt(paramValue[kForceChannels]));
    routing.singleChannel = routing.leftActive != routing.rightActive;
    return routing;
}

void LimiterEffect::showRouting(const Routing& routing) {
    leftActive = routing.leftActive;
    rightActive = routing.rightActive;
    singleChannel = routing.singleChannel;
}

// Chooses channels from what the host hands over: one buffer for both inputs
// means mono, and pins the host reports as unconnected are left out. Only
// buffer identity and pin answers count, never the audio.
Routing LimiterEffect::automaticRouting(float** inputs, float** outputs) {
    Routing routing;
    if (inputs[0] == inputs[1]) {
        routing.rightActive = 0;
        routing.copyMode = kCopyLeft;
    } else if (pinsDiffer(true)) {
        routing.leftActive = inputPinConnected(0) ? 1 : 0;
        routing.rightActive = inputPinConnected(1) ? 1 : 0;
        routing.copyMode = routing.leftActive == 1 ? kCopyLeft : kCopyRight;
    }
    if (outputs[0] == outputs[1]) {
        routing.writeRight = false;
    } else if (pinsDiffer(false)) {
        routing.writeLeft = outputPinConnected(0);
        routing.writeRight = outputPinConnected(1);
    }
    return routing;
}

// One question per pin, in the order hosts have always been asked: inputs from
// the left, outputs from the right.
bool LimiterEffect::pinsDiffer(bool inputs) {
    if (inputs) {
        const bool left = inputPinConnected(0);
        return left != inputPinConnected(1);
    }
    const bool right = outputPinConnected(1);
    return right != outputPinConnected(0);
}

// Reports the automatic choice to the host once per resume.
void LimiterEffect::publishChannelChoice(const Routing& routing) {
    paramValue[kForceChannels] = static_cast<float>(routing.copyMode);
    notifyParameterChange(kForceChannels);
    channelChoicePending = false;
    engine.resetNeedles();
}
