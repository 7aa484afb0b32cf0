// The pictures of `tsk analyze`: a spectrogram with a short-term loudness strip, and a waveform overview,
// both written as PNG files with time and level axes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio_analysis.h"
#include "spectrum.h"

namespace tsk {

struct PictureInfo {
    std::string title;             // top line, left
    std::string subtitle;          // top line, after the title (length, loudness ...)
    std::vector<Section> sections; // marked along the top of the plot
    std::vector<double> shortTerm; // short-term loudness, evenly over the frames (spectrogram strip)
};

struct PictureSize {
    int plotWidth = 1200; // pixels of the time axis
    int plotHeight = 400; // pixels of the frequency axis (spectrogram) or of both channels (waveform)
};

// Layout of the spectrogram picture, for callers that check where a frequency lands.
struct SpectrogramLayout {
    int width = 0, height = 0;     // whole picture
    int plotLeft = 0, plotTop = 0; // the spectrogram area
    int plotWidth = 0, plotHeight = 0;
    double minHz = 30.0, maxHz = 20000.0;
    // Picture row of a frequency inside the plot.
    int rowOf(double hz) const;
};
SpectrogramLayout spectrogramLayout(const PictureSize& size);

// Picture row of the colour map's top and floor, in dB relative to a full-scale sine.
constexpr double kPictureTopDb = -10.0;
constexpr double kPictureFloorDb = -100.0;

// The colour of a level between kPictureFloorDb (black) and kPictureTopDb (pale yellow), perceptually even.
uint32_t levelColour(double db);

// Renders the picture as PNG bytes. On failure returns false and sets *error.
// The spectrogram picture of `frames` frames whose spectrum `grid` holds (computeSpectrogram with the
// layout's plot size and frequency range).
bool spectrogramPng(const SpectrogramGrid& grid, std::size_t frames, const PictureInfo& info,
                    const PictureSize& size, std::vector<uint8_t>& png, std::string* error);
bool waveformPng(const int16_t* samples, std::size_t frames, const PictureInfo& info, const PictureSize& size,
                 std::vector<uint8_t>& png, std::string* error);

} // namespace tsk
