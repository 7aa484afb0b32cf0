// Measurements of rendered 16-bit stereo at 48000 Hz for composers: peaks, clipped samples, loudness and
// loudness range (EBU R128 through libebur128), the longest near-silence, and the loudness of sections.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace tsk {

constexpr double kFullScale = 32767.0; // 0 dBFS: the largest sample the renderer writes
constexpr double kSilenceDb = -60.0;   // near-silence: both channels below this
constexpr int kSilenceWindow = 2400;   // frames (50 ms) judged together for near-silence
constexpr double kNoLevel = -std::numeric_limits<double>::infinity();

// Decibels of a sample magnitude relative to full scale; -inf for 0.
double sampleDb(double magnitude);

struct SilenceSpan {
    uint64_t startFrame = 0;
    uint64_t frames = 0; // 0 when no window is silent
};

// The longest run of whole 50 ms windows in which every sample of both channels lies below -60 dBFS (a last
// partial window counts for its own length). With `cyclic`, a run at the end continues into one at the start,
// as the looping playback hears them; the run then starts near the end.
SilenceSpan longestSilence(const int16_t* samples, std::size_t frames, bool cyclic);

// The largest magnitude of the signal between samples, in sample units (it may exceed 32767): the larger of
// the samples and of the signal interpolated at three points between each two samples (4x oversampling
// through a 49-tap Hann-windowed sinc, as EBU R128 true-peak meters do).
double truePeakMagnitude(const int16_t* samples, std::size_t frames);

// A stretch of the song whose loudness is reported on its own (an order row as it plays).
struct Section {
    uint64_t startFrame = 0;
    int orderRow = 0;
    double loudness = kNoLevel; // integrated LUFS over the section
};

struct AudioMeasures {
    uint64_t frames = 0;
    int peakSample = 0;   // largest magnitude of any sample
    uint64_t clipped = 0; // samples at +32767 or -32767 or beyond
    double samplePeakDb = kNoLevel;
    double truePeakDb = kNoLevel;  // dBTP (4x oversampled); kNoLevel unless asked for
    double loudness = kNoLevel;    // integrated, LUFS
    double loudnessRange = 0;      // LU
    std::vector<double> shortTerm; // short-term loudness (3 s, less at the start) after each step, LUFS
    uint64_t shortTermStep = 0;    // frames between shortTerm values
    SilenceSpan silence;
    std::vector<Section> sections;
};

struct MeasureOptions {
    bool truePeak = true;
    bool cyclic = false;             // the frames loop (silence wraps around)
    std::size_t shortTermPoints = 0; // values of shortTerm to sample evenly over the frames (0: none)
    std::vector<Section> sections;   // start frames in increasing order; loudness is filled in
};

// Measures `frames` interleaved stereo frames. Returns false only when libebur128 cannot be set up.
bool measureAudio(const int16_t* samples, std::size_t frames, const MeasureOptions& options,
                  AudioMeasures& out);

} // namespace tsk
