// Endless playback of the data chunk of an in-memory RIFF/WAVE image: 44-byte header, then interleaved
// signed 16-bit stereo at 48000 Hz. The header's data size is read once, at the start; the samples are read
// from the image as they are played, so samples written into it after the start are heard. Not thread-safe:
// the owner serialises start, stop and read.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace md {

class WavLoop {
  public:
    static constexpr std::size_t kHeaderSize = 44;
    static constexpr std::size_t kFrameBytes = 4; // two 16-bit samples
    static constexpr uint32_t kSampleRate = 48000;

    // Starts at the first frame of the image's data chunk. `imageSize` is the number of bytes readable at
    // `image`; the loop never reads past it. Returns false, and plays nothing, when the header does not
    // describe 48000 Hz 16-bit stereo PCM with the data chunk right after it. With `readyBytes`, only the
    // bytes of the data chunk below its value (loaded with acquire ordering) are read; silence stands in for
    // the rest, which another thread has not finished writing.
    bool start(const uint8_t* image, std::size_t imageSize,
               const std::atomic<std::size_t>* readyBytes = nullptr);

    // Silence from now on.
    void stop();

    // Writes the next `bytes` bytes of the loop into `out`, wrapping from the last whole frame of the data
    // chunk to its first. Silence (zero bytes) while stopped or when the data chunk is empty.
    void read(uint8_t* out, std::size_t bytes);

    bool playing() const { return samples_ != nullptr; }
    // Length of the loop in bytes: the header's data size, cut to whole frames and to the image's size.
    std::size_t loopBytes() const { return loopBytes_; }
    // Byte offset of the next byte to be played, within the loop.
    std::size_t position() const { return position_; }

  private:
    const uint8_t* samples_ = nullptr;
    std::size_t loopBytes_ = 0;
    std::size_t position_ = 0;
    const std::atomic<std::size_t>* readyBytes_ = nullptr;
};

} // namespace md
