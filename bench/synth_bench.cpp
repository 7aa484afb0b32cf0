// Render speed of the synthesizer as a multiple of real time, on one core.
//   heavy:   64 sounding voices, all four oscillators, resonant low-pass, drive, reverb send
//   typical: 12 sounding voices with two oscillators each, filter on
//   idle:    no voice, reverb only (the reverb at rest: silence in, silence out)
//   tail:    no voice, the reverb ringing out a long tail (room 127) that never reaches silence
#include <benchmark/benchmark.h>

#include <vector>

#include "engine_fixture.h"

namespace md {
namespace {

constexpr int kFrames = 96 * 500; // one second

void configure(test::BareSong& bare, int n, bool heavy) {
    Instrument& ins = bare.instrument(n);
    ins.header[8] = 160;                  // cutoff
    ins.header[12] = heavy ? 180 : 60;    // resonance
    ins.header[15] = 0x10;                // low-pass
    ins.header[16] = heavy ? 0xA8 : 0x48; // reverb send
    ins.header[14] = 20;
}

void renderLoop(benchmark::State& state, int tracks, int voicesPerTrack, int mask, bool heavy) {
    test::EngineFixture f;
    Engine& e = *f.engine;
    for (int n = 1; n <= 4; ++n) configure(f.bare, n, heavy);
    e.start();
    e.running = 0;
    for (int t = 0; t < tracks; ++t) {
        e.tracks[t].trackPitch = 40.0f + 7.0f * t;
        for (int k = 0; k < voicesPerTrack; ++k) {
            Voice& v = e.startVoice(e.tracks[t], t + 1, -1, 0);
            v.oscMask = mask;
            if (heavy) v.drive = 0.4f;
        }
    }
    std::vector<int16_t> out(2 * kFrames);
    for (auto _ : state) {
        e.renderChunk(out.data(), kFrames);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// No voice sounds, but the reverb rings: before every measured second a short burst is sent into it.
void BM_RenderReverbTail(benchmark::State& state) {
    test::EngineFixture f;
    Engine& e = *f.engine;
    f.bare.song.reverbRoom = 127;
    configure(f.bare, 1, true);
    e.start();
    e.running = 0;
    std::vector<int16_t> out(2 * kFrames);
    for (auto _ : state) {
        state.PauseTiming();
        Voice& v = e.startVoice(e.tracks[0], 1, -1, 0);
        v.oscMask = 0x8;
        e.renderChunk(out.data(), 96 * 50);
        e.stop();
        state.ResumeTiming();
        e.renderChunk(out.data(), kFrames);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["x_realtime"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_RenderHeavy(benchmark::State& s) {
    renderLoop(s, 4, 16, 0xF, true);
}
void BM_RenderTypical(benchmark::State& s) {
    renderLoop(s, 4, 3, 0x6, false);
}
void BM_RenderIdle(benchmark::State& s) {
    renderLoop(s, 4, 0, 0, false);
}

BENCHMARK(BM_RenderHeavy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderTypical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderIdle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderReverbTail)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace md

BENCHMARK_MAIN();
