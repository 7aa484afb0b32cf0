// Voice rendering and mixing: pan law, amplitude smoothing, modulator tracks, echoes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine_fixture.h"

namespace md {
namespace {

using test::EngineFixture;

// A voice whose control-block signal and envelope are set by hand, so renderVoices sees a known input.
Voice& constantVoice(EngineFixture& f, int track, float signal, int instrument = 1) {
    Engine& e = *f.engine;
    Voice& v = e.startVoice(e.tracks[track], instrument, -1, 0);
    for (int k = 0; k < controlBlock; ++k) {
        v.mixBuffer[k] = signal;
        v.envelope.output[k] = 1.0f;
    }
    return v;
}

TEST(Mixer, CentredVoiceGoesHalfToEachSideAndHardLeftAllLeft) {
    EngineFixture f;
    Voice& v = constantVoice(f, 0, 0.5f);
    v.smoothAmp = 0.25f;
    StereoFrame mix[controlBlock] = {};
    f.engine->renderVoices(mix, controlBlock, 0);
    const float amp = f.engine->tracks[0].active(0).smoothAmp;
    EXPECT_NEAR(mix[controlBlock - 1].left / (0.5f * amp), 0.705f, 1e-4f);
    EXPECT_EQ(mix[controlBlock - 1].left, mix[controlBlock - 1].right);

    EngineFixture g;
    g.engine->tracks[0].trackPan = 0.0f;
    constantVoice(g, 0, 0.5f);
    StereoFrame hard[controlBlock] = {};
    g.engine->renderVoices(hard, controlBlock, 0);
    const float ampG = g.engine->tracks[0].active(0).smoothAmp;
    EXPECT_NEAR(hard[controlBlock - 1].left / (0.5f * ampG), 1.41f, 1e-4f);
    EXPECT_EQ(hard[controlBlock - 1].right, 0.0f);
}

TEST(Mixer, SmoothedAmplitudeConvergesToSix) {
    EngineFixture f;
    f.bare.instrument(1).header[14] = 255;
    Voice& v = constantVoice(f, 0, 0.0f);
    v.volume = 1.0f;
    v.gain = 1.0f;
    StereoFrame mix[controlBlock];
    for (int run = 0; run < 20; ++run) {
        std::memset(mix, 0, sizeof mix);
        f.engine->renderVoices(mix, controlBlock, 0);
    }
    EXPECT_NEAR(v.smoothAmp, 6.0f, 1e-4f);
}

// Renders one run of tracks 0 and 1 (and 2) with constant voices and returns the left mix.
float modulatedMix(int mode0, int mode1, bool running, float sig0 = 0.5f, float sig1 = 0.25f,
                   float sig2 = 0.0f) {
    EngineFixture f;
    Engine& e = *f.engine;
    e.running = running;
    e.tracks[0].trackMode = mode0;
    e.tracks[1].trackMode = mode1;
    constantVoice(f, 0, sig0);
    constantVoice(f, 1, sig1);
    if (sig2 != 0.0f) constantVoice(f, 2, sig2);
    for (int t = 0; t < 3; ++t)
        for (int j = 0; j < e.tracks[t].activeCount; ++j) e.tracks[t].active(j).smoothAmp = 1.0f;
    StereoFrame mix[controlBlock] = {};
    e.renderVoices(mix, controlBlock, 0);
    return mix[0].left;
}

TEST(Mixer, ModulatorTrackMultipliesTheNextTrack) {
    // Voice amplitude: a modulator plays at 1; a normal voice at 0.5 x 0.5 x 63 x 4/255 x 1.5.
    const float a = 0.5f * 0.5f * 63.0f * 0.015686275f * 1.0f * 1.0f * 1.5f;
    const float smooth = (a - 1.0f) * 0.1f + 1.0f;     // first sample from smoothAmp 1
    const float modLeft = 0.5f * 1.0f * 1.0f * 0.705f; // track 0 at full amplitude
    const float carrierLeft = 0.25f * smooth * 0.705f;
    EXPECT_NEAR(modulatedMix(TrackModulator, TrackNormal, true), carrierLeft * modLeft * 2.0f, 1e-6f);
    // Mode 2 also lets the carrier's last voice through dry.
    EXPECT_NEAR(modulatedMix(TrackModulatorDry, TrackNormal, true),
                carrierLeft * modLeft * 2.0f + 0.25f * smooth, 1e-6f);
    // While the sequencer is stopped a modulator track is mixed like a normal one.
    const float normal0 = 0.5f * smooth * 0.705f;
    EXPECT_NEAR(modulatedMix(TrackModulator, TrackNormal, false), normal0 + carrierLeft, 1e-6f);
}

TEST(Mixer, SilentSyncTrackBetweenModulatorAndCarrierKeepsTheModulation) {
    const float a = 0.5f * 0.5f * 63.0f * 0.015686275f * 1.5f;
    const float smooth = (a - 1.0f) * 0.1f + 1.0f;
    const float modLeft = 0.5f * 0.705f;
    const float carrierLeft = 0.125f * smooth * 0.705f;
    // Track 0 modulates, track 1 is a silent sync source, track 2 is the carrier.
    EXPECT_NEAR(modulatedMix(TrackModulator, TrackSyncSilent, true, 0.5f, 0.25f, 0.125f),
                carrierLeft * modLeft * 2.0f, 1e-6f);
}

TEST(Mixer, VoiceEchoWritesItsRepeatHalfASecondLater) {
    EngineFixture f;
    Engine& e = *f.engine;
    e.start();
    Voice& v = constantVoice(f, 0, 0.5f);
    v.echoLength = 24000;
    v.echoAmount = 0.5f;
    v.smoothAmp = 0.1f;
    StereoFrame mix[controlBlock] = {};
    e.renderVoices(mix, controlBlock, 0);
    for (int i = 0; i < controlBlock; ++i) {
        const float m = (e.tracks[0].trackLeft[i] + e.tracks[0].trackRight[i]) * 0.5f * 0.5f;
        EXPECT_FLOAT_EQ(e.echoRing[24000 + i], 2.0f * m) << i;
    }
    EXPECT_EQ(e.echoRing[24000 + controlBlock], 0.0f);
    EXPECT_EQ(e.echoRing[23999], 0.0f);
}

TEST(Mixer, EchoWithTheSequencerPlaysBackInvertedAfterItsLength) {
    EngineFixture f;
    Engine& e = *f.engine;
    f.bare.instrument(1).header[18] = 0x85; // echo level 8, time 5
    f.bare.instrument(1).header[2] = 0x00;
    e.start();
    e.running = 0;
    Voice& v = e.startVoice(e.tracks[0], 1, -1, 0);
    v.oscMask = 0x1;
    // (5 x 6 / 125) x 125 + 1 ticks of 960 samples
    EXPECT_NEAR(static_cast<double>(v.echoLength), 29760.0, 1.0);
    auto out = f.render(96 * 10);
    e.stop(); // silence the dry voice: what comes later is the echo
    auto later = f.render(29760 + 96 * 20);
    long energy = 0;
    for (int i = 29760 - 960; i < 29760 + 96 * 10; ++i) energy += std::abs(later[2 * i]);
    EXPECT_GT(energy, 0);
}

} // namespace
} // namespace md
