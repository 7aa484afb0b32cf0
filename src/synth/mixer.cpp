// Audio-rate half of the synthesizer: smoothed amplitude, track fold, pan, reverb send and echoes for each
// sounding voice, accumulated per track; modulator tracks multiply the next rendered track.
#include <cstring>

#include "synth/engine.h"

namespace md {
namespace {

constexpr float kAmpSmoothing = 0.1f;
constexpr float kEchoDampCoef = 0.1f;
constexpr float kEchoDampLevel = 0.95f;
constexpr float kEchoFeedback = 0.33f;
// Every echoing voice feeds the return back at 0.33, so sixteen voices of four tracks echoing at full level
// multiply the ring by about 21 each pass, and it would reach infinity (then NaN) within seconds. Its entries
// are held within +-kEchoRingLimit, a thousand times what any written song has reached (about 2).
constexpr float kEchoRingLimit = 4096.0f;
constexpr float kPanLaw = 1.41f;
constexpr float kInstrumentVolumeScale = 0.015686275f; // 4/255
constexpr float kVoiceScale = 1.5f;

inline float clamp01(float x) {
    return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x);
}

} // namespace

void Engine::echoWrite(uint32_t length, float amount, const float* left, const float* right, int count) {
    constexpr uint32_t mask = kEchoRingSize - 1;
    for (int i = 0; i < count; ++i) {
        const float m = (left[i] + right[i]) * 0.5f * amount;
        const uint32_t q = (frameCounter + length + static_cast<uint32_t>(i)) & mask;
        const float v = echoRing[(q - length) & mask] * amount * kEchoFeedback + (2.0f * m + echoRing[q]);
        echoRing[q] = v < -kEchoRingLimit ? -kEchoRingLimit : (v > kEchoRingLimit ? kEchoRingLimit : v);
    }
}

void Engine::renderVoices(StereoFrame* mix, int count, int offset) {
    constexpr uint32_t mask = kEchoRingSize - 1;
    // Damp the part of the echo ring that is about to be played. With the damping filter at rest and nothing
    // in that part of the ring there is nothing to change.
    bool ringQuiet = echoRingState == 0.0f;
    for (int i = 0; i < count && ringQuiet; ++i)
        ringQuiet = echoRing[(frameCounter + static_cast<uint32_t>(i)) & mask] == 0.0f;
    for (int i = 0; i < count && !ringQuiet; ++i) {
        const uint32_t p = (frameCounter + static_cast<uint32_t>(i)) & mask;
        const float s = echoRing[p];
        echoRingState = (s - echoRingState) * kEchoDampCoef + echoRingState;
        echoRing[p] = (echoRingState - s) * kEchoDampLevel;
    }

    float voiceOut[controlBlock];
    bool prevIsModulator = false;
    int prevMode = 0;
    const float* modLeft = nullptr;
    const float* modRight = nullptr;

    const int tracksUsed = trackCount();
    for (int k = 0; k < tracksUsed; ++k) {
        Track& t = tracks[k];
        std::memset(t.trackLeft, 0, sizeof t.trackLeft);
        std::memset(t.trackRight, 0, sizeof t.trackRight);
        if (t.trackMode == TrackSyncSilent) continue;
        const bool modulator = (t.trackMode == TrackModulator || t.trackMode == TrackModulatorDry) && running;

        for (int j = 0; j < t.activeCount; ++j) {
            Voice& v = t.active(j);
            const Instrument& ins = *v.instrument;
            const float pan =
                t.trackPan + static_cast<float>(ins.instrumentPan() - 8) * kOneOver15 + v.panOffset;
            const float gainL = (1.0f - clamp01(pan)) * kPanLaw;
            const float gainR = (1.0f - clamp01(1.0f - pan)) * kPanLaw;
            float a = v.volume * v.gain * static_cast<float>(ins.instrumentVolume()) *
                      kInstrumentVolumeScale * t.trackVolume * v.volumeMultiplier * kVoiceScale;
            float send = v.sendAmount;
            if (modulator) {
                a = 1.0f;
                send = 0.0f;
            }
            const float* sig = v.mixBuffer + offset;
            const float* env = v.envelope.output + offset;
            float amp = v.smoothAmp;
            if ((a - amp) * kAmpSmoothing + amp == amp) {
                // The smoothing has settled where its step rounds away: the amplitude stays for the whole
                // run.
                for (int i = 0; i < count; ++i) voiceOut[i] = sig[i] * env[i] * amp;
            } else {
                for (int i = 0; i < count; ++i) {
                    amp = (a - amp) * kAmpSmoothing + amp;
                    voiceOut[i] = sig[i] * env[i] * amp;
                }
                v.smoothAmp = amp;
            }
            for (int i = 0; i < count; ++i) sendBuffer[i] += voiceOut[i] * send;
            if (t.trackFold > 0.0f) foldBuffer(voiceOut, count, t.trackFold, 0.25f / t.trackFold);
            for (int i = 0; i < count; ++i) {
                t.trackRight[i] += voiceOut[i] * gainR;
                t.trackLeft[i] += voiceOut[i] * gainL;
            }
            if (v.echoAmount > 0.0f) echoWrite(v.echoLength, v.echoAmount, t.trackLeft, t.trackRight, count);
        }

        if (!modulator && t.echoAmount > 0.0f)
            echoWrite(t.echoLength, t.echoAmount, t.trackLeft, t.trackRight, count);

        if (t.activeCount > 0 && !modulator) {
            if (prevIsModulator) {
                const float d = prevMode == TrackModulatorDry ? 1.0f : 0.0f;
                for (int i = 0; i < count; ++i) {
                    t.trackLeft[i] = t.trackLeft[i] * modLeft[i] * 2.0f + voiceOut[i] * d;
                    t.trackRight[i] = t.trackRight[i] * modRight[i] * 2.0f + voiceOut[i] * d;
                }
            }
            for (int i = 0; i < count; ++i) {
                mix[i].left += t.trackLeft[i];
                mix[i].right += t.trackRight[i];
            }
        }
        prevIsModulator = modulator;
        prevMode = t.trackMode;
        modLeft = t.trackLeft;
        modRight = t.trackRight;
    }
}

} // namespace md
