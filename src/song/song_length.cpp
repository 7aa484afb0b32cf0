// Song length: runs the real sequencer without sound from the first order row until the song goes back.
#include <memory>

#include "synth/engine.h"

namespace md {

SongMeasure Engine::measure() {
    SongMeasure result;
    if (!song) return result;
    stop();
    const int savedOrder = song->orderPos;
    song->orderPos = 0;
    auto savedTracks = std::make_unique<Track[]>(kMaxTracks);
    std::copy(tracks, tracks + kMaxTracks, savedTracks.get());
    measuring = 1;
    stop();
    start();

    int lastPos = -1;
    int lastRow = -1;
    uint32_t count = 0;
    const int rows = song->rowsPerPattern;
    for (;;) {
        const int p = song->orderPos;
        const int r = row % rows;
        if (lastPos > p || (lastPos == p && r < lastRow)) break;
        if (count >= kMeasureBlockLimit) {
            result.loops = false; // never goes back: cut at the length of the WAV image
            break;
        }
        sequencerTick();
        ++count;
        lastPos = p;
        lastRow = r;
    }

    stop();
    measuring = 0;
    std::copy(savedTracks.get(), savedTracks.get() + kMaxTracks, tracks);
    song->orderPos = normalisedOrder(savedOrder);
    result.blocks = count;
    result.seconds = static_cast<float>(static_cast<double>(count)) * controlPeriod;
    return result;
}

} // namespace md
