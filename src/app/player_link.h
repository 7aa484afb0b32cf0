// The front end's side of the player: the object it builds at start-up once the window exists, starts with
// the intro, tells which song to play, and at shutdown tells to quit and waits for before destroying anything
// the player thread may still use.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <span>

#include "player/catalogue_data.h"

namespace md {

class PlayThread;

class PlayerLink {
  public:
    // Builds the player for the window surface: the catalogue of `rows` and the text labels of its rows.
    explicit PlayerLink(SDL_Surface* surface, std::span<const CatalogueRow> rows = catalogueRows);
    // Destroys the player and its catalogue (waiting for the player thread if it still runs).
    ~PlayerLink();

    PlayerLink(const PlayerLink&) = delete;
    PlayerLink& operator=(const PlayerLink&) = delete;

    // Starts the player thread, unless it already runs.
    void start();

    // Number of songs in the catalogue.
    int songCount() const;

    // Asks the player for the song at this catalogue index.
    void selectSong(int index);

    // Asks the player for the song whose row, as last drawn, contains y (and starts the thread). Returns its
    // index, or songCount() when no row is there.
    int selectAt(int y);

    // Writes the playing song to a WAV file when y falls in its row and its render is complete.
    void exportSongAt(int y);

    // Frames that playback loops for the entry at `index` as last loaded; 0 for no entry or none loaded yet.
    int32_t lengthFrames(int index) const;

    // Forgets when the current song's playback started, so effects that follow it wait for the next start.
    void resetPlayStart();

    // Tells the player thread to end.
    void requestQuit();

    // Blocks until the player thread has ended; returns at once when it never started.
    void waitForThread();

    PlayThread& playThread() { return *thread_; }

  private:
    std::unique_ptr<PlayThread> thread_;
};

} // namespace md
