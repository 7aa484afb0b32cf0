#include "song/song_file.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace md {

uint8_t cellStore[kCellStoreSize];

namespace {

constexpr int kRawInstrumentBlockSize = kInstrumentCount * kInstrumentRecordSize; // 3680, versions 0 to 2
constexpr int kOldHeaderSize = 16;                                                // versions 0 to 6
constexpr int kMidHeaderSize = 17;                                                // versions 7 to 11
constexpr int kStoredNameLimit = 23; // a name this long without its NUL is dropped

bool fail(std::string* error, const char* format, ...) __attribute__((format(printf, 2, 3)));
bool fail(std::string* error, const char* format, ...) {
    if (error) {
        char text[256];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        *error = text;
    }
    return false;
}

uint32_t readLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Where the packed pattern data ran out.
struct PatternFault {
    int pattern = 0, row = 0;
    std::size_t offset = 0; // relative to the start of the pattern data
};

// The decoder proper; out == nullptr only measures. Returns bytes read or -1 with *fault filled.
std::ptrdiff_t decodePatterns(int patterns, int rows, const uint8_t* data, std::size_t size, uint8_t* out,
                              PatternFault* fault) {
    std::size_t pos = 0;
    for (int p = 0; p < patterns; ++p) {
        int run = 0; // empty rows produced so far by the current op-0 byte; restarts with every pattern
        for (int row = 0; row < rows; ++row) {
            uint8_t cell[kCellSize] = {0, 0, 0};
            if (pos >= size) {
                if (fault) *fault = {p + 1, row, pos};
                return -1;
            }
            const uint8_t lead = data[pos];
            const int op = lead & 3, v = lead >> 2;
            std::size_t length = 1;
            switch (op) {
            case 0: // v + 1 empty rows; the byte is used up with the last of them
                if (run == v) {
                    run = 0;
                } else {
                    ++run;
                    length = 0;
                }
                break;
            case 1:
                cell[0] = uint8_t(v);
                break;
            case 2:
                length = 2;
                if (pos + 1 < size) {
                    const int word = v | (data[pos + 1] & 0x1F) << 6;
                    cell[0] = uint8_t(word);
                    cell[1] = uint8_t(word >> 8);
                }
                break;
            default: // op 3: the cell's word follows, and the parameter either in v or in a fourth byte
                length = v != 0 ? 3 : 4;
                if (pos + length <= size) {
                    cell[0] = data[pos + 1];
                    cell[1] = data[pos + 2];
                    cell[2] = v != 0 ? uint8_t(v) : data[pos + 3];
                }
                break;
            }
            if (pos + length > size) {
                if (fault) *fault = {p + 1, row, pos};
                return -1;
            }
            pos += length;
            if (out) std::memcpy(out + (std::size_t(p) * rows + row) * kCellSize, cell, kCellSize);
        }
    }
    return std::ptrdiff_t(pos);
}

} // namespace

bool readSongHeader(const uint8_t* bytes, std::size_t size, SongFileHeader& header, std::string* error) {
    if (size < 3 || std::memcmp(bytes, "TSK", 3) != 0)
        return fail(error, "not a song file: bytes 0-2 are not \"TSK\"");
    if (size < std::size_t(kSongHeaderSize))
        return fail(error, "file ends at byte %zu, inside the %d-byte header", size, kSongHeaderSize);
    SongFileHeader h;
    h.version = bytes[kVersionAt];
    h.orderOffset = readLe32(bytes + kOrderOffsetAt);
    h.patternOffset = readLe32(bytes + kPatternOffsetAt);
    h.instrumentOffset = readLe32(bytes + kInstrumentOffsetAt);
    const char* title = reinterpret_cast<const char*>(bytes + kTitleAt);
    const char* author = reinterpret_cast<const char*>(bytes + kAuthorAt);
    h.title.assign(title, strnlen(title, kSongTextFieldSize));
    h.author.assign(author, strnlen(author, kSongTextFieldSize));
    h.restartPos = bytes[kRestartPosAt];
    h.trackCount = bytes[kTrackCountAt];
    h.patternCount = bytes[kPatternCountAt];
    h.orderLength = bytes[kOrderLengthAt];
    h.rowsPerPattern = bytes[kRowsPerPatternAt];
    h.instrumentCount = bytes[kInstrumentCountAt];
    h.speed = bytes[kSpeedAt];
    h.tempo = bytes[kTempoAt];
    h.gain = bytes[kGainAt];
    for (int i = 0; i < 4; ++i) h.reverb[i] = static_cast<int8_t>(bytes[kReverbAt + i]);
    h.instrumentHeaderSize = bytes[kInstrumentHeaderSizeAt];
    h.reserved = bytes[kReservedAt];
    header = std::move(h);
    return true;
}

int highestPattern(const Song& song) {
    int highest = 0;
    const int entries = song.orderLength * song.trackCount;
    for (int e = 0; e < entries; ++e) highest = std::max(highest, int(song.orderList[e * 2]));
    return highest;
}

