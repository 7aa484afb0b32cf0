#include "app/intro.h"

namespace md {

namespace {

constexpr int kOpaque = 255;

// Alpha of a cover that is opaque until `fadeStart` and then fades out over `fadeLength` milliseconds.
int fadingOut(int32_t d, int32_t fadeStart, int32_t fadeLength) {
    return d <= fadeStart ? kOpaque : kOpaque + (fadeStart - d) * kOpaque / fadeLength;
}

// Alpha of a cover that fades in from `fadeStart` over `fadeLength` milliseconds.
int fadingIn(int32_t d, int32_t fadeStart, int32_t fadeLength) {
    return d < fadeStart + fadeLength ? (d - fadeStart) * kOpaque / fadeLength : kOpaque;
}

void cover(SDL_Surface* target, SDL_Surface* whitePanel, int alpha, const SDL_Rect& rect) {
    if (whitePanel == nullptr) return;
    SDL_Rect destination = rect;
    SDL_SetSurfaceAlphaMod(whitePanel, static_cast<Uint8>(alpha));
    SDL_BlitScaled(whitePanel, nullptr, target, &destination);
}

} // namespace

std::array<IntroLayer, kIntroLayerCount> introLayersAt(int32_t d) {
    return {{
        {d < 3396, fadingOut(d, 1896, 1500)},
        {d < 6500, fadingOut(d, 5000, 1500)},
        {d < 9500, fadingOut(d, 8000, 1500)},
        {d > 9600, fadingIn(d, 9600, 1000)},
        {d > 12138, fadingIn(d, 12138, 1500)},
    }};
}

void drawIntroFrame(SDL_Surface* target, SDL_Surface* picture, SDL_Surface* whitePanel,
                    SDL_Surface* titleLogo, int32_t elapsedMs) {
    SDL_FillRect(target, nullptr, 0xFFFFFFFF);
    SDL_Rect origin{0, 0, 0, 0};
    if (picture != nullptr) SDL_BlitSurface(picture, nullptr, target, &origin);
    // A panel decoded without an alpha channel would ignore the alpha modulation unless blending is on.
    if (whitePanel != nullptr) SDL_SetSurfaceBlendMode(whitePanel, SDL_BLENDMODE_BLEND);

    const auto layers = introLayersAt(elapsedMs);
    const SDL_Rect whole{0, 0, target->w, target->h};
    if (layers[0].drawn) {
        cover(target, whitePanel, layers[0].alpha, kTopLeftCaptionCover);
        cover(target, whitePanel, layers[0].alpha, kTopRightCaptionCover);
    }
    if (layers[1].drawn) cover(target, whitePanel, layers[1].alpha, kCentralPictureCover);
    if (layers[2].drawn) cover(target, whitePanel, layers[2].alpha, kBottomCaptionCover);
    if (layers[3].drawn) {
        cover(target, whitePanel, layers[3].alpha, whole);
        if (titleLogo != nullptr) {
            SDL_SetSurfaceAlphaMod(titleLogo, static_cast<Uint8>(layers[3].alpha));
            SDL_Rect logo{(target->w - titleLogo->w) / 2, (target->h - titleLogo->h) / 2, 0, 0};
            SDL_BlitSurface(titleLogo, nullptr, target, &logo);
        }
    }
    if (layers[4].drawn) cover(target, whitePanel, layers[4].alpha, whole);
}

} // namespace md
