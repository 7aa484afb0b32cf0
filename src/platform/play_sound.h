// The play-sound service: plays an in-memory WAV image (see WavLoop) asynchronously through SDL's audio, at
// 48000 Hz, signed 16-bit, stereo, looping its data chunk seamlessly until it is stopped or another image is
// started. The samples are read while they play, so audio written into the image after the start is heard.
// The output device is opened at the first start; when none can be opened, the program runs on silently and
// says so once in the log. Callable from any thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace md {

// Plays the image from its first frame, looped; `imageSize` bytes are readable at `wavImage`. Returns false
// when nothing plays: no audio device, or a header that is not 48000 Hz 16-bit stereo PCM.
// When another thread is still writing the samples, `readyBytes` counts the bytes of the data chunk (from its
// start) that are finished: it is read with acquire ordering before any sample is, and silence is played in
// place of the bytes beyond it.
bool playSoundLooped(const uint8_t* wavImage, std::size_t imageSize,
                     const std::atomic<std::size_t>* readyBytes = nullptr);

// Silences the output.
void stopSound();

// Stops and closes the output device and SDL's audio; the next playSoundLooped opens them again. Called at
// shutdown, before SDL_Quit.
void closeSoundOutput();

} // namespace md
