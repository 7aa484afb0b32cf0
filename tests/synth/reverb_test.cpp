// Reverb.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "synth/reverb.h"

namespace md {
namespace {

const ReverbSettings kDefaults{64, 0, 23, 32};

std::vector<StereoFrame> impulseResponse(const ReverbSettings& s, int frames) {
    auto reverb = std::make_unique<Reverb>();
    std::vector<float> send(frames, 0.0f);
    send[0] = 1.0f;
    std::vector<StereoFrame> out(frames, StereoFrame{0, 0});
    for (int i = 0; i < frames; i += 96)
        reverb->apply(s, send.data() + i, out.data() + i, std::min(96, frames - i));
    return out;
}

TEST(Reverb, SilenceInAddsExactlyNothing) {
    auto reverb = std::make_unique<Reverb>();
    float send[96] = {};
    StereoFrame mix[96] = {};
    for (int i = 0; i < 100; ++i) reverb->apply(kDefaults, send, mix, 96);
    for (auto& m : mix) {
        EXPECT_EQ(m.left, 0.0f);
        EXPECT_EQ(m.right, 0.0f);
    }
}

TEST(Reverb, ImpulseFirstAppearsAtFrame1116OnBothChannels) {
    auto out = impulseResponse(kDefaults, 1152);
    for (int i = 0; i < 1116; ++i) {
        ASSERT_EQ(out[i].left, 0.0f) << i;
        ASSERT_EQ(out[i].right, 0.0f) << i;
    }
    EXPECT_NE(out[1116].left, 0.0f);
    EXPECT_NE(out[1116].right, 0.0f);
    // Comb 0 feeds the left accumulator: the left side gets wet1, the right wet2.
    EXPECT_GT(out[1116].left, out[1116].right);
}

TEST(Reverb, ZeroGainMutesTheInput) {
    auto out = impulseResponse(ReverbSettings{64, 0, 23, 0}, 4800);
    for (auto& m : out) {
        ASSERT_EQ(m.left, 0.0f);
        ASSERT_EQ(m.right, 0.0f);
    }
}

TEST(Reverb, LargeRoomRingsLongerThanSmallRoom) {
    auto energyAfter = [](int8_t room) {
        auto out = impulseResponse(ReverbSettings{room, 0, 23, 127}, 48000);
        double e = 0;
        for (int i = 24000; i < 48000; ++i) e += out[i].left * out[i].left;
        return e;
    };
    EXPECT_GT(energyAfter(127), 100 * energyAfter(-128));
}

} // namespace
} // namespace md
