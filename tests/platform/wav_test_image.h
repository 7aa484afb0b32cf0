// A RIFF/WAVE image in memory for the playback tests: 44-byte header and room for `capacityFrames` frames.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace md::test {

inline void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline void put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// The header of 48000 Hz 16-bit stereo PCM with `dataBytes` of samples.
inline void writeWavHeader(uint8_t* image, uint32_t dataBytes) {
    std::memcpy(image, "RIFF", 4);
    put32(image + 4, dataBytes + 36);
    std::memcpy(image + 8, "WAVEfmt ", 8);
    put32(image + 16, 16);
    put16(image + 20, 1);
    put16(image + 22, 2);
    put32(image + 24, 48000);
    put32(image + 28, 192000);
    put16(image + 32, 4);
    put16(image + 34, 16);
    std::memcpy(image + 36, "data", 4);
    put32(image + 40, dataBytes);
}

struct WavImage {
    std::vector<uint8_t> bytes;

    explicit WavImage(std::size_t capacityFrames, uint32_t dataFrames) {
        std::array<uint8_t, 44> header{};
        writeWavHeader(header.data(), dataFrames * 4);
        bytes.assign(header.begin(), header.end());
        bytes.resize(44 + capacityFrames * 4, 0);
    }
    // Frame k gets left = k + 1 and right = -(k + 1) (truncated to 16 bits), so that no frame is silent.
    void writeFrames(std::size_t first, std::size_t count) {
        for (std::size_t k = first; k < first + count; ++k) setFrame(k, int16_t(k + 1), int16_t(-int(k + 1)));
    }
    void setFrame(std::size_t k, int16_t left, int16_t right) {
        std::memcpy(&bytes[44 + k * 4], &left, 2);
        std::memcpy(&bytes[44 + k * 4 + 2], &right, 2);
    }
    const uint8_t* data() const { return bytes.data(); }
    std::size_t size() const { return bytes.size(); }
};

inline int16_t leftOf(const uint8_t* frame) {
    int16_t v;
    std::memcpy(&v, frame, 2);
    return v;
}
inline int16_t rightOf(const uint8_t* frame) {
    int16_t v;
    std::memcpy(&v, frame + 2, 2);
    return v;
}

} // namespace md::test
