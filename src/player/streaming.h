// Streaming render and playback of the loaded song (Music::loadAndPlay, declared with Music): the song is
// measured, rendered in ten-second chunks into the WAV image, and played looped from the image as soon as the
// first chunk is there, while the following chunks are written ahead of the play position.
#pragma once

#include <cstdint>

namespace md {

// The sizes of the loaded song's render. Written by the player thread while it loads the song, before it
// leaves Rendering; read by the export once it has seen Rendered.
struct SongRender {
    float seconds = 0.0f;     // the song's length, measured when it was loaded
    uint32_t songFrames = 0;  // frames that playback loops (the WAV image header's data size / 4)
    uint32_t totalFrames = 0; // frames the render writes when it runs to its end
};
extern SongRender loadedRender;

// Frames of the loaded song finished in the WAV image so far.
uint32_t renderedFrames();

} // namespace md
