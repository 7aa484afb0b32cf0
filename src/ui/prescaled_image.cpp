#include "ui/prescaled_image.h"

namespace md {

PrescaledImage::~PrescaledImage() {
    if (copy_ != nullptr) SDL_FreeSurface(copy_);
}

void PrescaledImage::draw(SDL_Surface* image, SDL_Surface* target, const SDL_Rect& rect) {
    if (image == nullptr || rect.w <= 0 || rect.h <= 0) return;
    if (copy_ == nullptr) {
        copy_ = SDL_CreateRGBSurfaceWithFormat(0, rect.w, rect.h, 32, SDL_PIXELFORMAT_ARGB8888);
        if (copy_ != nullptr) {
            SDL_BlendMode mode = SDL_BLENDMODE_NONE;
            SDL_GetSurfaceBlendMode(image, &mode);
            SDL_SetSurfaceBlendMode(image, SDL_BLENDMODE_NONE); // copy the pixels, alpha and all
            SDL_BlitScaled(image, nullptr, copy_, nullptr);
            SDL_SetSurfaceBlendMode(image, mode);
            SDL_SetSurfaceBlendMode(copy_, mode);
            source_ = image;
        }
    }
    SDL_Rect destination = rect;
    if (copy_ != nullptr && image == source_ && rect.w == copy_->w && rect.h == copy_->h) {
        SDL_BlitSurface(copy_, nullptr, target, &destination);
    } else {
        SDL_BlitScaled(image, nullptr, target, &destination);
    }
}

} // namespace md
