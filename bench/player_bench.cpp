// The player's speed on the disk's own songs:
//   catalogue:   building the whole catalogue as at start-up (prepare and measure fifty songs, render their
//                300 labels) on a 960 x 540 surface; and the 300 labels alone
//   first chunk: preparing, measuring and rendering the first ten-second chunk of each song: the time from a
//                selection's poll to the first sound
// and, after the benchmarks, how far each song's render stays ahead of its playback.
//
// The songs are compiled from songs/*.txt as the catalogue lists them; while some are not written yet, the
// written ones stand in for them in turn, so that fifty songs are always prepared.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "player/catalogue.h"
#include "player/labels.h"
#include "player/play_thread.h"
#include "player/player_state.h"
#include "player/wav_image.h"
#include "song/song_text.h"
#include "synth/engine.h"

namespace md {
namespace {

namespace fs = std::filesystem;

struct BenchSong {
    std::string name;
    std::vector<uint8_t> bytes;
};

// One song file per catalogue row: its own when written, else a written one standing in.
struct Songs {
    std::vector<BenchSong> byRow;
    int written = 0;

    Songs() {
        const fs::path dir = fs::path(MD_SOURCE_DIR) / "songs";
        std::ifstream tsv(dir / "catalogue.tsv");
        std::string line;
        std::vector<BenchSong> rows;
        while (std::getline(tsv, line)) {
            if (line.empty() || line[0] == '#') continue;
            std::stringstream s(line);
            std::string index, id, text;
            std::getline(s, index, '\t');
            std::getline(s, id, '\t');
            std::getline(s, text, '\t');
            BenchSong song{text, {}};
            std::ifstream in(dir / text, std::ios::binary);
            if (in) {
                const std::string source((std::istreambuf_iterator<char>(in)), {});
                std::string error;
                if (!compileSongText(source, text, song.bytes, &error)) song.bytes.clear();
            }
            rows.push_back(std::move(song));
        }
        std::vector<int> present;
        for (int i = 0; i < static_cast<int>(rows.size()); ++i)
            if (!rows[i].bytes.empty()) present.push_back(i);
        written = static_cast<int>(present.size());
        for (int i = 0, k = 0; i < static_cast<int>(rows.size()); ++i) {
            if (rows[i].bytes.empty() && !present.empty()) {
                const BenchSong& stand = rows[present[k++ % present.size()]];
                rows[i].name = stand.name + " (standing in)";
                rows[i].bytes = stand.bytes;
            }
        }
        byRow = std::move(rows);
    }

