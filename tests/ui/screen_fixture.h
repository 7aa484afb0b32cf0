// An off-screen 960 x 540 surface in the window's 32-bit RGB format, and pixel look-ups on it.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <cstring>

namespace md::test {

inline SDL_Surface* makeScreen(int w = 960, int h = 540) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGB888);
    SDL_FillRect(s, nullptr, 0);
    return s;
}

// An opaque image of one colour, with an alpha channel like the decoded artwork.
inline SDL_Surface* makeImage(int w, int h, Uint8 r, Uint8 g, Uint8 b) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_FillRect(s, nullptr, SDL_MapRGBA(s->format, r, g, b, 255));
    return s;
}

inline uint32_t rgbAt(const SDL_Surface* s, int x, int y) {
    uint32_t value;
    std::memcpy(&value, static_cast<const Uint8*>(s->pixels) + y * s->pitch + x * 4, 4);
    return value & 0xFFFFFF;
}

inline int litInRow(const SDL_Surface* s, int y) {
    int n = 0;
    for (int x = 0; x < s->w; ++x) n += rgbAt(s, x, y) != 0;
    return n;
}

inline bool allBlack(const SDL_Surface* s) {
    for (int y = 0; y < s->h; ++y)
        if (litInRow(s, y) != 0) return false;
    return true;
}

} // namespace md::test
