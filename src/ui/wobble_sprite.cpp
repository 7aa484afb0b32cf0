#include "ui/wobble_sprite.h"

#include <cmath>

namespace md {

SDL_Rect WobbleSprite::placeFor(const SDL_Surface* sprite) const {
    const float s = std::cos(wobblePhaseSize) * 0.5f + 2.0f;
    return SDL_Rect{static_cast<int>(std::cos(wobblePhaseX) * 30.0f + 600.0f),
                    static_cast<int>(std::sin(wobblePhaseY) * 20.0f + 80.0f),
                    static_cast<int>(s * static_cast<float>(sprite->w)),
                    static_cast<int>(s * static_cast<float>(sprite->h))};
}

void WobbleSprite::draw(SDL_Surface* surface, SDL_Surface* sprite, float dt) {
    wobblePhaseX += dt * 3.0f;
    wobblePhaseY += dt * 5.1f;
    wobblePhaseSize += dt * 6.3f;
    if (sprite == nullptr) return;
    SDL_Rect destination = placeFor(sprite);
    SDL_BlitScaled(sprite, nullptr, surface, &destination);
}

} // namespace md
