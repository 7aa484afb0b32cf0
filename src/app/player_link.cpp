#include "app/player_link.h"

#include "player/catalogue.h"
#include "player/play_thread.h"
#include "player/player_state.h"
#include "player/wav_export.h"

namespace md {

PlayerLink::PlayerLink(SDL_Surface* surface, std::span<const CatalogueRow> rows)
    : thread_(std::make_unique<PlayThread>(surface, rows)) {}

PlayerLink::~PlayerLink() = default;

void PlayerLink::start() {
    thread_->start();
}

int PlayerLink::songCount() const {
    return catalogueCount;
}

void PlayerLink::selectSong(int index) {
    playerState.selectedSong.store(index);
}

int PlayerLink::selectAt(int y) {
    return thread_->selectAt(y);
}

void PlayerLink::exportSongAt(int y) {
    md::exportSongAt(y);
}

int32_t PlayerLink::lengthFrames(int index) const {
    if (index < 0 || index >= catalogueCount || catalogue[index] == nullptr) return 0;
    return catalogue[index]->lengthFrames.load();
}

void PlayerLink::resetPlayStart() {
    playerState.playStartTicks.store(0);
}

void PlayerLink::requestQuit() {
    playerState.quitRequested.store(true);
}

void PlayerLink::waitForThread() {
    thread_->waitForThread();
}

} // namespace md
