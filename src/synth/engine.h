// The synthesizer instance of one loaded song: master chain, sequencer position, four tracks of 16 voices,
// the shared echo ring and the reverb. Built once per song; renderChunk turns it into 16-bit stereo.
#pragma once

#include <cmath>
#include <cstdint>

#include "song/song.h"
#include "synth/constants.h"
#include "synth/reverb.h"
#include "synth/track.h"

namespace md {

constexpr int kEchoRingSize = 65536;
// Control blocks that fill the 470-second WAV image: the most a song measure counts.
constexpr uint32_t kMeasureBlockLimit = 470u * sampleRate / controlBlock;

// Peak follower that divides the signal by its envelope whenever the envelope exceeds 1; never amplifies.
struct Limiter {
    float envelope = 0; // follower state
    float attack = 0;   // coefficient while the level rises
    float release = 0;  // coefficient while it falls

    float process(float x) {
        const float a = std::fabs(x);
        if (a > envelope)
            envelope = a + (envelope - a) * attack;
        else
            envelope = a + (envelope - a) * release;
        return envelope > 1.0f ? x / envelope : x;
    }
};

struct SongMeasure {
    uint32_t blocks = 0; // control blocks of one pass
    float seconds = 0;   // blocks x controlPeriod
    bool loops = true;   // false when the pass was cut at kMeasureBlockLimit
};

// Folds samples beyond [-t, t] back into the range, in place; the folded part is multiplied by scale.
void foldBuffer(float* buffer, int count, float t, float scale);

class Engine {
  public:
    Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Binds a Song (or none) and resets the sequencer and master chain set-up.
    void setup(Song* song);
    // Starts playback from the Song's current order position.
    void start();
    // Stops playback and drops every voice at once.
    void stop();
    // Renders the next `frames` frames (renderChunkFrames in the player) as interleaved 16-bit stereo.
    void renderChunk(int16_t* out, int frames = renderChunkFrames);
    // Length of one pass through the song in seconds; the tracks and order position are restored.
    float measureLength() { return measure().seconds; }
    SongMeasure measure();

    // Sequencer (one control block) and one pattern cell.
    void sequencerTick();
    void processCell(Track& track, const uint8_t* cell, int transpose);

    // Voice allocation and note start.
    Voice& allocVoice(Track& track);
    Voice& startVoice(Track& track, int instrument, int chordIndex, int chordMark, int pairFlag = 0);
    bool cutVoice(Track& track, int index);
    void noteOff(Track& track);
    void refreshInstrument(Track& track, int instrument);
    void breakLinkCycle(int instrument);

    // Control-rate update of every sounding voice, the instrument program of one voice, and the audio-rate
    // mix.
    void controlTick();
    void programTick(Voice& voice, Track& track);
    void renderVoices(StereoFrame* mix, int count, int offset);
    void applyReverb(StereoFrame* mix, int count);
    // Output stage of one run: echo return, master gain, DC blocker, limiter, 16-bit conversion into out.
    void masterChain(StereoFrame* mix, int count, int16_t* out);

    int trackCount() const;
    int rowLength() const;   // samples per row at the current speed and tempo
    float rowFactor() const; // seconds-per-row scaled to control blocks, for the time-scaled rates

    // --- state, in the order the renderer keeps it ---
    float masterGain = 1.0f;
    int row = 0;
    int breakRow = -1;
    int jumpPos = -1;
    int speed = 6;
    uint8_t tempo = 125;
    Song* song = nullptr;
    uint8_t running = 0;
    int pendingFrames = 0;
    int rowTimer = 0;
    int rowDelay[kMaxTracks] = {};
    Track tracks[kMaxTracks];
    float echoRing[kEchoRingSize] = {};
    float echoRingState = 0;
    uint8_t measuring = 0;
    float sendBuffer[controlBlock] = {};
    uint32_t frameCounter = 0;
    Limiter limiterLeft, limiterRight;
    float dcLeftOut = 0, dcLeftIn = 0, dcRightOut = 0, dcRightIn = 0, dcCoef = 0;
    Reverb reverb;

  private:
    void advanceOrder();
    int normalisedOrder(int pos) const;
    void echoWrite(uint32_t length, float amount, const float* left, const float* right, int count);
    // Steps of one voice's control update; with deferFilter the filter runs later in a group of four.
    void updateVoice(Voice& v, Track& t, int linkMode, bool deferFilter);

    // Per-call scratch of controlTick.
    uint8_t syncFlags_[2][controlBlock];
    float ringBuffer_[controlBlock];
    bool ringPending_ = false, pendingSyncMaster_ = false;
    const Track* syncSource_ = nullptr;
    uint8_t* curFlags_ = nullptr;
    uint8_t* prevFlags_ = nullptr;
    // Voices whose filter runs at the end of the tick, grouped, and sync masters cleared after it.
    Filter* groupFilters_[kMaxTracks * kVoicesPerTrack];
    float* groupBuffers_[kMaxTracks * kVoicesPerTrack];
    int groupCount_ = 0;
    float* clearAfterFilter_[kMaxTracks * kVoicesPerTrack];
    int clearCount_ = 0;
    // Bounds startVoice calls of one note start.
    int startCalls_ = 0;
    int startDepth_ = 0;
};

} // namespace md
