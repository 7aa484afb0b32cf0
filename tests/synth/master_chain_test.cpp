// Block renderer and output stage.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine_fixture.h"

namespace md {
namespace {

using test::EngineFixture;

TEST(MasterChain, SilenceInGivesSilenceOut) {
    EngineFixture f;
    f.engine->start();
    for (int16_t v : f.render(96 * 500)) ASSERT_EQ(v, 0);
}

TEST(MasterChain, SetupWritesTheLimiterAndDcCoefficients) {
    EngineFixture f;
    EXPECT_FLOAT_EQ(f.engine->limiterLeft.attack, 0.9809947f);
    EXPECT_FLOAT_EQ(f.engine->limiterRight.release, 0.9996163f);
    EXPECT_FLOAT_EQ(f.engine->dcCoef, 0.99479169f);
}

TEST(MasterChain, DcBlockerLetsAStepThroughAndDecaysIt) {
    EngineFixture f;
    Engine& e = *f.engine;
    StereoFrame mix[controlBlock];
    int16_t out[2 * controlBlock];
    std::vector<int16_t> left;
    for (int block = 0; block < 20; ++block) {
        for (auto& m : mix) m = {0.5f, -0.5f};
        e.masterChain(mix, controlBlock, out);
        for (int i = 0; i < controlBlock; ++i) left.push_back(out[2 * i]);
    }
    EXPECT_EQ(left[0], static_cast<int16_t>(0.5f * 32767.0f));
    // Time constant 1/250 s = 192 samples: after one time constant the step has fallen to about 1/e.
    EXPECT_NEAR(left[192] / static_cast<double>(left[0]), std::exp(-1.0), 0.01);
    EXPECT_LT(std::abs(left.back()), 100);
}

TEST(MasterChain, LimiterBringsAFullScaleSquareOfAmplitudeTwoToOne) {
    Limiter lim{0.0f, 0.9809947f, 0.9996163f};
    float last = 0;
    for (int i = 0; i < 48000; ++i) {
        const float x = (i / 100) % 2 ? 2.0f : -2.0f;
        last = lim.process(x);
    }
    EXPECT_NEAR(std::fabs(last), 1.0f, 1e-3f);
    // Within [-1, 1] with the envelope at or below 1 nothing changes.
    Limiter quiet{0.0f, 0.9809947f, 0.9996163f};
    for (int i = 0; i < 1000; ++i) {
        const float x = std::sin(i * 0.01f) * 0.9f;
        ASSERT_EQ(quiet.process(x), x);
    }
}

TEST(MasterChain, ClampsToPlusMinus32767AndNaNWritesPlusFullScale) {
    EngineFixture f;
    StereoFrame mix[3] = {{10.0f, -10.0f}, {std::nanf(""), 1.0f}, {-1.0f, 0.0f}};
    int16_t out[6];
    f.engine->masterChain(mix, 3, out);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], -32767);
    EXPECT_EQ(out[2], 32767);
    for (int16_t v : out) EXPECT_NE(v, -32768);
}

TEST(MasterChain, EchoRingEntryIsPlayedOnceAndCleared) {
    EngineFixture f;
    Engine& e = *f.engine;
    e.start();
    e.echoRing[1000] = 0.5f;
    auto out = f.render(96 * 20);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(out[2 * i], 0) << i;
    // The ring's damping turns the entry into -0.855 x its value just before it is played.
    const float played = (0.5f * 0.1f - 0.5f) * 0.95f;
    EXPECT_EQ(out[2000], static_cast<int16_t>(played * 32767.0f));
    EXPECT_EQ(out[2000], out[2001]);
    EXPECT_EQ(e.echoRing[1000], 0.0f);
}

TEST(MasterChain, TwoChunksRunExactlyTenThousandControlTicks) {
    EngineFixture f;
    Engine& e = *f.engine;
    e.start();
    f.bare.instrument(1).program[0][1] = 15; // step 0 holds the program
    Voice& v = e.startVoice(e.tracks[0], 1, -1, 0);
    e.running = 0; // no sequencer: only control ticks
    std::vector<int16_t> out(2 * renderChunkFrames);
    e.renderChunk(out.data());
    e.renderChunk(out.data());
    // A held program still counts its step clock down by 96 samples at every control tick.
    EXPECT_EQ(v.stepCountdown, -96 * 10000);
    EXPECT_EQ(e.frameCounter, 2u * renderChunkFrames);
}

TEST(MasterChain, ChunksSplitInsideAControlBlockContinueSeamlessly) {
    EngineFixture whole, split;
    for (EngineFixture* f : {&whole, &split}) {
        f->bare.instrument(1).header[2] = 0x00;
        f->engine->start();
        f->engine->running = 0;
        f->engine->startVoice(f->engine->tracks[0], 1, -1, 0).oscMask = 0x7;
    }
    auto a = whole.render(960);
    auto b1 = split.render(250);
    auto b2 = split.render(710);
    b1.insert(b1.end(), b2.begin(), b2.end());
    EXPECT_EQ(a, b1);
    EXPECT_EQ(split.engine->pendingFrames, 0);
}

} // namespace
} // namespace md
