// Front-end values shared by everything that draws on the window.
#pragma once

#include <cstdint>

namespace md {

// Size of the drawing area: the window surface's width and height once the window exists.
extern int32_t screenWidth;
extern int32_t screenHeight;

// Set by the "-fullscreen" option.
extern bool fullscreenMode;

// SDL milliseconds taken when the intro starts and at the top of every main-screen frame.
extern uint32_t frameTicks;

} // namespace md
