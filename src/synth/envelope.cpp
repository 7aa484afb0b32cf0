#include "synth/envelope.h"

namespace md {
namespace {
inline float pow4(float x) {
    return ((x * x) * x) * x;
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
    for (int k = 0; k < controlBlock; ++k) {
        switch (state) {
        case EnvAttack:
            level += rate * dt;
            if (level < 1.0f) {
                const float rest = 1.0f - level;
                peak = 1.0f - (rest * rest) * rest;
                output[k] = peak;
            } else {
                if (decayTime > 0.0f) {
                    level = 1.0f;
                    state = EnvDecay;
                    rate = (1.0f - sustainLevel) / decayTime;
                } else {
                    level = sustainLevel;
                    state = EnvDecay;
                }
                output[k] = pow4(level) * peak;
            }
            break;
        case EnvDecay:
            level -= rate * dt;
            if (level <= sustainLevel) {
                level = sustainLevel;
                if (sustainLevel == 0.0f) state = EnvDone;
            }
            output[k] = pow4(level) * peak;
            break;
        case EnvRelease:
            level -= rate * dt;
            if (level <= 0.0f) {
                level = 0.0f;
                state = EnvDone;
            }
            output[k] = pow4(level) * peak;
            break;
        default:
            output[k] = pow4(level) * peak;
            break;
        }
    }
}

} // namespace md
