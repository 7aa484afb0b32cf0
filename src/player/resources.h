// The song files and images carried inside the program, by resource id.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace md {

inline constexpr const char* kMusicResourceType = "Music";
inline constexpr const char* kPngResourceType = "PNG";

// Size in bytes of the song file with this id, or 0 if there is none. The data is not copied.
int32_t musicResourceSize(int id);

// A fresh copy of the song file with this id in a block from malloc, which the caller releases with free;
// null if there is no such song or no memory for the copy.
uint8_t* loadMusicResource(int id);

// The image with this id decoded into a new surface, which belongs to the caller; null when there is no such
// image or it cannot be decoded (SDL_GetError tells why). The embedded bytes are decoded in place.
SDL_Surface* loadPngResource(int id);

// The operations above for any resource type: the size (0 if missing) and a malloc'ed copy (null if missing).
int32_t resourceSize(const char* type, int id);
uint8_t* copyResource(const char* type, int id);

} // namespace md
