#include "spectrum.h"

#include "audio_analysis.h"

#include <algorithm>
#include <cmath>

namespace tsk {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr int kSampleRate = 48000;
} // namespace

RealFft::RealFft(int n) : n_(n) {
    const int m = n / 2;
    int bits = 0;
    while ((1 << bits) < m) ++bits;
    reversed_.resize(m);
    for (int i = 0; i < m; ++i) {
        int r = 0;
        for (int b = 0; b < bits; ++b)
            if (i & (1 << b)) r |= 1 << (bits - 1 - b);
        reversed_[i] = r;
    }
    twiddles_.resize(std::max(1, m / 2));
    for (int k = 0; k < m / 2; ++k) twiddles_[k] = std::polar(1.0, -2.0 * kPi * k / m);
    post_.resize(m + 1);
    for (int k = 0; k <= m; ++k) post_[k] = std::polar(1.0, -2.0 * kPi * k / n);
    work_.resize(m);
}

void RealFft::power(const float* input, float* power) {
    const int m = n_ / 2;
    // Even samples in the real part, odd ones in the imaginary part, in bit-reversed order.
    for (int i = 0; i < m; ++i) work_[reversed_[i]] = {input[2 * i], input[2 * i + 1]};
    for (int len = 2; len <= m; len <<= 1) {
        const int half = len / 2;
        const int stride = m / len;
        for (int start = 0; start < m; start += len)
            for (int k = 0; k < half; ++k) {
                const std::complex<double> t = twiddles_[k * stride] * work_[start + k + half];
                work_[start + k + half] = work_[start + k] - t;
                work_[start + k] += t;
            }
    }
    // Untangle the spectra of the even and odd samples into the spectrum of the real signal.
    for (int k = 0; k <= m; ++k) {
        const std::complex<double> a = work_[k % m];
        const std::complex<double> b = std::conj(work_[(m - k) % m]);
        const std::complex<double> even = (a + b) * 0.5;
        const std::complex<double> odd = (a - b) * std::complex<double>(0.0, -0.5);
        power[k] = static_cast<float>(std::norm(even + post_[k] * odd));
    }
}

double SpectrogramGrid::rowHz(int row) const {
    return minHz * std::pow(maxHz / minHz, (row + 0.5) / rows);
}

SpectrogramGrid computeSpectrogram(const int16_t* samples, std::size_t frames, int columns, int rows,
                                   double minHz, double maxHz) {
    SpectrogramGrid grid;
    grid.columns = columns;
    grid.rows = rows;
    grid.minHz = minHz;
    grid.maxHz = maxHz;
    grid.db.assign(static_cast<std::size_t>(columns) * rows, kSpectrumFloorDb);
    if (frames == 0 || columns <= 0 || rows <= 0) return grid;

    const double span = static_cast<double>(frames) / columns;
    const int n = span >= 2048.0 ? 8192 : 4096;
    const int bins = n / 2 + 1;
    RealFft fft(n);
    std::vector<float> window(n), input(n), power(bins), mean(bins);
    double windowSum = 0;
    for (int i = 0; i < n; ++i) {
        window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * kPi * i / n));
        windowSum += window[i];
    }
    // A sine of amplitude 1 gives |X| = windowSum / 2 in its bin: that is 0 dB.
    const double reference = (windowSum / 2.0) * (windowSum / 2.0);
    const double scale = 1.0 / (2.0 * kFullScale);

    // Bins of each band: [first, last], or none (first > last) and then the interpolation point.
    const double binHz = static_cast<double>(kSampleRate) / n;
    struct Band {
        int first, last;
        double at; // fractional bin of the band centre
    };
    std::vector<Band> bands(rows);
    for (int r = 0; r < rows; ++r) {
        const double lo = minHz * std::pow(maxHz / minHz, static_cast<double>(r) / rows);
        const double hi = minHz * std::pow(maxHz / minHz, static_cast<double>(r + 1) / rows);
        bands[r] = {static_cast<int>(std::ceil(lo / binHz)),
                    std::min(bins - 1, static_cast<int>(std::floor(hi / binHz))), grid.rowHz(r) / binHz};
    }

    const int perColumn = std::max(1, static_cast<int>(std::ceil(span / (n / 2))));
    for (int c = 0; c < columns; ++c) {
        std::fill(mean.begin(), mean.end(), 0.0f);
        for (int w = 0; w < perColumn; ++w) {
            const double centre = (c + (w + 0.5) / perColumn) * span;
            const long long start = static_cast<long long>(std::llround(centre)) - n / 2;
            for (int i = 0; i < n; ++i) {
                const long long f = start + i;
                float x = 0.0f;
                if (f >= 0 && static_cast<std::size_t>(f) < frames) {
                    const int16_t* s = samples + 2 * f;
                    x = static_cast<float>((static_cast<double>(s[0]) + s[1]) * scale);
                }
                input[i] = x * window[i];
            }
            fft.power(input.data(), power.data());
            for (int k = 0; k < bins; ++k) mean[k] += power[k];
        }
        for (int r = 0; r < rows; ++r) {
            const Band& b = bands[r];
            double p = 0;
            if (b.first <= b.last) {
                for (int k = b.first; k <= b.last; ++k) p = std::max(p, static_cast<double>(mean[k]));
            } else {
                const int k0 = std::min(bins - 2, static_cast<int>(b.at));
                const double t = b.at - k0;
                p = mean[k0] * (1.0 - t) + mean[k0 + 1] * t;
            }
            p /= perColumn * reference;
            const double db = p > 0 ? 10.0 * std::log10(p) : kSpectrumFloorDb;
            grid.db[static_cast<std::size_t>(c) * rows + r] =
                static_cast<float>(std::max<double>(db, kSpectrumFloorDb));
        }
    }
    return grid;
}

} // namespace tsk
