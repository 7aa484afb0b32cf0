#include "player/wav_image.h"

#include <algorithm>

namespace md {

WavImage wavImage;

uint8_t wavHeaderTemplate[kWavHeaderSize] = {
    'R',  'I',  'F',  'F',  0x24, 0x7A, 0xB0, 0x02,              // RIFF size 45,120,036
    'W',  'A',  'V',  'E',  'f',  'm',  't',  ' ',  16, 0, 0, 0, // format chunk size
    1,    0,                                                     // integer PCM
    2,    0,                                                     // channels
    0x80, 0xBB, 0x00, 0x00,                                      // 48000 frames per second
    0x00, 0xEE, 0x02, 0x00,                                      // 192000 bytes per second
    4,    0,                                                     // bytes per frame
    16,   0,                                                     // bits per sample
    'd',  'a',  't',  'a',  0x00, 0x7A, 0xB0, 0x02,              // data size 45,120,000
};

namespace {
void put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
} // namespace

void setWavSizes(uint8_t* header, uint32_t dataBytes) {
    put32(header + 40, dataBytes);
    put32(header + 4, dataBytes + 36);
}

uint32_t songFrames(float seconds) {
    const float frames = seconds * 48000.0f;
    return frames > 0.0f ? static_cast<uint32_t>(frames) : 0u;
}

uint32_t renderFrames(float seconds) {
    const int whole = seconds > 0.0f ? static_cast<int>(seconds) : 0;
    const uint64_t frames = static_cast<uint64_t>(whole / 10 + 2) * renderChunkFrames;
    return static_cast<uint32_t>(std::min<uint64_t>(frames, kSampleAreaFrames));
}

uint32_t exportFrames(float seconds) {
    const float total = seconds + 10.0f;
    const uint64_t frames = static_cast<uint64_t>(total > 0.0f ? static_cast<int>(total) : 0) * sampleRate;
    return static_cast<uint32_t>(std::min<uint64_t>(frames, renderFrames(seconds)));
}

void fadeAfterSong(int16_t* samples, std::size_t valueCount, float seconds) {
    const std::size_t start = 2 * static_cast<std::size_t>(songFrames(seconds));
    const float k = 1.0f / 960000.0f;
    for (uint32_t j = 0; j < kFadeValues && start + j < valueCount; ++j) {
        const float g = 1.0f - static_cast<float>(j) * k;
        const float gain = g > 0.0f ? g * g : 0.0f;
        int16_t& v = samples[start + j];
        v = static_cast<int16_t>(static_cast<int>(static_cast<float>(v) * gain));
    }
}

} // namespace md
