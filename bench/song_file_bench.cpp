// Speed of reading, writing, compiling and decompiling songs.
//   parse:      a 22 KB version-12 song (parseSong, as the player loads it)
//   write:      the same song back to bytes
//   compile:    a song text of 5,000 lines
//   decompile:  the 22 KB song to text
#include <benchmark/benchmark.h>

#include "song/song_file.h"
#include "song/song_text.h"
#include "song/song_writer.h"

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace md {
namespace {

// A busy four-track song: 31 instruments with full programs, 92 patterns of 64 rows with a note on three rows
// in four, most with an effect or chord, and 100 order rows: about 5,100 lines of text, 22 KB of song file.
constexpr int kPatterns = 92;

std::string busySongText() {
    std::mt19937 random(7);
    std::string text = "song\n  title \"Busy\"\n  tempo 140\n\n";
    char line[512];
    for (int n = 1; n <= 31; ++n) {
        std::snprintf(
            line, sizeof line,
            "instrument %d i%d\n  volume %d\n  adsr 1 6 9 4\n  pulse 128 range 40 200 sweep %d\n"
            "  cutoff 160 range 30 220 sweep -9\n  filter lowpass\n  resonance 60\n  echo time 2 level 5\n"
            "  program\n",
            n, n, 20 + n, n);
        text += line;
        for (int s = 0; s < 32; s += 4) {
            std::snprintf(line, sizeof line,
                          "    %d +%d osc saw+square, level saw %d, cutoff_down 3, ticks 2\n", s,
                          int(random() % 24), int(random() % 16));
            text += line;
        }
        text += "\n";
    }
    static const char* const kNotes[] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                         "F#", "G-", "G#", "A-", "A#", "B-"};
    static const char* const kEffects[] = {"", "A40", "3C0", "CF0", "maj", "min7", "&3", "E9C", "9C4", "4A0"};
    for (int p = 1; p <= kPatterns; ++p) {
        std::snprintf(line, sizeof line, "pattern p%d\n", p);
        text += line;
        for (int r = 0; r < 64; ++r) {
            if (random() % 4 == 0) continue;
            std::snprintf(line, sizeof line, "  %2d %s%d i%d %s\n", r, kNotes[random() % 12],
                          int(1 + random() % 4), int(1 + random() % 31), kEffects[random() % 10]);
            text += line;
        }
    }
    text += "order\n";
    for (int r = 0; r < 100; ++r) {
        std::snprintf(line, sizeof line, "  p%d p%d+%d p%d p%d-12\n", 1 + r % kPatterns,
                      1 + (r * 7) % kPatterns, r % 5, 1 + (r * 3) % kPatterns, 1 + (r * 11) % kPatterns);
        text += line;
    }
    return text;
}

const std::string& text() {
    static const std::string t = busySongText();
    return t;
}

const std::vector<uint8_t>& bytes() {
    static const std::vector<uint8_t> b = [] {
        std::vector<uint8_t> out;
        std::string error;
        if (!compileSongText(text(), "busy.txt", out, &error)) std::fprintf(stderr, "%s\n", error.c_str());
        return out;
    }();
    return b;
}

void parse(benchmark::State& state) {
    const auto& b = bytes();
    for (auto _ : state) {
        Song song;
        benchmark::DoNotOptimize(parseSong(song, b.data(), b.size()));
        benchmark::ClobberMemory();
    }
    state.counters["bytes"] = double(b.size());
}
BENCHMARK(parse)->Unit(benchmark::kMicrosecond);

void write(benchmark::State& state) {
    Song song;
    parseSong(song, bytes().data(), bytes().size());
    for (auto _ : state) benchmark::DoNotOptimize(writeSong(song, "Busy", ""));
}
BENCHMARK(write)->Unit(benchmark::kMicrosecond);

void compile(benchmark::State& state) {
    const std::string& t = text();
    std::vector<uint8_t> out;
    for (auto _ : state) benchmark::DoNotOptimize(compileSongText(t, "busy.txt", out));
    long lines = 0;
    for (char c : t) lines += c == '\n';
    state.counters["lines"] = double(lines);
}
BENCHMARK(compile)->Unit(benchmark::kMillisecond);

void decompile(benchmark::State& state) {
    std::string out;
    for (auto _ : state) benchmark::DoNotOptimize(decompileSong(bytes().data(), bytes().size(), out));
}
BENCHMARK(decompile)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace md

BENCHMARK_MAIN();
