#include "song_input.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string_view>

#include "cli.h"
#include "player/catalogue_data.h"
#include "player/resources.h"

namespace tsk {

int catalogueIndexOf(const std::string& argument) {
    if (argument.size() < 2 || argument.size() > 4 || argument[0] != '@') return -1;
    int index = 0;
    for (std::size_t i = 1; i < argument.size(); ++i) {
        if (argument[i] < '0' || argument[i] > '9') return -1;
        index = index * 10 + (argument[i] - '0');
    }
    return index;
}

namespace {

// The song file of catalogue entry `index`, from the songs built into the program.
bool readCatalogueSong(const std::string& argument, int index, std::vector<uint8_t>& bytes) {
    if (index >= md::kCatalogueRows) {
        fail(argument, "the catalogue has entries @0 to @" + std::to_string(md::kCatalogueRows - 1));
        return false;
    }
    const md::CatalogueRow& row = md::catalogueRows[index];
    const int32_t size = md::musicResourceSize(row.resourceId);
    uint8_t* copy = size > 0 ? md::loadMusicResource(row.resourceId) : nullptr;
    if (copy == nullptr) {
        fail(argument, std::string("catalogue entry ") + std::to_string(index) + " (\"" + row.title +
                           "\" by " + row.artist + ", song " + std::to_string(row.resourceId) +
                           ") has no song in this build");
        return false;
    }
    bytes.assign(copy, copy + size);
    std::free(copy);
    return true;
}

} // namespace

bool readSongFileArgument(const std::string& path, std::vector<uint8_t>& bytes) {
    if (const int index = catalogueIndexOf(path); index >= 0) return readCatalogueSong(path, index, bytes);
    std::string reason;
    if (!readFile(path, bytes, &reason)) {
        fail(path, reason);
        return false;
    }
    return true;
}

bool loadSongArgument(const std::string& path, md::LoadedSong& song) {
    std::vector<uint8_t> bytes;
    if (!readSongFileArgument(path, bytes)) return false;
    // A song file starts with "TSK"; one cut short within those bytes, or named .tsk, goes to the file reader
    // too, whose reason says what is wrong with it.
    const std::string_view magic = "TSK";
    const std::string_view start(reinterpret_cast<const char*>(bytes.data()),
                                 std::min<std::size_t>(bytes.size(), 3));
    const bool binary = magic.substr(0, start.size()) == start ||
                        (path.size() > 4 && path.compare(path.size() - 4, 4, ".tsk") == 0);
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
