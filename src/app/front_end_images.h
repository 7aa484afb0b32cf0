// The images of the front end, decoded once at start-up from the embedded PNG resources and kept while the
// program runs.
#pragma once

#include <SDL.h>

#include <functional>

namespace md {

// Resource ids of the PNG images.
inline constexpr int kFontSheetId = 135;      // glyph sheet of the scroller, 311 x 156
inline constexpr int kListShadeId = 136;      // shade over the song drum, 16 x 150
inline constexpr int kWobbleSpriteId = 137;   // small gold maker's logo, 75 x 26
inline constexpr int kMakerLogoId = 146;      // maker's logo, 700 x 152
inline constexpr int kIntroPictureId = 166;   // intro picture, 960 x 540
inline constexpr int kWhitePanelId = 169;     // opaque white square, 32 x 32
inline constexpr int kTitleLogoId = 170;      // title logo, 700 x 152
inline constexpr int kReadyIconId = 171;      // floppy disk, 64 x 64
inline constexpr int kGreyGearId = 173;       // grey gear, 64 x 64 (carried, not drawn)
inline constexpr int kSmallWhiteGearId = 174; // white gear, 36 x 36 (carried, not drawn)
inline constexpr int kBusyIconId = 175;       // white gear, 128 x 128

using ImageLoader = std::function<SDL_Surface*(int id)>;

struct FrontEndImages {
    SDL_Surface* wobbleSprite = nullptr;
    SDL_Surface* introPicture = nullptr;
    SDL_Surface* whitePanel = nullptr;
    SDL_Surface* titleLogoIntro = nullptr; // the intro fades this copy in
    SDL_Surface* titleLogo = nullptr;      // the main screen's copy; its alpha modulation is never changed
    SDL_Surface* makerLogo = nullptr;
    SDL_Surface* listShade = nullptr;
    SDL_Surface* readyIcon = nullptr;
    SDL_Surface* busyIcon = nullptr;

    // Everything after the wobble sprite, in this order: intro picture, white panel, title logo twice,
    // maker's logo, list shade, ready icon, busy icon. Images that fail to decode stay null.
    void loadRest(const ImageLoader& load);

    // Frees every image and sets it to null.
    void freeAll();
};

} // namespace md
