#include "synth/reverb.h"

#include <cstring>
#include <xmmintrin.h>

#include "synth/constants.h"

namespace md {
namespace {
inline float flushed(float x) {
    return isZeroOrDenormal(x) ? 0.0f : x;
}

// A negative damping makes the combs' low-pass gain more than 1 at high frequencies; with a large room that
// beats the feedback's loss and the delay lines grow without end, to infinity and then NaN. A stable setting
// keeps them near the level of its input; one that runs away is held within +-kReverbLimit after every run
// (a run is shorter than the shortest delay, so within one the values can only grow by a small factor).
constexpr float kReverbLimit = 4096.0f;

inline float limited(float x) {
    return x < -kReverbLimit ? -kReverbLimit : (x > kReverbLimit ? kReverbLimit : x);
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
    quiet_ = true;
    silentFrames_ = 0;
}

bool Reverb::allZero() const {
    for (float s : combStore_)
        if (s != 0.0f) return false;
    for (float m : memory_)
        if (m != 0.0f) return false;
    return true;
}

template <bool Flush> void Reverb::run(const Params& p, const float* send, StereoFrame* mix, int count) {
    auto flush = [](float x) { return Flush ? flushed(x) : x; };
    int combPos[kCombs], allPassPos[kAllPasses];
    float store[kCombs];
    std::memcpy(combPos, combPos_, sizeof combPos);
    std::memcpy(allPassPos, allPassPos_, sizeof allPassPos);
    std::memcpy(store, combStore_, sizeof store);
    for (int i = 0; i < count; ++i) {
        const float in = (send[i] + send[i]) * p.g * p.g * p.g;
        float acc[2] = {0.0f, 0.0f};
        for (int c = 0; c < kCombs; ++c) {
            float* buf = comb_[c];
            const int pos = combPos[c];
            const float y = flush(buf[pos]);
            store[c] = store[c] * p.damp1 + y * p.damp2;
            buf[pos] = store[c] * p.feedback + in;
            combPos[c] = pos + 1 == kCombLength[c] ? 0 : pos + 1;
            acc[c & 1] += y;
        }
        for (int a = 0; a < kAllPasses; ++a) {
            float* buf = allPass_[a];
            const int pos = allPassPos[a];
            const float b = flush(buf[pos]);
            const float x = acc[a & 1];
            buf[pos] = b * 0.5f + x;
            acc[a & 1] = b - x;
            allPassPos[a] = pos + 1 == kAllPassLength[a] ? 0 : pos + 1;
        }
        mix[i].left += flush(acc[1] * p.wet2 + acc[0] * p.wet1);
        mix[i].right += flush(acc[0] * p.wet2 + acc[1] * p.wet1);
    }
    std::memcpy(combPos_, combPos, sizeof combPos);
    std::memcpy(allPassPos_, allPassPos, sizeof allPassPos);
    std::memcpy(combStore_, store, sizeof store);
}

void Reverb::apply(const ReverbSettings& s, const float* send, StereoFrame* mix, int count) {
    const float feedback = static_cast<float>(s.room) * 0.0022047243f + 0.7f;
    const float damp1 = static_cast<float>(s.damp) * 0.0031496063f;
    const float damp2 = 1.0f - damp1;
    const float w = static_cast<float>(s.width) * 0.007874016f;
    const float wet1 = w * 0.5f * 3.0f + 1.5f;
    const float wet2 = (1.0f - w) * 0.5f * 3.0f;
    const float g = static_cast<float>(s.gain) * 0.007874016f;

    // Silence in, and nothing left in the delay lines: every value read, stored and added would be zero.
    bool silentInput = true;
    for (int i = 0; i < count && silentInput; ++i) silentInput = send[i] == 0.0f;
    if (silentInput && quiet_) {
        for (int c = 0; c < kCombs; ++c) combPos_[c] = (combPos_[c] + count) % kCombLength[c];
        for (int a = 0; a < kAllPasses; ++a) allPassPos_[a] = (allPassPos_[a] + count) % kAllPassLength[a];
        return;
    }
    quiet_ = false;
    silentFrames_ = silentInput ? silentFrames_ + count : 0;

    // With denormals flushed by the floating-point mode the explicit flushes change nothing but the sign of a
    // zero, which never reaches a sample: the loop then runs without them.
    const bool modeFlushes = (_mm_getcsr() & 0x8040u) == 0x8040u;
    const Params p{feedback, damp1, damp2, wet1, wet2, g};
    if (modeFlushes)
        run<false>(p, send, mix, count);
    else
        run<true>(p, send, mix, count);

    // The comb filters' states follow what the delay lines hold: one beyond the limit means a runaway.
    bool runaway = false;
    for (float x : combStore_) runaway |= !(x >= -kReverbLimit && x <= kReverbLimit);
    if (runaway) {
        for (float& x : combStore_) x = limited(x);
        for (float& x : memory_) x = limited(x);
    }

    // After a tenth of a second without input, look whether the tail has died away completely.
    constexpr int kQuietCheckFrames = 4800;
    if (silentFrames_ >= kQuietCheckFrames) {
        silentFrames_ = 0;
        quiet_ = allZero();
    }
}

} // namespace md
