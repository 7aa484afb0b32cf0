#include "ui/balls.h"

#include "ui/disc.h"
#include "ui/pixels.h"

#include <cmath>
#include <cstdlib>

namespace md {

namespace {
constexpr double kTwoPiPerThousand = 0.00628318;
constexpr double kPi = 3.14159;
constexpr double kTwoPi = 6.28318;
constexpr float kPeakToPixels = 0.002f;

Uint8 dimComponent() {
    return static_cast<Uint8>(std::rand() % 64 + 16);
}
} // namespace

void Balls::create(SDL_Surface* surface) {
    for (Ball& b : balls_) {
        b.angleX = static_cast<float>((std::rand() % 1000) * kTwoPiPerThousand);
        b.angleY = static_cast<float>((std::rand() % 1000) * kTwoPiPerThousand);
        b.speedX = static_cast<float>((std::rand() % 1000) * 0.001 + 1.0);
        b.speedY = static_cast<float>((std::rand() % 1000) * 0.001 + 1.0);
        b.pulseSpeed = static_cast<float>((std::rand() % 1000) * 0.001 + 0.15);
        b.pulse = static_cast<float>((std::rand() % 314) * 0.01);
        const Uint8 red = dimComponent();
        const Uint8 green = dimComponent();
        const Uint8 blue = dimComponent();
        b.colour = SDL_MapRGBA(surface->format, red, green, blue, 0);
        b.x = static_cast<float>(surface->w / 2);
        b.y = static_cast<float>(surface->h / 2);
        b.radius = 100.0f;
    }
    created_ = true;
}

void Balls::draw(SDL_Surface* surface, int16_t peakLeft, float dt, int16_t peakRight) {
    SurfaceLock lock(surface);
    if (!created_) create(surface);
    const int w = surface->w;
    const int h = surface->h;
    const double reachX = static_cast<float>(w) * 0.4f;
    const double reachY = static_cast<float>(h) * 0.4f;
    const double swell = static_cast<float>(h) * 0.05f;
    const double rest = static_cast<float>(h) * 0.1f;
    for (int i = 0; i < kBallCount; ++i) {
        Ball& b = balls_[i];
        b.x = static_cast<float>(std::cos(static_cast<double>(b.angleX)) * reachX + w / 2);
        b.y = static_cast<float>(std::sin(static_cast<double>(b.angleY)) * reachY + h / 2);
        b.angleX += b.speedX * dt;
        b.angleY += b.speedY * dt;
        b.radius = static_cast<float>(std::cos(static_cast<double>(b.pulse)) * swell + rest);
        b.pulse += b.pulseSpeed * dt;
        if (b.pulse > kPi) b.pulse = static_cast<float>(b.pulse - kTwoPi);
        const int16_t peak = (i % 2 == 1) ? peakRight : peakLeft;
        drawDisc(surface, b.colour, b.x, b.y, b.radius + static_cast<float>(peak) * kPeakToPixels);
    }
}

} // namespace md
