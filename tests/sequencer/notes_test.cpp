// Cells: instruments without notes, legato, portamento, chords, note-offs, and the voices they start.
#include <cmath>

#include "song_fixture.h"

namespace md {
namespace {

using test::plainInstrument;
using test::SongFixture;

std::string noteSong(const std::string& pattern, const std::string& instruments = plainInstrument(1, "a")) {
    return "song\n" + instruments + "pattern p\n" + pattern + "order\n  p . . .\n";
}

TEST(Notes, InstrumentWithoutANoteRefreshesThenStartsANoteAtTheTrackPitch) {
    SongFixture f(noteSong("  0 E-4 a\n  1 ... a\n"));
    f.ticks(61);
    ASSERT_EQ(f.track(0).activeCount, 1);
    const Voice& now = f.track(0).active(0);
    EXPECT_EQ(now.startSerial, 1u); // a new voice, at the pitch the track already had
    EXPECT_EQ(f.track(0).trackPitch, 53.0f);
}

TEST(Notes, NoteWithoutAnInstrumentIsLegato) {
    SongFixture f(noteSong("  0 C-4 a\n  1 G-4\n"));
    f.ticks(61);
    ASSERT_EQ(f.track(0).activeCount, 1);
    EXPECT_EQ(f.track(0).active(0).startSerial, 0u);
    EXPECT_EQ(f.track(0).trackPitch, 56.0f);
}

TEST(Notes, PortamentoSetsATargetAndApproachesIt) {
    SongFixture f(noteSong("  0 C-4 a\n  1 E-4 .. 310\n"));
    f.ticks(61);
    EXPECT_EQ(f.track(0).portaTarget, 53.0f);
    EXPECT_EQ(f.track(0).active(0).startSerial, 0u); // no new voice
    // R = 0.012 per block at tempo 125 speed 6: 0x10 x 0.25 x R = 0.048 semitones a block.
    EXPECT_FLOAT_EQ(f.track(0).portaRate, 0.012f * 4.0f);
    f.ticks(10);
    EXPECT_NEAR(f.track(0).trackPitch, 49.0f + 10 * 0.048f, 1e-4f);
    f.ticks(60); // the next (empty) row ends the portamento
    const float stopped = f.track(0).trackPitch;
    EXPECT_LT(stopped, 53.0f);
    f.ticks(60);
    EXPECT_EQ(f.track(0).trackPitch, stopped);
}

TEST(Notes, PortamentoStopsExactlyAtItsTarget) {
    // One song at a time: the cells of every loaded song live in the one global store.
    {
        SongFixture up(noteSong("  0 C-4 a\n  1 E-4 .. 3FF\n"));
        up.ticks(100);
        EXPECT_EQ(up.track(0).trackPitch, 53.0f);
    }
    SongFixture down(noteSong("  0 E-4 a\n  1 C-4 .. 3FF\n"));
    down.ticks(100);
    EXPECT_EQ(down.track(0).trackPitch, 49.0f);
}

TEST(Notes, PortamentoWithoutSpeedRunsTheEarlierSlideAgain) {
    // Row 0 slides up (0x04 x 0.25 x R = 0.012 a block); row 1's portamento with 00 keeps that slide going.
    SongFixture f(noteSong("  0 C-4 a 104\n  1 G-4 .. 300\n"));
    f.ticks(60);
    const float atRowOne = f.track(0).trackPitch;
    EXPECT_NEAR(atRowOne, 49.0f + 59 * 0.012f, 1e-3f);
    f.ticks(11); // the slide still runs in block 60, before row 1 is read, and in the ten blocks after it
    EXPECT_NEAR(f.track(0).trackPitch, atRowOne + 11 * 0.012f, 1e-3f);
}

TEST(Notes, ChordCellStartsRootAndIntervalsWithFallingGains) {
    SongFixture f(noteSong("  0 C-4 a +47\n"));
    f.ticks(1);
    Track& t = f.track(0);
    ASSERT_EQ(t.activeCount, 3);
    EXPECT_EQ(t.chordTable[0], 4);
    EXPECT_EQ(t.chordTable[1], 7);
    EXPECT_EQ(t.chordTable[2], 0);
    const float gains[] = {0.5f, 0.5f * 0.925f, 0.5f * 0.85f};
    for (int j = 0; j < 3; ++j) {
        EXPECT_NEAR(t.active(j).gain, gains[j], 1e-6f);
        EXPECT_EQ(t.active(j).chordIndex, j - 1);
        EXPECT_EQ(t.active(j).fromChord, 1);
    }
}

TEST(Notes, ChordNoteProgramStartsOneVoiceOnly) {
    const std::string arp = "instrument 1 arp\n  adsr 0 0 15 0\n  program\n    0 osc square, chord 1\n    2 "
                            "chord 2\n    3 loop 0\n";
    SongFixture f(noteSong("  0 C-4 arp maj\n", arp));
    f.ticks(1);
    EXPECT_EQ(f.track(0).activeCount, 1);
}

TEST(Notes, NoteOffDuringTheAttackJumpsToFullLevelBeforeReleasing) {
    const std::string slow = "instrument 1 slow\n  adsr 12 0 15 5\n  program\n    0 osc saw, hold\n";
    SongFixture f(noteSong("  0 C-4 slow\n  1 off\n", slow));
    f.blocks(61);
    const Voice& v = f.track(0).active(0);
    EXPECT_EQ(v.envelope.state, EnvRelease);
    EXPECT_LT(v.envelope.level, 1.0f);
    EXPECT_GT(v.envelope.level, 0.9f); // released from 1, not from the attack's low level
}

TEST(Notes, ReleaseOnRetriggerKeepsTheOldVoiceAtItsPitch) {
    const std::string ring =
        "instrument 1 bell\n  adsr 0 0 15 12\n  retrigger release\n  program\n    0 osc saw, hold\n";
    SongFixture f(noteSong("  0 C-4 bell\n  1 G-4 bell\n", ring));
    f.blocks(62);
    Track& t = f.track(0);
    ASSERT_EQ(t.activeCount, 2);
    const Voice& old = t.active(0);
    const Voice& now = t.active(1);
    EXPECT_EQ(old.envelope.state, EnvRelease);
    EXPECT_EQ(old.releasePitch, 49.0f);
    // n = pitch + program note 1; the saw's period is sampleRate / f.
    const float fOld = 440.0f * std::pow(2.0f, (50.0f - 71.0f) * 0.083333336f);
    const float fNew = 440.0f * std::pow(2.0f, (57.0f - 71.0f) * 0.083333336f);
    EXPECT_NEAR(old.saw.period, 48000.0f / fOld, 1e-2f);
    EXPECT_NEAR(now.saw.period, 48000.0f / fNew, 1e-2f);
}

TEST(Voices, SeventeenthVoiceReplacesTheOldest) {
    std::string pattern = "  0 C-4 a\n";
    for (int r = 1; r <= 16; ++r) pattern += "  " + std::to_string(r) + " ... .. 001\n"; // layer a
    SongFixture f(noteSong(pattern));
    f.ticks(16 * 60 + 1);
    Track& t = f.track(0);
    ASSERT_EQ(t.activeCount, 16);
    for (int j = 0; j < 16; ++j) EXPECT_EQ(t.active(j).startSerial, static_cast<uint32_t>(j + 1));
}

TEST(Voices, UnisonWithALinkedUnisonInstrumentStartsSixVoices) {
    const std::string ins =
        "instrument 1 a\n  unison detune 3 interval 0 spread 1\n  link b\n  program\n    0 hold\n"
        "instrument 2 b\n  unison detune 5 interval 7 spread 2\n  program\n    0 hold\n";
    SongFixture f(noteSong("  0 C-4 a\n", ins));
    f.ticks(1);
    EXPECT_EQ(f.track(0).activeCount, 6);
}

TEST(Voices, LinkCycleIsBrokenWhereItStartsAndTheChangeLasts) {
    std::string ins;
    for (int n = 1; n <= 5; ++n) {
        ins += "instrument " + std::to_string(n) + " i" + std::to_string(n) + "\n";
        if (n == 3) ins += "  link i5\n";
        if (n == 5) ins += "  link i3\n";
        ins += "  program\n    0 hold\n";
    }
    SongFixture f(noteSong("  0 C-4 i3\n  1 C-4 i5\n", ins));
    f.ticks(1);
    EXPECT_EQ(f.track(0).activeCount, 1);        // 3 alone: its link ran into a cycle
    EXPECT_EQ(f.song().instrument(3).link(), 0); // cleared in the song
    EXPECT_EQ(f.song().instrument(5).link(), 3);
    f.ticks(60);
    EXPECT_EQ(f.track(0).activeCount, 2); // 5 and 3
}

TEST(Voices, MeasuringStartsNoNoteButLayersStillStart) {
    SongFixture f(noteSong("  0 C-4 a\n  1 ... .. 001\n"), false);
    f.engine->measuring = 1;
    f.engine->start();
    f.ticks(1);
    EXPECT_EQ(f.track(0).activeCount, 0);
    EXPECT_EQ(f.track(0).trackPitch, 0.0f);
    f.ticks(60);
    EXPECT_EQ(f.track(0).activeCount, 1); // the layer command acts while measuring
}

} // namespace
} // namespace md
