#include "synth/filter.h"

#include <emmintrin.h>
#include <xmmintrin.h>

#include <algorithm>

namespace md {
namespace {

constexpr float kSaturation = Filter::kSaturation;
using Coefficients = Filter::Coefficients;

Coefficients blockCoefficients(Filter& f) {
    return f.startBlock();
}

} // namespace

Filter::Coefficients Filter::startBlock() {
    cutoff.advance();
    const float c = cutoff.value * 0.5f;
    const float e = 1.0f - c;
    const float g = c * 0.8f * e + c;
    const float h = 2.0f * g - 1.0f;
    const float r = ((5.6f * (e * e) + c) * e * 0.5f + 1.0f) * resonance;
    return {g, h, r};
}

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

namespace {

// Four filters side by side in the lanes of one SSE vector.
struct Lanes {
    Filter* f[4];
    float* b[4];
    int count;
    __m128 g, h, r, sIn, s1, s2, s3, s4;
    __m128 mask[6]; // by mode: 0 leaves the sample alone, 1 to 5 select that mode's output

    void load(Filter* const* filters, float* const* buffers, int n, Filter* spare, float* spareBuffer) {
        count = n;
        alignas(16) float vg[4], vh[4], vr[4], vIn[4], v1[4], v2[4], v3[4], v4[4];
        alignas(16) uint32_t modeMask[6][4] = {};
        for (int lane = 0; lane < 4; ++lane) {
            f[lane] = lane < n ? filters[lane] : spare;
            b[lane] = lane < n ? buffers[lane] : spareBuffer;
            const Coefficients k = blockCoefficients(*f[lane]);
            vg[lane] = k.g;
            vh[lane] = k.h;
            vr[lane] = k.r;
            vIn[lane] = f[lane]->stageIn;
            v1[lane] = f[lane]->stage1;
            v2[lane] = f[lane]->stage2;
            v3[lane] = f[lane]->stage3;
            v4[lane] = f[lane]->stage4;
            const int m = f[lane]->mode;
            modeMask[(m >= 1 && m <= 5) ? m : 0][lane] = 0xFFFFFFFFu;
        }
        g = _mm_load_ps(vg);
        h = _mm_load_ps(vh);
        r = _mm_load_ps(vr);
        sIn = _mm_load_ps(vIn);
        s1 = _mm_load_ps(v1);
        s2 = _mm_load_ps(v2);
        s3 = _mm_load_ps(v3);
        s4 = _mm_load_ps(v4);
        for (int j = 0; j < 6; ++j)
            mask[j] = _mm_castsi128_ps(_mm_load_si128(reinterpret_cast<const __m128i*>(modeMask[j])));
    }

    void store() {
        alignas(16) float vIn[4], v1[4], v2[4], v3[4], v4[4];
        _mm_store_ps(vIn, sIn);
        _mm_store_ps(v1, s1);
        _mm_store_ps(v2, s2);
        _mm_store_ps(v3, s3);
        _mm_store_ps(v4, s4);
        for (int lane = 0; lane < count; ++lane) {
            f[lane]->stageIn = vIn[lane];
            f[lane]->stage1 = v1[lane];
            f[lane]->stage2 = v2[lane];
            f[lane]->stage3 = v3[lane];
            f[lane]->stage4 = v4[lane];
        }
    }

    static __m128 select(__m128 m, __m128 a, __m128 b) {
        return _mm_or_ps(_mm_and_ps(m, a), _mm_andnot_ps(m, b));
    }

