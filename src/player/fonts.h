// The two fonts of the song list, read from files that travel beside the program.
#pragma once

#include <SDL_ttf.h>

namespace md {

inline constexpr const char* kTitleFontFile = "supercomputer.ttf";
inline constexpr const char* kInfoFontFile = "Roboto-Regular.ttf";

// Opens a font file found by findDataFile (working directory, beside the executable, installed data folder)
// at the given point size. Null when the file is missing or unreadable; the first failure for each file name
// is reported in one line of the log that names the file.
TTF_Font* openFont(const char* fileName, int pointSize);

// Looks for both fonts now and reports each missing one as openFont would. True when both are there.
bool checkFonts();

} // namespace md
