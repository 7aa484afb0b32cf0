// Reading the SONG argument of the render, info and bench commands: a song file, or a song text (compiled on
// the way in).
#pragma once

#include <string>

#include "song/loaded_song.h"

namespace tsk {

// Loads `path` (a binary song file when it starts with "TSK", a song text otherwise). On failure prints the
// error (text errors as FILE:LINE:COL: message, others as tsk: FILE: reason) and returns false.
bool loadSongArgument(const std::string& path, md::LoadedSong& song);

// "2:05" for 125.7 seconds.
std::string minutesSeconds(float seconds);

// A short display name: the file name without its folders.
std::string baseName(const std::string& path);

} // namespace tsk
