// Instrument programs: step timing, chains, loops, holds, slides and the commands that act on the voice.
#include <cmath>

#include "song_fixture.h"

namespace md {
namespace {

using test::SongFixture;

// One note of instrument 1 with the given program lines, played on track 0.
struct ProgramFixture : SongFixture {
    explicit ProgramFixture(const std::string& program, const std::string& cell = "  0 C-4 x\n")
        : SongFixture("song\ninstrument 1 x\n  adsr 0 0 15 0\n  program\n" + program + "pattern p\n" + cell +
                      "order\n  p . . .\n") {}
    Voice& voice() { return track(0).active(0); }
};

TEST(Program, StepNoteAndDurationAtTheFirstTick) {
    ProgramFixture f("    0 +12 ticks 2\n    1 +7 hold\n");
    f.blocks(1);
    EXPECT_EQ(f.voice().programNote, 13.0f); // +12 is stored as note 13
    EXPECT_EQ(f.voice().programPos, 1);
    // Two ticks of 960 samples at tempo 125: step 1 runs in the 21st block.
    f.blocks(19);
    EXPECT_EQ(f.voice().programNote, 13.0f);
    f.blocks(1);
    EXPECT_EQ(f.voice().programNote, 8.0f);
}

TEST(Program, ChainedStepsRunInOneTick) {
    ProgramFixture f("    0 +5 osc saw, gain 200, osc square\n    3 +2 hold\n");
    f.blocks(1);
    const Voice& v = f.voice();
    EXPECT_EQ(v.programNote, 6.0f); // +5
    EXPECT_EQ(v.oscMask, 0x4);      // the third step ran too
    EXPECT_FLOAT_EQ(v.gain, 200 * 0.003921569f);
    EXPECT_EQ(v.programPos, 3);
}

TEST(Program, LoopBackRepeatsStepsOnePerStepTime) {
    ProgramFixture f("    0 +1\n    1 +2\n    2 +3\n    3 +4 loop 0\n");
    std::vector<float> notes;
    for (int i = 0; i < 8; ++i) {
        f.blocks(10); // one tick per step
        notes.push_back(f.voice().programNote);
    }
    // Steps 0, 1, 2, then 3 loops to 0 at once (the loop step's own note is not kept), 1, 2, ...
    const std::vector<float> expected = {2, 3, 4, 2, 3, 4, 2, 3};
    EXPECT_EQ(notes, expected);
}

TEST(Program, ALoopInsideAChainIsNotTakenBackToTheChainStart) {
    // Steps 0 and 1 are chained; the loop in step 1 would go back to the chain's start: it is ignored.
    ProgramFixture f("    0 osc saw, loop 0\n    2 osc square, hold\n");
    f.blocks(1);
    EXPECT_EQ(f.voice().programPos, 2);
    EXPECT_EQ(f.voice().oscMask, 0x2);
    f.blocks(10);
    EXPECT_EQ(f.voice().oscMask, 0x4);
}

TEST(Program, HoldAfterAChainStopsTheProgram) {
    ProgramFixture f("    0 osc saw, hold\n    2 osc noise\n");
    f.blocks(200);
    EXPECT_EQ(f.voice().oscMask, 0x2);
    EXPECT_EQ(f.voice().stepTicks, kProgramHold);
}

TEST(Program, ThePitchSlideAddsItsRateEveryTick) {
    ProgramFixture f("    0 slide_up 4\n    1 hold\n");
    f.blocks(1); // the slide starts with the tick after its step
    EXPECT_EQ(f.voice().programNote, 1.0f);
    f.blocks(5);
    EXPECT_NEAR(f.voice().programNote, 1.010f, 1e-5f);
}

TEST(Program, PulseCommandSetsTheWidthAndStartsAVolumeSlide) {
    ProgramFixture f("    0 pulse 128\n    1 hold\n");
    f.blocks(1);
    EXPECT_NEAR(f.voice().square.pulseWidth.value, 0.502f, 1e-3f);
    EXPECT_FLOAT_EQ(f.voice().programVolumeSlide, 8.0f * 0.003921569f * 0.032f);
}

TEST(Program, ChordNoteOnAVoiceNotStartedByAChordIsZero) {
    ProgramFixture f("    0 chord 1, hold\n");
    f.blocks(1);
    EXPECT_EQ(f.voice().chordNote, 0.0f);
    ProgramFixture g("    0 chord 1, hold\n", "  0 C-4 x maj\n");
    g.blocks(1);
    EXPECT_EQ(g.voice().chordNote, 4.0f);
}

TEST(Program, ALoopThatNeverEndsWithinATickIsBounded) {
    // A chord-note step with no interval goes on at once, and the loop back to it is not a chain: without a
    // bound this would run forever inside one tick.
    ProgramFixture f("    0 osc saw\n    1 chord 3\n    2 loop 1\n", "  0 C-4 x +4\n");
    f.blocks(20); // returns
    EXPECT_GE(f.voice().programPos, 1);
}

TEST(Program, LastStepHoldsTheProgram) {
    std::string steps;
    for (int i = 0; i < 32; ++i) steps += "    " + std::to_string(i) + " .\n";
    ProgramFixture f(steps);
    f.blocks(10 * 33);
    EXPECT_EQ(f.voice().stepTicks, kProgramHold);
    EXPECT_EQ(f.voice().programPos, 31);
}

} // namespace
} // namespace md
