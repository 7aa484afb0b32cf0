// The fifteen-second intro: the intro picture, uncovered part by part as white covers fade out, then the
// title logo fading in on white, then white again. Everything follows the milliseconds since the intro began,
// so the intro lasts as long on every machine.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>

namespace md {

inline constexpr uint32_t kIntroLengthMs = 15000;
inline constexpr int kIntroLayerCount = 5;

struct IntroLayer {
    bool drawn;
    int alpha; // 0..255, meaningful when drawn
};

// The five white layers at `elapsedMs` milliseconds into the intro, bottom to top:
//   1 covers the two top captions, 2 the central picture, 3 the bottom caption; each fades out over 1.5 s
//     (from 1.896 s, 5.0 s and 8.0 s);
//   4 covers the whole screen, fading in over 1 s from 9.6 s, with the title logo on it at the same alpha;
//   5 covers the whole screen, fading in over 1.5 s from 12.138 s.
std::array<IntroLayer, kIntroLayerCount> introLayersAt(int32_t elapsedMs);

// The rectangles a layer covers on a 960 x 540 picture; layers 4 and 5 cover the whole target instead.
inline constexpr SDL_Rect kTopLeftCaptionCover{106, 42, 134, 87};
inline constexpr SDL_Rect kTopRightCaptionCover{601, 45, 261, 84};
inline constexpr SDL_Rect kCentralPictureCover{167, 120, 499, 310};
inline constexpr SDL_Rect kBottomCaptionCover{293, 451, 371, 64};

// Draws the intro frame at `elapsedMs`: white, the picture at (0, 0), then the layers, each the white panel
// stretched over its rectangles at the layer's alpha, and after layer 4 the title logo centred at the same
// alpha. Missing images are skipped.
void drawIntroFrame(SDL_Surface* target, SDL_Surface* picture, SDL_Surface* whitePanel,
                    SDL_Surface* titleLogo, int32_t elapsedMs);

} // namespace md
