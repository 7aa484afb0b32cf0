// Direct access to the pixels of a 32-bit surface, for the effects that write single pixels.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace md {

// Pixel (x, y) of a 32-bit surface: element y * (pitch / 4) + x of its pixel array. No bounds check.
inline uint32_t& pixelAt(SDL_Surface* surface, int x, int y) {
    return static_cast<uint32_t*>(surface->pixels)[y * (surface->pitch / 4) + x];
}

// Sets pixel (x, y) when it lies on the surface; pixels off the surface are not written.
inline void putPixel(SDL_Surface* surface, int x, int y, uint32_t colour) {
    if (x >= 0 && y >= 0 && x < surface->w && y < surface->h) pixelAt(surface, x, y) = colour;
}

// Locks the surface for direct pixel access while it is in scope, when the surface needs it.
class SurfaceLock {
  public:
    explicit SurfaceLock(SDL_Surface* surface) : surface_(surface), ok_(SDL_LockSurface(surface) == 0) {}
    ~SurfaceLock() {
        if (ok_) SDL_UnlockSurface(surface_);
    }
    SurfaceLock(const SurfaceLock&) = delete;
    SurfaceLock& operator=(const SurfaceLock&) = delete;
    bool locked() const { return ok_; }

  private:
    SDL_Surface* surface_;
    bool ok_;
};

} // namespace md
