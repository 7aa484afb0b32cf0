// Helpers for tests that drive the Engine directly: a Song with four tracks and no patterns, instruments set
// byte by byte, and voices started or configured by hand.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "song/song.h"
#include "synth/engine.h"

namespace md::test {

struct BareSong {
    uint8_t orderBytes[kMaxTracks * 2] = {}; // one order row, every track silent
    Song song;

    BareSong() {
        song.orderList = orderBytes;
        song.orderLength = 1;
        song.trackCount = 4;
        song.rowsPerPattern = 64;
        song.cells = cellStore;
        song.speed = 6;
        song.tempo = 125;
        song.reverbRoom = 64;
        song.reverbDamp = 0;
        song.reverbWidth = 23;
        song.reverbGain = 32;
        for (auto& ins : song.instruments) {
            ins.header[3] = 0x0F;   // sustain 15
            ins.header[14] = 63;    // volume
            ins.header[16] = 0x08;  // centre pan, no send
            ins.program[0][1] = 15; // hold
        }
    }
    Instrument& instrument(int n) { return song.instrument(n); }
};

struct EngineFixture {
    BareSong bare;
    std::unique_ptr<Engine> engine = std::make_unique<Engine>();

    EngineFixture() { engine->setup(&bare.song); }

    // Renders `frames` frames (a multiple of 96 keeps control blocks whole).
    std::vector<int16_t> render(int frames) {
        std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
        engine->renderChunk(out.data(), frames);
        return out;
    }
};

} // namespace md::test
