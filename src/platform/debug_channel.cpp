#include "platform/debug_channel.h"

#include <SDL.h>

namespace md {

void debugString(const char* text) {
    SDL_LogDebug(SDL_LOG_CATEGORY_APPLICATION, "%s", text);
}

} // namespace md
