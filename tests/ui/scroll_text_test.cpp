// The scroller drawn onto an off-screen 960 x 540 surface with a glyph sheet made here: every cell opaque in
// a colour of its own (blank cells included), the grid lines clear, so each lit pixel tells which cell it
// shows.
#include "ui/scroll_text.h"

#include "screen_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <string>

namespace md {
namespace {

using test::rgbAt;

uint32_t cellColour(int row, int column) {
    return (static_cast<uint32_t>(10 + column * 20) << 16) | (static_cast<uint32_t>(10 + row * 40) << 8) |
           200u;
}

SDL_Surface* makeSheet() {
    SDL_Surface* sheet = SDL_CreateRGBSurfaceWithFormat(0, 311, 156, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_FillRect(sheet, nullptr, 0); // clear grid
    for (int r = 0; r < 5; ++r) {
        for (int c = 0; c < 10; ++c) {
            SDL_Rect cell{1 + 31 * c, 1 + 31 * r, 30, 30};
            SDL_FillRect(sheet, &cell, 0xFF000000u | cellColour(r, c));
        }
    }
    return sheet;
}

// Top lit row of column x at or below `from`, or -1.
int topOf(const SDL_Surface* s, int x, int from = 0) {
    for (int y = from; y < s->h; ++y)
        if (rgbAt(s, x, y) != 0) return y;
    return -1;
}

class Scroller : public ::testing::Test {
  protected:
    void SetUp() override { screen_ = test::makeScreen(); }
    void TearDown() override { SDL_FreeSurface(screen_); }
    void frame(ScrollText& scroller, float dt) {
        SDL_FillRect(screen_, nullptr, 0);
        scroller.draw(screen_, dt);
    }
    SDL_Surface* screen_ = nullptr;
};

TEST(ScrollMessage, HasTheLengthFormAndCharactersOfTheDisksText) {
    const std::string_view text = kScrollMessage;
    EXPECT_EQ(text.size(), 355u);
    EXPECT_EQ(text.substr(0, 7).find_first_not_of(' '), 6u) << "six spaces, then the text";
    EXPECT_EQ(text.substr(text.size() - 7), ".      ");
    const std::string glyphSet = "!<>+,-./0123456789: abcdefghijklmnopqrstuvwxyz";
    for (char c : text) EXPECT_NE(glyphSet.find(c), std::string::npos) << "no glyph for '" << c << "'";
    EXPECT_NE(text.find("welcome"), std::string::npos);
    EXPECT_NE(text.find("music disk"), std::string::npos);
    EXPECT_NE(text.find("oru"), std::string::npos);
    EXPECT_NE(text.find("greetings"), std::string::npos);
    EXPECT_GT(text.find("greetings"), text.size() / 2) << "the greetings close the text";
}

TEST(ScrollGlyphs, CellsComeFromTheFiveRowsOfTheSheet) {
    ScrollText scroller(960, nullptr);
    auto rect = [&](char c) {
        const auto& g = scroller.glyph(static_cast<unsigned char>(c));
        return g ? std::vector<int>{g->x, g->y, g->w, g->h} : std::vector<int>{};
    };
    EXPECT_EQ(rect('a'), (std::vector<int>{1, 63, 30, 30}));
    EXPECT_EQ(rect('*'), (std::vector<int>{280, 125, 30, 30})) << "the last of the four '*' cells";
    EXPECT_EQ(rect('!'), (std::vector<int>{1, 1, 30, 30}));
    EXPECT_EQ(rect('<'), (std::vector<int>{32, 1, 30, 30}));
    EXPECT_EQ(rect('1'), (std::vector<int>{280, 1, 30, 30}));
    EXPECT_EQ(rect(' '), (std::vector<int>{280, 32, 30, 30}));
    EXPECT_EQ(rect('t'), (std::vector<int>{280, 94, 30, 30}));
    EXPECT_EQ(rect('z'), (std::vector<int>{156, 125, 30, 30}));
    for (char c : std::string("A|?Z(){}")) EXPECT_TRUE(rect(c).empty()) << c;
    int withGlyph = 0;
    for (int c = 0; c < 256; ++c) withGlyph += scroller.glyph(static_cast<unsigned char>(c)).has_value();
    EXPECT_EQ(withGlyph, 47);
}

TEST_F(Scroller, FirstFrameDrawsNothingVisibleAndTheLineComesInFromTheRight) {
    ScrollText scroller(960, makeSheet());
    frame(scroller, 0.016f);
    EXPECT_TRUE(test::allBlack(screen_));
    EXPECT_FLOAT_EQ(scroller.offset(), 960.0f - 1.6f);

    // Another second at 100 pixels per second: the head (a space, drawn from its blank cell) is at 858.
    for (int i = 0; i < 100; ++i) frame(scroller, 0.01f);
    const int x = static_cast<int>(scroller.offset());
    EXPECT_EQ(x, 858);
    frame(scroller, 0.0f);
    const int top = topOf(screen_, x);
    ASSERT_GE(top, 0);
    EXPECT_EQ(rgbAt(screen_, x, top), cellColour(1, 9));
    EXPECT_EQ(topOf(screen_, x - 1), -1) << "nothing left of the head";
    EXPECT_EQ(topOf(screen_, x + 29), top) << "a block glyph bobs as one";
    EXPECT_EQ(rgbAt(screen_, 959, topOf(screen_, 959)), cellColour(1, 9)) << "the line reaches the edge";
}

TEST_F(Scroller, CharacterWithoutGlyphLeavesAGapOfThirtyPixels) {
    ScrollText scroller(960, makeSheet(), "aAbcdefghijklmnopqrstuvwxyz");
    frame(scroller, 4.6f); // the head moves to x = 500
    frame(scroller, 0.0f);
    ASSERT_EQ(static_cast<int>(scroller.offset()), 500);
    for (int x = 500; x < 530; ++x) EXPECT_EQ(rgbAt(screen_, x, topOf(screen_, x)), cellColour(2, 0)) << x;
    for (int x = 530; x < 560; ++x) EXPECT_EQ(topOf(screen_, x), -1) << x;
    for (int x = 560; x < 590; ++x) EXPECT_EQ(rgbAt(screen_, x, topOf(screen_, x)), cellColour(2, 1)) << x;
    // Neighbouring glyphs sit 0.3 rad apart on the wave; the gap does not move the phase on.
    const double phaseB = scroller.phase() + 0.3;
    EXPECT_EQ(topOf(screen_, 560), static_cast<int>(470.0 - std::sin(phaseB) * 40.0));
}

TEST_F(Scroller, TwoMarkersAtTheHeadGiveOneThreeSecondPause) {
    ScrollText scroller(960, makeSheet(), "a||bcdefghijklmnopqrstuvwxyz");
    frame(scroller, 9.905f); // 990.5 pixels: past the first glyph, the head is handed over
    ASSERT_EQ(scroller.head(), 1);
    const float offset = scroller.offset();
    EXPECT_NEAR(offset, -0.5f, 1e-3f);

    float paused = 0.0f;
    float lastPhase = scroller.phase();
    bool phaseMoved = false;
    for (int i = 0; i < 40 && scroller.offset() == offset; ++i) {
        frame(scroller, 0.25f);
        EXPECT_EQ(scroller.head(), 3) << "both markers are passed over together";
        if (scroller.offset() == offset) paused += 0.25f;
        phaseMoved = phaseMoved || scroller.phase() != lastPhase;
        lastPhase = scroller.phase();
    }
    EXPECT_FLOAT_EQ(paused, 3.0f);
    EXPECT_TRUE(phaseMoved) << "the wave goes on during the pause";
    for (int i = 0; i < 200; ++i) {
        const float before = scroller.offset();
        frame(scroller, 0.01f);
        if (scroller.head() == 3) {
            EXPECT_LT(scroller.offset(), before) << "no second pause";
        }
    }
    EXPECT_GT(scroller.head(), 3);
}

TEST_F(Scroller, MarkerInsideTheLineTakesNoRoom) {
    ScrollText scroller(960, makeSheet(), "ab|cdefghijklmnopqrstuvwxyz");
    frame(scroller, 4.6f);
    frame(scroller, 0.0f);
    ASSERT_EQ(static_cast<int>(scroller.offset()), 500);
    EXPECT_EQ(rgbAt(screen_, 530, topOf(screen_, 530)), cellColour(2, 1));
    EXPECT_EQ(rgbAt(screen_, 560, topOf(screen_, 560)), cellColour(2, 2)) << "'c' follows 'b' directly";
}

TEST_F(Scroller, HeadIsHandedOverAfterThirtyPixelsKeepingTheGlyphsOnTheWave) {
    ScrollText scroller(960, makeSheet(), "abcdefghijklmnopqrstuvwxyz");
    frame(scroller, 9.899f); // 989.9 pixels: 'a' is nearly gone
    ASSERT_EQ(scroller.head(), 0);
    ASSERT_NEAR(scroller.offset(), -29.9f, 1e-3f);
    frame(scroller, 0.0f);
    const int topBefore = topOf(screen_, 1); // 'b', at -29 + 30
    ASSERT_EQ(rgbAt(screen_, 1, topBefore), cellColour(2, 1));
    const float phaseBefore = scroller.phase();

    frame(scroller, 0.002f); // 0.2 pixels more: 'b' becomes the head
    EXPECT_EQ(scroller.head(), 1);
    EXPECT_NEAR(scroller.offset(), -0.1f, 1e-3f);
    EXPECT_NEAR(std::remainder(scroller.phase() - phaseBefore - 0.306, 6.28318), 0.0, 1e-5)
        << "0.3 rad per glyph, 3 rad per second";
    frame(scroller, 0.0f);
    EXPECT_EQ(rgbAt(screen_, 0, topOf(screen_, 0)), cellColour(2, 1));
    EXPECT_LE(std::abs(topOf(screen_, 0) - topBefore), 1) << "the glyph keeps its place on the wave";
}

TEST_F(Scroller, WaveKeepsTheGlyphsBetween430And510) {
    ScrollText scroller(960, makeSheet());
    int highest = 540;
    int lowest = 0;
    for (int i = 0; i < 5000; ++i) { // 80 s: blocks first, then slices
        frame(scroller, 0.016f);
        if (i % 7 != 0) continue;
        ASSERT_EQ(test::litInRow(screen_, 429), 0) << "frame " << i;
        for (int x = 0; x < 960; ++x) {
            const int top = topOf(screen_, x, 430);
            if (top < 0) continue;
            highest = std::min(highest, top);
            lowest = std::max(lowest, top);
        }
    }
    EXPECT_EQ(highest, 430);
    EXPECT_GE(lowest, 509);
    EXPECT_LE(lowest, 510);
}

TEST(ScrollerScale, WideSurfacesDoubleTheGlyphsNarrowOnesDrawAtTheBaseSize) {
    SDL_Surface* wide = test::makeScreen(1920, 1080);
    ScrollText big(1920, makeSheet(), "abcdefghijklmnopqrstuvwxyz");
    big.draw(wide, 9.0f); // 200 pixels a second at twice the size
    EXPECT_FLOAT_EQ(big.offset(), 1920.0f - 1800.0f);
    SDL_FillRect(wide, nullptr, 0);
    big.draw(wide, 0.0f);
    const int top = topOf(wide, 120);
    EXPECT_EQ(rgbAt(wide, 120, top), cellColour(2, 0));
    EXPECT_EQ(topOf(wide, 179), top) << "a glyph 60 pixels wide";
    EXPECT_EQ(rgbAt(wide, 180, topOf(wide, 180)), cellColour(2, 1));
    EXPECT_EQ(rgbAt(wide, 120, top + 59), cellColour(2, 0)) << "and 60 high";
    EXPECT_GE(top, 1080 - 140 - 80);
    EXPECT_LE(top, 1080 - 140 + 80);
    SDL_FreeSurface(wide);

    // Narrower than the base width the scale would be 0, which would draw nothing and never move.
    SDL_Surface* narrow = test::makeScreen(480, 540);
    ScrollText small(480, makeSheet(), "abcdefghijklmnopqrstuvwxyz");
    small.draw(narrow, 2.0f);
    EXPECT_FLOAT_EQ(small.offset(), 280.0f);
    SDL_FillRect(narrow, nullptr, 0);
    small.draw(narrow, 0.0f);
    EXPECT_EQ(rgbAt(narrow, 280, topOf(narrow, 280)), cellColour(2, 0));
    EXPECT_EQ(rgbAt(narrow, 310, topOf(narrow, 310)), cellColour(2, 1));
    SDL_FreeSurface(narrow);
}

// Columns where the line's top edge changes from the column before; blocks change only between glyphs.
std::vector<int> stepsOfTheLine(const SDL_Surface* s) {
    std::vector<int> steps;
    for (int x = 1; x < s->w; ++x)
        if (topOf(s, x) != topOf(s, x - 1)) steps.push_back(x);
    return steps;
}

TEST_F(Scroller, AfterAMinuteGlyphsAreCutIntoSlicesThatBend) {
    ScrollText scroller(960, makeSheet(), "abcdefghijklmnopqrstuvwxyz");
    for (int i = 0; i < 5999; ++i) frame(scroller, 0.01f);
    EXPECT_EQ(scroller.sliceCount(), 1);
    frame(scroller, 0.0f);
    const int start = static_cast<int>(scroller.offset());
    for (int x : stepsOfTheLine(screen_)) EXPECT_EQ((x - start) % 30, 0) << "blocks bob as one, at " << x;

    frame(scroller, 0.02f);
    EXPECT_EQ(scroller.sliceCount(), 15);
    frame(scroller, 0.0f);
    const int sliced = static_cast<int>(scroller.offset());
    const std::vector<int> steps = stepsOfTheLine(screen_);
    for (int x : steps) EXPECT_EQ((x - sliced) % 2, 0) << "slices are two pixels wide, at " << x;
    EXPECT_GT(steps.size(), 200u) << "the slices of a glyph follow the wave separately";
}

} // namespace
} // namespace md
