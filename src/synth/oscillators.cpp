#include "synth/oscillators.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <math.h>
#include <xmmintrin.h>

namespace md {
namespace {

// Remainder of x by 1 as fmod computes it. For x in [0, 2) it is an exact subtraction.
inline float wrapUnit(float x) {
    if (x >= 0.0f && x < 2.0f) return x >= 1.0f ? x - 1.0f : x;
    return fmodf(x, 1.0f);
}

// Phases of one block: the phase advances by d per sample and wraps by 1; reset flags restart it at `start`,
// wrap flags mark the samples where it wrapped. With the phase in [0, 1) and no reset flags the remainder is
// a single conditional subtraction.
inline void advancePhases(float& phase, float d, const uint8_t* resetFlags, uint8_t* wrapFlags,
                          float* phases) {
    if (!resetFlags && phase >= 0.0f && phase < 1.0f && d >= 0.0f && d < 1.0f) {
        float p = phase;
        for (int k = 0; k < controlBlock; ++k) {
            p += d;
            if (p >= 1.0f) {
                p -= 1.0f;
                if (wrapFlags) wrapFlags[k] = 1;
            }
            phases[k] = p;
        }
        phase = p;
        return;
    }
    for (int k = 0; k < controlBlock; ++k) {
        if (resetFlags && resetFlags[k]) phase = 0.0f;
        const float old = phase;
        phase = wrapUnit(old + d);
        phases[k] = phase;
        if (wrapFlags && old > phase) wrapFlags[k] = 1;
    }
}

} // namespace

// Ramp values of a whole block from its phases, four lanes at a time (the same arithmetic per lane).
static void blepRampBlock(const float* phases, float d, float* out) {
    const __m128 two = _mm_set1_ps(2.0f), one = _mm_set1_ps(1.0f), twoD = _mm_set1_ps(2.0f * d),
                 fourD = _mm_set1_ps(4.0f * d);
    for (int k = 0; k < controlBlock; k += 4) {
        const __m128 p = _mm_loadu_ps(phases + k);
        const __m128 x1 = _mm_sub_ps(_mm_mul_ps(two, p), one);
        __m128 x2 = _mm_add_ps(x1, twoD);
        const __m128 over = _mm_cmpgt_ps(x2, one);
        x2 = _mm_or_ps(_mm_and_ps(over, _mm_sub_ps(x2, two)), _mm_andnot_ps(over, x2));
        const __m128 v = _mm_div_ps(_mm_sub_ps(_mm_mul_ps(x2, x2), _mm_mul_ps(x1, x1)), fourD);
        _mm_storeu_ps(out + k, v);
    }
}

void OscSaw::generate(float frequency) {
    period = static_cast<float>(sampleRate) / frequency;
    const float d = 2.0f * (1.0f / period);
    float phases[controlBlock];
    advancePhases(phase, d, resetFlags, wrapFlags, phases);
    if (d >= 1.0f) {
        for (float& o : output) o = 0.0f;
        return;
    }
    blepRampBlock(phases, d, output);
}

void OscSquare::generate(float frequency) {
    period = static_cast<float>(sampleRate) / frequency;
    const float d = 2.0f * (1.0f / period);
    float phases[controlBlock], widths[controlBlock];
    if (pulseWidth.step == 0.0f) {
        // A sweep without a step keeps its value: one advance reaches its fixed point.
        pulseWidth.advance();
        std::fill(widths, widths + controlBlock, pulseWidth.value);
        advancePhases(phase, d, resetFlags, wrapFlags, phases);
    } else {
        // Local copies keep the sweep and the phase in registers.
        Sweep pw = pulseWidth;
        float p = phase;
        if (!resetFlags && p >= 0.0f && p < 1.0f && d >= 0.0f && d < 1.0f) {
            for (int k = 0; k < controlBlock; ++k) {
                pw.advance();
                widths[k] = pw.value;
                p += d;
                if (p >= 1.0f) {
                    p -= 1.0f;
                    if (wrapFlags) wrapFlags[k] = 1;
                }
                phases[k] = p;
            }
        } else {
            for (int k = 0; k < controlBlock; ++k) {
                if (resetFlags && resetFlags[k]) p = 0.0f;
                const float old = p;
                pw.advance();
                widths[k] = pw.value;
                p = wrapUnit(old + d);
                phases[k] = p;
                if (wrapFlags && old > p) wrapFlags[k] = 1;
            }
        }
        pulseWidth = pw;
        phase = p;
    }
    bool inRange = true; // phase + width within [0, 2): the remainder by 1 is one subtraction
    for (int k = 0; k < controlBlock; ++k) {
        const float sum = phases[k] + widths[k];
        inRange = inRange && sum >= 0.0f && sum < 2.0f;
    }
    if (d >= 1.0f) {
        for (int k = 0; k < controlBlock; ++k) output[k] = 2.0f * widths[k] - 1.0f;
        return;
    }
    float shifted[controlBlock], r1[controlBlock], r2[controlBlock];
    if (inRange) {
        const __m128 one = _mm_set1_ps(1.0f);
        for (int k = 0; k < controlBlock; k += 4) {
            const __m128 sum = _mm_add_ps(_mm_loadu_ps(phases + k), _mm_loadu_ps(widths + k));
            const __m128 over = _mm_cmpge_ps(sum, one);
            _mm_storeu_ps(shifted + k,
                          _mm_or_ps(_mm_and_ps(over, _mm_sub_ps(sum, one)), _mm_andnot_ps(over, sum)));
        }
    } else {
        for (int k = 0; k < controlBlock; ++k) shifted[k] = wrapUnit(phases[k] + widths[k]);
    }
    blepRampBlock(phases, d, r1);
    blepRampBlock(shifted, d, r2);
    const __m128 two = _mm_set1_ps(2.0f), half = _mm_set1_ps(0.5f);
    for (int k = 0; k < controlBlock; k += 4) {
        const __m128 w = _mm_loadu_ps(widths + k);
        const __m128 v = _mm_add_ps(_mm_mul_ps(two, _mm_sub_ps(w, half)),
                                    _mm_sub_ps(_mm_loadu_ps(r1 + k), _mm_loadu_ps(r2 + k)));
        _mm_storeu_ps(output + k, v);
    }
}

void OscTriangle::generate(float frequency) {
    period = static_cast<float>(sampleRate) / frequency;
    const float d = 8.0f / period;
    // The phases first (a recurrence), then the output of four phases at a time.
    float p = phase;
    for (int k = 0; k < controlBlock; ++k) {
        if (resetFlags && resetFlags[k]) p = -4.0f;
        p += d;
        if (p > 1.0f) {
            p -= 4.0f;
            if (wrapFlags) wrapFlags[k] = 1;
        }
        output[k] = p;
    }
    phase = p;
    const __m128 sign = _mm_set1_ps(-0.0f), two = _mm_set1_ps(2.0f), one = _mm_set1_ps(1.0f);
    for (int k = 0; k < controlBlock; k += 4) {
        const __m128 a = _mm_andnot_ps(sign, _mm_loadu_ps(output + k));
        const __m128 b = _mm_andnot_ps(sign, _mm_sub_ps(a, two));
        _mm_storeu_ps(output + k, _mm_sub_ps(b, one));
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