    // One sample of the four filters: the arithmetic of Filter::process, lane by lane.
    __m128 step(__m128 original) {
        const __m128 minusOne = _mm_set1_ps(-1.0f), one = _mm_set1_ps(1.0f);
        __m128 x = select(_mm_cmpge_ps(original, minusOne), original, minusOne); // NaN becomes -1
        x = select(_mm_cmpgt_ps(x, one), one, x);
        const __m128 in = _mm_sub_ps(x, _mm_mul_ps(s4, r));
        const __m128 n1 = _mm_sub_ps(_mm_mul_ps(_mm_add_ps(sIn, in), g), _mm_mul_ps(s1, h));
        const __m128 n2 = _mm_sub_ps(_mm_mul_ps(_mm_add_ps(s1, n1), g), _mm_mul_ps(s2, h));
        const __m128 n3 = _mm_sub_ps(_mm_mul_ps(_mm_add_ps(s2, n2), g), _mm_mul_ps(s3, h));
        __m128 n4 = _mm_sub_ps(_mm_mul_ps(_mm_add_ps(s3, n3), g), _mm_mul_ps(s4, h));
        n4 = _mm_sub_ps(n4, _mm_mul_ps(_mm_mul_ps(_mm_mul_ps(n4, n4), n4), _mm_set1_ps(kSaturation)));
        sIn = in;
        s1 = n1;
        s2 = n2;
        s3 = n3;
        s4 = n4;
        const __m128 high = _mm_sub_ps(in, n4);
        const __m128 band = _mm_mul_ps(_mm_sub_ps(n3, n4), _mm_set1_ps(3.0f));
        const __m128 lowBand = _mm_mul_ps(_mm_add_ps(band, n4), _mm_set1_ps(0.71f));
        const __m128 highBand = _mm_mul_ps(_mm_sub_ps(high, band), _mm_set1_ps(0.71f));
        __m128 out = _mm_and_ps(mask[0], original);
        out = _mm_or_ps(out, _mm_and_ps(mask[1], n4));
        out = _mm_or_ps(out, _mm_and_ps(mask[2], high));
        out = _mm_or_ps(out, _mm_and_ps(mask[3], band));
        out = _mm_or_ps(out, _mm_and_ps(mask[4], lowBand));
        out = _mm_or_ps(out, _mm_and_ps(mask[5], highBand));
        return out;
    }

    // Samples i .. i + 3 of the four buffers, transposed so that vector j holds sample i + j.
    void gather(int i, __m128* v) const {
        v[0] = _mm_loadu_ps(b[0] + i);
        v[1] = _mm_loadu_ps(b[1] + i);
        v[2] = _mm_loadu_ps(b[2] + i);
        v[3] = _mm_loadu_ps(b[3] + i);
        _MM_TRANSPOSE4_PS(v[0], v[1], v[2], v[3]);
    }
    void scatter(int i, __m128* v) const {
        _MM_TRANSPOSE4_PS(v[0], v[1], v[2], v[3]);
        for (int lane = 0; lane < 4; ++lane) _mm_storeu_ps(b[lane] + i, v[lane]);
    }
};

} // namespace

void Filter::processGroup(Filter* const* filters, float* const* buffers, int count) {
    // Unused lanes run on scratch filters and buffers; their results are discarded.
    Filter spare[2];
    spare[0].mode = spare[1].mode = 1;
    alignas(16) float spareBuffer[2][controlBlock] = {};
    // Two groups of four run interleaved, so that the two dependency chains overlap.
    Lanes a, b;
    a.load(filters, buffers, std::min(count, 4), &spare[0], spareBuffer[0]);
    const bool two = count > 4;
    b.load(filters + 4, buffers + 4, std::max(count - 4, 0), &spare[1], spareBuffer[1]);
    for (int i = 0; i < controlBlock; i += 4) {
        __m128 va[4], vb[4];
        a.gather(i, va);
        if (two) {
            b.gather(i, vb);
            for (int j = 0; j < 4; ++j) {
                va[j] = a.step(va[j]);
                vb[j] = b.step(vb[j]);
            }
            b.scatter(i, vb);
        } else {
            for (int j = 0; j < 4; ++j) va[j] = a.step(va[j]);
        }
        a.scatter(i, va);
    }
    a.store();
    if (two) b.store();
}

} // namespace md
