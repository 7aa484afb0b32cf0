// The title logo above the drum, turning about its horizontal axis: it stands for eleven seconds, then for
// sixteen more, then makes one full turn in about 1.57 seconds (front, edge-on, the maker's logo on its back,
// edge-on, front), stands for sixteen seconds, and so on. Its height follows |cos| of the angle.
#pragma once

#include "ui/prescaled_image.h"

#include <SDL.h>

namespace md {

struct LogoFlip {
    static constexpr float kFirstDelay = 11.0f; // seconds before the turning starts
    static constexpr float kRestSeconds = 16.0f;
    static constexpr float kTurnSpeed = 4.0f;      // radians per second
    static constexpr float kFullTurn = -6.28318f;  // the angle a turn starts from; it runs up to 0
    static constexpr float kBackFrom = -4.712385f; // between these angles the back is shown
    static constexpr float kBackTo = -1.570795f;

    float flipDelay = kFirstDelay;
    float flipAngle = 0.0f;
    float flipPause = 0.0f;

    // Whether the front image shows now.
    bool showsFront() const { return flipDelay > 0.0f || flipAngle >= kBackTo || flipAngle <= kBackFrom; }

    // Draws `front` or `back` stretched to `width` pixels, horizontally centred, its height scaled by the
    // angle and centred on the line `centre`, then advances the turn by `dt` seconds. Missing images are
    // skipped.
    void draw(SDL_Surface* front, SDL_Surface* back, float dt, int width, int centre, SDL_Surface* surface);

  private:
    PrescaledImage atRest_; // the front at full height, as it stands most of the time
};

} // namespace md
