// Four one-pole stages with resonance feedback from the last stage, which saturates softly. Modes: 0 off,
// 1 low-pass, 2 high-pass, 3 band-pass, 4 low-pass plus band, 5 high-pass minus band; others run the stages
// but leave the signal as it was.
#pragma once

#include "synth/constants.h"
#include "synth/sweep.h"

namespace md {

struct Filter {
    int mode = 0;
    float resonance = 0; // 0..1
    Sweep cutoff;        // value = normalised cutoff 0..1, advanced once per processed block
    float stageIn = 0, stage1 = 0, stage2 = 0, stage3 = 0, stage4 = 0;

    // Soft saturation of the last stage: x - x^3 x kSaturation.
    static constexpr float kSaturation = 0.16666699945926666f;

    // The coefficients of one block: stage gain g, feedback h = 2g - 1 and resonance feedback r.
    struct Coefficients {
        float g, h, r;
    };
    // Advances the cutoff sweep by one step and returns the coefficients of the block it starts.
    Coefficients startBlock();

    void clearState() { stageIn = stage1 = stage2 = stage3 = stage4 = 0.0f; }
    void process(float* buffer); // one control block, in place

    // The same as `process` on up to eight independent filters and their buffers at once, one per SIMD lane.
    // Every filter given must have a mode other than 0.
    static void processGroup(Filter* const* filters, float* const* buffers, int count);
    // Up to sixteen at once: with AVX, two interleaved groups of eight lanes; otherwise groups of eight.
    static void processWide(Filter* const* filters, float* const* buffers, int count);
};

} // namespace md
