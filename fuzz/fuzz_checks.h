// The checks each fuzz target runs on one input, shared with the regression tests that replay the inputs the
// fuzzers found (tests/hardening). A broken promise prints what went wrong and aborts, so that libFuzzer
// keeps the input; memory and undefined-behaviour faults are caught by the sanitizers the targets are built
// with.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine_state.h"
#include "song/song.h"
#include "song/song_file.h"
#include "song/song_text.h"
#include "synth/engine.h"

namespace md::fuzz {

inline void require(bool ok, const char* what, const std::string& detail = {}) {
    if (ok) return;
    std::fprintf(stderr, "fuzz check failed: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
    std::abort();
}

// Control blocks the render check plays after the measure: enough to start notes, run programs and effects.
constexpr int kRenderBlocks = 20;

// Where two songs read from different files differ in what they play (every field but the version and the
// pointers, the order list and the cells of every stored pattern, the instruments and their names); empty
// when they play the same.
inline std::string songDifference(const Song& a, const Song& b) {
    if (a.orderLength != b.orderLength || a.trackCount != b.trackCount || a.orderPos != b.orderPos ||
        a.restartPos != b.restartPos || a.rowsPerPattern != b.rowsPerPattern)
        return "song shape";
    if (a.speed != b.speed || a.tempo != b.tempo || a.masterGain != b.masterGain)
        return "speed, tempo or gain";
    if (a.reverbRoom != b.reverbRoom || a.reverbDamp != b.reverbDamp || a.reverbWidth != b.reverbWidth ||
        a.reverbGain != b.reverbGain)
        return "reverb";
    if (std::memcmp(a.orderList, b.orderList, std::size_t(a.orderLength) * a.trackCount * 2) != 0)
        return "order list";
    auto cell = [](const Song& s, int p, int r) {
        const int stride = s.cellStride != 0 ? s.cellStride : s.rowsPerPattern; // 0: not set yet
        return s.cells + (std::size_t(p - 1) * stride + r) * kCellSize;
    };
    for (int p = 1; p <= highestPattern(a); ++p)
        for (int r = 0; r < a.rowsPerPattern; ++r)
            if (std::memcmp(cell(a, p, r), cell(b, p, r), kCellSize) != 0)
                return "pattern " + std::to_string(p) + " row " + std::to_string(r);
    for (int n = 0; n < kInstrumentCount; ++n) {
        if (std::memcmp(&a.instruments[n], &b.instruments[n], sizeof(Instrument)) != 0)
            return "instrument " + std::to_string(n + 1);
        if (std::memcmp(a.instrumentNames[n], b.instrumentNames[n], kNameSize) != 0)
            return "name of instrument " + std::to_string(n + 1);
    }
    return {};
}

// Any bytes: the reader either refuses them with a reason or reads a song. A song it reads decompiles into a
// text that compiles into a file that plays the same, and which goes through text and back unchanged.
inline void checkSongFile(const uint8_t* data, std::size_t size) {
    static std::vector<uint8_t> cellsA(kCellStoreSize), cellsB(kCellStoreSize);
    Song song;
    std::string error;
    if (!parseSongInto(song, data, size, cellsA.data(), &error)) {
        require(!error.empty(), "a refused file has a reason");
        return;
    }
    std::string text;
    require(decompileSong(data, size, text, &error), "a file the reader accepts decompiles", error);
    std::vector<uint8_t> bytes;
    require(compileSongText(text, "decompiled.txt", bytes, &error), "the decompiled text compiles", error);
    Song again;
    require(parseSongInto(again, bytes.data(), bytes.size(), cellsB.data(), &error),
            "the recompiled file reads", error);
    require(highestPattern(again) == highestPattern(song), "the recompiled file keeps the patterns");
    const std::string difference = songDifference(song, again);
    require(difference.empty(), "the recompiled file plays the same", difference);
    std::string textAgain;
    require(decompileSong(bytes.data(), bytes.size(), textAgain, &error), "the recompiled file decompiles",
            error);
    std::vector<uint8_t> bytesAgain;
    require(compileSongText(textAgain, "decompiled.txt", bytesAgain, &error), "its text compiles", error);
    require(bytesAgain == bytes, "a compiled file goes through text and back unchanged");
}

// Any bytes the reader accepts: the measure ends within its bound, and a few control blocks render and leave
// no NaN or infinity in the synthesizer.
inline void checkSongRender(const uint8_t* data, std::size_t size) {
    Song song;
    if (!parseSong(song, data, size)) return;
    auto engine = std::make_unique<Engine>();
    engine->setup(&song);
    const SongMeasure m = engine->measure();
    require(m.blocks <= kMeasureBlockLimit, "the measure stays within its bound");
    require(std::isfinite(m.seconds) && m.seconds >= 0.0f, "the measured length is a number of seconds");
    require(m.loops || m.blocks == kMeasureBlockLimit, "only a cut measure says the song does not loop");
    engine->start();
    std::vector<int16_t> out(2 * controlBlock * kRenderBlocks);
    engine->renderChunk(out.data(), controlBlock * kRenderBlocks);
    const StateScan scan = scanEngine(*engine);
    require(scan.nonFinite == 0, "the synthesizer's state stays finite", scan.firstBad);
}

// Any text: the compiler either refuses it with "FILE:LINE:COL: message" and no output, or writes a file that
// reads, decompiles, and compiles back to the same bytes.
inline void checkSongText(const uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<uint8_t> bytes;
    std::string error;
    if (!compileSongText(text, "fuzz.txt", bytes, &error)) {
        require(bytes.empty(), "a refused text writes nothing");
        require(error.rfind("fuzz.txt:", 0) == 0, "a compile error names the file", error);
        return;
    }
    Song song;
    require(parseSong(song, bytes.data(), bytes.size(), &error), "the compiled file reads", error);
    std::string decompiled;
    require(decompileSong(bytes.data(), bytes.size(), decompiled, &error), "the compiled file decompiles",
            error);
    std::vector<uint8_t> again;
    require(compileSongText(decompiled, "decompiled.txt", again, &error), "the decompiled text compiles",
            error);
    require(again == bytes, "the decompiled text compiles to the same bytes");
}

} // namespace md::fuzz
