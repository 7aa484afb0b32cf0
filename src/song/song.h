// The in-memory song: song-wide settings, a view of the order list, the unpacked pattern cells and the 32
// instrument records. One Song is loaded at a time; its cells live in the global cellStore.
#pragma once

#include <cstddef>
#include <cstdint>

namespace md {

constexpr int kMaxTracks = 4;
constexpr int kInstrumentCount = 32;
constexpr int kInstrumentHeaderSize = 19;
constexpr int kProgramLength = 32;
constexpr int kInstrumentRecordSize = kInstrumentHeaderSize + kProgramLength * 3; // 115
constexpr int kNameSize = 22;
constexpr std::size_t kCellStoreSize = 1048576;
constexpr int kCellSize = 3;

// Program commands (low nibble of a program step's command byte) that other code refers to by name.
constexpr int kProgramCmdExtended = 14;

// One instrument: the 19-byte parameter header followed by 32 three-byte program steps.
// Header bytes, with their fields:
//   0  vibrato delay (bits 0-3), vibrato depth (4-7)      10 cutoff max
//   1  vibrato speed (bits 0-3)                           11 cutoff sweep (signed)
//   2  attack (0-3), decay (4-7)                          12 resonance
//   3  sustain (0-3), release (4-7)                       13 spread high bit (0), sync mode (1-2), link (3-7)
//   4  pulse start   5 pulse min   6 pulse max            14 instrument volume (0..63 useful)
//   7  pulse sweep (signed)                               15 flags: short env (0), release on retrigger (1),
//   8  cutoff        9 cutoff min                            spread low bit (2), filter mode bit 2 (3),
//                                                            filter mode bits 0-1 (4-5), cutoff legato (6),
//                                                            pulse legato (7)
//   16 pan (0-3, 8 = centre), reverb send (4-7)
//   17 unison: detune of the first voice (4-7), semitones of the second (0-3); 0 = no pair
//   18 echo time (0-3), echo level (4-7)
// Program step: byte 0 = chain flag (bit 7) and note (0-6); byte 1 = command (0-3) and fixed-pitch flag (4);
// byte 2 = parameter.
struct Instrument {
    uint8_t header[kInstrumentHeaderSize];
    uint8_t program[kProgramLength][3];

    int vibratoDelayNibble() const { return header[0] & 0xF; }
    int vibratoDepthNibble() const { return header[0] >> 4; }
    int vibratoSpeed() const { return header[1] & 0xF; }
    int attackNibble() const { return header[2] & 0xF; }
    int decayNibble() const { return header[2] >> 4; }
    int sustainNibble() const { return header[3] & 0xF; }
    int releaseNibble() const { return header[3] >> 4; }
    int syncMode() const { return (header[13] >> 1) & 3; }
    int link() const { return header[13] >> 3; }
    int instrumentVolume() const { return header[14]; }
    bool shortEnvelope() const { return header[15] & 0x01; }
    bool releaseOnRetrigger() const { return header[15] & 0x02; }
    int filterMode() const { return ((header[15] >> 4) & 3) + ((header[15] >> 3) & 1) * 4; }
    bool cutoffLegato() const { return header[15] & 0x40; }
    bool pulseLegato() const { return header[15] & 0x80; }
    int instrumentPan() const { return header[16] & 0xF; }
    int reverbSend() const { return header[16] >> 4; }
    int spreadIndex() const { return (header[13] & 1) * 2 + ((header[15] >> 2) & 1); }
};
static_assert(sizeof(Instrument) == kInstrumentRecordSize, "instrument records are 115 bytes");

struct Song {
    const uint8_t* orderList = nullptr; // inside the song file's bytes
    int32_t orderPos = 0;
    int32_t orderLength = 0;
    int32_t trackCount = 0;
    int32_t restartPos = 0;
    int8_t reverbRoom = 0, reverbDamp = 0, reverbWidth = 0, reverbGain = 0;
    uint8_t speed = 6;
    uint8_t tempo = 128;
    uint8_t version = 0;
    float masterGain = 1.0f;
    int32_t cellStride = 0; // 0 = not yet set; the sequencer then uses rowsPerPattern
    const uint8_t* cells = nullptr;
    Instrument instruments[kInstrumentCount] = {};
    int32_t rowsPerPattern = 0;
    char instrumentNames[kInstrumentCount][kNameSize] = {};

    // Order entry of order row r and track t: pattern number (1-based, 0 = none) and signed transpose.
    int orderPattern(int r, int t) const { return orderList[(r * trackCount + t) * 2]; }
    int orderTranspose(int r, int t) const {
        return static_cast<int8_t>(orderList[(r * trackCount + t) * 2 + 1]);
    }
    // Cell of pattern p (1-based) and row r.
    const uint8_t* cell(int p, int r) const { return cells + ((p - 1) * cellStride + r) * kCellSize; }
    // Instrument number n (1..32).
    Instrument& instrument(int n) { return instruments[n - 1]; }
    const Instrument& instrument(int n) const { return instruments[n - 1]; }
};

// The unpacked cells of the loaded song (file versions 3 and later).
extern uint8_t cellStore[kCellStoreSize];

} // namespace md
