// The four oscillators of a voice. Each call of `generate` produces one control block (96 samples) at a
// frequency argument f; the waveform's fundamental is 2f (two cycles per `period` = sampleRate / f samples).
// Saw and square are band-limited by averaging the naive ramp over each sample (difference of squares).
#pragma once

#include <cstdint>

#include "synth/constants.h"
#include "synth/sweep.h"

namespace md {

struct Osc {
    uint8_t* resetFlags = nullptr; // 96 bytes: a non-zero byte k restarts the phase before sample k
    uint8_t* wrapFlags = nullptr;  // 96 bytes: byte k set to 1 when the phase wrapped at sample k
    float period = 0;              // sampleRate / f of the last generate
    float phase = 0;               // phase accumulator (noise: current output value)
    float output[controlBlock] = {};
};

struct OscSaw : Osc {
    void generate(float frequency);
};

struct OscSquare : Osc {
    Sweep pulseWidth; // duty cycle in [0, 1], advanced once per sample
    void generate(float frequency);
};

struct OscTriangle : Osc {
    void generate(float frequency);
};

struct OscWhitenoise : Osc {
    static constexpr uint32_t kInitialSeed = 22222;
    uint32_t noiseSeed = kInitialSeed; // generator state, never reseeded
    float noiseCountdown = 0;          // samples until the next random target
    float noiseSlope = 0;              // per-sample increment toward the target
    void generate(float frequency);
};

} // namespace md
