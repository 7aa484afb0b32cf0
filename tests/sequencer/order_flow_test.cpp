// Order flow: breaks, jumps, looping, and the song length measure.
#include <cmath>

#include "song_fixture.h"

namespace md {
namespace {

using test::plainInstrument;
using test::SongFixture;

// Three order rows of patterns a, b, c on track 0 (and x on track 1), restart at `restart`.
std::string flowSong(const std::string& a, const std::string& x = "", int restart = 0) {
    return "song\n  restart " + std::to_string(restart) + "\n" + plainInstrument(1, "i") + "pattern a\n" + a +
           "pattern b\n  0 D-4 i\n" + "pattern c\n  0 E-4 i\n" + "pattern x\n" + x +
           "order\n  a x . .\n  b . . .\n  c . . .\n";
}

TEST(OrderFlow, JumpAndBreakOnTheSameRowGoToRowZeroOfTheJumpTarget) {
    SongFixture f(flowSong("  0 C-4 i B02\n", "  0 ... .. D10\n"));
    f.ticks(60);
    EXPECT_EQ(f.song().orderPos, 2);
    EXPECT_EQ(f.engine->row, 0);
}

TEST(OrderFlow, BreakToTheLastRowAdvancesTwice) {
    SongFixture f(flowSong("  0 C-4 i D3F\n"));
    f.ticks(60);
    EXPECT_EQ(f.song().orderPos, 2);
    EXPECT_EQ(f.engine->row, 0);
}

TEST(OrderFlow, BreakGoesOnAtItsRowOfTheNextOrderRow) {
    SongFixture f(flowSong("  0 C-4 i D10\n"));
    f.ticks(60);
    EXPECT_EQ(f.song().orderPos, 1);
    EXPECT_EQ(f.engine->row, 16);
}

TEST(OrderFlow, RunningOffTheEndLoopsToTheRestartPosition) {
    SongFixture f(flowSong("  0 C-4 i\n", "", 1));
    f.ticks(3 * 64 * 60);
    EXPECT_EQ(f.song().orderPos, 1);
    EXPECT_EQ(f.engine->row, 0);
}

TEST(OrderFlow, OnePatternSongMeasures768Seconds) {
    SongFixture f("song\n" + plainInstrument(1, "i") + "pattern a\n  0 C-4 i\norder\n  a . . .\n", false);
    const SongMeasure m = f.engine->measure();
    EXPECT_EQ(m.blocks, 3840u);
    EXPECT_FLOAT_EQ(m.seconds, 7.68f);
    EXPECT_TRUE(m.loops);
}

TEST(OrderFlow, AJumpBackEndsTheMeasure) {
    // Order rows a, b: b jumps back to order row 0 at its row 10.
    SongFixture f("song\n" + plainInstrument(1, "i") +
                      "pattern a\n  0 C-4 i\npattern b\n  10 ... .. B00\norder\n  a . . .\n  b . . .\n",
                  false);
    EXPECT_EQ(f.engine->measure().blocks, (64u + 11u) * 60u);
}

TEST(OrderFlow, RestartNotAtTheTopEndsTheMeasureThere) {
    SongFixture f(flowSong("  0 C-4 i\n", "", 1), false);
    EXPECT_EQ(f.engine->measure().blocks, 3u * 64u * 60u);
}

TEST(OrderFlow, DelaysAndSpeedZeroCountAsTheyPlay) {
    // Speed 0 from row 0: each of the 64 rows lasts one control block.
    SongFixture fast("song\n" + plainInstrument(1, "i") +
                         "pattern a\n  0 C-4 i F00\n  5 D-4 i ED9\norder\n  a . . .\n",
                     false);
    EXPECT_EQ(fast.engine->measure().blocks, 64u);
    // A tempo change on row 32: rows 0 to 32 at tempo 125 (60 blocks each), the rest at 250 (30 blocks).
    SongFixture tempo("song\n" + plainInstrument(1, "i") +
                          "pattern a\n  0 C-4 i\n  32 ... .. FFA\norder\n  a . . .\n",
                      false);
    EXPECT_EQ(tempo.engine->measure().blocks,
              33u * 60u + 31u * 30u); // the new tempo counts from the next row
}

TEST(OrderFlow, MeasureRestoresTheTracksAndTheOrderPosition) {
    // The measure stops the engine first, then keeps the tracks as they are and puts them back afterwards:
    // pitches and voice records survive, the sounding voices were dropped by the stop. A layer command in the
    // measured pass starts a voice that must not remain.
    SongFixture f(flowSong("  0 C-4 i\n  8 E-4 i\n", "  20 ... .. 001\n"));
    f.blocks(200);
    f.song().orderPos = 1;
    const float pitch = f.track(0).trackPitch;
    const float level = f.track(0).active(0).envelope.level;
    const uint32_t serial1 = f.track(1).voiceSerial;
    f.engine->measure();
    EXPECT_EQ(f.song().orderPos, 1);
    EXPECT_EQ(f.track(0).activeCount, 0);
    EXPECT_EQ(f.track(1).activeCount, 0);
    EXPECT_EQ(f.track(1).voiceSerial, serial1);
    EXPECT_EQ(f.track(0).trackPitch, pitch);
    EXPECT_EQ(f.track(0).voices[f.track(0).voiceList[0]].envelope.level, level);
    EXPECT_EQ(f.engine->running, 0);
}

TEST(OrderFlow, SongThatNeverGoesBackIsCutAndReportedAsNotLooping) {
    // Row 0 breaks onto row 0 of the same order row: position and row repeat without going back.
    SongFixture f("song\n" + plainInstrument(1, "i") + "pattern a\n  0 C-4 i B00\norder\n  a . . .\n", false);
    const SongMeasure m = f.engine->measure();
    EXPECT_FALSE(m.loops);
    EXPECT_EQ(m.blocks, kMeasureBlockLimit);
    EXPECT_FLOAT_EQ(m.seconds, 470.0f);
}

} // namespace
} // namespace md
