// The in-memory RIFF/WAVE image the player renders into and the platform plays from, the size arithmetic of a
// song's render and of its export, and the export's fade-out.
#pragma once

#include <cstddef>
#include <cstdint>

#include "synth/constants.h"

namespace md {

constexpr int kWavHeaderSize = 44;
constexpr uint32_t kSampleAreaFrames = 22560000; // 470 seconds, 47 render chunks
constexpr uint32_t kFadeValues = 960000;         // 10 seconds of interleaved stereo values

struct WavImage {
    uint8_t header[kWavHeaderSize];
    int16_t sampleArea[2 * static_cast<std::size_t>(kSampleAreaFrames)];
};

// One image for the whole program.
extern WavImage wavImage;
// Header of 48000 Hz 16-bit stereo PCM; its two size fields are rewritten for each song.
extern uint8_t wavHeaderTemplate[kWavHeaderSize];

// Writes the data size and the RIFF size (data size + 36) into a 44-byte header.
void setWavSizes(uint8_t* header, uint32_t dataBytes);

// Frames that playback loops: the song's length L (seconds) x 48000 in single precision, truncated.
uint32_t songFrames(float seconds);
// Frames the player renders for a song: whole tens of seconds plus two chunks, as far as the image holds.
uint32_t renderFrames(float seconds);
// Frames of the export file: trunc(L + 10) seconds, as far as the rendered frames reach.
uint32_t exportFrames(float seconds);
// Fades the ten seconds after the song's last frame out in place (gain (1 - j/960000)^2 per value j); values
// beyond `valueCount` are left alone.
void fadeAfterSong(int16_t* samples, std::size_t valueCount, float seconds);

} // namespace md
