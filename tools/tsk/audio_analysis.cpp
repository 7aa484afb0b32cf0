#include "audio_analysis.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace tsk {

namespace {

// Owns an ebur128 state.
struct Meter {
    ebur128_state* state = nullptr;
    Meter(int mode) : state(ebur128_init(2, 48000, mode)) {}
    ~Meter() {
        if (state) ebur128_destroy(&state);
    }
    Meter(const Meter&) = delete;
    Meter& operator=(const Meter&) = delete;
    void add(const int16_t* samples, std::size_t frames) {
        // libebur128 takes at most a few seconds comfortably per call; feed it in slices.
        constexpr std::size_t kSlice = 48000;
        while (frames > 0) {
            const std::size_t n = std::min(frames, kSlice);
            ebur128_add_frames_short(state, samples, n);
            samples += 2 * n;
            frames -= n;
        }
    }
    double global() {
        double v = kNoLevel;
        if (ebur128_loudness_global(state, &v) != EBUR128_SUCCESS || !(v > -HUGE_VAL)) return kNoLevel;
        return v;
    }
};

} // namespace

double sampleDb(double magnitude) {
    return magnitude > 0.0 ? 20.0 * std::log10(magnitude / kFullScale) : kNoLevel;
}

SilenceSpan longestSilence(const int16_t* samples, std::size_t frames, bool cyclic) {
    // Largest magnitude below -60 dBFS.
    const int quiet = static_cast<int>(std::ceil(kFullScale * std::pow(10.0, kSilenceDb / 20.0))) - 1;
    const std::size_t windows = (frames + kSilenceWindow - 1) / kSilenceWindow;
    std::vector<uint8_t> silent(windows);
    for (std::size_t w = 0; w < windows; ++w) {
        const std::size_t begin = w * kSilenceWindow;
        const std::size_t end = std::min(frames, begin + kSilenceWindow);
        bool still = true;
        for (std::size_t i = 2 * begin; i < 2 * end && still; ++i) still = std::abs(samples[i]) <= quiet;
        silent[w] = still;
    }
    auto windowFrames = [&](std::size_t w) {
        return std::min<std::size_t>(kSilenceWindow, frames - w * kSilenceWindow);
    };

    SilenceSpan best;
    uint64_t runStart = 0, runFrames = 0;
    for (std::size_t w = 0; w < windows; ++w) {
        if (!silent[w]) {
            runFrames = 0;
            continue;
        }
        if (runFrames == 0) runStart = w * kSilenceWindow;
        runFrames += windowFrames(w);
        if (runFrames > best.frames) best = {runStart, runFrames};
    }
    if (cyclic && windows > 1 && silent[0] && silent[windows - 1] && best.frames < frames) {
        // The run that ends the song goes on with the one that starts it.
        uint64_t tail = 0, head = 0;
        std::size_t w = windows;
        while (w > 0 && silent[w - 1]) tail += windowFrames(--w);
        const uint64_t tailStart = w * kSilenceWindow;
        for (std::size_t h = 0; h < windows && silent[h]; ++h) head += windowFrames(h);
        if (tail + head > best.frames) best = {tailStart, tail + head};
    }
    return best;
}

