// Control-rate voice update: removal, pitch, sync and ring links, waveshaping.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine_fixture.h"

namespace md {
namespace {

using test::EngineFixture;

// Starts instrument n on track t with its oscillator mask set, without the sequencer.
Voice& voiceOn(EngineFixture& f, int t, int n, int mask, float pitch = 71.0f - 1.0f) {
    Engine& e = *f.engine;
    e.tracks[t].trackPitch = pitch; // + programNote 1 = 71: the argument 440
    Voice& v = e.startVoice(e.tracks[t], n, -1, 0);
    v.oscMask = mask;
    return v;
}

TEST(ControlTick, VoicesThatReachedTheirEndAreRemovedBeforeProcessing) {
    EngineFixture f;
    Voice& a = voiceOn(f, 0, 1, 1);
    Voice& b = voiceOn(f, 0, 1, 1);
    a.envelope.state = EnvDone;
    f.engine->controlTick();
    EXPECT_EQ(f.engine->tracks[0].activeCount, 1);
    EXPECT_EQ(&f.engine->tracks[0].active(0), &b);
    EXPECT_EQ(a.programPos, 0); // its program did not run
    EXPECT_EQ(b.programPos, 1);
}

TEST(ControlTick, PitchSeventyOneGivesTheArgument440AndTheLimitIs12000) {
    EngineFixture f;
    Voice& v = voiceOn(f, 0, 1, 0x2); // saw
    f.engine->controlTick();
    EXPECT_FLOAT_EQ(v.saw.period, 48000.0f / 440.0f);
    f.engine->tracks[0].trackPitch = 70.0f + 24.0f;
    f.engine->controlTick();
    EXPECT_FLOAT_EQ(v.saw.period, 48000.0f / 1760.0f);
    f.engine->tracks[0].trackPitch = 70.0f + 60.0f; // 14080 requested
    f.engine->controlTick();
    EXPECT_FLOAT_EQ(v.saw.period, 4.0f);
}

TEST(ControlTick, VibratoWaitsForItsDelay) {
    EngineFixture f;
    Voice& v = voiceOn(f, 0, 1, 0x2);
    v.vibratoDelay = 0.01f;
    v.vibratoDepth = 0.1f;
    v.vibratoRate = 10.0f;
    int ticksBeforeVibrato = 0;
    while (v.vibratoValue == 0.0f && ticksBeforeVibrato < 100) {
        f.engine->controlTick();
        ++ticksBeforeVibrato;
    }
    EXPECT_NEAR(ticksBeforeVibrato, 6, 1); // five delayed ticks, then the vibrato moves
    EXPECT_GT(v.saw.period, 0.0f);
}

TEST(ControlTick, RingSourceAtTheEndOfTrackZeroModulatesTrackOne) {
    // Reference run: the same two voices without the ring link.
    EngineFixture plain, ring;
    for (EngineFixture* f : {&plain, &ring}) {
        f->bare.instrument(2).header[2] = 0x00; // fast attack
        f->bare.instrument(3).header[2] = 0x00;
        voiceOn(*f, 0, 2, 0x4, 60.0f); // square
        voiceOn(*f, 1, 3, 0x1, 75.0f); // triangle
    }
    // Instrument 2 becomes a ring source (sync mode 2) by linking to instrument 4, which is not started here.
    ring.bare.instrument(2).header[13] = (4 << 3) | (2 << 1);
    plain.engine->controlTick();
    ring.engine->controlTick();
    const Voice& srcPlain = plain.engine->tracks[0].active(0);
    const Voice& carPlain = plain.engine->tracks[1].active(0);
    const Voice& srcRing = ring.engine->tracks[0].active(0);
    const Voice& carRing = ring.engine->tracks[1].active(0);
    for (int k = 0; k < controlBlock; ++k) {
        EXPECT_EQ(srcRing.mixBuffer[k], 0.0f); // the source itself is silent
        const float modulator = srcPlain.mixBuffer[k] * srcPlain.envelope.output[k];
        EXPECT_EQ(carRing.mixBuffer[k], carPlain.mixBuffer[k] * modulator) << k;
    }
}

TEST(ControlTick, RemovingARingSourceRemovesTheVoiceItModulates) {
    EngineFixture f;
    f.bare.instrument(2).header[13] = (3 << 3) | (2 << 1); // ring source linked to 3
    Voice& src = voiceOn(f, 0, 2, 0x1);                    // starts 2, then 3 right after it
    ASSERT_EQ(f.engine->tracks[0].activeCount, 2);
    src.envelope.state = EnvDone;
    f.engine->controlTick();
    EXPECT_EQ(f.engine->tracks[0].activeCount, 0);
}

TEST(ControlTick, SilentSyncTrackRestartsTheNextTracksPhasesAtItsWraps) {
    EngineFixture f;
    Engine& e = *f.engine;
    e.tracks[0].trackMode = TrackSyncSilent;
    Voice& master = voiceOn(f, 0, 1, 0x2, 82.0f); // saw, one octave above 440
    Voice& slave = voiceOn(f, 1, 1, 0x2, 78.0f);
    e.controlTick();
    // Which samples of the master wrapped: replay its saw on its own.
    OscSaw replay;
    uint8_t wraps[controlBlock] = {};
    replay.wrapFlags = wraps;
    replay.generate(440.0f * std::pow(2.0f, 12.0f * 0.083333336f));
    ASSERT_NEAR(master.saw.period, replay.period, 1e-3f);
    OscSaw fresh;
    fresh.generate(440.0f * std::pow(2.0f, (79.0f - 71.0f) * 0.083333336f));
    int resets = 0;
    for (int k = 0; k < controlBlock; ++k)
        if (wraps[k]) {
            ++resets;
            EXPECT_EQ(slave.saw.output[k], fresh.output[0]) << k; // restarted from phase 0
        }
    EXPECT_GT(resets, 0);

    // The sync track is not heard.
    StereoFrame mix[controlBlock] = {};
    e.renderVoices(mix, controlBlock, 0);
    for (int k = 0; k < controlBlock; ++k) EXPECT_EQ(e.tracks[0].trackLeft[k], 0.0f);
}

TEST(ControlTick, DriveMultipliesByNineAtFullAndClamps) {
    EngineFixture plain, driven;
    Voice& a = voiceOn(plain, 0, 1, 0x1);
    Voice& b = voiceOn(driven, 0, 1, 0x1);
    b.drive = 1.0f;
    plain.engine->controlTick();
    driven.engine->controlTick();
    for (int k = 0; k < controlBlock; ++k) {
        const float x = a.mixBuffer[k] * 9.0f;
        EXPECT_EQ(b.mixBuffer[k], x > 1.0f ? 1.0f : (x < -1.0f ? -1.0f : x));
    }
}

TEST(ControlTick, CrushApproachesItsTargetGeometricallyAndQuantises) {
    EngineFixture f;
    Voice& v = voiceOn(f, 0, 1, 0x1);
    v.crushTarget = 1.0f;
    f.engine->controlTick();
    EXPECT_FLOAT_EQ(v.crushLevel, 0.1f);
    f.engine->controlTick();
    EXPECT_FLOAT_EQ(v.crushLevel, 0.19f);
    for (int i = 0; i < 400; ++i) f.engine->controlTick();
    EXPECT_NEAR(v.crushLevel, 1.0f, 1e-6f);
    // Near level 1 the step is about 32514: a signal within [-1, 1] keeps only 0 and about +-0.992.
    for (float x : v.mixBuffer) {
        if (x != 0.0f) {
            EXPECT_NEAR(std::fabs(x), 32514.0f / 32768.0f, 1e-4f);
        }
    }
    const float level = v.crushLevel;
    v.crushTarget = 0.0f;
    f.engine->controlTick();
    EXPECT_EQ(v.crushLevel, level); // crushing stops, the level stays
}

TEST(ControlTick, FoldKeepsTheSignalInsideTheUnitRange) {
    float buf[8] = {0.1f, 0.3f, 0.5f, 0.9f, -0.35f, -0.7f, 2.3f, -5.0f};
    foldBuffer(buf, 8, 0.25f, 4.0f);
    EXPECT_EQ(buf[0], 0.1f); // inside [-t, t]: untouched, not scaled
    for (int i = 1; i < 8; ++i) {
        EXPECT_LE(buf[i], 1.0f);
        EXPECT_GE(buf[i], -1.0f);
    }
    EXPECT_NEAR(buf[1], 0.8f, 1e-5f); // 0.3 folds to 0.2, scaled by 4
}

} // namespace
} // namespace md
