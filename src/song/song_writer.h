// Writing a Song as a song file of the current version (12), in the shortest coding the format allows.
#pragma once

#include "song/song.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace md {

// The file of `song`: its settings, order list, patterns 1 .. highestPattern (packed: op-0 runs within a
// pattern, then ops 1 and 2, and op 3 in its 3-byte form when the parameter is 1 to 63), the 32 names and the
// instruments up to the last one that is not all zero, each program trimmed after its last non-zero step.
// Title and author are cut to 19 bytes so that their fields stay NUL-terminated. Reading the result gives
// `song` back (with version 12). The song must satisfy the Song invariants (1 to 4 tracks, at least one order
// row and one row).
std::vector<uint8_t> writeSong(const Song& song, std::string_view title, std::string_view author);

// Appends the packed coding of one pattern's cells (rows cells of 3 bytes) to `out`.
void packPattern(const uint8_t* cells, int rows, std::vector<uint8_t>& out);

} // namespace md
