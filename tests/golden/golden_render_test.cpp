// Golden renders: the first 20 seconds of every test song and every song of the disk, rendered as the player
// renders them, must keep their stored hashes. A change to the sound shows up here; regenerate the hashes
// only on purpose (MD_UPDATE_GOLDEN=1 rewrites tests/golden/hashes.txt) and say why in the commit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "song/loaded_song.h"
#include "synth/engine.h"

namespace md {
namespace {

namespace fs = std::filesystem;

const fs::path kSourceDir = MD_SOURCE_DIR;
const fs::path kHashFile = kSourceDir / "tests/golden/hashes.txt";

// 64-bit FNV-1a over the little-endian bytes of the samples.
uint64_t fnv1a(const std::vector<int16_t>& samples) {
    uint64_t h = 1469598103934665603ull;
    for (int16_t s : samples) {
        const uint16_t u = static_cast<uint16_t>(s);
        for (int b = 0; b < 2; ++b) {
            h ^= (u >> (8 * b)) & 0xFF;
            h *= 1099511628211ull;
        }
    }
    return h;
}

std::vector<fs::path> goldenSongs() {
    std::vector<fs::path> songs;
    for (const fs::path& dir : {kSourceDir / "tests/golden/songs", kSourceDir / "songs"}) {
        if (!fs::is_directory(dir)) continue;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().extension() == ".txt") songs.push_back(entry.path());
    }
    std::sort(songs.begin(), songs.end());
    return songs;
}

std::string key(const fs::path& song) {
    return fs::relative(song, kSourceDir).string();
}

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::map<std::string, std::string> storedHashes() {
    std::map<std::string, std::string> hashes;
    std::ifstream in(kHashFile);
    std::string name, hash;
    while (in >> name >> hash) hashes[name] = hash;
    return hashes;
}

// Parse, set up, measure, start, then two ten-second chunks: the first 20 seconds the player would play.
std::string renderHash(const fs::path& path, std::string* error) {
    LoadedSong song;
    if (!loadSongText(song, readText(path), error, path.filename().string())) return "";
    auto engine = std::make_unique<Engine>();
    engine->setup(&song.song);
    engine->measureLength();
    engine->start();
    std::vector<int16_t> out(4 * static_cast<size_t>(renderChunkFrames));
    engine->renderChunk(out.data());
    engine->renderChunk(out.data() + 2 * static_cast<size_t>(renderChunkFrames));
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(fnv1a(out)));
    return hex;
}

// The songs MD_UPDATE_GOLDEN names ("1": all of them).
std::vector<std::string> songsToUpdate(const char* setting) {
    std::vector<std::string> names;
    std::string list = setting ? setting : "";
    std::stringstream in(list);
    std::string name;
    while (std::getline(in, name, ','))
        if (!name.empty()) names.push_back(name);
    return names;
}

TEST(GoldenRenders, EverySongKeepsItsSound) {
    const auto songs = goldenSongs();
    ASSERT_FALSE(songs.empty());
    const char* setting = std::getenv("MD_UPDATE_GOLDEN");
    const bool updateAll = setting && std::string(setting) == "1";
    const auto named = songsToUpdate(setting);
    const bool update = setting != nullptr;
    auto updated = storedHashes();
    const auto stored = updated;
    for (const fs::path& song : songs) {
        if (update && !updateAll && std::find(named.begin(), named.end(), key(song)) == named.end()) continue;
        std::string error;
        const std::string hash = renderHash(song, &error);
        ASSERT_FALSE(hash.empty()) << error;
        updated[key(song)] = hash;
        if (update) continue;
        const auto it = stored.find(key(song));
        if (it == stored.end()) {
            ADD_FAILURE() << key(song) << " has no stored hash; run with MD_UPDATE_GOLDEN=1 to add it";
            continue;
        }
        EXPECT_EQ(hash, it->second) << key(song) << " sounds different from its golden render";
    }
    if (update) {
        if (updateAll) {
            // Drop the hashes of songs that no longer exist.
            for (auto it = updated.begin(); it != updated.end();)
                it = fs::exists(kSourceDir / it->first) ? std::next(it) : updated.erase(it);
        }
        std::ofstream out(kHashFile);
        for (const auto& [name, hash] : updated) out << name << ' ' << hash << '\n';
    }
}

} // namespace
} // namespace md
