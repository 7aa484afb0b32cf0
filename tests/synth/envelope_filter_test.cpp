// Envelope shapes and timings; filter steady states and modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "synth/envelope.h"
#include "synth/filter.h"

namespace md {
namespace {

TEST(Envelope, AttackFollowsTheCubicCurveAndEndsAfterItsTime) {
    Envelope env;
    env.attackTime = 0.01f;
    env.decayTime = 0.5f;
    env.sustainLevel = 1.0f;
    env.releaseTime = 0.1f;
    env.trigger();
    std::vector<float> out;
    for (int block = 0; block < 6; ++block) {
        env.run();
        out.insert(out.end(), env.output, env.output + controlBlock);
    }
    // 0.01 s is 480 samples: the attack ends within a sample of it.
    int firstDecay = -1;
    for (int k = 0; k < static_cast<int>(out.size()); ++k) {
        const float t = (k + 1) / 480.0f;
        if (t < 0.995f) {
            EXPECT_NEAR(out[k], 1.0f - std::pow(1.0f - t, 3.0f), 2e-3f) << k;
        }
        if (firstDecay < 0 && out[k] >= 1.0f) firstDecay = k;
    }
    EXPECT_NEAR(firstDecay, 479, 1);
    EXPECT_EQ(env.state, EnvDecay);
    EXPECT_NEAR(out[firstDecay], env.peak, 1e-3f);
}

TEST(Envelope, DecayToZeroSustainEndsTheVoice) {
    Envelope env;
    env.attackTime = 0.0f;
    env.decayTime = 0.1f;
    env.sustainLevel = 0.0f;
    env.releaseTime = 0.1f;
    env.trigger(); // attack time 0: completes on the first sample
    int blocks = 0;
    while (env.state != EnvDone && blocks < 100) {
        env.run();
        ++blocks;
    }
    EXPECT_EQ(env.state, EnvDone);
    EXPECT_NEAR(blocks, 4800 / controlBlock, 1); // 0.1 s after the one-sample attack
    EXPECT_EQ(env.output[controlBlock - 1], 0.0f);
}

TEST(Envelope, SustainOutputIsTheFourthPowerOfTheLevel) {
    Envelope env;
    env.attackTime = 0.001f;
    env.decayTime = 0.01f;
    env.sustainLevel = 0.5f;
    env.releaseTime = 0.2f;
    env.trigger();
    for (int block = 0; block < 20; ++block) env.run();
    EXPECT_EQ(env.level, 0.5f);
    EXPECT_FLOAT_EQ(env.output[50], 0.0625f * env.peak);

    env.release();
    EXPECT_FLOAT_EQ(env.rate, 2.5f);
    int samples = 0;
    while (env.state != EnvDone) {
        env.run();
        samples += controlBlock;
    }
    EXPECT_NEAR(samples, 9600, controlBlock); // 0.2 s
}

TEST(Envelope, ReleaseDuringTheAttackJumpsToFullLevel) {
    Envelope env;
    env.attackTime = 1.0f;
    env.decayTime = 1.0f;
    env.sustainLevel = 1.0f;
    env.releaseTime = 0.5f;
    env.trigger();
    env.run();
    const float peak = env.peak;
    env.release();
    EXPECT_EQ(env.state, EnvRelease);
    EXPECT_EQ(env.level, 1.0f);
    EXPECT_FLOAT_EQ(env.rate, 2.0f);
    env.run();
    // The release continues from the attack's last output.
    EXPECT_NEAR(env.output[0], peak, 1e-3f);
    env.release(); // no effect once releasing
    EXPECT_EQ(env.state, EnvRelease);
}

Filter lowpassAtFullCutoff(int mode) {
    Filter f;
    f.mode = mode;
    f.cutoff.value = f.cutoff.low = f.cutoff.high = 1.0f;
    return f;
}

TEST(Filter, LowPassSettlesJustBelowAConstantInput) {
    Filter f = lowpassAtFullCutoff(1);
    float buf[controlBlock];
    for (int block = 0; block < 20; ++block) {
        std::fill(buf, buf + controlBlock, 0.5f);
        f.process(buf);
    }
    EXPECT_NEAR(f.stage1, 0.5f, 1e-5f);
    EXPECT_NEAR(f.stage3, 0.5f, 1e-3f);
    EXPECT_NEAR(buf[controlBlock - 1], 0.48456f, 1e-4f);
}

TEST(Filter, HighPassSettlesToZero) {
    Filter f = lowpassAtFullCutoff(2);
    float buf[controlBlock];
    for (int block = 0; block < 20; ++block) {
        std::fill(buf, buf + controlBlock, 0.5f);
        f.process(buf);
    }
    EXPECT_NEAR(buf[controlBlock - 1], 0.0f, 0.02f);
}

TEST(Filter, OffAndUnknownModesLeaveTheSignalAlone) {
    float buf[controlBlock], original[controlBlock];
    for (int k = 0; k < controlBlock; ++k) original[k] = buf[k] = std::sin(k * 0.3f) * 1.5f;

    Filter off = lowpassAtFullCutoff(0);
    off.cutoff.step = 1.0f;
    off.cutoff.speed = 0.01f;
    off.cutoff.low = 0.0f;
    off.process(buf);
    for (int k = 0; k < controlBlock; ++k) EXPECT_EQ(buf[k], original[k]);
    EXPECT_EQ(off.cutoff.value, 1.0f); // mode 0 does not even advance the sweep
    EXPECT_EQ(off.stage4, 0.0f);

    Filter seven = lowpassAtFullCutoff(7);
    seven.process(buf);
    for (int k = 0; k < controlBlock; ++k) EXPECT_EQ(buf[k], original[k]); // unclamped, unchanged
    EXPECT_NE(seven.stage4, 0.0f);                                         // while the stages evolve
}

TEST(Filter, InputIsClampedAndNaNBecomesMinusOne) {
    Filter a = lowpassAtFullCutoff(1), b = lowpassAtFullCutoff(1);
    float big[controlBlock], one[controlBlock];
    std::fill(big, big + controlBlock, 40.0f);
    std::fill(one, one + controlBlock, 1.0f);
    a.process(big);
    b.process(one);
    for (int k = 0; k < controlBlock; ++k) EXPECT_EQ(big[k], one[k]);

    Filter c = lowpassAtFullCutoff(1), d = lowpassAtFullCutoff(1);
    float nan[controlBlock], minus[controlBlock];
    std::fill(nan, nan + controlBlock, std::nanf(""));
    std::fill(minus, minus + controlBlock, -1.0f);
    c.process(nan);
    d.process(minus);
    for (int k = 0; k < controlBlock; ++k) EXPECT_EQ(nan[k], minus[k]);
}

TEST(Filter, ResonanceStaysBounded) {
    Filter f;
    f.mode = 1;
    f.resonance = 1.0f;
    f.cutoff.value = f.cutoff.low = f.cutoff.high = 0.05f;
    float buf[controlBlock];
    for (int block = 0; block < 500; ++block) {
        for (int k = 0; k < controlBlock; ++k) buf[k] = (k / 8) % 2 ? 1.0f : -1.0f;
        f.process(buf);
        for (float v : buf) ASSERT_TRUE(std::isfinite(v));
    }
}

} // namespace
} // namespace md
