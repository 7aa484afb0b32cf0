#include "app/intro.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>

namespace md {
namespace {

struct Rgb {
    int r, g, b;
};

// Draws intro frames onto a 960 x 540 surface from simple pictures: a red picture, a white panel without an
// alpha channel, and a blue title logo with one.
class IntroDrawing : public ::testing::TestWithParam<Uint32> {
  protected:
    void SetUp() override {
        target_ = SDL_CreateRGBSurfaceWithFormat(0, 960, 540, 32, GetParam());
        picture_ = SDL_CreateRGBSurfaceWithFormat(0, 960, 540, 24, SDL_PIXELFORMAT_RGB24);
        panel_ = SDL_CreateRGBSurfaceWithFormat(0, 32, 32, 24, SDL_PIXELFORMAT_RGB24);
        logo_ = SDL_CreateRGBSurfaceWithFormat(0, 700, 152, 32, SDL_PIXELFORMAT_ARGB8888);
        ASSERT_TRUE(target_ && picture_ && panel_ && logo_);
        SDL_FillRect(picture_, nullptr, SDL_MapRGB(picture_->format, 255, 0, 0));
        SDL_FillRect(panel_, nullptr, SDL_MapRGB(panel_->format, 255, 255, 255));
        SDL_FillRect(logo_, nullptr, SDL_MapRGBA(logo_->format, 0, 0, 255, 255));
    }
    void TearDown() override {
        for (SDL_Surface* s : {target_, picture_, panel_, logo_}) SDL_FreeSurface(s);
    }
    Rgb at(int32_t d, int x, int y) {
        drawIntroFrame(target_, picture_, panel_, logo_, d);
        return pixel(x, y);
    }
    Rgb pixel(int x, int y) {
        Uint32 value;
        std::memcpy(&value, static_cast<Uint8*>(target_->pixels) + y * target_->pitch + x * 4, 4);
        Uint8 r, g, b;
        SDL_GetRGB(value, target_->format, &r, &g, &b);
        return {r, g, b};
    }
    static bool isWhite(Rgb c) { return c.r == 255 && c.g == 255 && c.b == 255; }
    static bool isRed(Rgb c) { return c.r == 255 && c.g == 0 && c.b == 0; }
    static bool isBlue(Rgb c) { return c.r == 0 && c.g == 0 && c.b == 255; }

    SDL_Surface* target_ = nullptr;
    SDL_Surface* picture_ = nullptr;
    SDL_Surface* panel_ = nullptr;
    SDL_Surface* logo_ = nullptr;
};

// Points inside each cover, and one outside all of them.
constexpr SDL_Point kTopLeft{150, 80}, kTopRight{700, 80}, kCentre{400, 300}, kBottom{400, 480},
    kOpen{20, 20};

TEST_P(IntroDrawing, CoversHideThePartsUntilTheirFadeEnds) {
    for (SDL_Point p : {kTopLeft, kTopRight, kCentre, kBottom}) EXPECT_TRUE(isWhite(at(0, p.x, p.y)));
    EXPECT_TRUE(isRed(at(0, kOpen.x, kOpen.y)));
    EXPECT_TRUE(isRed(at(3396, kTopLeft.x, kTopLeft.y)));
    EXPECT_TRUE(isRed(pixel(kTopRight.x, kTopRight.y)));
    EXPECT_TRUE(isWhite(pixel(kCentre.x, kCentre.y)));
    EXPECT_TRUE(isRed(at(6500, kCentre.x, kCentre.y)));
    EXPECT_TRUE(isWhite(pixel(kBottom.x, kBottom.y)));
    for (SDL_Point p : {kTopLeft, kTopRight, kCentre, kBottom, kOpen}) EXPECT_TRUE(isRed(at(9550, p.x, p.y)));
}

TEST_P(IntroDrawing, FadingCoverBlendsWithThePicture) {
    const Rgb half = at(2646, kTopLeft.x, kTopLeft.y); // alpha 128 of white over red
    EXPECT_EQ(half.r, 255);
    EXPECT_NEAR(half.g, 128, 2);
    EXPECT_NEAR(half.b, 128, 2);
    const Rgb almostGone = at(3395, kTopLeft.x, kTopLeft.y); // alpha 1
    EXPECT_EQ(almostGone.r, 255);
    EXPECT_LE(almostGone.g, 2);
}

TEST_P(IntroDrawing, TitleLogoFadesInOnWhiteAndWhiteCoversItAgain) {
    const Rgb halfWhite = at(10100, kOpen.x, kOpen.y); // layer 4 at alpha 127
    EXPECT_EQ(halfWhite.r, 255);
    EXPECT_NEAR(halfWhite.g, 127, 2);
    const Rgb halfLogo = pixel(480, 270);
    EXPECT_LT(halfLogo.b, 255);
    EXPECT_GT(halfLogo.b, halfLogo.g);

    EXPECT_TRUE(isWhite(at(11000, kOpen.x, kOpen.y)));
    EXPECT_TRUE(isBlue(pixel(480, 270)));
    EXPECT_TRUE(isBlue(pixel(130, 194))) << "logo centred: top-left corner";
    EXPECT_TRUE(isBlue(pixel(829, 345))) << "logo centred: bottom-right corner";
    EXPECT_TRUE(isWhite(pixel(129, 194)));
    EXPECT_TRUE(isWhite(pixel(830, 345)));
    EXPECT_TRUE(isWhite(pixel(480, 193)));

    const Rgb covered = at(12888, 480, 270); // layer 5 at alpha 127 over the logo
    EXPECT_NEAR(covered.r, 128, 2);
    for (SDL_Point p : {kOpen, SDL_Point{480, 270}, SDL_Point{959, 539}})
        EXPECT_TRUE(isWhite(at(13638, p.x, p.y)));
}

TEST_P(IntroDrawing, MissingImagesAreSkipped) {
    drawIntroFrame(target_, nullptr, nullptr, nullptr, 11000);
    EXPECT_TRUE(isWhite(pixel(480, 270)));
    drawIntroFrame(target_, picture_, nullptr, logo_, 11000);
    EXPECT_TRUE(isBlue(pixel(480, 270)));
    EXPECT_TRUE(isRed(pixel(kOpen.x, kOpen.y)));
}

INSTANTIATE_TEST_SUITE_P(Formats, IntroDrawing,
                         ::testing::Values(SDL_PIXELFORMAT_RGB888, SDL_PIXELFORMAT_ARGB8888,
                                           SDL_PIXELFORMAT_BGRA8888));

} // namespace
} // namespace md
