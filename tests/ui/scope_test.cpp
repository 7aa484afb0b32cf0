// The oscilloscope drawn onto an off-screen 960 x 540 surface from sample values made here.
#include "ui/scope.h"

#include "screen_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace md {
namespace {

using test::rgbAt;
constexpr int kCentre = 75;
constexpr uint32_t kWhite = 0xFFFFFF;

class Scope : public ::testing::Test {
  protected:
    void SetUp() override {
        screen_ = test::makeScreen();
        samples_.assign(2 * 48000, 0);
        input_.ticks = 100000;
        input_.playStartTicks = 90000; // ten seconds into the song
        input_.selectedSong = 13;
        input_.loadedSong = 13;
        input_.lengthFrames = 48000;
        input_.samples = samples_.data();
        input_.readableValues = static_cast<uint32_t>(samples_.size());
        input_.areaValues = input_.readableValues;
    }
    void TearDown() override { SDL_FreeSurface(screen_); }
    void draw() {
        SDL_FillRect(screen_, nullptr, 0);
        drawScope(screen_, kCentre, input_, peakLeft_, peakRight_);
    }
    // The two flat lines, 280 pixels from each edge, and nothing else.
    bool flatLines() const {
        for (int x = 0; x < 960; ++x) {
            const bool onLine = x < 280 || x >= 680;
            if ((rgbAt(screen_, x, kCentre) == kWhite) != onLine) return false;
        }
        return test::litInRow(screen_, kCentre - 1) == 0 && test::litInRow(screen_, kCentre + 1) == 0;
    }
    // First sample value the scope reads: (ticks - playStartTicks) * 96, wrapped around the song.
    uint32_t firstValue() const {
        return (input_.ticks - input_.playStartTicks) * 96 % (2 * static_cast<uint32_t>(input_.lengthFrames));
    }

    SDL_Surface* screen_ = nullptr;
    std::vector<int16_t> samples_;
    ScopeInput input_;
    int16_t peakLeft_ = 0;
    int16_t peakRight_ = 0;
};

TEST_F(Scope, FlatWhiteLinesAtTheLogoCentreWhileNoSongPlays) {
    input_.playStartTicks = 0; // before any song plays
    draw();
    EXPECT_TRUE(flatLines());

    input_.playStartTicks = 90000;
    input_.selectedSong = 14; // a new selection not yet taken up
    draw();
    EXPECT_TRUE(flatLines());

    input_.selectedSong = input_.loadedSong = -1; // nothing loaded
    draw();
    EXPECT_TRUE(flatLines());

    input_.selectedSong = input_.loadedSong = 13;
    input_.ticks = input_.playStartTicks; // position 0
    draw();
    EXPECT_TRUE(flatLines());
}

TEST_F(Scope, SongOfNoLengthDrawsFlatLinesInsteadOfDividingByZero) {
    input_.lengthFrames = 0;
    peakLeft_ = 4000;
    peakRight_ = 5000;
    draw();
    EXPECT_TRUE(flatLines());
    EXPECT_EQ(peakLeft_, 4000);
    EXPECT_EQ(peakRight_, 5000);
}

TEST_F(Scope, TracesShowTheValuesAtThePlayingPositionEightFramesApart) {
    // Left values rise by 568 (one pixel) per point from the first value read; right values fall likewise.
    const uint32_t first = firstValue();
    for (int point = 0; point < 140; ++point) {
        samples_[first + 16 * point] = static_cast<int16_t>(568 * (point % 50));
        samples_[first + 16 * point + 1] = static_cast<int16_t>(-568 * (point % 50));
    }
    draw();
    for (int point = 0; point < 140; ++point) {
        const int i = 2 * point;
        const int deflection = point % 50;
        EXPECT_EQ(rgbAt(screen_, i, kCentre + deflection), kWhite) << point;
        EXPECT_EQ(rgbAt(screen_, i + 1, kCentre + deflection), kWhite) << point;
        EXPECT_EQ(rgbAt(screen_, 959 - i, kCentre - deflection), kWhite) << point;
        EXPECT_EQ(rgbAt(screen_, 958 - i, kCentre - deflection), kWhite) << point;
    }
    EXPECT_EQ(rgbAt(screen_, 280, kCentre), 0u) << "traces are 280 pixels long";
    EXPECT_EQ(rgbAt(screen_, 679, kCentre), 0u);
    // Full scale reaches about 57 pixels on a 540-line surface, truncated toward zero.
    samples_[first] = 32767;
    samples_[first + 1] = -32768;
    draw();
    EXPECT_EQ(rgbAt(screen_, 0, kCentre + 57), kWhite);
    EXPECT_EQ(rgbAt(screen_, 959, kCentre - 57), kWhite);
}

TEST_F(Scope, PositionWrapsAroundTheSongsLength) {
    input_.lengthFrames = 100; // 200 values: the 140 points run around it more than once
    input_.ticks = input_.playStartTicks + 1;
    for (int k = 0; k < 200; k += 2) samples_[k] = static_cast<int16_t>(568 * 10);
    samples_[96 % 200] = static_cast<int16_t>(568 * 20); // the first point
    draw();
    EXPECT_EQ(rgbAt(screen_, 0, kCentre + 20), kWhite);
    EXPECT_EQ(rgbAt(screen_, 2, kCentre + 10), kWhite);
    EXPECT_EQ(rgbAt(screen_, 278, kCentre + 10), kWhite);
}

TEST_F(Scope, ReadsStayInsideTheSampleAreaAndItsFinishedAudio) {
    input_.lengthFrames = 1 << 30; // longer than the area holds
    input_.ticks = input_.playStartTicks + 999;
    samples_.assign(1000, 5680);
    input_.samples = samples_.data();
    input_.areaValues = input_.readableValues = 1000;
    draw(); // with the address sanitizer, any read beyond the area fails the test
    EXPECT_EQ(rgbAt(screen_, 0, kCentre + 10), kWhite);

    // Audio not yet rendered reads as silence: the first point lies beyond the finished values.
    input_.lengthFrames = 500;
    input_.readableValues = (999 * 96) % 1000; // the first point's value is the first unfinished one
    draw();
    EXPECT_EQ(rgbAt(screen_, 0, kCentre), kWhite);
    EXPECT_EQ(rgbAt(screen_, 0, kCentre + 10), 0u);
}

TEST_F(Scope, PeaksAboveThreeThousandReplaceTheStoredOnesQuieterFramesKeepThem) {
    const uint32_t first = firstValue();
    peakLeft_ = 20000;
    peakRight_ = 1234;
    samples_[first + 16 * 70] = 3001; // loudest left value of the frame, though lower than the stored peak
    samples_[first + 16 * 70 + 1] = 3000;
    draw();
    EXPECT_EQ(peakLeft_, 3001);
    EXPECT_EQ(peakRight_, 1234) << "3000 is not above the threshold";

    samples_[first + 16 * 70] = 3000;
    samples_[first + 16 * 139 + 1] = 25000; // the last point counts too
    draw();
    EXPECT_EQ(peakLeft_, 3001);
    EXPECT_EQ(peakRight_, 25000);

    samples_.assign(samples_.size(), -20000); // loud but negative: the maximum is what counts
    draw();
    EXPECT_EQ(peakLeft_, 3001);
    EXPECT_EQ(peakRight_, 25000);
}

} // namespace
} // namespace md
