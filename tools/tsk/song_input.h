// Reading the SONG argument of the render, info and bench commands: a song file, a song text (compiled on
// the way in), or @N for the song of catalogue entry N built into the program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "song/loaded_song.h"

namespace tsk {

// Loads `path` (a binary song file when it starts with "TSK", a song text otherwise; "@N" is the song of
// catalogue entry N built into the program). On failure prints the error (text errors as FILE:LINE:COL:
// message, others as tsk: FILE: reason) and returns false.
bool loadSongArgument(const std::string& path, md::LoadedSong& song);

// The bytes of a song file argument: the file at `path`, or for "@N" the song file of catalogue entry N built
// into the program. On failure prints "tsk: ARGUMENT: reason" and returns false.
bool readSongFileArgument(const std::string& path, std::vector<uint8_t>& bytes);

// N for an argument "@N" (decimal digits), else -1.
int catalogueIndexOf(const std::string& argument);

// "2:05" for 125.7 seconds.
std::string minutesSeconds(float seconds);

// A short display name: the file name without its folders.
std::string baseName(const std::string& path);

} // namespace tsk
