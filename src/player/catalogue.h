// The song catalogue: the disk's fixed list of songs, one Music entry per catalogue index, built once at
// start-up with each song's measured length and its pre-rendered row labels. A catalogue index is the song
// number used everywhere (selectedSong, loadedSong, the rows of the song list).
#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>

#include "player/catalogue_data.h"

namespace md {

// One song of the disk.
class Music {
  public:
    Music(int resourceId, const char* fileName, const char* title, const char* artist);
    // Frees the six labels.
    virtual ~Music();

    Music(const Music&) = delete;
    Music& operator=(const Music&) = delete;

    // Prepares this song, measures it and renders it chunk by chunk into the WAV image, starting looped
    // playback after the first chunk (player thread only; the entry is the loaded song and isCurrent is set).
    // Returns when the render is complete, cut short by a newer selection or stopped by a quit request.
    void loadAndPlay();

    const char* fileName; // "_Title - Artist.tsk"; informational only
    const char* title;
    const char* artist;
    int32_t resourceId;

    // Labels in the label colour and, for the loaded song, in white; made once by renderLabels.
    SDL_Surface* titleLabel = nullptr;
    SDL_Surface* titleLabelLit = nullptr;
    SDL_Surface* artistLabel = nullptr;
    SDL_Surface* artistLabelLit = nullptr;
    SDL_Surface* sizeLabel = nullptr; // "%d bytes"
    SDL_Surface* timeLabel = nullptr; // "m:ss"

    // Vertical span of the row as last drawn (front end only): [rowTop, rowTop + rowHeight].
    int32_t rowTop = 0;
    int32_t rowHeight = 0;
    // The player thread has taken this song up (written by the player thread, read by the front end).
    std::atomic<bool> isCurrent{false};
    // Frames that playback loops, set at every load (player thread); 0 until the first load.
    std::atomic<int32_t> lengthFrames{0};
    // Size in bytes of the song file; 0 when the song is missing.
    int32_t resourceSize = 0;
    // Playing time in seconds measured at construction; 0 when the song could not be prepared.
    float lengthSeconds = 0.0f;
};

constexpr int kCatalogueSlots = 100;
// Slots 0 .. catalogueCount - 1 hold the entries; the rest stay null.
extern Music* catalogue[kCatalogueSlots];
// 0 while the catalogue is being built, then the number of entries.
extern int catalogueCount;

// findRowAt's result when no row is hit.
constexpr int kNoRow = -1;

// Creates the entry for catalogue slot `index`: its size, its length (by preparing the song) and its labels,
// whose font sizes follow the height of `surface` (the window surface).
void addCatalogueEntry(SDL_Surface* surface, int index, int resourceId, const char* fileName,
                       const char* title, const char* artist);

// Builds the whole catalogue from `rows` (index order), then sets catalogueCount.
void buildCatalogue(SDL_Surface* surface, std::span<const CatalogueRow> rows);

// Deletes the entries and sets catalogueCount back to 0.
void destroyCatalogue();

// Reads the song file `resourceId` into a fresh Song and binds a fresh Engine to it (replacing songBytes,
// currentSong and currentEngine of the player state). False when the song is missing or its file is refused;
// currentEngine is then left as it was.
bool prepareSong(int resourceId);

// Index of the first entry whose recorded row span contains y (bounds included), or kNoRow.
int findRowAt(int y);

// Where song files come from: by default the program's embedded "Music" resources. Tests put songs of their
// own here. Set it before the player thread starts.
struct SongSource {
    std::function<int32_t(int id)> size;  // bytes of the song file, 0 if missing
    std::function<uint8_t*(int id)> load; // a malloc'ed copy, null if missing
};
void setSongSource(SongSource source);
// Back to the embedded resources.
void resetSongSource();

} // namespace md
