// Engine constants and the single-precision factors the synthesizer and sequencer share.
#pragma once

#include <cstdint>
#include <cstring>

namespace md {

constexpr int sampleRate = 48000;                 // output frames per second
constexpr int samplesPerTick = 960;               // frames per sequencer tick at tempo 125
constexpr float sampleDuration = 1.0f / 48000.0f; // seconds per frame, 2.0833333e-05
constexpr float controlPeriod = 0.002f;           // seconds per control block
constexpr int controlBlock = 96;                  // frames per control tick
constexpr int renderChunkFrames = 480000;         // frames produced by one renderChunk (10 s)

// Divisions by 15, 255 and 14 are multiplications by these nearest floats.
constexpr float kOneOver15 = 0.06666667f;
constexpr float kOneOver255 = 0.003921569f;
constexpr float kOneOver14 = 0.071428575f;
constexpr float kSemitone = 0.083333336f; // 1/12, the exponent step of one semitone

// Float to int conversion with the x86 truncating-conversion result for values it cannot represent (NaN and
// out of range give INT32_MIN), so odd inputs behave as the hardware does without undefined behaviour.
inline int32_t truncToInt(float x) {
    if (x > -2147483648.0f && x < 2147483648.0f) return static_cast<int32_t>(x);
    return INT32_MIN;
}

// Unsigned truncation for echo lengths: negative and huge values wrap as a 64-bit conversion would.
inline uint32_t truncToUnsigned(float x) {
    if (x > -9.2233720e18f && x < 9.2233720e18f) return static_cast<uint32_t>(static_cast<int64_t>(x));
    return 0;
}

// A float whose exponent bits are all zero (zero or denormal).
inline bool isZeroOrDenormal(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return (bits & 0x7F800000u) == 0;
}

} // namespace md
