// The debug-string channel: short diagnostic texts for whoever watches the program. They go to SDL's log at
// debug priority in the application category, hidden unless that priority is raised: by the program
// (SDL_LogSetPriority) or by the user, with MUSICDISK_DEBUG=1 in the environment.
#pragma once

namespace md {

inline constexpr const char* kDebugEnvironmentVariable = "MUSICDISK_DEBUG";

void debugString(const char* text);

} // namespace md
