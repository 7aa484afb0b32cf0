// A playing channel: a pool of 16 voices (the sounding ones first in `voiceList`), the track's pitch, pan,
// volume, chord, echo and routing state, and its stereo accumulators for one run.
#pragma once

#include <cstdint>

#include "synth/voice.h"

namespace md {

constexpr int kVoicesPerTrack = 16;

// Routing modes.
enum TrackMode : int {
    TrackNormal = 0,
    TrackModulator = 1,    // multiplies the next rendered track
    TrackModulatorDry = 2, // as 1, the next track's last voice also passes dry
    TrackSyncSilent = 3,   // hard-sync source, not heard
    TrackSyncAudible = 4,  // hard-sync source, heard
};

struct Track {
    Voice voices[kVoicesPerTrack];
    uint8_t voiceList[kVoicesPerTrack]; // indices into voices; the first activeCount are sounding
    float lastCutoff = 0, lastPulseWidth = 0;
    int trackIndex = 0;
    int8_t chordTable[3] = {};
    int activeCount = 0;
    float trackVolume = 1.0f;
    float slideRate = 0, portaTarget = 0, slideActive = 0, portaRate = 0;
    float trackPitch = 0;
    float trackPan = 0.5f;
    uint32_t echoLength = 0;
    float echoAmount = 0;
    int releaseCountdown = 0;
    float trackFold = 0;
    int trackMode = 0;
    float trackLeft[controlBlock] = {};
    float trackRight[controlBlock] = {};
    uint32_t voiceSerial = 0;

    Track() {
        for (int i = 0; i < kVoicesPerTrack; ++i) voiceList[i] = static_cast<uint8_t>(i);
    }

    Voice& active(int j) { return voices[voiceList[j]]; }
    const Voice& active(int j) const { return voices[voiceList[j]]; }

    // Takes active entry j out of the sounding part of the list; the entries after it move up and the voice
    // goes to the first free place.
    void removeActive(int j) {
        const uint8_t v = voiceList[j];
        for (int k = j; k + 1 < activeCount; ++k) voiceList[k] = voiceList[k + 1];
        --activeCount;
        voiceList[activeCount] = v;
    }
};

} // namespace md
