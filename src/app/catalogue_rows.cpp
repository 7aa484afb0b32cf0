#include "app/catalogue_rows.h"

namespace md {

CatalogueRows::CatalogueRows(PlayerLink& player, SDL_Surface* readyIcon, SDL_Surface* busyIcon)
    : player_(player), readyIcon_(readyIcon), busyIcon_(busyIcon) {}

int CatalogueRows::count() const {
    return player_.songCount();
}

// TODO(drum): the rows, the hit tests and the lengths come from the player's catalogue once it exists.
void CatalogueRows::drawRow(int, int, int, float, SDL_Surface*, int) {}

void CatalogueRows::selectAt(int) {}

void CatalogueRows::exportSongAt(int) {}

int32_t CatalogueRows::lengthFrames(int) const {
    return 0;
}

} // namespace md
