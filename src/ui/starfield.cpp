#include "ui/starfield.h"

#include "ui/pixels.h"

#include <algorithm>
#include <cstdlib>

namespace md {

namespace {
constexpr float kFadeInPerSecond = 40.0f; // grey levels per second after the delay
// Long after the stars are fully faded in the delay stops counting, so it stays a small number.
constexpr float kDelayFloor = -1000.0f;
} // namespace

int Starfield::columnOf(float x) {
    const int column = static_cast<int>(x) % kBandWidth;
    return column < 0 ? column + kBandWidth : column;
}

void Starfield::draw(SDL_Surface* surface, float dt) {
    if (!placed) {
        for (float& x : starX) x = static_cast<float>(std::rand() % kBandWidth + kBandWidth);
        placed = true;
    }
    starDelay = std::max(starDelay - dt, kDelayFloor);
    if (starDelay > 0.0f) return;

    const int c = std::min(static_cast<int>(starDelay * -kFadeInPerSecond), 255);
    std::array<uint32_t, 4> grey;
    const int levels[4] = {c / 4, c / 3, c / 2, c};
    for (int layer = 0; layer < 4; ++layer) {
        const auto v = static_cast<Uint8>(levels[layer]);
        grey[layer] = SDL_MapRGBA(surface->format, v, v, v, 255);
    }
    for (int i = 0; i < kStarCount; ++i) {
        const int layer = i % 4;
        float& x = starX[i];
        x -= static_cast<float>((layer + 3) * 10) * dt;
        // Far past the left edge the position is moved on by one band width: the same column, and floats
        // that keep their fraction however long the program runs.
        if (x < -static_cast<float>(kBandWidth)) x += static_cast<float>(kBandWidth);
        putPixel(surface, columnOf(x), kFirstRow + i, grey[layer]);
    }
}

} // namespace md
