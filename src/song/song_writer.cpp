#include "song/song_writer.h"

#include "song/song_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace md {

namespace {

constexpr int kMaxRun = 64; // empty rows one op-0 byte can stand for

void putLe32(std::vector<uint8_t>& out, std::size_t at, std::size_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(value >> (8 * i));
}

void putText(std::vector<uint8_t>& out, std::size_t at, std::string_view text) {
    const std::size_t n = std::min<std::size_t>(text.size(), kSongTextFieldSize - 1);
    for (std::size_t i = 0; i < n; ++i) out[at + i] = uint8_t(text[i]);
}

bool isZero(const uint8_t* p, std::size_t n) {
    return std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
}

} // namespace

void packPattern(const uint8_t* cells, int rows, std::vector<uint8_t>& out) {
    for (int row = 0; row < rows;) {
        const uint8_t* c = cells + std::size_t(row) * kCellSize;
        if (isZero(c, kCellSize)) {
            int run = 1;
            while (run < kMaxRun && row + run < rows && isZero(c + run * kCellSize, kCellSize)) ++run;
            out.push_back(uint8_t((run - 1) << 2));
            row += run;
            continue;
        }
        const int word = c[0] | c[1] << 8, param = c[2];
        if ((word & 0xF800) == 0 && param == 0) { // note and instrument only
            const int note = word & 0x3F, instrument = (word >> 6) & 0x1F;
            if (instrument == 0) {
                out.push_back(uint8_t(note << 2 | 1));
            } else {
                out.push_back(uint8_t(note << 2 | 2));
                out.push_back(uint8_t(instrument));
            }
        } else if (param >= 1 && param <= 63) {
            out.insert(out.end(), {uint8_t(param << 2 | 3), c[0], c[1]});
        } else {
            out.insert(out.end(), {uint8_t(3), c[0], c[1], uint8_t(param)});
        }
        ++row;
    }
}

std::vector<uint8_t> writeSong(const Song& song, std::string_view title, std::string_view author) {
    const int rows = song.rowsPerPattern;
    const int stride = song.cellStride != 0 ? song.cellStride : rows;
    const int patterns = highestPattern(song);
    const std::size_t orderBytes = std::size_t(song.orderLength) * song.trackCount * 2;

    int instrumentCount = 0;
    for (int n = 0; n < kInstrumentCount; ++n)
        if (!isZero(reinterpret_cast<const uint8_t*>(&song.instruments[n]), sizeof(Instrument)))
            instrumentCount = n + 1;

    std::vector<uint8_t> out(kSongHeaderSize, 0);
    out.reserve(kSongHeaderSize + orderBytes + std::size_t(patterns) * rows * 2 + 1024);
    std::memcpy(out.data() + kMagicAt, "TSK", 3);
    out[kVersionAt] = kLatestSongVersion;
    putText(out, kTitleAt, title);
    putText(out, kAuthorAt, author);
    out[kRestartPosAt] = uint8_t(song.restartPos);
    out[kTrackCountAt] = uint8_t(song.trackCount);
    out[kPatternCountAt] = uint8_t(patterns);
    out[kOrderLengthAt] = uint8_t(song.orderLength);
    out[kRowsPerPatternAt] = uint8_t(rows);
    out[kInstrumentCountAt] = uint8_t(instrumentCount);
    out[kSpeedAt] = song.speed;
    out[kTempoAt] = song.tempo;
    out[kGainAt] = uint8_t(std::clamp(std::lround(song.masterGain * 32.0f), 0L, 255L));
    out[kReverbAt] = uint8_t(song.reverbRoom);
    out[kReverbAt + 1] = uint8_t(song.reverbDamp);
    out[kReverbAt + 2] = uint8_t(song.reverbWidth);
    out[kReverbAt + 3] = uint8_t(song.reverbGain);
    out[kInstrumentHeaderSizeAt] = kInstrumentHeaderSize;

    putLe32(out, kOrderOffsetAt, out.size());
    out.insert(out.end(), song.orderList, song.orderList + orderBytes);

    putLe32(out, kPatternOffsetAt, out.size());
    for (int p = 1; p <= patterns; ++p)
        packPattern(song.cells + std::size_t(p - 1) * stride * kCellSize, rows, out);

    putLe32(out, kInstrumentOffsetAt, out.size());
    for (const auto& name : song.instrumentNames) {
        out.insert(out.end(), name, name + strnlen(name, kNameSize));
        out.push_back(0);
    }
    for (int n = 0; n < instrumentCount; ++n) {
        const Instrument& ins = song.instruments[n];
        int length = kProgramLength;
        while (length > 0 && isZero(ins.program[length - 1], 3)) --length;
        out.insert(out.end(), ins.header, ins.header + kInstrumentHeaderSize);
        out.push_back(uint8_t(length));
        out.insert(out.end(), &ins.program[0][0], &ins.program[0][0] + length * 3);
    }
    return out;
}

} // namespace md
