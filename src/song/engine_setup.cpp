// Engine construction, binding a Song, and starting and stopping playback.
#include <math.h>

#include <cstring>

#include "synth/engine.h"

namespace md {

Engine::Engine() {
    for (int k = 0; k < kMaxTracks; ++k) tracks[k].trackIndex = k;
    limiterLeft = Limiter{};
    limiterRight = Limiter{};
    dcLeftOut = dcLeftIn = dcRightOut = dcRightIn = 0;
    std::memset(syncFlags_, 0, sizeof syncFlags_);
    std::memset(ringBuffer_, 0, sizeof ringBuffer_);
    setup(nullptr);
}

void Engine::setup(Song* s) {
    running = 0;
    song = s;
    row = 0;
    speed = 6;
    rowTimer = 0;
    pendingFrames = 0;
    breakRow = -1;
    jumpPos = -1;
    frameCounter = 0;
    echoRingState = 0;
    masterGain = 1.0f;
    tempo = 125;
    measuring = 0;

    // Master chain: the level falls to 1 % in 5 ms while rising and in 250 ms while falling.
    const float attack = powf(0.01f, 199.99998474121094f / static_cast<float>(sampleRate));
    const float release = powf(0.01f, 3.999999761581421f / static_cast<float>(sampleRate));
    limiterLeft.attack = limiterRight.attack = attack;
    limiterLeft.release = limiterRight.release = release;
    dcCoef = 1.0f - 250.0f / static_cast<float>(sampleRate);
    std::memset(sendBuffer, 0, sizeof sendBuffer);

    if (song) {
        tempo = song->tempo;
        speed = song->speed;
        masterGain = song->masterGain;
    }
    for (int k = 0; k < kMaxTracks; ++k) {
        Track& t = tracks[k];
        t.trackMode = 0;
        t.trackFold = 0;
        std::memset(t.chordTable, 0, sizeof t.chordTable);
        t.trackIndex = k;
    }
}

void Engine::start() {
    running = 1;
    rowTimer = -1;
    pendingFrames = 0;
    std::memset(echoRing, 0, sizeof echoRing);
    const bool fromTop = !song || song->orderPos == 0;
    for (int k = 0; k < kMaxTracks; ++k) {
        Track& t = tracks[k];
        t.trackVolume = 1.0f;
        t.slideRate = 0;
        t.portaTarget = 0;
        t.slideActive = 0;
        if (fromTop) {
            t.trackMode = 0;
            t.trackFold = 0;
            std::memset(t.chordTable, 0, sizeof t.chordTable);
            rowDelay[k] = 0;
        }
    }
}

void Engine::stop() {
    running = 0;
    pendingFrames = 0;
    for (Track& t : tracks) {
        t.activeCount = 0;
        t.trackMode = 0;
        t.trackFold = 0;
        std::memset(t.chordTable, 0, sizeof t.chordTable);
    }
}

} // namespace md
