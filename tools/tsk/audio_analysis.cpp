#include "audio_analysis.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

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

    int mode = EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_S;
    if (options.truePeak) mode |= EBUR128_MODE_TRUE_PEAK;
    Meter meter(mode);
    if (!meter.state) return false;
    const std::size_t points = options.shortTermPoints;
    if (points > 0 && frames > 0) {
        out.shortTermStep = std::max<uint64_t>(1, frames / points);
        std::size_t done = 0;
        for (std::size_t p = 0; p < points; ++p) {
            const std::size_t until =
                p + 1 == points ? frames : std::min<std::size_t>(frames, (p + 1) * out.shortTermStep);
            meter.add(samples + 2 * done, until - done);
            done = until;
            double st = kNoLevel;
            if (ebur128_loudness_shortterm(meter.state, &st) != EBUR128_SUCCESS || !(st > -HUGE_VAL))
                st = kNoLevel;
            out.shortTerm.push_back(st);
        }
    } else {
        meter.add(samples, frames);
    }
    out.loudness = meter.global();
    double range = 0;
    if (ebur128_loudness_range(meter.state, &range) == EBUR128_SUCCESS && std::isfinite(range))
        out.loudnessRange = range;
    if (options.truePeak) {
        double tp = 0;
        for (unsigned c = 0; c < 2; ++c) {
            double v = 0;
            if (ebur128_true_peak(meter.state, c, &v) == EBUR128_SUCCESS) tp = std::max(tp, v);
        }
        // libebur128 scales 16-bit input by 1/32768; report relative to the renderer's full scale.
        out.truePeakDb = tp > 0 ? 20.0 * std::log10(tp * 32768.0 / kFullScale) : kNoLevel;
    }

    out.sections = options.sections;
    for (std::size_t s = 0; s < out.sections.size(); ++s) {
        const uint64_t begin = std::min<uint64_t>(out.sections[s].startFrame, frames);
        const uint64_t end =
            s + 1 < out.sections.size() ? std::min<uint64_t>(out.sections[s + 1].startFrame, frames) : frames;
        if (end <= begin) continue;
        Meter section(EBUR128_MODE_I);
        if (!section.state) return false;
        section.add(samples + 2 * begin, end - begin);
        out.sections[s].loudness = section.global();
    }
    return true;
}

} // namespace tsk
