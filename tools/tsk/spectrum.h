// Spectrum of rendered audio: a real FFT and the spectrogram grid the analyser draws (time across, log
// frequency up, power in dB relative to a full-scale sine).
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tsk {

// Power spectrum of a real signal of n samples (n a power of two, at least 4) through an n/2-point complex
// radix-2 FFT.
class RealFft {
  public:
    explicit RealFft(int n);
    int size() const { return n_; }
    // power[k] = |X[k]|^2 for k = 0 .. n/2; `input` holds n samples.
    void power(const float* input, float* power);

  private:
    int n_;
    std::vector<int> reversed_;                  // bit reversal of n/2 indices
    std::vector<std::complex<double>> twiddles_; // e^(-2 pi i k / (n/2)), k < n/4
    std::vector<std::complex<double>> post_;     // e^(-2 pi i k / n), k <= n/2
    std::vector<std::complex<double>> work_;
};

struct SpectrogramGrid {
    int columns = 0, rows = 0;
    double minHz = 0, maxHz = 0;
    std::vector<float> db; // columns x rows, column-major; row 0 is the lowest band

    float at(int column, int row) const { return db[static_cast<std::size_t>(column) * rows + row]; }
    // Centre frequency of a row (geometric).
    double rowHz(int row) const;
};

// Floor of the grid: anything quieter is shown as this.
constexpr float kSpectrumFloorDb = -140.0f;

// Splits the frames into `columns` equal stretches; each column is the mean power of Hann-windowed FFTs
// (8192 points, or 4096 for very short stretches) spread over its stretch, mapped onto `rows` bands spaced
// evenly in log frequency from minHz to maxHz: a band takes its strongest bin, or the value between the
// two nearest bins when it holds none. The signal is the mid channel (L + R) / 2; a full-scale sine reads
// 0 dB.
SpectrogramGrid computeSpectrogram(const int16_t* samples, std::size_t frames, int columns, int rows,
                                   double minHz = 30.0, double maxHz = 20000.0);

} // namespace tsk
