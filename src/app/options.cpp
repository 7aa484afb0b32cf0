#include "app/options.h"

#include <SDL.h>

namespace md {

bool hasFullscreenOption(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] != nullptr && SDL_strcasecmp(argv[i], kFullscreenOption) == 0) return true;
    }
    return false;
}

} // namespace md
