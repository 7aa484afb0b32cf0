// The stress song (tests/hardening/data/stress.txt: every voice taken, resonance 255, drive, fold and crush,
// full echo, reverb room 127, the master gain at its maximum) rendered for ten minutes as the player renders
// it, in ten-second chunks. Prints the CPU time of each minute and its ratio to the first: a slowdown from
// denormals or from anything else that builds up would show as a growing ratio. Exits with status 1 when a
// minute takes more than twice the first.
//
//   stress_bench [MINUTES]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "song/loaded_song.h"
#include "synth/engine.h"

namespace {

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

} // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    std::ifstream in(MD_SOURCE_DIR "/tests/hardening/data/stress.txt", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    md::LoadedSong loaded;
    std::string error;
    if (!md::loadSongText(loaded, text.str(), &error, "stress.txt")) {
        std::fprintf(stderr, "stress_bench: %s\n", error.c_str());
        return 2;
    }
    auto engine = std::make_unique<md::Engine>();
    engine->setup(&loaded.song);
    engine->measureLength();
    engine->start();

    std::vector<int16_t> chunk(2 * static_cast<std::size_t>(md::renderChunkFrames));
    const int chunksPerMinute = 60 * md::sampleRate / md::renderChunkFrames;
    double first = 0, worst = 0;
    std::printf("minute  cpu (s)  x realtime  / first minute\n");
    for (int m = 0; m < minutes; ++m) {
        const double t0 = threadSeconds();
        for (int c = 0; c < chunksPerMinute; ++c) engine->renderChunk(chunk.data());
        const double t = threadSeconds() - t0;
        if (m == 0) first = t;
        worst = std::max(worst, t / first);
        std::printf("%6d  %7.2f  %10.1f  %14.2f\n", m + 1, t, 60.0 / t, t / first);
    }
    std::printf("slowest minute: %.2f x the first (bound 2)\n", worst);
    return worst <= 2.0 ? 0 : 1;
}
