#include "synth/filter.h"

namespace md {

void Filter::process(float* buffer) {
    if (mode == 0) return;
    cutoff.advance();

    const float c = cutoff.value * 0.5f;
    const float e = 1.0f - c;
    const float g = c * 0.8f * e + c;
    const float h = 2.0f * g - 1.0f;
    const float r = ((5.6f * (e * e) + c) * e * 0.5f + 1.0f) * resonance;
    constexpr float kSaturation = 0.16666699945926666f;

    float sIn = stageIn, s1 = stage1, s2 = stage2, s3 = stage3, s4 = stage4;
    for (int k = 0; k < controlBlock; ++k) {
        const float original = buffer[k];
        float x = original;
        if (!(x >= -1.0f))
            x = -1.0f; // NaN becomes -1
        else if (x > 1.0f)
            x = 1.0f;
        const float in = x - s4 * r;
        const float n1 = (sIn + in) * g - s1 * h;
        const float n2 = (s1 + n1) * g - s2 * h;
        const float n3 = (s2 + n2) * g - s3 * h;
        float n4 = (s3 + n3) * g - s4 * h;
        n4 = n4 - ((n4 * n4) * n4) * kSaturation;
        sIn = in;
        s1 = n1;
        s2 = n2;
        s3 = n3;
        s4 = n4;
        switch (mode) {
        case 1:
            buffer[k] = n4;
            break;
        case 2:
            buffer[k] = in - n4;
            break;
        case 3:
            buffer[k] = (n3 - n4) * 3.0f;
            break;
        case 4:
            buffer[k] = ((n3 - n4) * 3.0f + n4) * 0.71f;
            break;
        case 5:
            buffer[k] = ((in - n4) - (n3 - n4) * 3.0f) * 0.71f;
            break;
        default:
            buffer[k] = original;
            break;
        }
    }
    stageIn = sIn;
    stage1 = s1;
    stage2 = s2;
    stage3 = s3;
    stage4 = s4;
}

} // namespace md
