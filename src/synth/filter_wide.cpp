// Sixteen filters at once with AVX: two interleaved groups of eight lanes, each lane doing exactly the
// arithmetic of Filter::process. Chosen at run time; without AVX the filters run in groups of eight.
#include <immintrin.h>

#include <algorithm>

#include "synth/filter.h"

namespace md {
namespace {

#define MD_AVX __attribute__((target("avx")))

struct Lanes8 {
    Filter* f[8];
    float* b[8];
    int count;
    __m256 g, h, r, sIn, s1, s2, s3, s4;
    __m256 mask[6]; // by mode: 0 leaves the sample alone, 1 to 5 select that mode's output
};

MD_AVX void load(Lanes8& l, Filter* const* filters, float* const* buffers, int n, Filter* spare,
                 float* spareBuffer) {
    l.count = n;
    alignas(32) float vg[8], vh[8], vr[8], vIn[8], v1[8], v2[8], v3[8], v4[8];
    alignas(32) uint32_t modeMask[6][8] = {};
    for (int lane = 0; lane < 8; ++lane) {
        l.f[lane] = lane < n ? filters[lane] : spare;
        l.b[lane] = lane < n ? buffers[lane] : spareBuffer;
        const Filter::Coefficients k = l.f[lane]->startBlock();
        vg[lane] = k.g;
        vh[lane] = k.h;
        vr[lane] = k.r;
        vIn[lane] = l.f[lane]->stageIn;
        v1[lane] = l.f[lane]->stage1;
        v2[lane] = l.f[lane]->stage2;
        v3[lane] = l.f[lane]->stage3;
        v4[lane] = l.f[lane]->stage4;
        const int m = l.f[lane]->mode;
        modeMask[(m >= 1 && m <= 5) ? m : 0][lane] = 0xFFFFFFFFu;
    }
    l.g = _mm256_load_ps(vg);
    l.h = _mm256_load_ps(vh);
    l.r = _mm256_load_ps(vr);
    l.sIn = _mm256_load_ps(vIn);
    l.s1 = _mm256_load_ps(v1);
    l.s2 = _mm256_load_ps(v2);
    l.s3 = _mm256_load_ps(v3);
    l.s4 = _mm256_load_ps(v4);
    for (int j = 0; j < 6; ++j) l.mask[j] = _mm256_load_ps(reinterpret_cast<const float*>(modeMask[j]));
}

MD_AVX void store(Lanes8& l) {
    alignas(32) float vIn[8], v1[8], v2[8], v3[8], v4[8];
    _mm256_store_ps(vIn, l.sIn);
    _mm256_store_ps(v1, l.s1);
    _mm256_store_ps(v2, l.s2);
    _mm256_store_ps(v3, l.s3);
    _mm256_store_ps(v4, l.s4);
    for (int lane = 0; lane < l.count; ++lane) {
        l.f[lane]->stageIn = vIn[lane];
        l.f[lane]->stage1 = v1[lane];
        l.f[lane]->stage2 = v2[lane];
        l.f[lane]->stage3 = v3[lane];
        l.f[lane]->stage4 = v4[lane];
    }
}

MD_AVX inline __m256 select(__m256 m, __m256 a, __m256 b) {
    return _mm256_or_ps(_mm256_and_ps(m, a), _mm256_andnot_ps(m, b));
}

// One sample of eight filters.
MD_AVX inline __m256 step(Lanes8& l, __m256 original) {
    const __m256 minusOne = _mm256_set1_ps(-1.0f), one = _mm256_set1_ps(1.0f);
    __m256 x = select(_mm256_cmp_ps(original, minusOne, _CMP_GE_OQ), original, minusOne); // NaN becomes -1
    x = select(_mm256_cmp_ps(x, one, _CMP_GT_OQ), one, x);
    const __m256 in = _mm256_sub_ps(x, _mm256_mul_ps(l.s4, l.r));
    const __m256 n1 = _mm256_sub_ps(_mm256_mul_ps(_mm256_add_ps(l.sIn, in), l.g), _mm256_mul_ps(l.s1, l.h));
    const __m256 n2 = _mm256_sub_ps(_mm256_mul_ps(_mm256_add_ps(l.s1, n1), l.g), _mm256_mul_ps(l.s2, l.h));
    const __m256 n3 = _mm256_sub_ps(_mm256_mul_ps(_mm256_add_ps(l.s2, n2), l.g), _mm256_mul_ps(l.s3, l.h));
    __m256 n4 = _mm256_sub_ps(_mm256_mul_ps(_mm256_add_ps(l.s3, n3), l.g), _mm256_mul_ps(l.s4, l.h));
    n4 = _mm256_sub_ps(
        n4, _mm256_mul_ps(_mm256_mul_ps(_mm256_mul_ps(n4, n4), n4), _mm256_set1_ps(Filter::kSaturation)));
    l.sIn = in;
    l.s1 = n1;
    l.s2 = n2;
    l.s3 = n3;
    l.s4 = n4;
    const __m256 high = _mm256_sub_ps(in, n4);
    const __m256 band = _mm256_mul_ps(_mm256_sub_ps(n3, n4), _mm256_set1_ps(3.0f));
    const __m256 lowBand = _mm256_mul_ps(_mm256_add_ps(band, n4), _mm256_set1_ps(0.71f));
    const __m256 highBand = _mm256_mul_ps(_mm256_sub_ps(high, band), _mm256_set1_ps(0.71f));
    __m256 out = _mm256_and_ps(l.mask[0], original);
    out = _mm256_or_ps(out, _mm256_and_ps(l.mask[1], n4));
    out = _mm256_or_ps(out, _mm256_and_ps(l.mask[2], high));
    out = _mm256_or_ps(out, _mm256_and_ps(l.mask[3], band));
    out = _mm256_or_ps(out, _mm256_and_ps(l.mask[4], lowBand));
    out = _mm256_or_ps(out, _mm256_and_ps(l.mask[5], highBand));
    return out;
}

// 8 x 8 transpose: row r (buffer r, samples i .. i + 7) becomes vector j (sample i + j of every buffer).
MD_AVX inline void transpose8(__m256* r) {
    const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]), t1 = _mm256_unpackhi_ps(r[0], r[1]);
    const __m256 t2 = _mm256_unpacklo_ps(r[2], r[3]), t3 = _mm256_unpackhi_ps(r[2], r[3]);
    const __m256 t4 = _mm256_unpacklo_ps(r[4], r[5]), t5 = _mm256_unpackhi_ps(r[4], r[5]);
    const __m256 t6 = _mm256_unpacklo_ps(r[6], r[7]), t7 = _mm256_unpackhi_ps(r[6], r[7]);
    const __m256 u0 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 u1 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 u2 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 u3 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 u4 = _mm256_shuffle_ps(t4, t6, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 u5 = _mm256_shuffle_ps(t4, t6, _MM_SHUFFLE(3, 2, 3, 2));
    const __m256 u6 = _mm256_shuffle_ps(t5, t7, _MM_SHUFFLE(1, 0, 1, 0));
    const __m256 u7 = _mm256_shuffle_ps(t5, t7, _MM_SHUFFLE(3, 2, 3, 2));
    r[0] = _mm256_permute2f128_ps(u0, u4, 0x20);
    r[1] = _mm256_permute2f128_ps(u1, u5, 0x20);
    r[2] = _mm256_permute2f128_ps(u2, u6, 0x20);
    r[3] = _mm256_permute2f128_ps(u3, u7, 0x20);
    r[4] = _mm256_permute2f128_ps(u0, u4, 0x31);
    r[5] = _mm256_permute2f128_ps(u1, u5, 0x31);
    r[6] = _mm256_permute2f128_ps(u2, u6, 0x31);
    r[7] = _mm256_permute2f128_ps(u3, u7, 0x31);
}

MD_AVX void processSixteen(Filter* const* filters, float* const* buffers, int count) {
    Filter spare[2];
    spare[0].mode = spare[1].mode = 1;
    alignas(32) float spareBuffer[2][controlBlock] = {};
    Lanes8 a, b;
    load(a, filters, buffers, std::min(count, 8), &spare[0], spareBuffer[0]);
    load(b, filters + 8, buffers + 8, std::max(count - 8, 0), &spare[1], spareBuffer[1]);
    for (int i = 0; i < controlBlock; i += 8) {
        __m256 va[8], vb[8];
        for (int lane = 0; lane < 8; ++lane) {
            va[lane] = _mm256_loadu_ps(a.b[lane] + i);
            vb[lane] = _mm256_loadu_ps(b.b[lane] + i);
        }
        transpose8(va);
        transpose8(vb);
        for (int j = 0; j < 8; ++j) {
            va[j] = step(a, va[j]);
            vb[j] = step(b, vb[j]);
        }
        transpose8(va);
        transpose8(vb);
        for (int lane = 0; lane < 8; ++lane) {
            _mm256_storeu_ps(a.b[lane] + i, va[lane]);
            _mm256_storeu_ps(b.b[lane] + i, vb[lane]);
        }
    }
    store(a);
    store(b);
}

bool haveAvx() {
    static const bool avx = __builtin_cpu_supports("avx");
    return avx;
}

} // namespace

void Filter::processWide(Filter* const* filters, float* const* buffers, int count) {
    if (count > 8 && haveAvx()) {
        processSixteen(filters, buffers, count);
        return;
    }
    for (int i = 0; i < count; i += 8) processGroup(filters + i, buffers + i, std::min(8, count - i));
}

} // namespace md
