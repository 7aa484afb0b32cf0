// The two-channel oscilloscope on both sides of the title logo: the left channel of the audio now playing
// traced from the left edge inward, the right channel mirrored from the right edge inward, each 280 pixels
// long and centred on the logo's middle line. It also keeps the loudest recent values, which swell the balls.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace md {

inline constexpr int kScopeLength = 280;         // pixels per trace
inline constexpr int kScopePeakThreshold = 3000; // a frame's maximum above this becomes the new peak

// What the scope reads of the player.
struct ScopeInput {
    uint32_t ticks = 0;          // SDL milliseconds now
    uint32_t playStartTicks = 0; // when playback of the loaded song began; 0 before
    int32_t selectedSong = -1;
    int32_t loadedSong = -1;
    int32_t lengthFrames = 0;         // length of the loaded song in frames
    const int16_t* samples = nullptr; // the WAV image's interleaved stereo values, left then right
    uint32_t readableValues = 0;      // values that hold finished audio; those after them read as silence
    uint32_t areaValues = 0;          // values the sample area has room for; no song reaches beyond
};

// Draws the traces of the audio playing at `input.ticks` in white, or two flat lines at `centre` while no
// song plays (none started, none loaded, the selection not yet taken up, or a song of no length). A frame
// whose loudest left (right) value is above the threshold stores it in `peakLeft` (`peakRight`); quieter
// frames leave them.
void drawScope(SDL_Surface* surface, int centre, const ScopeInput& input, int16_t& peakLeft,
               int16_t& peakRight);

} // namespace md
