// The song text format: a readable, line-based form of a song file for composers (docs/song-text-format.md),
// compiled into version-12 song files and decompiled back from files of any version.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace md {

// Compiles a song text into the bytes of a song file. On failure returns false, leaves `out` unchanged and
// sets *error to "FILE:LINE:COL: message" (FILE is `fileName`; lines and columns count from 1). The same text
// always gives the same bytes.
bool compileSongText(std::string_view text, std::string_view fileName, std::vector<uint8_t>& out,
                     std::string* error = nullptr);

// Writes the text of a song file of any version (0 to 12), converted as the reader converts it. Compiling the
// text gives a version-12 file that reads as the same song; for a file the compiler or the writer made, it
// gives the same bytes. False, with the reader's reason in *error, for a file the reader refuses.
bool decompileSong(const uint8_t* bytes, std::size_t size, std::string& text, std::string* error = nullptr);

} // namespace md
