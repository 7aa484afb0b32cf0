// The front end's side of the player: the object it builds at start-up once the window exists, starts with
// the intro, tells which song to play, and at shutdown tells to quit and waits for before destroying anything
// the player thread may still use.
//
// The player thread and its song catalogue are not part of the program yet. Until they are, the link has no
// songs (songCount() is 0) and no thread: start and waitForThread do nothing, and the selections and the quit
// request only land in the shared player state.
#pragma once

#include <SDL.h>

namespace md {

class PlayerLink {
  public:
    // Builds the player for the window surface (the catalogue and the text labels of its rows).
    explicit PlayerLink(SDL_Surface* surface);
    // Destroys the player and its catalogue. Call waitForThread first.
    ~PlayerLink();

    PlayerLink(const PlayerLink&) = delete;
    PlayerLink& operator=(const PlayerLink&) = delete;

    // Starts the player thread, unless it already runs.
    void start();

    // Number of songs in the catalogue.
    int songCount() const;

    // Asks the player for the song at this catalogue index.
    void selectSong(int index);

    // Forgets when the current song's playback started, so effects that follow it wait for the next start.
    void resetPlayStart();

    // Tells the player thread to end.
    void requestQuit();

    // Blocks until the player thread has ended; returns at once when it never started.
    void waitForThread();
};

} // namespace md
