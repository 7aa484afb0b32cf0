#include "app/player_link.h"

#include "player/player_state.h"

namespace md {

PlayerLink::PlayerLink(SDL_Surface* /*surface*/) {}

PlayerLink::~PlayerLink() = default;

void PlayerLink::start() {}

int PlayerLink::songCount() const {
    return 0;
}

void PlayerLink::selectSong(int index) {
    playerState.selectedSong.store(index);
}

void PlayerLink::resetPlayStart() {
    playerState.playStartTicks.store(0);
}

void PlayerLink::requestQuit() {
    playerState.quitRequested.store(true);
}

void PlayerLink::waitForThread() {}

} // namespace md
