// The starfield behind the song rows: 256 single-pixel stars, one on each row from 151 to 406, drifting left
// in four layers at 30, 40, 50 and 60 pixels per second, the faster the brighter, and wrapping around a band
// 960 pixels wide. They appear a minute into the main screen and fade in over 6.4 seconds.
#pragma once

#include <SDL.h>

#include <array>

namespace md {

struct Starfield {
    static constexpr int kStarCount = 256;
    static constexpr int kFirstRow = 151;
    static constexpr int kBandWidth = 960;
    static constexpr float kDelaySeconds = 60.0f;

    float starDelay = kDelaySeconds;
    std::array<float, kStarCount> starX{};
    bool placed = false; // the stars' starting columns are drawn on the first call

    // The star's column: its position truncated and wrapped into 0 ... 959.
    static int columnOf(float x);

    void draw(SDL_Surface* surface, float dt);
};

} // namespace md
