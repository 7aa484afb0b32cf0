// Four dim balls gliding on Lissajous paths over the middle 80 % of the screen, their radius breathing with
// a slow pulse and swelling with the music's peaks: even balls follow the left channel, odd ones the right.
// They add onto everything beneath them by a bitwise OR. They appear once a song has played for 25.2 s.
#pragma once

#include <SDL.h>

#include <array>
#include <cstdint>

namespace md {

struct Ball {
    float angleX = 0.0f; // phase of the horizontal motion
    float speedX = 0.0f; // its speed, radians per second
    float angleY = 0.0f; // phase of the vertical motion
    float speedY = 0.0f;
    float x = 0.0f; // centre, pixels
    float y = 0.0f;
    float radius = 0.0f;
    float pulse = 0.0f; // phase of the radius pulsation
    float pulseSpeed = 0.0f;
    uint32_t colour = 0; // pixel value in the surface's format
};

class Balls {
  public:
    static constexpr int kBallCount = 4;
    static constexpr uint32_t kLatchDelayMs = 25200; // playback time before the balls appear

    // Whether the balls show this frame: once `latch` is on it stays on; it turns on when a song's playback
    // began more than 25.2 s before `frameTicks`. The player thread may record a playback start just after
    // the frame read its clock: that start lies ahead of `frameTicks`, not 49 days behind it.
    static bool latched(bool latch, uint32_t frameTicks, uint32_t playStartTicks) {
        return latch || (playStartTicks != 0 &&
                         static_cast<int32_t>(frameTicks - playStartTicks) > int32_t{kLatchDelayMs});
    }

    // Draws the balls and moves them on by `dt` seconds. The first call creates them from rand(), which is
    // never seeded, so they start alike on every run.
    void draw(SDL_Surface* surface, int16_t peakLeft, float dt, int16_t peakRight);

    // Forgets the balls; the next draw creates them anew.
    void destroy() { created_ = false; }

    bool created() const { return created_; }
    const std::array<Ball, kBallCount>& balls() const { return balls_; }

  private:
    void create(SDL_Surface* surface);

    std::array<Ball, kBallCount> balls_{};
    bool created_ = false;
};

} // namespace md
