// Drawing time of one main-screen frame, as the program draws it: the real images, the real catalogue and its
// rows, the player thread playing song 13 (rendered to the end before the measurement starts, so it does not
// compete for the processor), on SDL's dummy video and audio drivers, into the window's surface.
//   BM_MainScreenFrame/0: the first minute (glyphs as blocks, no stars, no balls)
//   BM_MainScreenFrame/1: every effect on (balls latched, sliced scroller, stars)
#include "app/music_disk.h"
#include "app/screen.h"
#include "player/player_state.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace md {
namespace {

struct Program {
    uint32_t now = 20000;
    std::unique_ptr<MusicDisk> disk;

    Program() {
        SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
        SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
        FrontEndHooks hooks;
        hooks.ticks = [this] { return now; };
        disk = std::make_unique<MusicDisk>(hooks);
        const char* args[] = {"main_screen_bench"};
        if (disk->startUp(1, const_cast<char**>(args)) != 0) std::abort();
        disk->beginMainPhase();
        // Let the player take up song 13 and render all of it.
        for (int i = 0; i < 1200; ++i) {
            if (playerState.loadedSong == 13 && playerState.playState == Rendered) break;
            SDL_Delay(50);
        }
        if (playerState.playState != Rendered) std::fprintf(stderr, "song 13 did not finish rendering\n");
        now = playerState.playStartTicks + 1000;
    }
    ~Program() { disk->shutDown(); }

    void frame(uint32_t ms) {
        now += ms;
        frameTicks = now;
        disk->drawMainScreen(disk->surface(), static_cast<float>(ms) * 0.001f);
    }
};

Program& program() {
    static Program p;
    return p;
}

void BM_MainScreenFrame(benchmark::State& state) {
    Program& p = program();
    const bool everything = state.range(0) == 1;
    if (everything) {
        p.now = playerState.playStartTicks + 25000;
        p.frame(61000); // past the stars' delay and the scroller's minute of blocks
        p.frame(16);
        if (!p.disk->effects().ballLatch || p.disk->scroller()->sliceCount() != 15) {
            state.SkipWithError("the effects did not all come on");
            return;
        }
    }
    for (auto _ : state) p.frame(16);
    if (!everything && (p.disk->effects().ballLatch || p.disk->scroller()->sliceCount() != 1))
        state.SkipWithError("ran past the first minute");
}
// The first minute is 3750 frames of 16 ms, and the balls come 25.2 s into the song: 1000 frames stay inside.
BENCHMARK(BM_MainScreenFrame)->Arg(0)->Iterations(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MainScreenFrame)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace md

BENCHMARK_MAIN();
