#include "synth/filter.h"

#include <xmmintrin.h>

namespace md {
namespace {

constexpr float kSaturation = 0.16666699945926666f;

struct Coefficients {
    float g, h, r;
};

// Advances the cutoff sweep and derives the block's coefficients from it.
Coefficients blockCoefficients(Filter& f) {
    f.cutoff.advance();
    const float c = f.cutoff.value * 0.5f;
    const float e = 1.0f - c;
    const float g = c * 0.8f * e + c;
    const float h = 2.0f * g - 1.0f;
    const float r = ((5.6f * (e * e) + c) * e * 0.5f + 1.0f) * f.resonance;
    return {g, h, r};
}

} // namespace

void Filter::process(float* buffer) {
    if (mode == 0) return;
    const Coefficients k = blockCoefficients(*this);
    const float g = k.g, h = k.h, r = k.r;

    float sIn = stageIn, s1 = stage1, s2 = stage2, s3 = stage3, s4 = stage4;
    for (int i = 0; i < controlBlock; ++i) {
        const float original = buffer[i];
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
            buffer[i] = n4;
            break;
        case 2:
            buffer[i] = in - n4;
            break;
        case 3:
            buffer[i] = (n3 - n4) * 3.0f;
            break;
        case 4:
            buffer[i] = ((n3 - n4) * 3.0f + n4) * 0.71f;
            break;
        case 5:
            buffer[i] = ((in - n4) - (n3 - n4) * 3.0f) * 0.71f;
            break;
        default:
            buffer[i] = original;
            break;
        }
    }
    stageIn = sIn;
    stage1 = s1;
    stage2 = s2;
    stage3 = s3;
    stage4 = s4;
}

void Filter::processGroup(Filter* const* filters, float* const* buffers, int count) {
    // Unused lanes run on a scratch filter and buffer; their results are discarded.
    Filter spare;
    spare.mode = 1;
    alignas(16) float spareBuffer[controlBlock] = {};
    Filter* f[4];
    float* b[4];
    alignas(16) float g[4], h[4], r[4], sIn[4], s1[4], s2[4], s3[4], s4[4];
    alignas(16) uint32_t modeMask[6][4];
    for (int lane = 0; lane < 4; ++lane) {
        f[lane] = lane < count ? filters[lane] : &spare;
        b[lane] = lane < count ? buffers[lane] : spareBuffer;
        const Coefficients k = blockCoefficients(*f[lane]);
        g[lane] = k.g;
        h[lane] = k.h;
        r[lane] = k.r;
        sIn[lane] = f[lane]->stageIn;
        s1[lane] = f[lane]->stage1;
        s2[lane] = f[lane]->stage2;
        s3[lane] = f[lane]->stage3;
        s4[lane] = f[lane]->stage4;
        const int m = f[lane]->mode;
        for (int j = 0; j < 6; ++j) modeMask[j][lane] = 0;
        modeMask[(m >= 1 && m <= 5) ? m : 0][lane] = 0xFFFFFFFFu; // slot 0: leave the sample alone
    }
    const __m128 vg = _mm_load_ps(g), vh = _mm_load_ps(h), vr = _mm_load_ps(r);
    __m128 vIn = _mm_load_ps(sIn), v1 = _mm_load_ps(s1), v2 = _mm_load_ps(s2), v3 = _mm_load_ps(s3),
           v4 = _mm_load_ps(s4);
    __m128 mask[6];
    for (int j = 0; j < 6; ++j)
        mask[j] = _mm_castsi128_ps(_mm_load_si128(reinterpret_cast<const __m128i*>(modeMask[j])));
    const __m128 minusOne = _mm_set1_ps(-1.0f), one = _mm_set1_ps(1.0f), three = _mm_set1_ps(3.0f),
                 mix = _mm_set1_ps(0.71f), sat = _mm_set1_ps(kSaturation);

    auto select = [](__m128 m, __m128 a, __m128 b) {
        return _mm_or_ps(_mm_and_ps(m, a), _mm_andnot_ps(m, b));
    };

    for (int i = 0; i < controlBlock; i += 4) {
        __m128 x0 = _mm_loadu_ps(b[0] + i), x1 = _mm_loadu_ps(b[1] + i), x2 = _mm_loadu_ps(b[2] + i),
               x3 = _mm_loadu_ps(b[3] + i);
        _MM_TRANSPOSE4_PS(x0, x1, x2, x3); // now xj holds sample i + j of the four lanes
        __m128 samples[4] = {x0, x1, x2, x3};
        for (int j = 0; j < 4; ++j) {
            const __m128 original = samples[j];
            __m128 x = select(_mm_cmpge_ps(original, minusOne), original, minusOne); // NaN becomes -1
            x = select(_mm_cmpgt_ps(x, one), one, x);
            const __m128 in = _mm_sub_ps(x, _mm_mul_ps(v4, vr));
            const __m128 n1 = _mm_sub_ps(_mm_mul_ps(_mm_add_ps(vIn, in), vg), _mm_mul_ps(v1, vh));
            const __m128 n2 = _mm_sub_ps(_mm_mul_ps(_mm_add_ps(v1, n1), vg), _mm_mul_ps(v2, vh));
            const __m128 n3 = _mm_sub_ps(_mm_mul_ps(_mm_add_ps(v2, n2), vg), _mm_mul_ps(v3, vh));
            __m128 n4 = _mm_sub_ps(_mm_mul_ps(_mm_add_ps(v3, n3), vg), _mm_mul_ps(v4, vh));
            n4 = _mm_sub_ps(n4, _mm_mul_ps(_mm_mul_ps(_mm_mul_ps(n4, n4), n4), sat));
            vIn = in;
            v1 = n1;
            v2 = n2;
            v3 = n3;
            v4 = n4;
            const __m128 high = _mm_sub_ps(in, n4);
            const __m128 band = _mm_mul_ps(_mm_sub_ps(n3, n4), three);
            const __m128 lowBand = _mm_mul_ps(_mm_add_ps(band, n4), mix);
            const __m128 highBand = _mm_mul_ps(_mm_sub_ps(high, band), mix);
            __m128 out = _mm_and_ps(mask[0], original);
            out = _mm_or_ps(out, _mm_and_ps(mask[1], n4));
            out = _mm_or_ps(out, _mm_and_ps(mask[2], high));
            out = _mm_or_ps(out, _mm_and_ps(mask[3], band));
            out = _mm_or_ps(out, _mm_and_ps(mask[4], lowBand));
            out = _mm_or_ps(out, _mm_and_ps(mask[5], highBand));
            samples[j] = out;
        }
        _MM_TRANSPOSE4_PS(samples[0], samples[1], samples[2], samples[3]);
        for (int lane = 0; lane < 4; ++lane) _mm_storeu_ps(b[lane] + i, samples[lane]);
    }
    _mm_store_ps(sIn, vIn);
    _mm_store_ps(s1, v1);
    _mm_store_ps(s2, v2);
    _mm_store_ps(s3, v3);
    _mm_store_ps(s4, v4);
    for (int lane = 0; lane < count; ++lane) {
        f[lane]->stageIn = sIn[lane];
        f[lane]->stage1 = s1[lane];
        f[lane]->stage2 = s2[lane];
        f[lane]->stage3 = s3[lane];
        f[lane]->stage4 = s4[lane];
    }
}

} // namespace md
