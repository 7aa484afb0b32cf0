// tsk bench SONG...: render speed of each song as the player renders it, as a multiple of real time.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <vector>

#include "cli.h"
#include "player/wav_image.h"
#include "song_input.h"
#include "synth/engine.h"

namespace {
const char kUsage[] =
    "usage: tsk bench SONG...\n"
    "\n"
    "Renders each song as the player does (measure, then ten-second chunks up to the song's end plus\n"
    "the export's tail) on one core and prints the time it took to measure and to render, and the render\n"
    "speed as a multiple of real time; then the total.\n";

double secondsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}
} // namespace

int runBench(int argc, char** argv) {
    tsk::Arguments args;
    if (!tsk::parseArguments(argc, argv, false, kUsage, args)) return tsk::kExitFailure;
    if (args.help) {
        std::cout << kUsage;
        return 0;
    }
    if (args.positional.empty()) {
        std::cerr << kUsage;
        return tsk::kExitFailure;
    }
    std::vector<int16_t> chunk(2 * static_cast<std::size_t>(md::renderChunkFrames));
    double totalAudio = 0, totalTime = 0;
    // Every song is read before anything is printed, so that a bad one ends the command with its error alone.
    // (Each is read again before its render: the songs share the one cell store.)
    for (const std::string& path : args.positional) {
        md::LoadedSong loaded;
        if (!tsk::loadSongArgument(path, loaded)) return tsk::kExitFailure;
    }
    std::printf("%-40s %8s %10s %10s %10s\n", "song", "length", "measure", "render", "speed");
    for (const std::string& path : args.positional) {
        md::LoadedSong loaded;
        if (!tsk::loadSongArgument(path, loaded)) return tsk::kExitFailure;
        auto engine = std::make_unique<md::Engine>();
        engine->setup(&loaded.song);
        auto t0 = std::chrono::steady_clock::now();
        const float length = engine->measureLength();
        const double measureTime = secondsSince(t0);
        engine->start();
        const uint32_t frames = md::renderFrames(length);
        t0 = std::chrono::steady_clock::now();
        for (uint32_t pos = 0; pos < frames; pos += md::renderChunkFrames) engine->renderChunk(chunk.data());
        const double renderTime = secondsSince(t0);
        const double audio = static_cast<double>(frames) / md::sampleRate;
        totalAudio += audio;
        totalTime += renderTime;
        std::printf("%-40s %8s %8.2fms %9.3fs %9.1fx\n", tsk::baseName(path).c_str(),
                    tsk::minutesSeconds(length).c_str(), measureTime * 1000.0, renderTime,
                    audio / renderTime);
    }
    std::printf("%-40s %8s %10s %9.3fs %9.1fx\n", "total", "", "", totalTime, totalAudio / totalTime);
    return 0;
}
