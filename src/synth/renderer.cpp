// Block renderer and master chain: control ticks interleaved with runs of at most 96 frames, then echo
// return, master gain, DC blocker, limiter and conversion to 16 bits.
#include <cmath>
#include <cstring>

#include "platform/fp_mode.h"
#include "synth/engine.h"

namespace md {

void Engine::renderChunk(int16_t* out, int frames) {
    enableFlushToZero();
    int remaining = frames;
    int offset = pendingFrames > 0 ? controlBlock - pendingFrames : 0;
    StereoFrame mix[controlBlock];
    while (remaining > 0) {
        int count = pendingFrames;
        pendingFrames = 0;
        if (count == 0) {
            if (running) sequencerTick();
            controlTick();
            count = controlBlock;
        }
        remaining -= count;
        if (remaining < 0) {
            pendingFrames = -remaining;
            count -= pendingFrames;
            remaining = 0;
        }
        std::memset(mix, 0, sizeof(StereoFrame) * count);
        renderVoices(mix, count, offset);
        offset = 0;
        applyReverb(mix, count);
        std::memset(sendBuffer, 0, sizeof sendBuffer);
        masterChain(mix, count, out);
        out += 2 * count;
    }
}

void Engine::applyReverb(StereoFrame* mix, int count) {
    ReverbSettings settings;
    if (song) {
        settings.room = song->reverbRoom;
        settings.damp = song->reverbDamp;
        settings.width = song->reverbWidth;
        settings.gain = song->reverbGain;
    }
    reverb.apply(settings, sendBuffer, mix, count);
}

namespace {

inline int16_t toPcm(float v) {
    if (v < -1.0f)
        v = -1.0f;
    else if (!(v <= 1.0f)) // the smaller of v and 1: NaN becomes 1
        v = 1.0f;
    return static_cast<int16_t>(static_cast<int>(v * 32767.0f));
}

} // namespace

void Engine::masterChain(StereoFrame* mix, int count, int16_t* out) {
    // Echo return: each ring entry is played once and cleared.
    for (int i = 0; i < count; ++i) {
        const uint32_t p = (frameCounter + static_cast<uint32_t>(i)) & (kEchoRingSize - 1);
        const float e = echoRing[p];
        echoRing[p] = 0.0f;
        mix[i].left += e;
        mix[i].right += e;
    }
    frameCounter += static_cast<uint32_t>(count);

    // Gain, DC blocker, limiter and conversion, frame by frame; the two channels are independent chains.
    const float gain = masterGain, coef = dcCoef;
    float lOut = dcLeftOut, lIn = dcLeftIn, rOut = dcRightOut, rIn = dcRightIn;
    Limiter left = limiterLeft, right = limiterRight;
    for (int i = 0; i < count; ++i) {
        const float xl = mix[i].left * gain;
        const float xr = mix[i].right * gain;
        const float yl = coef * lOut + xl - lIn;
        const float yr = coef * rOut + xr - rIn;
        lIn = xl;
        lOut = yl;
        rIn = xr;
        rOut = yr;
        out[2 * i] = toPcm(left.process(yl));
        out[2 * i + 1] = toPcm(right.process(yr));
    }
    dcLeftOut = lOut;
    dcLeftIn = lIn;
    dcRightOut = rOut;
    dcRightIn = rIn;
    limiterLeft = left;
    limiterRight = right;
}

} // namespace md
