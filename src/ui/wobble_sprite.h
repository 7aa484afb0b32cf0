// The maker's small gold logo near the top right of the title, wobbling in size (1.5 to 2.5 times its own)
// and in position (its top-left corner within 570 ... 630 across and 60 ... 100 down).
#pragma once

#include <SDL.h>

namespace md {

struct WobbleSprite {
    float wobblePhaseX = 0.0f;
    float wobblePhaseY = 0.0f;
    float wobblePhaseSize = 0.0f;

    // Advances the three phases by `dt` seconds, then draws `sprite` stretched at its place; a missing sprite
    // is skipped.
    void draw(SDL_Surface* surface, SDL_Surface* sprite, float dt);

    // Where the sprite is drawn for the current phases.
    SDL_Rect placeFor(const SDL_Surface* sprite) const;
};

} // namespace md
