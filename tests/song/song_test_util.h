// Helpers of the song file tests: hand-built song files of any version, Song comparison and the reference
// songs.
#pragma once

#include "song_difference.h"

#include "song/song.h"
#include "song/song_file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace md::test {

// Builds a song file byte by byte: the header from its fields, then the order list, the pattern data and the
// instrument block exactly as given (so that any coding, and any fault, can be written).
struct FileBuilder {
    uint8_t version = 12;
    std::string title = "Test", author = "Tests";
    uint8_t restartPos = 0, trackCount = 1, patternCount = 0, orderLength = 1, rowsPerPattern = 4;
    uint8_t instrumentCount = 0, speed = 6, tempo = 125, gain = 32;
    int8_t reverb[4] = {10, 20, 30, 40};
    uint8_t headerSize = 19;
    std::vector<uint8_t> order{1, 0};
    std::vector<uint8_t> patterns;
    std::vector<uint8_t> instruments;

    // The instrument block of versions 3 and later: the 32 names, then records of header + length + program.
    void names(const std::vector<std::string>& list) {
        for (int n = 0; n < kInstrumentCount; ++n) {
            const std::string name = n < int(list.size()) ? list[n] : "";
            instruments.insert(instruments.end(), name.begin(), name.end());
            instruments.push_back(0);
        }
    }
    void record(const std::vector<uint8_t>& header, const std::vector<std::vector<uint8_t>>& program) {
        instruments.insert(instruments.end(), header.begin(), header.end());
        instruments.push_back(uint8_t(program.size()));
        for (const auto& step : program) instruments.insert(instruments.end(), step.begin(), step.end());
    }

    std::vector<uint8_t> build() const {
        std::vector<uint8_t> f(kSongHeaderSize, 0);
        std::memcpy(f.data(), "TSK", 3);
        f[kVersionAt] = version;
        std::memcpy(f.data() + kTitleAt, title.data(), title.size());
        std::memcpy(f.data() + kAuthorAt, author.data(), author.size());
        f[kRestartPosAt] = restartPos;
        f[kTrackCountAt] = trackCount;
        f[kPatternCountAt] = patternCount;
        f[kOrderLengthAt] = orderLength;
        f[kRowsPerPatternAt] = rowsPerPattern;
        f[kInstrumentCountAt] = instrumentCount;
        f[kSpeedAt] = speed;
        f[kTempoAt] = tempo;
        f[kGainAt] = gain;
        for (int i = 0; i < 4; ++i) f[kReverbAt + i] = uint8_t(reverb[i]);
        f[kInstrumentHeaderSizeAt] = headerSize;
        auto put32 = [&](int at, std::size_t v) {
            for (int i = 0; i < 4; ++i) f[at + i] = uint8_t(v >> (8 * i));
        };
        put32(kOrderOffsetAt, f.size());
        f.insert(f.end(), order.begin(), order.end());
        put32(kPatternOffsetAt, f.size());
        f.insert(f.end(), patterns.begin(), patterns.end());
        put32(kInstrumentOffsetAt, f.size());
        f.insert(f.end(), instruments.begin(), instruments.end());
        return f;
    }
};

inline std::vector<uint8_t> readBinary(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The reference songs: the copies checked in with the reference render tests, else those beside the checkout.
inline std::string referencePath(int n) {
    char name[32];
    std::snprintf(name, sizeof name, "/r%02d.tsk", n);
    const std::string inRepository = std::string(MD_SOURCE_DIR) + "/tests/reference/data" + name;
    if (std::ifstream(inRepository).good()) return inRepository;
    return std::string(MD_SOURCE_DIR) + "/../shared/reference" + name;
}

// The reference songs that are present on this machine.
inline std::vector<std::vector<uint8_t>> referenceSongs() {
    std::vector<std::vector<uint8_t>> songs;
    for (int n = 1; n <= 12; ++n) {
        auto bytes = readBinary(referencePath(n));
        if (!bytes.empty()) songs.push_back(std::move(bytes));
    }
    return songs;
}

} // namespace md::test
