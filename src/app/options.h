// The command line.
#pragma once

namespace md {

inline constexpr const char* kFullscreenOption = "-fullscreen";

// True when any argument after the program name is "-fullscreen", compared without regard to case. Every
// other argument is ignored.
bool hasFullscreenOption(int argc, char* argv[]);

} // namespace md
