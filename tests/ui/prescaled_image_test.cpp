// An image stretched once and then blitted draws what stretching it every frame draws, to within the
// rounding of a blend.
#include "ui/prescaled_image.h"

#include "screen_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace md {
namespace {

// A shade like the list's: black whose alpha falls from opaque to clear and rises again, rows of
// different grey so the sampling shows, in the byte order the PNG decoder gives.
SDL_Surface* makeShade() {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 16, 150, 32, SDL_PIXELFORMAT_ABGR8888);
    for (int y = 0; y < 150; ++y) {
        const int alpha = y < 50 ? 255 - y * 5 : y < 100 ? 0 : (y - 100) * 5;
        SDL_Rect row{0, y, 16, 1};
        SDL_FillRect(s, &row,
                     SDL_MapRGBA(s->format, static_cast<Uint8>(y), 0, static_cast<Uint8>(y / 2),
                                 static_cast<Uint8>(alpha)));
    }
    SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND);
    return s;
}

TEST(PrescaledImage, DrawsWhatAStretchedBlitDraws) {
    SDL_Surface* shade = makeShade();
    SDL_Surface* direct = test::makeScreen();
    SDL_Surface* viaCopy = test::makeScreen();
    for (SDL_Surface* s : {direct, viaCopy}) SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 200, 150, 100));

    const SDL_Rect rect{0, 135, 960, 276};
    SDL_Rect r = rect;
    SDL_BlitScaled(shade, nullptr, direct, &r);
    PrescaledImage stretched;
    stretched.draw(shade, viaCopy, rect);
    int worst = 0;
    for (int y = 0; y < 540; ++y) {
        for (int x = 0; x < 960; x += 7) {
            const uint32_t a = test::rgbAt(direct, x, y), b = test::rgbAt(viaCopy, x, y);
            for (int shift : {0, 8, 16})
                worst = std::max(worst, std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)));
        }
    }
    EXPECT_LE(worst, 2) << "the same samples; SDL's two blenders round a channel differently";

    // Another size stretches the image itself; the copy stays for its own size.
    SDL_FillRect(viaCopy, nullptr, 0xFFFFFF);
    stretched.draw(shade, viaCopy, {10, 10, 100, 50});
    EXPECT_LE(test::rgbAt(viaCopy, 50, 10), 0x101010u) << "nearly opaque black at the top";
    EXPECT_EQ(test::rgbAt(viaCopy, 50, 9), 0xFFFFFFu);
    EXPECT_EQ(test::rgbAt(viaCopy, 110, 10), 0xFFFFFFu);
    stretched.draw(shade, viaCopy, rect);
    EXPECT_EQ(test::rgbAt(viaCopy, 5, 135), 0u);

    for (SDL_Surface* s : {shade, direct, viaCopy}) SDL_FreeSurface(s);
}

} // namespace
} // namespace md
