// The state shared by the front end and the player thread. Every word is atomic and has one writer at a time;
// no lock guards them.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace md {

class Engine;
struct Song;

enum PlayState : int32_t {
    Idle = 0,      // no render under way
    Rendering = 1, // the loaded song is being prepared or rendered; playback starts after the first chunk
    Rendered = 2, // the render loop has ended (complete, or cut short by a newer selection); playback goes on
    Exporting = 3, // the front end is writing the loaded song to a WAV file
    Exported = 4,  // the export has finished; playback goes on
};

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};

struct PlayerState {
    std::atomic<int32_t> selectedSong{-1};  // catalogue index the front end wants played
    std::atomic<int32_t> loadedSong{-1};    // catalogue index the player thread has taken up
    std::atomic<bool> quitRequested{false}; // set once, at shutdown
    // Written by the player thread (Idle, Rendering, Rendered) and by the export, which moves it from
    // Rendered to Exporting and on to Exported. The two hand-overs between the threads are made by
    // compare-and-swap, so a switch and an export never begin at once.
    std::atomic<int32_t> playState{Idle};
    std::atomic<uint32_t> playStartTicks{0}; // SDL ticks when playback of the loaded song began; 0 before

    // The loaded song's data, owned here and replaced, never shared. Written by the front end while it builds
    // the catalogue (before the player thread exists), afterwards by the player thread only, and released
    // once the player thread has ended.
    std::unique_ptr<Engine> currentEngine;
    std::unique_ptr<Song> currentSong;
    std::unique_ptr<uint8_t, FreeDeleter> songBytes; // the song file's bytes, which currentSong points into
    int32_t songByteCount = 0;

    PlayerState();
    ~PlayerState();
};

extern PlayerState playerState;

// Writes playState and tells playStateObserver, if set. The observer lets tests follow every transition; set
// it before the player thread starts.
inline void (*playStateObserver)(int32_t state) = nullptr;
inline void setPlayState(int32_t state) {
    playerState.playState.store(state);
    if (playStateObserver != nullptr) playStateObserver(state);
}
// Moves playState from `from` to `to` if it still holds `from`, telling the observer; false if it did not.
inline bool changePlayState(int32_t from, int32_t to) {
    if (!playerState.playState.compare_exchange_strong(from, to)) return false;
    if (playStateObserver != nullptr) playStateObserver(to);
    return true;
}

} // namespace md
