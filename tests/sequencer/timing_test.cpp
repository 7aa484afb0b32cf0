// Row timing: row lengths, the carried remainder, speed 0, note delays.
#include "song_fixture.h"

namespace md {
namespace {

using test::plainInstrument;
using test::SongFixture;

std::string timingSong(int speed, int tempo, const std::string& pattern) {
    return "song\n  speed " + std::to_string(speed) + "\n  tempo " + std::to_string(tempo) + "\n" +
           plainInstrument(1, "a") + "pattern p\n" + pattern + "order\n  p . . .\n";
}

TEST(Timing, RowOneStartsAtSample5760AtTempo125Speed6) {
    SongFixture f(timingSong(6, 125, "  0 C-4 a\n  1 D-4 a\n"));
    f.ticks(60); // samples 0 .. 5759
    EXPECT_EQ(f.track(0).trackPitch, 49.0f);
    EXPECT_EQ(f.engine->row, 1);
    f.ticks(1); // the control block starting at sample 5760
    EXPECT_EQ(f.track(0).trackPitch, 51.0f);
}

TEST(Timing, RowsCarryTheRemainderAtTempo128Speed5) {
    SongFixture f(timingSong(5, 128, "  0 C-4 a\n"));
    EXPECT_EQ(f.engine->rowLength(), 4687);
    for (int m = 1; m <= 1000; ++m) {
        f.ticks(1);
        // After m blocks exactly floor(96 m / 4687) rows have ended: rows average 4687 samples.
        ASSERT_EQ(f.engine->row, (96 * m) / 4687 % 64) << m;
    }
}

TEST(Timing, SpeedZeroMakesEveryControlBlockARow) {
    SongFixture f(timingSong(6, 125, "  0 C-4 a F00\n"));
    f.ticks(1);
    EXPECT_EQ(f.engine->speed, 0);
    EXPECT_EQ(f.engine->row, 1);
    f.ticks(10);
    EXPECT_EQ(f.engine->row, 11);
}

TEST(Timing, NoteDelayCountsPlainTicksWhateverTheTempo) {
    for (int tempo : {125, 250}) {
        // Speed 12 keeps the row longer than the delay at both tempos.
        SongFixture f(timingSong(12, tempo, "  0 C-4 a ED3\n"));
        f.ticks(30); // 2880 samples are 30 control blocks
        EXPECT_EQ(f.track(0).activeCount, 0) << tempo;
        f.ticks(1);
        EXPECT_EQ(f.track(0).activeCount, 1) << tempo;
    }
}

TEST(Timing, DelayLongerThanTheRowNeverPlays) {
    SongFixture f(timingSong(6, 250, "  0 C-4 a ED7\n")); // the row lasts 2880 samples, the delay 6720
    f.ticks(200);
    EXPECT_EQ(f.track(0).activeCount, 0);
}

TEST(Timing, DelayIsIgnoredAtSpeedZeroAndED0PlaysAtOnce) {
    SongFixture zero(timingSong(6, 125, "  0 ... .. F00\n  1 C-4 a ED5\n"));
    zero.ticks(2);
    EXPECT_EQ(zero.track(0).activeCount, 1);
    SongFixture ed0(timingSong(6, 125, "  0 C-4 a ED0\n"));
    ed0.ticks(1);
    EXPECT_EQ(ed0.track(0).activeCount, 1);
}

TEST(Timing, SpeedCommandOnTheFirstRowIsOverwrittenByTheNewRowLength) {
    // F03 writes rowTimer for speed 3; the first step then sets the full row length at speed 3 anyway.
    SongFixture f(timingSong(6, 125, "  0 C-4 a F03\n  1 D-4 a\n"));
    f.ticks(30); // 3 ticks of 960 samples
    EXPECT_EQ(f.track(0).trackPitch, 49.0f);
    f.ticks(1);
    EXPECT_EQ(f.track(0).trackPitch, 51.0f);
}

} // namespace
} // namespace md
