// One sounding voice: four oscillators, envelope, filter, the instrument-program state and its levels.
#pragma once

#include <cstdint>

#include "song/song.h"
#include "synth/constants.h"
#include "synth/envelope.h"
#include "synth/filter.h"
#include "synth/oscillators.h"

namespace md {

// Oscillator indices, in the order of the oscillator mask bits.
enum OscIndex : int { OscTri = 0, OscSawIdx = 1, OscSquareIdx = 2, OscNoise = 3 };

// `stepTicks` value that holds the program for the rest of the note.
constexpr int kProgramHold = 0x0FFFFFFF;

struct Voice {
    const Instrument* instrument = nullptr; // record in the Song; null while free
    float smoothAmp = 0;                    // audio-rate smoothed amplitude
    int programPos = 0, stepTicks = 1, stepCountdown = 0;
    float cutoffSlide = 0;
    uint8_t fromChord = 0;
    float mixBuffer[controlBlock] = {};
    float fineDetune[4] = {}; // per oscillator, used squared (semitones)
    float oscLevel[4] = {1, 1, 1, 1};
    uint8_t semitoneDetune[4] = {};
    OscSaw saw;
    OscWhitenoise noise;
    OscSquare square;
    OscTriangle triangle;
    int oscMask = 1; // bit 0 triangle, 1 saw, 2 square, 3 noise
    Envelope envelope;
    Filter filter;
    float tempoScale = 1.0f; // 125 / tempo at note start
    float sendAmount = 0;    // reverb send
    float crushTarget = 0, crushLevel = 0, drive = 0, foldThreshold = 0;
    float gain = 0.5f;            // program gain 0..1
    float volume = 0.5f;          // 0..1
    float volumeSlide = 0;        // per control block, from the pattern
    float programVolumeSlide = 0; // per control block and step tick, from the program
    float vibratoDelay = 0;       // seconds
    float vibratoDepth = 0;       // fraction of the frequency
    float vibratoRate = 0;        // signed, units per second
    float vibratoValue = 0;       // -1..1
    float programNote = 1.0f;     // semitone offset from the program
    float chordNote = 0;
    float fixedBase = 1.0f;
    float pitchSlide = 0;
    uint8_t fixedPitch = 0;
    int stepDivisor = 1;
    int chordIndex = -1; // index into the track's chord table, -1 = root
    float releasePitch = 0;
    float unisonDetune = 0;
    float volumeMultiplier = 1.0f;
    float panOffset = 0;
    uint32_t startSerial = 0;
    uint32_t echoLength = 0; // samples
    float echoAmount = 0;

    bool holding() const { return stepTicks == kProgramHold; }
    // The instrument's link mode: its sync mode when it links to another instrument, else 0.
    int linkMode() const { return (instrument && instrument->link() != 0) ? instrument->syncMode() : 0; }

    // Values every voice takes when the allocator hands it out.
    void reset() {
        gain = 0.5f;
        volume = 0.5f;
        volumeSlide = 0;
        programVolumeSlide = 0;
        programPos = 0;
        stepCountdown = 0;
        stepTicks = 1;
        stepDivisor = 1;
        cutoffSlide = 0;
        pitchSlide = 0;
        programNote = 1.0f;
        fixedPitch = 0;
        fixedBase = 1.0f;
        chordNote = 0;
        chordIndex = -1;
        fromChord = 0;
        releasePitch = 0;
        oscMask = 1;
        for (int i = 0; i < 4; ++i) {
            oscLevel[i] = 1.0f;
            fineDetune[i] = 0;
            semitoneDetune[i] = 0;
        }
        Osc* periodic[3] = {&saw, &square, &triangle};
        for (Osc* o : periodic) {
            o->resetFlags = nullptr;
            o->wrapFlags = nullptr;
            o->period = 0;
            o->phase = 0;
        }
        noise.noiseCountdown = 0;
        noise.noiseSlope = 0;
        smoothAmp = 0;
        filter.mode = 0;
        filter.resonance = 0;
        filter.clearState();
        vibratoDelay = vibratoDepth = vibratoRate = vibratoValue = 0;
        tempoScale = 1.0f;
        sendAmount = 0;
        drive = 0;
        foldThreshold = 0;
        crushTarget = 0;
        crushLevel = 0;
        unisonDetune = 0;
        volumeMultiplier = 1.0f;
        panOffset = 0;
        echoLength = 0;
        echoAmount = 0;
        startSerial = 0;
        instrument = nullptr;
    }
};

} // namespace md
