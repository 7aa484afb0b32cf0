// A song file's bytes together with the Song read from them, for tools and tests: the Song points into the
// bytes, so the two are kept and moved together (moving keeps the bytes where they are; copying is not
// allowed).
#pragma once

#include "song/song.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace md {

struct LoadedSong {
    std::vector<uint8_t> bytes;
    Song song;

    LoadedSong() = default;
    LoadedSong(LoadedSong&&) = default;
    LoadedSong& operator=(LoadedSong&&) = default;
    LoadedSong(const LoadedSong&) = delete;
    LoadedSong& operator=(const LoadedSong&) = delete;
};

// Reads a song file (into the global cellStore, as the player does). On failure `out` is unchanged.
bool loadSongBytes(LoadedSong& out, std::vector<uint8_t> bytes, std::string* error = nullptr);

// Compiles a song text and reads the result; compile errors name `fileName`.
bool loadSongText(LoadedSong& out, std::string_view text, std::string* error = nullptr,
                  std::string_view fileName = "song.txt");

} // namespace md
