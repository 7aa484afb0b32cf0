#include "song_input.h"

#include <cstdio>
#include <iostream>
#include <string_view>

#include "cli.h"

namespace tsk {

bool loadSongArgument(const std::string& path, md::LoadedSong& song) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!readFile(path, bytes, &reason)) {
        fail(path, reason);
        return false;
    }
    const bool binary = bytes.size() >= 3 && bytes[0] == 'T' && bytes[1] == 'S' && bytes[2] == 'K';
    std::string error;
    if (binary) {
        if (!md::loadSongBytes(song, std::move(bytes), &error)) {
            fail(path, error);
            return false;
        }
        return true;
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!md::loadSongText(song, text, &error, path)) {
        std::cerr << error << '\n';
        return false;
    }
    return true;
}

std::string minutesSeconds(float seconds) {
    const int s = seconds > 0.0f ? static_cast<int>(seconds) : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d", s / 60, s % 60);
    return text;
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace tsk
