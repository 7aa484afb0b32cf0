// Oscillators and the Sweep modulator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "synth/oscillators.h"
#include "synth/sweep.h"

namespace md {
namespace {

TEST(OscSaw, RisesOverHalfAPeriodAndSpansTheWrapWithAnIntermediateValue) {
    OscSaw saw;
    saw.phase = 0.005f; // so that one sample straddles the wrap
    uint8_t wraps[controlBlock] = {};
    saw.wrapFlags = wraps;
    saw.generate(480.0f); // period 100 samples, two cycles per period: d = 0.02
    EXPECT_FLOAT_EQ(saw.period, 100.0f);
    // The ramp rises 2d per sample; the sample straddling the wrap lies between the top and the bottom, and
    // the wrap flag marks the first sample of the new ramp.
    int wrapCount = 0;
    for (int k = 2; k < controlBlock; ++k) {
        ASSERT_GE(saw.output[k], -1.0f);
        ASSERT_LE(saw.output[k], 1.0f);
        if (wraps[k]) {
            ++wrapCount;
            EXPECT_GT(saw.output[k - 2], 0.9f);
            EXPECT_GT(saw.output[k - 1], -0.9f);
            EXPECT_LT(saw.output[k - 1], 0.9f);
            EXPECT_LT(saw.output[k], -0.9f);
        } else if (k + 1 < controlBlock && !wraps[k + 1]) {
            EXPECT_NEAR(saw.output[k] - saw.output[k - 1], 0.04f, 1e-4f) << k;
        }
    }
    EXPECT_EQ(wrapCount, 1); // 96 samples at 50 samples per cycle, starting just past phase 0
}

TEST(OscSaw, ResetFlagRestartsThePhaseBeforeTheSample) {
    OscSaw fresh, synced;
    fresh.generate(1000.0f);
    uint8_t resets[controlBlock] = {};
    resets[10] = 1;
    synced.phase = 0.37f;
    synced.resetFlags = resets;
    synced.generate(1000.0f);
    // After the reset at sample 10 the waveform repeats what a fresh oscillator produced from sample 0.
    for (int k = 10; k < controlBlock; ++k) EXPECT_EQ(synced.output[k], fresh.output[k - 10]) << k;
}

TEST(OscSquare, DutyCycleFollowsThePulseWidth) {
    for (float width : {0.25f, 0.5f, 0.75f}) {
        OscSquare sq;
        sq.pulseWidth.value = width;
        sq.pulseWidth.low = 0.0f;
        sq.pulseWidth.high = 1.0f;
        sq.pulseWidth.speed = sampleDuration;
        double sum = 0;
        int high = 0;
        for (int block = 0; block < 50; ++block) {
            sq.generate(240.0f); // 100-sample cycles
            for (float v : sq.output) {
                sum += v;
                high += v > 0.0f;
            }
        }
        EXPECT_NEAR(sum / 4800.0, 2.0 * width - 1.0, 0.01) << width;
        EXPECT_NEAR(high / 4800.0, width, 0.02) << width;
    }
}

TEST(OscSquare, PulseWidthAtTheEdgesGivesAConstant) {
    for (float width : {0.0f, 1.0f}) {
        OscSquare sq;
        sq.pulseWidth.value = sq.pulseWidth.low = sq.pulseWidth.high = width;
        sq.generate(500.0f);
        for (float v : sq.output) EXPECT_NEAR(v, 2.0f * width - 1.0f, 1e-5f);
    }
}

TEST(OscTriangle, DescendsFromThePeakAtPhaseZero) {
    OscTriangle tri;
    tri.generate(1200.0f); // d = 8 / 40 = 0.2
    const float expected[] = {0.8f, 0.6f, 0.4f, 0.2f, 0.0f, -0.2f};
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(tri.output[k], expected[k], 1e-6f) << k;
}

TEST(OscTriangle, ResetStartsAtThePeakAndFirstWrapsOneAndAQuarterCyclesLater) {
    OscTriangle tri;
    uint8_t resets[controlBlock] = {}, wraps[controlBlock] = {};
    resets[0] = 1;
    tri.resetFlags = resets;
    tri.wrapFlags = wraps;
    tri.generate(600.0f); // d = 0.1: a cycle (4 phase units) is 40 samples
    int firstWrap = -1;
    for (int k = 0; k < controlBlock; ++k)
        if (wraps[k]) {
            firstWrap = k;
            break;
        }
    EXPECT_NEAR(firstWrap, 50, 1); // 1.25 cycles
}

TEST(OscWhitenoise, StartsAtZeroAndMovesLinearlyToRandomTargets) {
    OscWhitenoise noise;
    noise.generate(375.0f); // hold = 48000 / 375 / 32 = 4 samples per target
    EXPECT_EQ(noise.output[0], 0.0f);
    for (int seg = 0; seg < 20; ++seg) {
        const float* o = noise.output + seg * 4;
        const float slope = o[1] - o[0];
        EXPECT_NEAR(o[2] - o[1], slope, 1e-5f);
        EXPECT_NEAR(o[3] - o[2], slope, 1e-5f);
        EXPECT_GE(o[0], -1.0f);
        EXPECT_LT(o[0], 1.0f);
    }
    // The generator is deterministic: a second oscillator from the same seed makes the same signal.
    OscWhitenoise twin;
    twin.generate(375.0f);
    EXPECT_EQ(std::memcmp(noise.output, twin.output, sizeof noise.output), 0);
    // Segments differ: the signal is not constant.
    EXPECT_NE(noise.output[4], noise.output[8]);
}

TEST(Sweep, EqualBoundsStopTheSweepAtTheBound) {
    Sweep s{0.2f, 0.5f, 0.5f, 10.0f, 0.01f};
    for (int i = 0; i < 10; ++i) s.advance();
    EXPECT_EQ(s.value, 0.5f);
    EXPECT_EQ(s.step, 0.0f);
}

TEST(Sweep, TurnsExactlyAtEachBound) {
    Sweep s{0.5f, 0.2f, 0.8f, 7.0f, 0.01f};
    bool sawHigh = false, sawLow = false;
    for (int i = 0; i < 100; ++i) {
        s.advance();
        ASSERT_GE(s.value, 0.2f);
        ASSERT_LE(s.value, 0.8f);
        if (s.value == 0.8f) {
            sawHigh = true;
            EXPECT_LT(s.step, 0.0f);
        }
        if (s.value == 0.2f) {
            sawLow = true;
            EXPECT_GT(s.step, 0.0f);
        }
    }
    EXPECT_TRUE(sawHigh);
    EXPECT_TRUE(sawLow);
}

TEST(Sweep, OutsideItsRangeItTurnsAtTheEdgeOfTheUnitInterval) {
    Sweep s{0.9f, 0.2f, 0.5f, 5.0f, 0.01f}; // above high and rising: turns at 1
    for (int i = 0; i < 5; ++i) s.advance();
    EXPECT_LT(s.step, 0.0f);
    EXPECT_LE(s.value, 1.0f);
}

} // namespace
} // namespace md
