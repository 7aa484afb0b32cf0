// The player: the object that builds and owns the song catalogue and runs the player thread, which takes up
// the song the front end selects. The two threads meet only through playerState and the catalogue.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <span>

#include "player/catalogue_data.h"

namespace md {

// Milliseconds between two looks of the player thread at the selection.
inline constexpr uint32_t kPlayerPollMs = 100;

class PlayThread {
  public:
    // Builds the catalogue from `rows` for the window `surface` (front-end thread, after SDL, the image and
    // font libraries and the window are up). The shared player state starts afresh.
    explicit PlayThread(SDL_Surface* surface, std::span<const CatalogueRow> rows = catalogueRows);
    // Ends the player thread (asking it to quit if nobody has) and waits for it, stops playback, then deletes
    // the catalogue and releases the loaded song and its Engine.
    virtual ~PlayThread();

    PlayThread(const PlayThread&) = delete;
    PlayThread& operator=(const PlayThread&) = delete;

    // Creates the player thread "player" unless it exists or the player has been told to quit. A failed
    // creation leaves `thread` null, so the next call tries again.
    void start();

    // Starts the thread, then selects the song whose row contains y. Returns its index, or catalogueCount
    // when no row is hit (the selection is then left as it was).
    int selectAt(int y);

    // Blocks until the player thread has ended (it ends within a poll when idle, or after the chunk it is
    // rendering, once quitRequested is set). Returns at once when there is no thread.
    void waitForThread();

    int16_t peakLeft = 0;
    int16_t peakRight = 0;
    SDL_Thread* thread = nullptr;
};

// The player thread: looks at the selection every kPlayerPollMs until quitRequested is set.
int playerThreadMain(void* unused);

// One look at the selection: when the front end wants another song than the loaded one and no export is
// being written, stops what plays, releases the old Engine and loads and plays the new song (returning when
// its render ends). Player thread only.
void playerPoll();

} // namespace md
