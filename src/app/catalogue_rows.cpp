#include "app/catalogue_rows.h"

#include "player/labels.h"

namespace md {

CatalogueRows::CatalogueRows(PlayerLink& player, SDL_Surface* readyIcon, SDL_Surface* busyIcon)
    : player_(player), readyIcon_(readyIcon), busyIcon_(busyIcon) {}

int CatalogueRows::count() const {
    return player_.songCount();
}

void CatalogueRows::drawRow(int index, int x, int y, float scale, SDL_Surface* surface, int width) {
    md::drawRow(index, x, y, scale, surface, width, readyIcon_, busyIcon_);
}

void CatalogueRows::selectAt(int y) {
    player_.selectAt(y);
}

void CatalogueRows::exportSongAt(int y) {
    player_.exportSongAt(y);
}

int32_t CatalogueRows::lengthFrames(int index) const {
    return player_.lengthFrames(index);
}

} // namespace md
