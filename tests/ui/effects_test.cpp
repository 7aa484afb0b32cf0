// The logo flip, the starfield, the balls and their discs, and the wobble sprite, drawn onto an off-screen
// 960 x 540 surface with the time steps given here.
#include "ui/balls.h"
#include "ui/disc.h"
#include "ui/logo_flip.h"
#include "ui/starfield.h"
#include "ui/wobble_sprite.h"

#include "screen_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace md {
namespace {

using test::rgbAt;

class Effects : public ::testing::Test {
  protected:
    void SetUp() override { screen_ = test::makeScreen(); }
    void TearDown() override {
        SDL_FreeSurface(screen_);
        for (SDL_Surface* s : images_) SDL_FreeSurface(s);
    }
    SDL_Surface* image(int w, int h, Uint8 r, Uint8 g, Uint8 b) {
        images_.push_back(test::makeImage(w, h, r, g, b));
        return images_.back();
    }
    void clear(uint32_t rgb = 0) { SDL_FillRect(screen_, nullptr, rgb); }

    SDL_Surface* screen_ = nullptr;
    std::vector<SDL_Surface*> images_;
};

// --- Logo flip -------------------------------------------------------------------------------------------

TEST_F(Effects, LogoRestsListWidthWideCentredOnItsLine) {
    SDL_Surface* front = image(700, 152, 0, 0, 255);
    SDL_Surface* back = image(700, 152, 0, 255, 0);
    LogoFlip logo;
    logo.draw(front, back, 0.016f, 576, 75, screen_);
    // 576 x 125 at (192, 12): h = 152 / 700 x 576 = 125.07, top = (int)(75 - 62.5).
    EXPECT_EQ(rgbAt(screen_, 192, 12), 0x0000FFu);
    EXPECT_EQ(rgbAt(screen_, 767, 136), 0x0000FFu);
    EXPECT_EQ(rgbAt(screen_, 191, 12), 0u);
    EXPECT_EQ(rgbAt(screen_, 768, 12), 0u);
    EXPECT_EQ(rgbAt(screen_, 192, 11), 0u);
    EXPECT_EQ(rgbAt(screen_, 192, 137), 0u);
}

TEST_F(Effects, LogoTurnsAfterElevenAndSixteenSecondsShowingTheMakersLogoOnItsBack) {
    SDL_Surface* front = image(700, 152, 0, 0, 255);
    SDL_Surface* back = image(700, 152, 0, 255, 0);
    SDL_Surface* strip = test::makeScreen(960, 160); // the logo's strip of the screen is enough
    LogoFlip logo;
    const float dt = 0.02f;
    double t = 0.0;
    double firstMove = -1.0, backFrom = -1.0, backTo = -1.0, turnEnd = -1.0;
    double secondTurn = -1.0;
    int tallestBack = 0;
    for (int i = 0; i < 3000; ++i) { // 60 s
        SDL_FillRect(strip, nullptr, 0);
        const bool frontShown = logo.showsFront();
        logo.draw(front, back, dt, 576, 75, strip);
        t += dt;
        const int height = [&] {
            int h = 0;
            for (int y = 0; y < 160; ++y) h += rgbAt(strip, 480, y) != 0;
            return h;
        }();
        const uint32_t colour = rgbAt(strip, 480, 74) | rgbAt(strip, 480, 75);
        if (frontShown) {
            EXPECT_TRUE(colour == 0x0000FFu || (height <= 1 && colour == 0)) << t;
        } else {
            EXPECT_TRUE(colour == 0x00FF00u || (height <= 1 && colour == 0)) << t;
            tallestBack = std::max(tallestBack, height);
            if (backFrom < 0) backFrom = t;
            if (secondTurn < 0) backTo = t;
        }
        if (firstMove < 0 && logo.flipAngle < 0.0f) firstMove = t;
        if (firstMove > 0 && turnEnd < 0 && logo.flipAngle == 0.0f) turnEnd = t;
        if (turnEnd > 0 && secondTurn < 0 && logo.flipAngle < 0.0f) secondTurn = t;
    }
    SDL_FreeSurface(strip);
    EXPECT_NEAR(firstMove, 27.0, 0.05) << "11 s delay, then 16 s standing";
    EXPECT_NEAR(backFrom - firstMove, 1.5708 / 4, 0.05) << "edge-on after a quarter turn";
    EXPECT_NEAR(backTo - firstMove, 3 * 1.5708 / 4, 0.05);
    EXPECT_NEAR(turnEnd - firstMove, 6.28318 / 4, 0.05) << "a full turn at 4 rad per second";
    EXPECT_NEAR(secondTurn - turnEnd, 16.0, 0.05);
    EXPECT_GE(tallestBack, 124) << "the maker's logo grows to full height on the back";
}

// --- Starfield ---------------------------------------------------------------------------------------------

TEST_F(Effects, StarsAppearAfterAMinuteOnePerRowFrom151To406) {
    Starfield stars;
    for (int i = 0; i < 5999; ++i) stars.draw(screen_, 0.01f);
    EXPECT_TRUE(test::allBlack(screen_)) << "nothing before 60 s";
    for (int i = 0; i < 700; ++i) { // fade in over 6.4 s
        clear();
        stars.draw(screen_, 0.01f);
    }
    for (int y = 0; y < 540; ++y) EXPECT_EQ(test::litInRow(screen_, y), (y >= 151 && y <= 406) ? 1 : 0) << y;
    // Four layers: the fastest the brightest, grey c / 4, c / 3, c / 2 and c at full brightness c = 255.
    const uint32_t greys[4] = {0x3F3F3F, 0x555555, 0x7F7F7F, 0xFFFFFF};
    for (int i = 0; i < 256; ++i) {
        const int x = Starfield::columnOf(stars.starX[i]);
        EXPECT_EQ(rgbAt(screen_, x, 151 + i), greys[i % 4]) << i;
    }
}

TEST_F(Effects, StarsFadeInAndDriftAtTheirLayersSpeed) {
    Starfield stars;
    stars.draw(screen_, 60.125f); // 0.125 s past the delay: c = (int)(0.125 x 40) = 5
    const float x0 = stars.starX[3];
    const float x2 = stars.starX[2];
    clear();
    stars.draw(screen_, 0.125f); // c = 10
    // Positions far past the left edge move on by a whole band, which keeps their column.
    EXPECT_NEAR(std::remainder(x0 - stars.starX[3], 960.0f), 7.5f, 1e-3f) << "layer 3: 60 pixels per second";
    EXPECT_NEAR(std::remainder(x2 - stars.starX[2], 960.0f), 6.25f, 1e-3f) << "layer 2: 50 pixels per second";
    EXPECT_EQ(rgbAt(screen_, Starfield::columnOf(stars.starX[3]), 154), 0x0A0A0Au);
    EXPECT_EQ(rgbAt(screen_, Starfield::columnOf(stars.starX[1]), 152), 0x030303u);
}

TEST_F(Effects, StarsLeavingTheLeftEdgeComeBackAtColumn959OfTheSameRow) {
    Starfield stars;
    stars.draw(screen_, 70.0f); // placed and fully faded in
    stars.starX[0] = 0.5f;      // layer 0: 30 pixels per second
    clear();
    stars.draw(screen_, 0.05f); // -1.0
    EXPECT_EQ(rgbAt(screen_, 959, 151), 0x3F3F3Fu);
    EXPECT_EQ(test::litInRow(screen_, 151), 1);
    for (int i = 0; i < 3200; ++i) stars.draw(screen_, 0.01f); // more than a whole band later
    clear();
    stars.draw(screen_, 0.0f);
    EXPECT_EQ(test::litInRow(screen_, 151), 1);
    EXPECT_GE(stars.starX[0], -960.0f) << "positions stay near the band however long the stars run";
    EXPECT_EQ(Starfield::columnOf(-0.5f), 0) << "the position is truncated, then wrapped";
    EXPECT_EQ(Starfield::columnOf(-1.0f), 959);
    EXPECT_EQ(Starfield::columnOf(1919.9f), 959);
}

// --- Discs and balls ---------------------------------------------------------------------------------------

TEST_F(Effects, DiscAddsItsColourByBitwiseOr) {
    clear(0x0F0F0F);
    drawDisc(screen_, 0x102030, 480.0f, 270.0f, 20.0f);
    EXPECT_EQ(rgbAt(screen_, 480, 270), 0x1F2F3Fu);
    EXPECT_EQ(rgbAt(screen_, 480, 240), 0x0F0F0Fu);
    drawDisc(screen_, 0x010101, 480.0f, 270.0f, 20.0f);
    EXPECT_EQ(rgbAt(screen_, 480, 270), 0x1F2F3Fu) << "bits already set stay set";
    // Rows run from (int)(cy - r) = 250, where u = -1 and the row has no width, to 289; each row from
    // (int)(cx - half) up to (int)(cx + half) - 1.
    EXPECT_EQ(rgbAt(screen_, 480, 250), 0x0F0F0Fu);
    EXPECT_EQ(rgbAt(screen_, 480, 251), 0x1F2F3Fu);
    EXPECT_EQ(rgbAt(screen_, 480, 289), 0x1F2F3Fu);
    EXPECT_EQ(rgbAt(screen_, 480, 290), 0x0F0F0Fu);
    EXPECT_EQ(rgbAt(screen_, 460, 270), 0x1F2F3Fu);
    EXPECT_EQ(rgbAt(screen_, 500, 270), 0x0F0F0Fu) << "the right end is excluded";
}

TEST_F(Effects, DiscAtTheRightEdgeLeavesTheLastColumnUntouched) {
    drawDisc(screen_, 0x102030, 955.0f, 270.0f, 30.0f);
    int filled958 = 0;
    for (int y = 0; y < 540; ++y) {
        EXPECT_EQ(rgbAt(screen_, 959, y), 0u) << y;
        filled958 += rgbAt(screen_, 958, y) != 0;
    }
    EXPECT_GT(filled958, 40);
    // Past the left, top and bottom edges the disc is clipped.
    drawDisc(screen_, 0x102030, -5.0f, -5.0f, 30.0f);
    EXPECT_EQ(rgbAt(screen_, 0, 0), 0x102030u);
    drawDisc(screen_, 0x102030, 480.0f, 535.0f, 30.0f);
    EXPECT_EQ(rgbAt(screen_, 480, 539), 0x102030u);
    drawDisc(screen_, 0x102030, 2000.0f, 270.0f, 30.0f); // wholly right of the surface
    drawDisc(screen_, 0x102030, 480.0f, -100.0f, 30.0f); // wholly above
}

TEST(BallLatch, TurnsOnAfterTwentyFiveSecondsOfPlaybackAndStaysOn) {
    EXPECT_FALSE(Balls::latched(false, 100000, 0)) << "no song has started";
    EXPECT_FALSE(Balls::latched(false, 1000 + 25200, 1000));
    EXPECT_TRUE(Balls::latched(false, 1000 + 25201, 1000));
    EXPECT_TRUE(Balls::latched(true, 5, 0)) << "once on, it stays on";
    EXPECT_TRUE(Balls::latched(true, 1000, 999));
    // Playback that began just after the frame's clock was read has not played for 49 days.
    EXPECT_FALSE(Balls::latched(false, 1000, 1003));
}

// Pixels that differ between two drawings of the same balls.
std::vector<SDL_Point> differences(const SDL_Surface* a, const SDL_Surface* b) {
    std::vector<SDL_Point> points;
    for (int y = 0; y < 540; ++y)
        for (int x = 0; x < 960; ++x)
            if (rgbAt(a, x, y) != rgbAt(b, x, y)) points.push_back({x, y});
    return points;
}

TEST_F(Effects, BallsAreDimAndEvenOnesFollowTheLeftPeakOddOnesTheRight) {
    Balls balls;
    balls.draw(screen_, 0, 0.016f, 0);
    ASSERT_TRUE(balls.created());
    for (const Ball& b : balls.balls()) {
        for (int shift : {16, 8, 0}) {
            const int component = (b.colour >> shift) & 0xFF;
            EXPECT_GE(component, 16);
            EXPECT_LE(component, 79);
        }
        EXPECT_GE(b.x, 960 * 0.1f - 1);
        EXPECT_LE(b.x, 960 * 0.9f + 1);
        EXPECT_GE(b.radius, 27.0f - 0.01f);
        EXPECT_LE(b.radius, 81.0f + 0.01f);
    }

    SDL_Surface* other = test::makeScreen();
    for (int loud = 0; loud < 2; ++loud) {
        Balls quiet = balls;
        Balls swollen = balls;
        clear();
        SDL_FillRect(other, nullptr, 0);
        quiet.draw(screen_, 0, 0.016f, 0);
        if (loud == 0) {
            swollen.draw(other, 20000, 0.016f, 0); // 40 pixels more for the left channel's balls
        } else {
            swollen.draw(other, 0, 0.016f, 20000);
        }
        const std::vector<SDL_Point> changed = differences(screen_, other);
        ASSERT_FALSE(changed.empty());
        std::vector<int> near(4, 0);
        for (SDL_Point p : changed) {
            bool inAnnulus = false;
            for (int i = 0; i < 4; ++i) {
                const Ball& b = swollen.balls()[i];
                const float d = std::hypot(static_cast<float>(p.x) - b.x, static_cast<float>(p.y) - b.y);
                if (d >= b.radius - 2.0f && d <= b.radius + 42.0f) {
                    ++near[i];
                    inAnnulus = inAnnulus || i % 2 == loud;
                }
            }
            EXPECT_TRUE(inAnnulus) << p.x << "," << p.y;
        }
        EXPECT_GT(near[loud], 1000);
        EXPECT_GT(near[loud + 2], 1000);
    }
    SDL_FreeSurface(other);
}

TEST_F(Effects, BallsStartAlikeOnEveryRunAndAreMadeOnce) {
    Balls balls;
    balls.draw(screen_, 0, 0.0f, 0);
    const Ball first = balls.balls()[0];
    balls.draw(screen_, 0, 1.0f, 0);
    EXPECT_EQ(balls.balls()[0].colour, first.colour) << "created on the first call only";
    EXPECT_FLOAT_EQ(balls.balls()[0].speedX, first.speedX);
    EXPECT_GE(first.speedX, 1.0f);
    EXPECT_LT(first.speedX, 2.0f);
    EXPECT_GE(first.pulseSpeed, 0.15f);
    EXPECT_LT(first.pulseSpeed, 1.15f);
    balls.destroy();
    EXPECT_FALSE(balls.created());
}

// --- Wobble sprite -----------------------------------------------------------------------------------------

TEST_F(Effects, WobbleSpriteMovesAndSwellsWithinItsBox) {
    SDL_Surface* sprite = image(75, 26, 200, 160, 40);
    WobbleSprite wobble;
    wobble.draw(screen_, sprite, 0.0f); // phases 0: 2.5 times its size at (630, 80)
    EXPECT_EQ(rgbAt(screen_, 630, 80), 0xC8A028u);
    EXPECT_EQ(rgbAt(screen_, 630 + 186, 80 + 64), 0xC8A028u);
    EXPECT_EQ(rgbAt(screen_, 630 + 187, 80), 0u);
    EXPECT_EQ(rgbAt(screen_, 630, 80 + 65), 0u);
    EXPECT_EQ(rgbAt(screen_, 629, 80), 0u);
    for (int i = 0; i < 2000; ++i) {
        wobble.draw(screen_, sprite, 0.01f);
        const SDL_Rect r = wobble.placeFor(sprite);
        EXPECT_TRUE(r.x >= 570 && r.x <= 630 && r.y >= 60 && r.y <= 100) << r.x << "," << r.y;
        EXPECT_TRUE(r.w >= 112 && r.w <= 187 && r.h >= 39 && r.h <= 65) << r.w << "x" << r.h;
    }
    EXPECT_NEAR(wobble.wobblePhaseSize, 2000 * 0.01 * 6.3, 0.01) << "the phases are never wrapped";
}

} // namespace
} // namespace md
