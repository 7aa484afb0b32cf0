#include "synth/oscillators.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <math.h>

namespace md {
namespace {

// Remainder of x by 1 as fmod computes it. For x in [0, 2) it is an exact subtraction.
inline float wrapUnit(float x) {
    if (x >= 0.0f && x < 2.0f) return x >= 1.0f ? x - 1.0f : x;
    return fmodf(x, 1.0f);
}

// Average of the naive ramp 2p - 1 over [p, p + d): (x2^2 - x1^2) / 4d, exact across the wrap.
inline float blepRamp(float p, float d) {
    const float x1 = 2.0f * p - 1.0f;
    float x2 = x1 + 2.0f * d;
    if (x2 > 1.0f) x2 -= 2.0f;
    return (x2 * x2 - x1 * x1) / (4.0f * d);
}

} // namespace

void OscSaw::generate(float frequency) {
    period = static_cast<float>(sampleRate) / frequency;
    const float d = 2.0f * (1.0f / period);
    for (int k = 0; k < controlBlock; ++k) {
        if (resetFlags && resetFlags[k]) phase = 0.0f;
        const float old = phase;
        phase = wrapUnit(old + d);
        output[k] = d >= 1.0f ? 0.0f : blepRamp(phase, d);
        if (wrapFlags && old > phase) wrapFlags[k] = 1;
    }
}

void OscSquare::generate(float frequency) {
    period = static_cast<float>(sampleRate) / frequency;
    const float d = 2.0f * (1.0f / period);
    for (int k = 0; k < controlBlock; ++k) {
        if (resetFlags && resetFlags[k]) phase = 0.0f;
        const float old = phase;
        pulseWidth.advance();
        const float w = pulseWidth.value;
        phase = wrapUnit(old + d);
        if (d >= 1.0f) {
            output[k] = 2.0f * w - 1.0f;
        } else {
            const float r1 = blepRamp(phase, d);
            const float r2 = blepRamp(wrapUnit(phase + w), d);
            output[k] = 2.0f * (w - 0.5f) + (r1 - r2);
        }
        if (wrapFlags && old > phase) wrapFlags[k] = 1;
    }
}

void OscTriangle::generate(float frequency) {
    period = static_cast<float>(sampleRate) / frequency;
    const float d = 8.0f / period;
    for (int k = 0; k < controlBlock; ++k) {
        if (resetFlags && resetFlags[k]) phase = -4.0f;
        phase += d;
        if (phase > 1.0f) {
            phase -= 4.0f;
            if (wrapFlags) wrapFlags[k] = 1;
        }
        output[k] = std::fabs(std::fabs(phase) - 2.0f) - 1.0f;
    }
}

void OscWhitenoise::generate(float frequency) {
    constexpr uint32_t kMul = 0x0BB38435u;
    constexpr uint32_t kAdd = 0x3619636Bu;
    const float hold = std::max(static_cast<float>(sampleRate) / frequency * 0.03125f, 1.0f);
    const float inv = 1.0f / hold;
    for (int k = 0; k < controlBlock; ++k) {
        if (noiseCountdown <= 0.0f) {
            const uint32_t s1 = noiseSeed * kMul + kAdd;
            noiseCountdown += hold;
            const uint32_t s2 = s1 * kMul + kAdd;
            noiseSeed = s2;
            const uint32_t bits = 0x3F800000u | (((s1 << 8) ^ s2) & 0x7FFFFFu);
            float r;
            std::memcpy(&r, &bits, sizeof r); // a value in [1, 2)
            const float target = (r - 1.0f) * 2.0f - 1.0f;
            noiseSlope = (target - phase) * inv;
        }
        output[k] = phase;
        phase += noiseSlope;
        noiseCountdown -= 1.0f;
    }
}

} // namespace md
