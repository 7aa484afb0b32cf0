#include "ui/scope.h"

#include "ui/pixels.h"

#include <algorithm>

namespace md {

namespace {
constexpr uint32_t kValuesPerMs = 96;    // 48 frames per millisecond, two values per frame
constexpr uint32_t kValuesPerStep = 16;  // eight frames between neighbouring points of a trace
constexpr int kFullScaleHeight = 307200; // divided by the surface height: the value per pixel of deflection
} // namespace

void drawScope(SDL_Surface* surface, int centre, const ScopeInput& input, int16_t& peakLeft,
               int16_t& peakRight) {
    const int w = surface->w;
    const uint32_t white = SDL_MapRGBA(surface->format, 255, 255, 255, 255);
    SurfaceLock lock(surface);

    uint32_t pos = (input.ticks - input.playStartTicks) * kValuesPerMs;
    // The traces wrap around the song's length, as the looped playback does, and never read past the
    // sample area. A song of no length has nothing to show.
    uint32_t m = 2u * static_cast<uint32_t>(std::max(input.lengthFrames, 0));
    m = std::min(m, input.areaValues & ~1u);
    const bool playing = input.playStartTicks > 0 && pos > 0 && input.loadedSong >= 0 &&
                         input.selectedSong == input.loadedSong && m > 0 && input.samples != nullptr;
    if (!playing) {
        for (int i = 0; i < kScopeLength; ++i) {
            putPixel(surface, i, centre, white);
            putPixel(surface, w - 1 - i, centre, white);
        }
        return;
    }

    const int div = std::max(kFullScaleHeight / surface->h, 1);
    int16_t l = 0;
    int16_t r = 0;
    auto value = [&input](uint32_t k) -> int16_t { return k < input.readableValues ? input.samples[k] : 0; };
    for (int i = 0; i < kScopeLength; i += 2) {
        const uint32_t k = pos % m;
        const int16_t left = value(k);
        const int16_t right = value(k + 1);
        const int yl = left / div + centre;
        putPixel(surface, i, yl, white);
        putPixel(surface, i + 1, yl, white);
        const int yr = right / div + centre;
        putPixel(surface, w - 1 - i, yr, white);
        putPixel(surface, w - 2 - i, yr, white);
        pos += kValuesPerStep;
        l = std::max(l, left);
        r = std::max(r, right);
    }
    if (l > kScopePeakThreshold) peakLeft = l;
    if (r > kScopePeakThreshold) peakRight = r;
}

} // namespace md
