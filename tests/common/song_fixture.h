// A song written in the text format, compiled in memory and bound to an Engine that has been set up and
// started, for tests that follow the sequencer tick by tick.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "song/loaded_song.h"
#include "synth/engine.h"

namespace md::test {

struct SongFixture {
    LoadedSong loaded;
    std::unique_ptr<Engine> engine = std::make_unique<Engine>();

    explicit SongFixture(const std::string& text, bool startNow = true) {
        std::string error;
        const bool ok = loadSongText(loaded, text, &error, "test.txt");
        EXPECT_TRUE(ok) << error;
        engine->setup(&loaded.song);
        if (startNow) engine->start();
    }

    Song& song() { return loaded.song; }
    Track& track(int t) { return engine->tracks[t]; }

    // Runs n control blocks of sequencing only (no sound).
    void ticks(int n) {
        for (int i = 0; i < n; ++i) engine->sequencerTick();
    }
    // Runs n control blocks of sequencing and voice updates, as the renderer does.
    void blocks(int n) {
        for (int i = 0; i < n; ++i) {
            if (engine->running) engine->sequencerTick();
            engine->controlTick();
        }
    }
    std::vector<int16_t> render(int frames) {
        std::vector<int16_t> out(2 * static_cast<size_t>(frames));
        engine->renderChunk(out.data(), frames);
        return out;
    }
};

// A plain instrument section: saw, full sustain, program holding at once.
inline std::string plainInstrument(int n, const std::string& name, const std::string& extra = "") {
    return "instrument " + std::to_string(n) + " " + name + "\n  adsr 0 0 15 0\n" + extra +
           "  program\n    0 osc saw, hold\n";
}

} // namespace md::test
