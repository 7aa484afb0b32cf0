#include "song/song_text_tables.h"

#include <cctype>
#include <cstring>

namespace md::text {

namespace {
const char* const kSemitoneNames[12] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                        "F#", "G-", "G#", "A-", "A#", "B-"};
const int kLetterSemitones[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
} // namespace

std::string noteName(int note) {
    const int index = note - 1;
    return std::string(kSemitoneNames[index % 12]) + std::to_string(index / 12);
}

int parseNoteName(std::string_view text) {
    if (text.size() < 2 || text.size() > 3) return -1;
    const char letter = char(std::toupper(static_cast<unsigned char>(text[0])));
    if (letter < 'A' || letter > 'G') return -1;
    int semitone = kLetterSemitones[letter - 'A'];
    std::size_t i = 1;
    if (text.size() == 3) {
        switch (text[1]) {
        case '-':
            break;
        case '#':
            ++semitone;
            break;
        case 'b':
            --semitone;
            break;
        default:
            return -1;
        }
        i = 2;
    }
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return -1;
    return (text[i] - '0') * 12 + semitone + 1;
}

const ChordName kChordNames[] = {
    {"maj", {4, 7, 0}},   {"min", {3, 7, 0}},    {"dim", {3, 6, 0}},    {"aug", {4, 8, 0}},
    {"sus2", {2, 7, 0}},  {"sus4", {5, 7, 0}},   {"power", {7, 0, 0}},  {"oct", {12, 0, 0}},
    {"dom7", {4, 7, 10}}, {"maj7", {4, 7, 11}},  {"min7", {3, 7, 10}},  {"minmaj7", {3, 7, 11}},
    {"dim7", {3, 6, 9}},  {"hdim7", {3, 6, 10}}, {"aug7", {4, 8, 10}},  {"maj6", {4, 7, 9}},
    {"min6", {3, 7, 9}},  {"add9", {4, 7, 14}},  {"madd9", {3, 7, 14}}, {"dom7sus4", {5, 7, 10}},
};
const int kChordNameCount = int(sizeof kChordNames / sizeof kChordNames[0]);

const char* chordName(int a, int b, int c) {
    for (const ChordName& chord : kChordNames)
        if (chord.intervals[0] == a && chord.intervals[1] == b && chord.intervals[2] == c) return chord.name;
    return nullptr;
}

const char* const kOscillatorNames[4] = {"tri", "saw", "square", "noise"};

std::string oscillatorMask(int mask) {
    if (mask == 0) return "0";
    std::string text;
    for (int bit = 0; bit < 4; ++bit) {
        if (!(mask >> bit & 1)) continue;
        if (!text.empty()) text += '+';
        text += kOscillatorNames[bit];
    }
    return text;
}

int parseOscillatorMask(std::string_view text) {
    int mask = 0;
    while (!text.empty()) {
        const std::size_t plus = text.find('+');
        const std::string_view part = text.substr(0, plus);
        int bit = 0;
        while (bit < 4 && part != kOscillatorNames[bit]) ++bit;
        if (bit == 4 || (mask >> bit & 1)) return -1;
        mask |= 1 << bit;
        if (plus == std::string_view::npos) break;
        text.remove_prefix(plus + 1);
        if (text.empty()) return -1;
    }
    return mask == 0 ? -1 : mask;
}

const char* const kFilterModeNames[8] = {"off",     "lowpass", "highpass", "bandpass",
                                         "lowpeak", "highdip", "thru6",    "thru7"};
const char* const kSyncModeNames[4] = {"none", "sync", "ring", nullptr};

bool isIdentifier(std::string_view text) {
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
    for (char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    return true;
}

Instrument defaultInstrument() {
    Instrument ins{};
    ins.header[3] = 0x0F; // sustain 15
    ins.header[4] = 128;  // pulse width one half
    ins.header[6] = 255;  // pulse range 0 .. 255
    ins.header[8] = 255;  // cutoff open
    ins.header[10] = 255; // cutoff range 0 .. 255
    ins.header[14] = 63;  // volume
    ins.header[16] = 8;   // centred, no reverb send
    return ins;
}

} // namespace md::text
