#include "platform/wav_loop.h"

#include <cstring>

namespace md {

namespace {

uint32_t read32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t read16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

} // namespace

bool WavLoop::start(const uint8_t* image, std::size_t imageSize, const std::atomic<std::size_t>* readyBytes) {
    stop();
    if (image == nullptr || imageSize < kHeaderSize) return false;
    const bool pcmStereo48k16 = std::memcmp(image, "RIFF", 4) == 0 &&
                                std::memcmp(image + 8, "WAVE", 4) == 0 &&
                                std::memcmp(image + 12, "fmt ", 4) == 0 && read16(image + 20) == 1 &&
                                read16(image + 22) == 2 && read32(image + 24) == kSampleRate &&
                                read16(image + 34) == 16 && std::memcmp(image + 36, "data", 4) == 0;
    if (!pcmStereo48k16) return false;

    std::size_t dataBytes = read32(image + 40);
    const std::size_t available = imageSize - kHeaderSize;
    if (dataBytes > available) dataBytes = available;
    samples_ = image + kHeaderSize;
    loopBytes_ = dataBytes - dataBytes % kFrameBytes;
    position_ = 0;
    readyBytes_ = readyBytes;
    return true;
}

void WavLoop::stop() {
    samples_ = nullptr;
    loopBytes_ = 0;
    position_ = 0;
    readyBytes_ = nullptr;
}

void WavLoop::read(uint8_t* out, std::size_t bytes) {
    if (samples_ == nullptr || loopBytes_ == 0) {
        std::memset(out, 0, bytes);
        return;
    }
    // Bytes finished by the writer, if another thread is still writing: only those are read.
    std::size_t ready = loopBytes_;
    if (readyBytes_ != nullptr) {
        const std::size_t published = readyBytes_->load(std::memory_order_acquire);
        if (published < ready) ready = published - published % kFrameBytes;
    }
    while (bytes > 0) {
        std::size_t run = loopBytes_ - position_;
        if (run > bytes) run = bytes;
        if (position_ + run <= ready) {
            std::memcpy(out, samples_ + position_, run);
        } else {
            const std::size_t heard = position_ < ready ? ready - position_ : 0;
            std::memcpy(out, samples_ + position_, heard);
            std::memset(out + heard, 0, run - heard);
        }
        out += run;
        bytes -= run;
        position_ += run;
        if (position_ == loopBytes_) position_ = 0;
    }
}

} // namespace md
