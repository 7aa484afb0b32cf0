#include "synth/envelope.h"

#include <xmmintrin.h>

namespace md {
namespace {
inline float pow4(float x) {
    return ((x * x) * x) * x;
}

// out[i] = level^4 x peak for the levels held in out[0 .. n).
void levelsToOutput(float* out, int n, float peak) {
    const __m128 p = _mm_set1_ps(peak);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128 l = _mm_loadu_ps(out + i);
        _mm_storeu_ps(out + i, _mm_mul_ps(_mm_mul_ps(_mm_mul_ps(_mm_mul_ps(l, l), l), l), p));
    }
    for (; i < n; ++i) out[i] = pow4(out[i]) * peak;
}

// out[i] = 1 - (1 - level)^3 for the attack levels held in out[0 .. n).
void attackToOutput(float* out, int n) {
    const __m128 one = _mm_set1_ps(1.0f);
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128 rest = _mm_sub_ps(one, _mm_loadu_ps(out + i));
        _mm_storeu_ps(out + i, _mm_sub_ps(one, _mm_mul_ps(_mm_mul_ps(rest, rest), rest)));
    }
    for (; i < n; ++i) {
        const float rest = 1.0f - out[i];
        out[i] = 1.0f - (rest * rest) * rest;
    }
}
} // namespace

void Envelope::run() {
    const float dt = sampleDuration;
    // Holding at the sustain level: every sample steps below it and is put back, so the block is constant.
    if (state == EnvDecay && level == sustainLevel && sustainLevel != 0.0f && rate * dt >= 0.0f) {
        const float out = pow4(level) * peak;
        for (float& o : output) o = out;
        return;
    }
    // Decay, release and the finished state run in segments: first the levels, sample by sample, then their
    // outputs (level^4 x peak, with the peak unchanged) four at a time.
    int k = 0;
    while (k < controlBlock) {
        if (state == EnvAttack) {
            // The levels of the attack first, then its outputs 1 - (1 - level)^3 four at a time; the peak is
            // the last of them.
            const int start = k;
            const float step = rate * dt;
            while (k < controlBlock) {
                level += step;
                if (!(level < 1.0f)) break;
                output[k++] = level;
            }
            if (k > start) {
                attackToOutput(output + start, k - start);
                peak = output[k - 1];
            }
            if (k == controlBlock) break;
            // The attack ends at sample k.
            if (decayTime > 0.0f) {
                level = 1.0f;
                state = EnvDecay;
                rate = (1.0f - sustainLevel) / decayTime;
            } else {
                level = sustainLevel;
                state = EnvDecay;
            }
            output[k] = pow4(level) * peak;
            ++k;
            continue;
        }
        const int start = k;
        if (state == EnvDecay) {
            const float step = rate * dt;
            while (k < controlBlock) {
                level -= step;
                if (level <= sustainLevel) {
                    level = sustainLevel;
                    output[k++] = level;
                    if (sustainLevel == 0.0f) {
                        state = EnvDone;
                    } else if (step >= 0.0f) {
                        // At the sustain level every further sample steps below it and is put back.
                        while (k < controlBlock) output[k++] = level;
                    }
                    break;
                }
                output[k++] = level;
            }
        } else if (state == EnvRelease) {
            const float step = rate * dt;
            while (k < controlBlock) {
                level -= step;
                if (level <= 0.0f) {
                    level = 0.0f;
                    state = EnvDone;
                    output[k++] = level;
                    break;
                }
                output[k++] = level;
            }
        } else {
            while (k < controlBlock) output[k++] = level;
        }
        levelsToOutput(output + start, k - start, peak);
    }
}

} // namespace md
