#include "ui/disc.h"

#include "ui/pixels.h"

#include <cmath>

namespace md {

void drawDisc(SDL_Surface* surface, uint32_t colour, float cx, float cy, float r) {
    const int w = surface->w;
    const int h = surface->h;
    const float stepU = (1.0f / (r + r)) * 2.0f; // u runs from -1 at the top to 1 at the bottom
    float u = -1.0f;
    for (int row = static_cast<int>(cy - r); static_cast<float>(row) < cy + r; row += 1, u += stepU) {
        if (row < 0) continue;
        if (row >= h) break;
        if (u > 1.0f) continue;
        const float half = std::fabs(std::cos(std::asin(u)) * r);
        int left = static_cast<int>(cx - half);
        if (left >= w) continue;
        if (left < 0) left = 0;
        int right = static_cast<int>(cx + half);
        if (right >= w) right = w - 1;
        uint32_t* line = &pixelAt(surface, 0, row);
        for (int x = left; x < right; ++x) line[x] |= colour;
    }
}

} // namespace md
