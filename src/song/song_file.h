// Reading song files: the 71-byte header, the order list, the packed (or, before version 3, raw) pattern
// cells and the instrument block, for file versions 0 to 12, into a Song and the global cellStore.
//
// The reader is given the length of its buffer and never reads outside it. A file it refuses leaves the Song
// and cellStore untouched; the reason, with the byte offset where the file went wrong, is given as text.
#pragma once

#include "song/song.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace md {

constexpr int kSongHeaderSize = 71;
constexpr int kLatestSongVersion = 12;
constexpr int kSongTextFieldSize = 20; // title and author fields of the header

// Byte offsets of the header fields.
constexpr int kMagicAt = 0x00, kVersionAt = 0x03, kOrderOffsetAt = 0x04, kPatternOffsetAt = 0x08,
              kInstrumentOffsetAt = 0x0C, kTitleAt = 0x10, kAuthorAt = 0x24, kRestartPosAt = 0x38,
              kTrackCountAt = 0x39, kPatternCountAt = 0x3A, kOrderLengthAt = 0x3B, kRowsPerPatternAt = 0x3C,
              kInstrumentCountAt = 0x3D, kSpeedAt = 0x3E, kTempoAt = 0x3F, kGainAt = 0x40, kReverbAt = 0x41,
              kInstrumentHeaderSizeAt = 0x45, kReservedAt = 0x46;

// The header as stored, for tools that show or convert a file.
struct SongFileHeader {
    uint8_t version = 0;
    uint32_t orderOffset = 0, patternOffset = 0, instrumentOffset = 0;
    std::string title, author; // up to the first NUL of their 20-byte fields
    uint8_t restartPos = 0, trackCount = 0, patternCount = 0, orderLength = 0, rowsPerPattern = 0;
    uint8_t instrumentCount = 0, speed = 0, tempo = 0, gain = 0;
    int8_t reverb[4] = {};
    uint8_t instrumentHeaderSize = 0, reserved = 0;
};

// Reads the fixed header only (magic and length checked, nothing else).
bool readSongHeader(const uint8_t* bytes, std::size_t size, SongFileHeader& header,
                    std::string* error = nullptr);

// Parses a whole song file into `song` (created by the caller in its default state) and cellStore. The Song
// keeps pointing into `bytes` (its order list, and its cells for versions 0 to 2), so the bytes must outlive
// it. Returns false, with `song` and cellStore unchanged and the reason in *error, for a file that would be
// read outside its buffer or that cannot be played.
bool parseSong(Song& song, const uint8_t* bytes, std::size_t size, std::string* error = nullptr);

// As parseSong, but unpacks the cells of versions 3 and later into `cellBuffer` (kCellStoreSize bytes)
// instead of the global cellStore, so that a file can be read while another song plays.
bool parseSongInto(Song& song, const uint8_t* bytes, std::size_t size, uint8_t* cellBuffer,
                   std::string* error = nullptr);

// The largest pattern number in the order list (0 when every entry is 0).
int highestPattern(const Song& song);

// Decodes the packed pattern data data[0 .. size) of patterns 1 .. highestPattern(song), rowsPerPattern rows
// each, into `out` (cell (p - 1) * rowsPerPattern + row; every cell is written). With out == nullptr nothing
// is written and the data is only measured. Returns the number of bytes read, or -1 when the data ends before
// the last row
// (`out` may then be partly written).
std::ptrdiff_t unpackPatterns(const Song& song, const uint8_t* data, std::size_t size,
                              uint8_t* out = cellStore);

// The conversions of instruments stored by file versions 3 to 11 into the current meaning of their fields.
// `header` is the file's 71-byte header (its instrument count is used); song.version is the file version.
void upgradeInstruments(Song& song, const uint8_t* header);

} // namespace md
