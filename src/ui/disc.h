// A filled disc added onto a 32-bit surface by a bitwise OR of its colour, so overlapping discs and whatever
// they cover mix their bits.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace md {

// Draws the disc of radius `r` about (`cx`, `cy`) row by row. Each row runs from the truncated left end up
// to, not including, the truncated right end, cut at the surface's edges; the right end is held to the last
// column, which is therefore never filled. Rows above the surface are skipped; the disc ends at the bottom.
// The surface must be 32 bits per pixel and ready for direct access.
void drawDisc(SDL_Surface* surface, uint32_t colour, float cx, float cy, float r);

} // namespace md