    static Songs& get() {
        static Songs songs;
        return songs;
    }
};

// Serves row i's song under the id the catalogue gives row i.
void installSongs() {
    setSongSource({[](int id) -> int32_t {
                       for (int i = 0; i < kCatalogueRows; ++i)
                           if (catalogueRows[i].resourceId == id)
                               return static_cast<int32_t>(Songs::get().byRow[i].bytes.size());
                       return 0;
                   },
                   [](int id) -> uint8_t* {
                       for (int i = 0; i < kCatalogueRows; ++i)
                           if (catalogueRows[i].resourceId == id) {
                               const auto& b = Songs::get().byRow[i].bytes;
                               if (b.empty()) return nullptr;
                               auto* copy = static_cast<uint8_t*>(std::malloc(b.size()));
                               std::memcpy(copy, b.data(), b.size());
                               return copy;
                           }
                       return nullptr;
                   }});
}

void BM_BuildCatalogue(benchmark::State& state) {
    installSongs();
    TTF_Init();
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 960, 540, 32, SDL_PIXELFORMAT_ARGB8888);
    for (auto _ : state) {
        auto player = std::make_unique<PlayThread>(surface);
        benchmark::DoNotOptimize(catalogue[49]);
        state.PauseTiming();
        player.reset();
        state.ResumeTiming();
    }
    state.counters["songs"] = kCatalogueRows;
    state.counters["written"] = Songs::get().written;
    SDL_FreeSurface(surface);
    TTF_Quit();
    resetSongSource();
}
BENCHMARK(BM_BuildCatalogue)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The labels alone: 50 entries of six labels each, rendered as the catalogue does.
void BM_RenderLabels(benchmark::State& state) {
    TTF_Init();
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 960, 540, 32, SDL_PIXELFORMAT_ARGB8888);
    for (auto _ : state) {
        for (int i = 0; i < kCatalogueRows; ++i) {
            const CatalogueRow& row = catalogueRows[i];
            Music entry(row.resourceId, row.fileName, row.title, row.artist);
            entry.resourceSize = 12345;
            entry.lengthSeconds = 125.7f;
            renderLabels(surface, entry);
            benchmark::DoNotOptimize(entry.timeLabel);
        }
        closeLabelFonts();
    }
    state.counters["labels"] = 6 * kCatalogueRows;
    SDL_FreeSurface(surface);
    TTF_Quit();
}
BENCHMARK(BM_RenderLabels)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_FirstChunk(benchmark::State& state) {
    const BenchSong& song = Songs::get().byRow[state.range(0)];
    state.SetLabel(song.name);
    installSongs();
    for (auto _ : state) {
        prepareSong(catalogueRows[state.range(0)].resourceId);
        Engine& engine = *playerState.currentEngine;
        engine.measureLength();
        engine.start();
        engine.renderChunk(wavImage.sampleArea, renderChunkFrames);
    }
    resetSongSource();
}
BENCHMARK(BM_FirstChunk)->DenseRange(0, kCatalogueRows - 1)->Unit(benchmark::kMillisecond)->Iterations(3);

// Renders each song as the player does and reports how far ahead of playback the render stays: playback
// starts when the first chunk is done, and chunk k must be done before playback reaches it, 10 k seconds
// later.
void reportLead() {
    installSongs();
    std::printf(
        "\nRender lead over playback (per song: the smallest lead at any chunk; speed = audio seconds per "
        "second of rendering)\n");
    std::printf("%-42s %8s %7s %10s %9s\n", "song", "length", "chunks", "min lead", "speed");
    double worstLead = 1e9, slowest = 1e9;
    std::string worstName;
    for (int i = 0; i < kCatalogueRows; ++i) {
        const BenchSong& song = Songs::get().byRow[i];
        if (song.bytes.empty() || song.name.find("standing in") != std::string::npos) continue;
        using clock = std::chrono::steady_clock;
        prepareSong(catalogueRows[i].resourceId);
        Engine& engine = *playerState.currentEngine;
        const float seconds = engine.measureLength();
        const uint32_t total = renderFrames(seconds);
        engine.start();
        const auto begin = clock::now();
        double firstDone = 0, lead = 1e9;
        for (uint32_t pos = 0; pos < total; pos += renderChunkFrames) {
            engine.renderChunk(wavImage.sampleArea + 2 * static_cast<std::size_t>(pos));
            const double done = std::chrono::duration<double>(clock::now() - begin).count();
            if (pos == 0) {
                firstDone = done;
                continue;
            }
            // Playback reaches this chunk pos / 48000 seconds after it started.
            lead = std::min(lead, firstDone + pos / 48000.0 - done);
        }
        const double all = std::chrono::duration<double>(clock::now() - begin).count();
        const double speed = total / 48000.0 / all;
        std::printf("%-42s %8.2f %7u %9.2fs %8.0fx\n", song.name.c_str(), seconds, total / renderChunkFrames,
                    lead, speed);
        if (lead < worstLead) {
            worstLead = lead;
            worstName = song.name;
        }
        slowest = std::min(slowest, speed);
    }
    std::printf("smallest lead: %.2f s (%s); slowest render: %.0fx real time\n", worstLead, worstName.c_str(),
                slowest);
    resetSongSource();
}

} // namespace
} // namespace md

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::printf("songs written: %d of %d\n", md::Songs::get().written, md::kCatalogueRows);
    benchmark::RunSpecifiedBenchmarks();
    md::reportLead();
    benchmark::Shutdown();
    return 0;
}
