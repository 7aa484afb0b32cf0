// Writing the loaded song to a WAV file in the working directory: the song as rendered in the WAV image,
// followed by ten seconds of its render faded out, as 48000 Hz 16-bit stereo.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace md {

// The export file's header (a copy of wavHeaderTemplate with the export's own sizes).
extern uint8_t exportHeader[44];

// "Oru - TITLE (ARTIST).wav", the two texts as they are.
std::string exportFileName(const char* title, const char* artist);

// Front-end thread. Exports the loaded song when y falls in its row, its render has ended (Rendered) and
// every frame the file needs has been rendered; otherwise does nothing. The state goes Exporting, then
// Exported, whether or not the file could be written; a failure is reported in one line on the debug channel
// and on standard error, and leaves no file (nor any part of one) under the export's name.
void exportSongAt(int y);

// Writes `header` then `data` to `path` through a temporary file in the same folder, renamed over `path`
// once complete. False, with the system's reason, when anything fails; no temporary file is left then.
bool writeWavFile(const std::string& path, const uint8_t* header, std::size_t headerSize, const void* data,
                  std::size_t dataSize, std::string* reason);

} // namespace md
