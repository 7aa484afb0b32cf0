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

    for (int i = 0; i < count; ++i) {
        mix[i].left *= masterGain;
        mix[i].right *= masterGain;
    }
    for (int i = 0; i < count; ++i) {
        float x = mix[i].left;
        float y = dcCoef * dcLeftOut + x - dcLeftIn;
        dcLeftIn = x;
        dcLeftOut = y;
        mix[i].left = y;
        x = mix[i].right;
        y = dcCoef * dcRightOut + x - dcRightIn;
        dcRightIn = x;
        dcRightOut = y;
        mix[i].right = y;
    }
    for (int i = 0; i < count; ++i) mix[i].left = limiterLeft.process(mix[i].left);
    for (int i = 0; i < count; ++i) mix[i].right = limiterRight.process(mix[i].right);
    for (int i = 0; i < count; ++i) {
        out[2 * i] = toPcm(mix[i].left);
        out[2 * i + 1] = toPcm(mix[i].right);
    }
}

} // namespace md
