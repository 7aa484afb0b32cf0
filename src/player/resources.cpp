#include "player/resources.h"

#include "platform/embedded_resources.h"

#include <SDL_image.h>

#include <cstdlib>
#include <cstring>

namespace md {

int32_t resourceSize(const char* type, int id) {
    auto bytes = findResource(type, id);
    return bytes ? static_cast<int32_t>(bytes->size) : 0;
}

uint8_t* copyResource(const char* type, int id) {
    auto bytes = findResource(type, id);
    if (!bytes) return nullptr;
    // An empty resource still gets a block of its own, so that null keeps meaning "missing".
    auto* copy = static_cast<uint8_t*>(std::malloc(bytes->size > 0 ? bytes->size : 1));
    if (copy != nullptr && bytes->size > 0) std::memcpy(copy, bytes->data, bytes->size);
    return copy;
}

int32_t musicResourceSize(int id) {
    return resourceSize(kMusicResourceType, id);
}

uint8_t* loadMusicResource(int id) {
    return copyResource(kMusicResourceType, id);
}

SDL_Surface* loadPngResource(int id) {
    auto bytes = findResource(kPngResourceType, id);
    if (!bytes) {
        SDL_SetError("no PNG resource %d in the program", id);
        return nullptr;
    }
    SDL_RWops* stream = SDL_RWFromConstMem(bytes->data, static_cast<int>(bytes->size));
    if (stream == nullptr) return nullptr;
    return IMG_Load_RW(stream, 1); // the decoder closes the stream
}

} // namespace md
