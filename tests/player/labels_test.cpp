// The row labels: formats, font sizes, colours and blending, and drawRow's rectangles, recorded span and
// blinking status icon.
#include "player_fixture.h"

#include "player/fonts.h"
#include "player/labels.h"

namespace md {
namespace {

using test::PlayerTest;

TEST(LabelText, PlayingTimeIsMinutesAndTwoDigitSeconds) {
    EXPECT_EQ(formatPlayingTime(125.7f), "2:05");
    EXPECT_EQ(formatPlayingTime(65.0f), "1:05");
    EXPECT_EQ(formatPlayingTime(0.0f), "0:00");
    EXPECT_EQ(formatPlayingTime(59.999f), "0:59");
    EXPECT_EQ(formatPlayingTime(70.0f), "1:10");
    EXPECT_EQ(formatPlayingTime(3725.0f), "62:05") << "minutes are not wrapped into hours";
    EXPECT_EQ(formatSongSize(0), "0 bytes");
    EXPECT_EQ(formatSongSize(21785), "21785 bytes");
}

TEST(LabelText, FontSizesFollowTheSurfaceHeight) {
    const LabelFontSizes s540 = labelFontSizes(540);
    EXPECT_EQ(s540.title, 27);
    EXPECT_EQ(s540.artist, 20);
    EXPECT_EQ(s540.info, 14);
    const LabelFontSizes s1080 = labelFontSizes(1080);
    EXPECT_EQ(s1080.title, 54);
    EXPECT_EQ(s1080.artist, 40);
    EXPECT_EQ(s1080.info, 29);
}

TEST(LabelText, BusyIconBlinksEveryHalfSecond) {
    EXPECT_TRUE(busyIconVisible(10000, 10000));
    EXPECT_TRUE(busyIconVisible(10499, 10000));
    EXPECT_FALSE(busyIconVisible(10500, 10000));
    EXPECT_FALSE(busyIconVisible(10999, 10000));
    EXPECT_TRUE(busyIconVisible(11000, 10000));
    // Without a playback start the phase follows the tick counter itself.
    EXPECT_TRUE(busyIconVisible(1400, 0));
    EXPECT_FALSE(busyIconVisible(1600, 0));
    // Across the wrap of the 32-bit counter.
    EXPECT_TRUE(busyIconVisible(100, 0xFFFFFF00u));
}

// Pixel (x, y) of a 32-bit surface.
uint32_t pixelAt(SDL_Surface* s, int x, int y) {
    return static_cast<const uint32_t*>(s->pixels)[y * (s->pitch / 4) + x];
}

SDL_Surface* solid(int w, int h, Uint8 r, Uint8 g, Uint8 b) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_FillRect(s, nullptr, SDL_MapRGBA(s->format, r, g, b, 255));
    return s;
}

// The labels' colour where they are most opaque, and whether they have partly transparent edges.
struct Ink {
    Uint8 r = 0, g = 0, b = 0, maxAlpha = 0;
    bool partial = false;
};
Ink inkOf(SDL_Surface* s) {
    Ink ink;
    SDL_LockSurface(s);
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) {
            Uint8 r, g, b, a;
            SDL_GetRGBA(pixelAt(s, x, y), s->format, &r, &g, &b, &a);
            if (a > 0 && a < 255) ink.partial = true;
            if (a > ink.maxAlpha) ink = {r, g, b, a, ink.partial};
        }
    SDL_UnlockSurface(s);
    return ink;
}

class Labels : public PlayerTest {
  protected:
    void SetUp() override {
        PlayerTest::SetUp();
        songs_.addText(201, test::shortSong());
        build({{201, "_Night Drive - Oru.tsk", "Night Drive", "Oru"},
               {999, "_Gone - Nobody.tsk", "Gone", "Nobody"}});
        ready_ = solid(64, 64, 0, 255, 0);
        busy_ = solid(128, 128, 0, 0, 255);
        SDL_FillRect(surface_, nullptr, 0);
    }
    void TearDown() override {
        SDL_FreeSurface(ready_);
        SDL_FreeSurface(busy_);
        PlayerTest::TearDown();
    }
    bool regionBlank(int x0, int y0, int x1, int y1) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if ((pixelAt(surface_, x, y) & 0xFFFFFF) != 0) return false;
        return true;
    }
    SDL_Surface* ready_ = nullptr;
    SDL_Surface* busy_ = nullptr;
};

TEST_F(Labels, AreRenderedBlendedInTheirFontsAndColours) {
    TTF_Font* title = openFont(kTitleFontFile, 27);
    TTF_Font* artist = openFont(kTitleFontFile, 20);
    TTF_Font* info = openFont(kInfoFontFile, 14);
    ASSERT_TRUE(title && artist && info) << "the fonts travel beside the test executable";
    const Music& e = *catalogue[0];
    int w = 0, h = 0;
    TTF_SizeUTF8(title, "Night Drive", &w, &h);
    EXPECT_EQ(e.titleLabel->w, w);
    EXPECT_EQ(e.titleLabel->h, TTF_FontHeight(title));
    TTF_SizeUTF8(artist, "Oru", &w, &h);
    EXPECT_EQ(e.artistLabelLit->w, w);
    EXPECT_EQ(e.artistLabelLit->h, TTF_FontHeight(artist));
    TTF_SizeUTF8(info, "0:00", &w, &h);
    EXPECT_EQ(e.timeLabel->w, w) << "0.96 s reads 0:00";
    TTF_SizeUTF8(info, formatSongSize(e.resourceSize).c_str(), &w, &h);
    EXPECT_EQ(e.sizeLabel->w, w);
    EXPECT_EQ(e.sizeLabel->h, TTF_FontHeight(info));
    TTF_SizeUTF8(info, "0 bytes", &w, &h);
    EXPECT_EQ(catalogue[1]->sizeLabel->w, w) << "a missing song's size label is made from 0";

    for (SDL_Surface* s : {e.titleLabel, e.artistLabel, e.sizeLabel, e.timeLabel}) {
        const Ink ink = inkOf(s);
        EXPECT_EQ(ink.maxAlpha, 255);
        EXPECT_TRUE(ink.partial) << "anti-aliased edges";
        EXPECT_EQ(ink.r, 255);
        EXPECT_EQ(ink.g, 0);
        EXPECT_EQ(ink.b, 64);
    }
    for (SDL_Surface* s : {e.titleLabelLit, e.artistLabelLit}) {
        const Ink ink = inkOf(s);
        EXPECT_EQ(ink.r, 255);
        EXPECT_EQ(ink.g, 255);
        EXPECT_EQ(ink.b, 255);
        EXPECT_TRUE(ink.partial);
    }
    TTF_CloseFont(title);
    TTF_CloseFont(artist);
    TTF_CloseFont(info);
}

