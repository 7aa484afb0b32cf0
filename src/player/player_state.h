// The state shared by the front end and the player thread. Every field is one word, read and written whole;
// no lock guards them, and each has one writer at a time.
#pragma once

#include <atomic>
#include <cstdint>

namespace md {

enum PlayState : int32_t {
    Idle = 0,
    Rendering = 1,
    Rendered = 2,
    Exporting = 3,
    Exported = 4,
};

struct PlayerState {
    std::atomic<int32_t> selectedSong{-1};  // catalogue index the front end wants played
    std::atomic<int32_t> loadedSong{-1};    // catalogue index the player thread has taken up
    std::atomic<bool> quitRequested{false}; // set once, at shutdown
    std::atomic<int32_t> playState{Idle};
    std::atomic<uint32_t> playStartTicks{0}; // SDL ticks when playback of the loaded song began; 0 before
};

extern PlayerState playerState;

} // namespace md
