// How the threads that read the WAV image while the player thread writes it stay out of each other's way.
//
// The player thread renders the loaded song chunk by chunk into sampleArea and, after each chunk, publishes
// how many bytes from the start of sampleArea hold finished audio (a release store). Readers on other threads
// take that count first (an acquire load) and read only below it, so every sample they read was written
// before they read it:
//  - the platform's playback, whose callback plays silence in place of audio not yet rendered;
//  - the front end (the oscilloscope), through a SampleAreaReader.
// Before the player thread starts overwriting the image for another song, it withdraws the published audio:
// the count drops to 0 under a lock that every SampleAreaReader holds while it reads, and the playback has
// already been stopped (under the audio device's lock) at the switch.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace md {

// Bytes at the start of sampleArea that hold finished audio of the loaded song.
extern std::atomic<std::size_t> renderedBytes;

// Player thread: the first `frames` frames of sampleArea are finished.
void publishRenderedFrames(uint32_t frames);
// Player thread, before it writes the image for a new song: waits for any SampleAreaReader to finish and
// leaves nothing published.
void withdrawRenderedAudio();

// A look at the finished samples from another thread. Hold it only briefly (it holds the player thread's
// switch to another song off); while it exists, the values below valueCount() stay as they are, apart from
// the export's fade-out, which the front end itself writes.
class SampleAreaReader {
  public:
    SampleAreaReader();
    ~SampleAreaReader();
    SampleAreaReader(const SampleAreaReader&) = delete;
    SampleAreaReader& operator=(const SampleAreaReader&) = delete;

    // Interleaved 16-bit values (left, right, left, ...) that may be read.
    std::size_t valueCount() const { return values_; }
    // Value `index` of sampleArea; 0 at or beyond valueCount().
    int16_t value(std::size_t index) const;
    // The finished values themselves: valueCount() of them.
    const int16_t* values() const;

  private:
    std::unique_lock<std::mutex> lock_;
    std::size_t values_;
};

} // namespace md
