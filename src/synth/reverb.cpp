#include "synth/reverb.h"

#include <cstring>

#include "synth/constants.h"

namespace md {
namespace {
inline float flushed(float x) {
    return isZeroOrDenormal(x) ? 0.0f : x;
}
} // namespace

Reverb::Reverb() {
    float* p = memory_;
    for (int c = 0; c < kCombs; ++c) {
        comb_[c] = p;
        p += kCombLength[c];
    }
    for (int a = 0; a < kAllPasses; ++a) {
        allPass_[a] = p;
        p += kAllPassLength[a];
    }
    clear();
}

void Reverb::clear() {
    std::memset(combPos_, 0, sizeof combPos_);
    std::memset(combStore_, 0, sizeof combStore_);
    std::memset(allPassPos_, 0, sizeof allPassPos_);
    std::memset(memory_, 0, sizeof memory_);
}

void Reverb::apply(const ReverbSettings& s, const float* send, StereoFrame* mix, int count) {
    const float feedback = static_cast<float>(s.room) * 0.0022047243f + 0.7f;
    const float damp1 = static_cast<float>(s.damp) * 0.0031496063f;
    const float damp2 = 1.0f - damp1;
    const float w = static_cast<float>(s.width) * 0.007874016f;
    const float wet1 = w * 0.5f * 3.0f + 1.5f;
    const float wet2 = (1.0f - w) * 0.5f * 3.0f;
    const float g = static_cast<float>(s.gain) * 0.007874016f;

    for (int i = 0; i < count; ++i) {
        const float in = (send[i] + send[i]) * g * g * g;
        float acc[2] = {0.0f, 0.0f};
        for (int c = 0; c < kCombs; ++c) {
            float* buf = comb_[c];
            int& pos = combPos_[c];
            const float y = flushed(buf[pos]);
            combStore_[c] = combStore_[c] * damp1 + y * damp2;
            buf[pos] = combStore_[c] * feedback + in;
            if (++pos == kCombLength[c]) pos = 0;
            acc[c & 1] += y;
        }
        for (int a = 0; a < kAllPasses; ++a) {
            float* buf = allPass_[a];
            int& pos = allPassPos_[a];
            const float b = flushed(buf[pos]);
            const float x = acc[a & 1];
            buf[pos] = b * 0.5f + x;
            acc[a & 1] = b - x;
            if (++pos == kAllPassLength[a]) pos = 0;
        }
        const float outL = flushed(acc[1] * wet2 + acc[0] * wet1);
        const float outR = flushed(acc[0] * wet2 + acc[1] * wet1);
        mix[i].left += outL;
        mix[i].right += outR;
    }
}

} // namespace md