double truePeakMagnitude(const int16_t* samples, std::size_t frames) {
    constexpr int kTaps = 49, kFactor = 4, kPerPhase = (kTaps + kFactor - 1) / kFactor; // 13
    constexpr double kPi = 3.14159265358979323846;
    // Phase p of the interpolator: out[4n + p] = sum over k of h[4k + p] x[n - k].
    float phase[kFactor][kPerPhase] = {};
    for (int j = 0; j < kTaps; ++j) {
        const double m = j - (kTaps - 1) / 2.0;
        double c = std::fabs(m) < 1e-9 ? 1.0 : std::sin(m * kPi / kFactor) / (m * kPi / kFactor);
        c *= 0.5 * (1.0 - std::cos(2.0 * kPi * j / (kTaps - 1)));
        phase[j % kFactor][j / kFactor] = static_cast<float>(c);
    }
    constexpr std::size_t kBlock = 4096;
    std::vector<float> x(kPerPhase + kBlock), acc(kBlock);
    float peak = 0.0f;
    for (int ch = 0; ch < 2; ++ch) {
        std::fill(x.begin(), x.end(), 0.0f);
        for (std::size_t start = 0; start < frames + kPerPhase; start += kBlock) {
            // The block's samples follow the last kPerPhase of the one before (zeros past the end, to let the
            // filter ring out).
            const std::size_t n = std::min(kBlock, frames + kPerPhase - start);
            for (std::size_t i = 0; i < n; ++i) {
                const std::size_t f = start + i;
                x[kPerPhase + i] = f < frames ? samples[2 * f + ch] : 0.0f;
                peak = std::max(peak, std::fabs(x[kPerPhase + i]));
            }
            // Phase 0 passes the samples themselves (its other taps fall on zeros of the sinc).
            for (int p = 1; p < kFactor; ++p) {
                std::fill(acc.begin(), acc.begin() + n, 0.0f);
                for (int k = 0; k < kPerPhase; ++k) {
                    const float c = phase[p][k];
                    const float* in = x.data() + kPerPhase - k;
                    for (std::size_t i = 0; i < n; ++i) acc[i] += c * in[i];
                }
                for (std::size_t i = 0; i < n; ++i) peak = std::max(peak, std::fabs(acc[i]));
            }
            std::copy(x.begin() + n, x.begin() + n + kPerPhase, x.begin());
        }
    }
    return peak;
}

bool measureAudio(const int16_t* samples, std::size_t frames, const MeasureOptions& options,
                  AudioMeasures& out) {
    out = AudioMeasures{};
    out.frames = frames;

    int peak = 0;
    uint64_t clipped = 0;
    for (std::size_t i = 0; i < 2 * frames; ++i) {
        const int a = std::abs(static_cast<int>(samples[i]));
        peak = std::max(peak, a);
        clipped += a >= 32767;
    }
    out.peakSample = peak;
    out.clipped = clipped;
    out.samplePeakDb = sampleDb(peak);
    out.silence = longestSilence(samples, frames, options.cyclic);

    // True peak and the sections' loudness run beside the main meter.
    double truePeak = 0;
    std::thread peakThread([&] {
        if (options.truePeak) truePeak = truePeakMagnitude(samples, frames);
    });
    out.sections = options.sections;
    bool sectionsOk = true;
    std::thread sectionThread([&] {
        for (std::size_t s = 0; s < out.sections.size(); ++s) {
            const uint64_t begin = std::min<uint64_t>(out.sections[s].startFrame, frames);
            const uint64_t end = s + 1 < out.sections.size()
                                     ? std::min<uint64_t>(out.sections[s + 1].startFrame, frames)
                                     : frames;
            if (end <= begin) continue;
            Meter section(EBUR128_MODE_I);
            if (!section.state) {
                sectionsOk = false;
                return;
            }
            section.add(samples + 2 * begin, end - begin);
            out.sections[s].loudness = section.global();
        }
    });

    bool meterOk = true;
    {
        Meter meter(EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_S);
        if (!meter.state) {
            meterOk = false;
        } else {
            const std::size_t points = options.shortTermPoints;
            if (points > 0 && frames > 0) {
                out.shortTermStep = std::max<uint64_t>(1, frames / points);
                std::size_t done = 0;
                for (std::size_t p = 0; p < points; ++p) {
                    const std::size_t until =
                        p + 1 == points ? frames : std::min<std::size_t>(frames, (p + 1) * out.shortTermStep);
                    meter.add(samples + 2 * done, until - done);
                    done = until;
                    // In the first three seconds the window holds what has been played so far.
                    double st = kNoLevel;
                    const unsigned long elapsedMs = static_cast<unsigned long>(done / 48);
                    const int status =
                        elapsedMs < 3000 ? ebur128_loudness_window(meter.state, std::max(1ul, elapsedMs), &st)
                                         : ebur128_loudness_shortterm(meter.state, &st);
                    if (status != EBUR128_SUCCESS || !(st > -HUGE_VAL)) st = kNoLevel;
                    out.shortTerm.push_back(st);
                }
            } else {
                meter.add(samples, frames);
            }
            out.loudness = meter.global();
            double range = 0;
            if (ebur128_loudness_range(meter.state, &range) == EBUR128_SUCCESS && std::isfinite(range))
                out.loudnessRange = range;
        }
    }
    peakThread.join();
    sectionThread.join();
    if (options.truePeak) out.truePeakDb = sampleDb(truePeak);
    return meterOk && sectionsOk;
    return true;
}

} // namespace tsk
