// Whether two songs read from different files play the same, for the tests and the fuzz checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "song/song.h"
#include "song/song_file.h"

namespace md::test {

inline const uint8_t* cellOf(const Song& song, int pattern, int row) {
    const int stride = song.cellStride != 0 ? song.cellStride : song.rowsPerPattern;
    return song.cells + (std::size_t(pattern - 1) * stride + row) * kCellSize;
}

// Two songs play the same: every field but the version and the pointers, the order list's bytes and the cells
// of every stored pattern are equal. Returns the first difference, or an empty string.
inline std::string songDifference(const Song& a, const Song& b) {
    if (a.orderLength != b.orderLength) return "orderLength";
    if (a.trackCount != b.trackCount) return "trackCount";
    if (a.orderPos != b.orderPos) return "orderPos";
    if (a.restartPos != b.restartPos) return "restartPos";
    if (a.reverbRoom != b.reverbRoom || a.reverbDamp != b.reverbDamp || a.reverbWidth != b.reverbWidth ||
        a.reverbGain != b.reverbGain)
        return "reverb";
    if (a.speed != b.speed) return "speed";
    if (a.tempo != b.tempo) return "tempo";
    if (a.masterGain != b.masterGain) return "masterGain";
    if (a.rowsPerPattern != b.rowsPerPattern) return "rowsPerPattern";
    if (std::memcmp(a.orderList, b.orderList, std::size_t(a.orderLength) * a.trackCount * 2) != 0)
        return "orderList";
    for (int p = 1; p <= highestPattern(a); ++p)
        for (int r = 0; r < a.rowsPerPattern; ++r)
            if (std::memcmp(cellOf(a, p, r), cellOf(b, p, r), kCellSize) != 0)
                return "cell of pattern " + std::to_string(p) + " row " + std::to_string(r);
    for (int n = 0; n < kInstrumentCount; ++n) {
        if (std::memcmp(&a.instruments[n], &b.instruments[n], sizeof(Instrument)) != 0)
            return "instrument " + std::to_string(n + 1);
        if (std::memcmp(a.instrumentNames[n], b.instrumentNames[n], kNameSize) != 0)
            return "name of instrument " + std::to_string(n + 1);
    }
    return {};
}

} // namespace md::test
