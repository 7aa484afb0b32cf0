// Pausing the calling thread.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace md {

inline void sleepMilliseconds(uint32_t milliseconds) {
    SDL_Delay(milliseconds);
}

} // namespace md
