#include "app/layout.h"

namespace md {

Layout computeLayout(int screenWidth, int screenHeight, const SDL_Surface* titleLogo, int surfaceHeight) {
    Layout layout;
    layout.drumRadius = screenHeight / 4;
    layout.listWidth = static_cast<int>(static_cast<float>(screenWidth) * 0.6f);
    int logoHeight = 0;
    if (titleLogo != nullptr && titleLogo->w > 0)
        logoHeight = (titleLogo->h * layout.listWidth) / titleLogo->w;
    layout.logoCentreY = logoHeight / 2 + surfaceHeight / 40;
    return layout;
}

int computeShadeHeight(int drumRadius) {
    return static_cast<int>(static_cast<float>(drumRadius) * 2.05f);
}

} // namespace md
