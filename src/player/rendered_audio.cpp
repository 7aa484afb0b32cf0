#include "player/rendered_audio.h"

#include "player/wav_image.h"

namespace md {

std::atomic<std::size_t> renderedBytes{0};

namespace {
std::mutex& readerMutex() {
    static std::mutex mutex;
    return mutex;
}
} // namespace

void publishRenderedFrames(uint32_t frames) {
    const uint32_t limited = frames < kSampleAreaFrames ? frames : kSampleAreaFrames;
    renderedBytes.store(4 * static_cast<std::size_t>(limited), std::memory_order_release);
}

void withdrawRenderedAudio() {
    std::lock_guard<std::mutex> guard(readerMutex());
    renderedBytes.store(0, std::memory_order_release);
}

SampleAreaReader::SampleAreaReader()
    : lock_(readerMutex()), values_(renderedBytes.load(std::memory_order_acquire) / sizeof(int16_t)) {}

SampleAreaReader::~SampleAreaReader() = default;

int16_t SampleAreaReader::value(std::size_t index) const {
    return index < values_ ? wavImage.sampleArea[index] : int16_t{0};
}

const int16_t* SampleAreaReader::values() const {
    return wavImage.sampleArea;
}

} // namespace md
