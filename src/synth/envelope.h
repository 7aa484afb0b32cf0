// Linear attack/decay/sustain/release ramp, shaped by a cubic curve in the attack and a fourth power after
// it. Times in seconds, `rate` in level units per second; `run` fills one control block of output.
#pragma once

#include "synth/constants.h"

namespace md {

enum EnvState : int { EnvAttack = 0, EnvDecay = 1, EnvRelease = 2, EnvDone = 3 };

struct Envelope {
    float attackTime = 0;
    float decayTime = 0;
    float sustainLevel = 0;
    float releaseTime = 0;
    float rate = 0;
    int state = EnvAttack;
    float level = 0;
    float peak = 1.0f; // the latest attack-phase output; scales everything after it
    float output[controlBlock] = {};

    // Restart from the attack.
    void trigger() {
        state = EnvAttack;
        if (attackTime == 0.0f) {
            level = 1.0f;
            rate = 0.0f;
        } else {
            level = 0.0f;
            rate = 1.0f / attackTime;
        }
    }

    // Enter the release from the attack or decay; a release takes releaseTime wherever it starts.
    void release() {
        if (state != EnvAttack && state != EnvDecay) return;
        if (state == EnvAttack) level = 1.0f;
        state = EnvRelease;
        rate = level / releaseTime;
    }

    void run();
};

} // namespace md