TEST_F(Labels, DrawRowPlacesTheLabelsAndRecordsTheTitleSpan) {
    const Music& e = *catalogue[0];
    const float scale = 0.5f;
    drawRow(0, 192, 200, scale, surface_, 576, ready_, busy_);
    const int titleH = static_cast<int>(e.titleLabel->h * scale);
    EXPECT_EQ(e.rowTop, 200);
    EXPECT_EQ(e.rowHeight, titleH);

    // The title starts at x and stays within its squashed rectangle.
    EXPECT_FALSE(regionBlank(192, 200, 192 + e.titleLabel->w, 200 + titleH));
    EXPECT_TRUE(regionBlank(0, 0, 960, 200)) << "nothing above the row";
    // The artist ends at x + width.
    const int artistH = static_cast<int>(e.artistLabel->h * scale);
    const int artistY = 200 + titleH / 4;
    EXPECT_FALSE(regionBlank(768 - e.artistLabel->w, artistY, 768, artistY + artistH));
    // Time and size right of the row, one above the other.
    const int timeX = 768 + artistH / 3;
    const int timeH = static_cast<int>(e.timeLabel->h * scale);
    const int sizeH = static_cast<int>(e.sizeLabel->h * scale);
    EXPECT_TRUE(regionBlank(768, 0, timeX, 540));
    EXPECT_FALSE(regionBlank(timeX, artistY, timeX + e.timeLabel->w, artistY + timeH));
    EXPECT_FALSE(regionBlank(timeX, artistY + timeH, timeX + e.sizeLabel->w, artistY + timeH + sizeH));
    EXPECT_TRUE(regionBlank(0, artistY + timeH + sizeH, 960, 540)) << "nothing below the size label";
    EXPECT_TRUE(regionBlank(0, 0, 192, 540)) << "no icon on a row that is not the loaded song's";

    // Scale 0: zero-height labels, nothing drawn, a zero-height span.
    SDL_FillRect(surface_, nullptr, 0);
    drawRow(0, 192, 300, 0.0f, surface_, 576, ready_, busy_);
    EXPECT_EQ(e.rowTop, 300);
    EXPECT_EQ(e.rowHeight, 0);
    EXPECT_TRUE(regionBlank(0, 0, 960, 540));
    EXPECT_EQ(findRowAt(300), 0);
}

TEST_F(Labels, TheLoadedRowIsLitAndShowsThePlayersState) {
    Music& e = *catalogue[0];
    e.isCurrent.store(true);
    const uint32_t green = SDL_MapRGB(surface_->format, 0, 255, 0);
    const uint32_t blue = SDL_MapRGB(surface_->format, 0, 0, 255);
    // The icon's rectangle: x - 34, trunc(scale x 12 + y), 24 x trunc(scale x 24).
    auto iconPixel = [&] { return pixelAt(surface_, 192 - 34 + 12, 200 + 12 + 12) & 0xFFFFFF; };
    auto draw = [&](int32_t state, uint32_t startTicks) {
        SDL_FillRect(surface_, nullptr, 0);
        playerState.playState.store(state);
        playerState.playStartTicks.store(startTicks);
        drawRow(0, 192, 200, 1.0f, surface_, 576, ready_, busy_);
    };
    draw(Rendered, 1);
    EXPECT_EQ(iconPixel(), green & 0xFFFFFF);
    EXPECT_TRUE(regionBlank(192 - 34, 200, 192 - 10, 212)) << "the icon begins 12 pixels down";
    EXPECT_TRUE(regionBlank(192 - 10, 200, 192, 540)) << "and is 24 wide";
    EXPECT_EQ(inkOf(e.titleLabelLit).g, 255);

    const uint32_t now = SDL_GetTicks();
    draw(Rendering, now - 250); // in the first half second: visible
    EXPECT_EQ(iconPixel(), blue & 0xFFFFFF);
    draw(Rendering, now - 750); // in the second: hidden
    EXPECT_EQ(iconPixel(), 0u);
    for (int32_t state : {Idle, Exporting, Exported}) {
        draw(state, 1);
        EXPECT_EQ(iconPixel(), 0u) << "state " << state;
    }
    // Squashed: the icon follows the scale.
    SDL_FillRect(surface_, nullptr, 0);
    playerState.playState.store(Rendered);
    drawRow(0, 192, 200, 0.5f, surface_, 576, ready_, busy_);
    EXPECT_FALSE(regionBlank(158, 206, 182, 218));
    EXPECT_TRUE(regionBlank(158, 218, 182, 540));
    EXPECT_TRUE(regionBlank(158, 0, 182, 206));
    playerState.playState.store(Idle);
}

} // namespace
} // namespace md
