// Turning a Standard MIDI File into a song text to arrange from: the MIDI's tempo and meter become speed,
// tempo and rows; its notes are quantised to rows and reduced to four tracks (drums, bass, chords, melody).
#pragma once

#include <string>
#include <vector>

namespace tsk {

struct MidiImportOptions {
    int rowsPerBeat = 0;            // rows per quarter note; 0 chooses from the notes
    int barsPerPattern = 0;         // 0 chooses (patterns of at most 64 rows)
    std::string title;              // empty: the MIDI's name, else the file name
    bool harmonyOnOneTrack = false; // without drums, the inner voices join the chords (track 1 stays free)
    std::string sourceName;         // the file name shown in the text's opening comment
};

struct MidiImportResult {
    std::string text;                 // the song text
    std::vector<std::string> summary; // what was done, one line each, also written as comments in the text
    std::vector<std::string> warnings;
};

// Reads a Standard MIDI File (through libsmf). The text made is compiled once to check it, which fills the
// global cell store as loading any song does. On failure returns false with *error set.
bool importMidiFile(const std::string& path, const MidiImportOptions& options, MidiImportResult& result,
                    std::string* error);

// The same from the bytes of a MIDI file.
bool importMidiBytes(const std::vector<unsigned char>& bytes, const MidiImportOptions& options,
                     MidiImportResult& result, std::string* error);

} // namespace tsk
