// Names shared by the song text compiler and decompiler: notes, chords, oscillators, filter and sync modes,
// and the defaults of an instrument declared in text.
#pragma once

#include "song/song.h"

#include <string>
#include <string_view>

namespace md::text {

constexpr int kNoteOff = 63;
constexpr int kHighestCellNote = 62;   // C#5
constexpr int kHighestNamedNote = 120; // B-9: program notes above it are written as offsets

// "C-4", "C#4" for note numbers 1.. (1 = C-0, 49 = C-4).
std::string noteName(int note);
// Parses "C-4", "C#4", "Db4", "C4" (letters in either case) into a note number 1.. (may be out of range: the
// caller checks). Returns -1 when `text` is not a note name.
int parseNoteName(std::string_view text);

struct ChordName {
    const char* name;
    int intervals[3];
};
extern const ChordName kChordNames[];
extern const int kChordNameCount;
// The chord name for intervals a, b, c (in that order, unused ones 0), or nullptr.
const char* chordName(int a, int b, int c);

// Oscillator masks: bit 0 tri, 1 saw, 2 square, 3 noise; written "tri+saw".
extern const char* const kOscillatorNames[4];
std::string oscillatorMask(int mask);           // "tri+saw"; the number for 0
int parseOscillatorMask(std::string_view text); // -1 if not a mask

extern const char* const kFilterModeNames[8];
extern const char* const kSyncModeNames[4]; // "none", "sync", "ring", nullptr (written "mode 3")

bool isIdentifier(std::string_view text);

// An instrument declared in text starts from these values: full volume, full sustain, centred, a square pulse
// and an open filter (which is off).
Instrument defaultInstrument();

} // namespace md::text
