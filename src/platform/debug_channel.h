// The debug-string channel: short diagnostic texts for whoever watches the program. They go to SDL's log at
// debug priority in the application category, hidden unless the log priority is raised, for example with
// SDL_LOGGING=app=debug in the environment.
#pragma once

namespace md {

void debugString(const char* text);

} // namespace md
