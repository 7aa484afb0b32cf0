#include "ui/logo_flip.h"

#include <cmath>

namespace md {

void LogoFlip::draw(SDL_Surface* front, SDL_Surface* back, float dt, int width, int centre,
                    SDL_Surface* surface) {
    SDL_Surface* image = showsFront() ? front : back;
    if (image != nullptr && image->w > 0) {
        const float h =
            std::fabs(std::cos(flipAngle) * (static_cast<float>(image->h) / static_cast<float>(image->w) *
                                             static_cast<float>(width)));
        SDL_Rect destination{(surface->w - width) / 2,
                             static_cast<int>(static_cast<float>(centre) - h * 0.5f), width,
                             static_cast<int>(h)};
        SDL_BlitScaled(image, nullptr, surface, &destination);
    }

    flipDelay -= dt;
    if (flipDelay > 0.0f) return;
    flipAngle += dt * kTurnSpeed;
    if (flipAngle < 0.0f) return;
    flipPause += dt;
    flipAngle = 0.0f;
    if (flipPause > kRestSeconds) {
        flipAngle = kFullTurn;
        flipPause = 0.0f;
    }
}

} // namespace md
