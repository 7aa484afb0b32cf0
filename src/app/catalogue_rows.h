// The song drum's view of the catalogue and the player: the rows it draws, the songs it picks and exports,
// and the loaded song's length that the scope wraps around.
#pragma once

#include "app/player_link.h"
#include "app/song_list.h"

#include <SDL.h>

#include <cstdint>

namespace md {

class CatalogueRows : public SongRows {
  public:
    // `readyIcon` and `busyIcon` are the status images of the playing song's row.
    CatalogueRows(PlayerLink& player, SDL_Surface* readyIcon, SDL_Surface* busyIcon);

    int count() const override;
    void drawRow(int index, int x, int y, float scale, SDL_Surface* surface, int width) override;
    void selectAt(int y) override;
    void exportSongAt(int y) override;

    // Length in frames of the entry at `index` as last loaded for playback; 0 for no entry.
    int32_t lengthFrames(int index) const;

  private:
    PlayerLink& player_;
    SDL_Surface* readyIcon_;
    SDL_Surface* busyIcon_;
};

} // namespace md