std::ptrdiff_t unpackPatterns(const Song& song, const uint8_t* data, std::size_t size, uint8_t* out) {
    return decodePatterns(highestPattern(song), song.rowsPerPattern, data, size, out, nullptr);
}

void upgradeInstruments(Song& song, const uint8_t* header) {
    const int count = std::min<int>(header[kInstrumentCountAt], kInstrumentCount - 1);
    const int version = song.version;
    for (int n = 0; n < count; ++n) {
        Instrument& ins = song.instruments[n];
        uint8_t* h = ins.header;
        if (version < 6) {
            // Command 13 of old programs is today's extended command.
            for (auto& step : ins.program)
                if ((step[1] & 0x0F) == 0x0D) step[1] = uint8_t((step[1] & 0xFE) | 0x0E);
        }
        if (version < 8) h[13] &= uint8_t(~0x06); // no sync mode
        if (version < 12) {
            h[15] &= uint8_t(~0x04); // no unison spread
            h[13] &= uint8_t(~0x01);
            h[17] = 0; // no unison pair
        }
        if (version <= 10) h[14] = uint8_t((h[14] + 3) >> 2); // volume was stored 0..255
    }
}

bool parseSongInto(Song& song, const uint8_t* bytes, std::size_t size, uint8_t* cellBuffer,
                   std::string* error) {
    // Everything is checked before anything is written: first the header ...
    if (size < 3 || std::memcmp(bytes, "TSK", 3) != 0)
        return fail(error, "not a song file: bytes 0-2 are not \"TSK\"");
    if (size < std::size_t(kSongHeaderSize))
        return fail(error, "file ends at byte %zu, inside the %d-byte header", size, kSongHeaderSize);
    const int version = bytes[kVersionAt];
    if (version > kLatestSongVersion)
        return fail(error, "version %d (byte %d) is newer than %d", version, kVersionAt, kLatestSongVersion);
    const int trackCount = bytes[kTrackCountAt];
    if (trackCount < 1 || trackCount > kMaxTracks)
        return fail(error, "track count %d (byte %d) is not 1 to %d", trackCount, kTrackCountAt, kMaxTracks);
    const int orderLength = bytes[kOrderLengthAt];
    if (orderLength == 0) return fail(error, "order length (byte %d) is 0", kOrderLengthAt);
    const int rows = bytes[kRowsPerPatternAt];
    if (rows == 0) return fail(error, "rows per pattern (byte %d) is 0", kRowsPerPatternAt);
    const int instrumentCount = bytes[kInstrumentCountAt];
    if (instrumentCount > kInstrumentCount)
        return fail(error, "instrument count %d (byte %d) is above %d", instrumentCount, kInstrumentCountAt,
                    kInstrumentCount);
    if (version >= 4 && bytes[kTempoAt] == 0) return fail(error, "tempo (byte %d) is 0", kTempoAt);
    int headerSize = version >= 12  ? bytes[kInstrumentHeaderSizeAt]
                     : version <= 6 ? kOldHeaderSize
                                    : kMidHeaderSize;
    if (headerSize < kOldHeaderSize || headerSize > kInstrumentHeaderSize)
        return fail(error, "instrument header size %d (byte %d) is not %d to %d", headerSize,
                    kInstrumentHeaderSizeAt, kOldHeaderSize, kInstrumentHeaderSize);

    // ... then the order list ...
    const uint64_t orderOffset = readLe32(bytes + kOrderOffsetAt);
    const uint64_t patternOffset = readLe32(bytes + kPatternOffsetAt);
    const uint64_t instrumentOffset = readLe32(bytes + kInstrumentOffsetAt);
    const uint64_t orderBytes = uint64_t(orderLength) * trackCount * 2;
    if (orderOffset + orderBytes > size)
        return fail(error,
                    "the order list (%llu bytes at byte %llu) runs past the end of the file at byte %zu",
                    (unsigned long long)orderBytes, (unsigned long long)orderOffset, size);

    Song next = song;
    next.orderList = bytes + orderOffset;
    next.orderLength = orderLength;
    next.trackCount = trackCount;
    const int patterns = highestPattern(next);
    const uint64_t cellBytes = uint64_t(patterns) * rows * kCellSize;
    const uint64_t clearedBytes = uint64_t(bytes[kPatternCountAt]) * rows * trackCount * kCellSize;
    if (cellBytes > kCellStoreSize || clearedBytes > kCellStoreSize)
        return fail(error, "the patterns (%d of %d rows on %d tracks) do not fit the %zu-byte cell store",
                    std::max(patterns, int(bytes[kPatternCountAt])), rows, trackCount, kCellStoreSize);

    // ... the pattern data ...
    const uint8_t* patternData = bytes + std::min<uint64_t>(patternOffset, size);
    const std::size_t patternBytes = size - std::size_t(std::min<uint64_t>(patternOffset, size));
    if (version <= 2) {
        if (patternOffset + cellBytes > size)
            return fail(
                error, "the pattern cells (%llu bytes at byte %llu) run past the end of the file at byte %zu",
                (unsigned long long)cellBytes, (unsigned long long)patternOffset, size);
        if (instrumentOffset + kRawInstrumentBlockSize > size)
            return fail(error,
                        "the instruments (%d bytes at byte %llu) run past the end of the file at byte %zu",
                        kRawInstrumentBlockSize, (unsigned long long)instrumentOffset, size);
    } else {
        PatternFault fault;
        if (decodePatterns(patterns, rows, patternData, patternBytes, nullptr, &fault) < 0)
            return fail(error, "file ends at byte %zu inside pattern %d, row %d, coded at byte %llu", size,
                        fault.pattern, fault.row, (unsigned long long)(patternOffset + fault.offset));
    }

    // ... and the names and instruments, read into scratch space.
    char names[kInstrumentCount][kNameSize] = {};
    Instrument records[kInstrumentCount] = {};
    if (version >= 3) {
        uint64_t pos = instrumentOffset;
        for (int n = 0; n < kInstrumentCount; ++n) {
            const uint64_t start = pos;
            int length = 0;
            while (length < kStoredNameLimit && start + length < size && bytes[start + length] != 0) ++length;
            if (length < kStoredNameLimit) {
                if (start + length >= size)
                    return fail(error,
                                "file ends at byte %zu inside the name of instrument %d, begun at byte %llu",
                                size, n + 1, (unsigned long long)start);
                std::memcpy(names[n], bytes + start, length); // a 22-character name fills its slot
                pos = start + length + 1;
            } else {
                pos = start + kStoredNameLimit; // too long: the slot stays empty
            }
        }
        for (int n = 0; n < instrumentCount; ++n) {
            if (pos + headerSize + 1 > size)
                return fail(error, "file ends at byte %zu inside instrument %d, begun at byte %llu", size,
                            n + 1, (unsigned long long)pos);
            Instrument& ins = records[n];
            std::memcpy(ins.header, bytes + pos, headerSize);
            if (version <= 6) ins.header[kOldHeaderSize] = 8; // pan centre, no reverb send
            const uint64_t lengthAt = pos + headerSize;
            const int programLength = bytes[lengthAt];
            if (programLength > kProgramLength)
                return fail(error, "instrument %d has a program of %d steps (byte %llu), more than %d", n + 1,
                            programLength, (unsigned long long)lengthAt, kProgramLength);
            if (lengthAt + 1 + uint64_t(programLength) * 3 > size)
                return fail(error,
                            "file ends at byte %zu inside the program of instrument %d, begun at byte %llu",
                            size, n + 1, (unsigned long long)(lengthAt + 1));
            std::memcpy(ins.program, bytes + lengthAt + 1, std::size_t(programLength) * 3);
            pos = lengthAt + 1 + uint64_t(programLength) * 3;
        }
    } else {
        std::memcpy(records, bytes + instrumentOffset, kRawInstrumentBlockSize);
    }

    // The file is good: fill the song.
    next.version = uint8_t(version);
    next.tempo = bytes[kTempoAt];
    next.masterGain = float(bytes[kGainAt]);
    next.speed = bytes[kSpeedAt];
    if (version < 4) {
        next.speed = 6;
        next.tempo = 127;
        next.masterGain = 32.0f;
    }
    next.masterGain *= 0.03125f;
    next.rowsPerPattern = rows;
    if (version >= 8) {
        next.reverbRoom = static_cast<int8_t>(bytes[kReverbAt]);
        next.reverbDamp = static_cast<int8_t>(bytes[kReverbAt + 1]);
        next.reverbWidth = static_cast<int8_t>(bytes[kReverbAt + 2]);
        next.reverbGain = static_cast<int8_t>(bytes[kReverbAt + 3]);
    } else {
        next.reverbRoom = 64;
        next.reverbDamp = 0;
        next.reverbWidth = 23;
        next.reverbGain = 32;
    }
    next.orderPos = 0;
    next.restartPos = bytes[kRestartPosAt];

    if (version <= 2) {
        next.cells = patternData;
        std::memcpy(next.instruments, records, sizeof records);
    } else {
        next.cells = cellBuffer;
        std::memset(cellBuffer, 0, clearedBytes);
        next.cellStride = rows;
        decodePatterns(patterns, rows, patternData, patternBytes, cellBuffer, nullptr);
        std::memcpy(next.instrumentNames, names, sizeof names);
        std::memcpy(next.instruments, records, sizeof records);
        upgradeInstruments(next, bytes);
    }
    if (version <= 8)
        for (int n = 0; n < instrumentCount; ++n) next.instruments[n].header[15] &= uint8_t(~0x08);

    song = next;
    return true;
}

bool parseSong(Song& song, const uint8_t* bytes, std::size_t size, std::string* error) {
    return parseSongInto(song, bytes, size, cellStore, error);
}

} // namespace md
