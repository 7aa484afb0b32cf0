#include "player/player_state.h"

#include "song/song.h"
#include "synth/engine.h"

namespace md {

PlayerState::PlayerState() = default;
PlayerState::~PlayerState() = default;

PlayerState playerState;

} // namespace md
