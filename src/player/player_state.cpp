#include "player/player_state.h"

namespace md {

PlayerState playerState;

} // namespace md
