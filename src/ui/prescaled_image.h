// An image drawn stretched to the same rectangle frame after frame. SDL stretches and blends a picture with
// an alpha channel pixel by pixel on a slow path; a copy stretched once, in a format whose blend SDL does
// quickly, draws the same picture at a fraction of the cost.
#pragma once

#include <SDL.h>

namespace md {

class PrescaledImage {
  public:
    PrescaledImage() = default;
    ~PrescaledImage();
    PrescaledImage(const PrescaledImage&) = delete;
    PrescaledImage& operator=(const PrescaledImage&) = delete;

    // Draws `image` stretched over `rect` of `target`, blended by its alpha. The first draw makes the copy
    // for the rectangle's size; draws of the same image at that size use it, other sizes stretch the image
    // itself.
    void draw(SDL_Surface* image, SDL_Surface* target, const SDL_Rect& rect);

  private:
    SDL_Surface* source_ = nullptr; // the image the copy was made from
    SDL_Surface* copy_ = nullptr;
};

} // namespace md
