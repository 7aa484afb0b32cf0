// Layout values of the main screen, fixed once at start-up from the screen's size.
#pragma once

#include <SDL.h>

namespace md {

struct Layout {
    int drumRadius = 0;  // screenHeight / 4
    int listWidth = 0;   // 0.6 of screenWidth
    int logoCentreY = 0; // centre line of the title logo drawn listWidth wide, a fortieth of the height down
    int shadeHeight = 0; // height of the shade over the drum, set when the main screen begins
};

// drumRadius, listWidth and logoCentreY; `titleLogo` is the image drawn listWidth wide, `surfaceHeight` the
// window surface's height. Without a logo, its height counts as 0.
Layout computeLayout(int screenWidth, int screenHeight, const SDL_Surface* titleLogo, int surfaceHeight);

// The shade's height for a drum of this radius.
int computeShadeHeight(int drumRadius);

} // namespace md
