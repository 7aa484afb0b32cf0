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
#include "song_difference.h"
#include "synth/engine.h"

namespace md::fuzz {

inline void require(bool ok, const char* what, const std::string& detail = {}) {
    if (ok) return;
    std::fprintf(stderr, "fuzz check failed: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
    std::abort();
}

// Control blocks the render check plays after the measure: enough to start notes, run programs and effects.
constexpr int kRenderBlocks = 20;

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
    const std::string difference = test::songDifference(song, again);
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
