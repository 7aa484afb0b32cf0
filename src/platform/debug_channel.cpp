#include "platform/debug_channel.h"

#include <SDL.h>

#include <mutex>

namespace md {

namespace {

// Shows the channel when the environment asks for it; checked once, at the first text.
void applyEnvironment() {
    const char* value = SDL_getenv(kDebugEnvironmentVariable);
    if (value != nullptr && value[0] != '\0' && SDL_strcmp(value, "0") != 0) {
        SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, SDL_LOG_PRIORITY_DEBUG);
    }
}

} // namespace

void debugString(const char* text) {
    static std::once_flag environmentChecked;
    std::call_once(environmentChecked, applyEnvironment);
    SDL_LogDebug(SDL_LOG_CATEGORY_APPLICATION, "%s", text);
}

} // namespace md
