// Numeric robustness: the stress song (every voice taken, resonance 255, drive, fold and crush at 15, full
// echo, reverb room 127, master gain at its maximum) rendered for ten minutes as the player renders it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "engine_state.h"
#include "song/loaded_song.h"
#include "synth/engine.h"
#include "synth/reverb.h"

namespace md {
namespace {

// The sanitizer builds look for memory faults, which one minute finds as well as ten; the numbers are checked
// in the normal build.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
constexpr int kMinutes = kSanitized ? 1 : 10;
constexpr int kChunksPerMinute = 60 * sampleRate / renderChunkFrames;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct OutputStats {
    long values = 0, atRail = 0;
    int peak = 0;
    double sumSquares = 0;
    int run[2] = {0, 0}; // values in a row at the same rail, per channel
    int16_t last[2] = {0, 0};
    int longestRun = 0;

    void add(const std::vector<int16_t>& out) {
        for (std::size_t i = 0; i < out.size(); ++i) {
            const int16_t v = out[i];
            const int a = std::abs(static_cast<int>(v));
            const int c = static_cast<int>(i & 1);
            peak = std::max(peak, a);
            atRail += a >= 32767;
            run[c] = a >= 32767 ? (v == last[c] ? run[c] + 1 : 1) : 0;
            last[c] = v;
            longestRun = std::max(longestRun, run[c]);
            sumSquares += static_cast<double>(v) * v;
        }
        values += static_cast<long>(out.size());
    }
    double rms() const { return std::sqrt(sumSquares / static_cast<double>(values)) / 32767.0; }
    double railShare() const { return static_cast<double>(atRail) / static_cast<double>(values); }
};

TEST(Robustness, TheStressSongStaysFiniteAndInRangeAndItsTailHasNoDenormals) {
    LoadedSong loaded;
    std::string error;
    ASSERT_TRUE(loadSongText(loaded, readText(MD_SOURCE_DIR "/tests/hardening/data/stress.txt"), &error,
                             "stress.txt"))
        << error;
    auto engine = std::make_unique<Engine>();
    engine->setup(&loaded.song);
    const SongMeasure m = engine->measure();
    EXPECT_TRUE(m.loops);
    engine->start();

    std::vector<int16_t> chunk(2 * static_cast<std::size_t>(renderChunkFrames));
    OutputStats stats;
    int fullTrackChunks = 0; // chunks that end with all sixteen voices of every track sounding
    for (int c = 0; c < kMinutes * kChunksPerMinute; ++c) {
        engine->renderChunk(chunk.data());
        stats.add(chunk);
        const fuzz::StateScan scan = fuzz::scanEngine(*engine);
        ASSERT_TRUE(scan.clean()) << "after " << (c + 1) * 10 << " s: " << scan.nonFinite
                                  << " non-finite and " << scan.denormal
                                  << " denormal values; first: " << scan.firstBad;
        bool full = true;
        for (int t = 0; t < 4; ++t) full = full && engine->tracks[t].activeCount == kVoicesPerTrack;
        fullTrackChunks += full;
    }
    // The song does what it is for: every voice busy, and the output stage driven hard.
    EXPECT_EQ(fullTrackChunks, kMinutes * kChunksPerMinute);
    EXPECT_GT(stats.rms(), 0.3);
    // The limiter keeps the level in range: the clamp takes only what its 5 ms attack lets through, and no
    // sample stays at full scale for more than a millisecond (a NaN or an infinity in the output stage would
    // hold it there for good).
    EXPECT_LT(stats.railShare(), 0.10) << stats.atRail << " of " << stats.values << " values at full scale";
    EXPECT_LT(stats.longestRun, sampleRate / 1000);
    std::printf("stress: %d min, rms %.3f, %.2f %% of values at full scale, at most %d in a row\n", kMinutes,
                stats.rms(), 100.0 * stats.railShare(), stats.longestRun);

    if (kSanitized) return;

    // Then every voice stops at once, and the feedback is made to lose more than it gains: the track echoes
    // are turned off (as effect 600 does; four tracks echoing at full level keep the ring going on their own)
    // and the room gets a damping that lets it die away. The echo ring and the reverb ring out from the
    // limits they were held at: decaying feedback is where denormals would appear.
    engine->stop();
    for (Track& t : engine->tracks) t.echoAmount = 0.0f;
    loaded.song.reverbDamp = 0;
    // Rendered until the reverb's delay lines hold nothing but zeros, that is until every value has decayed
    // through the denormal range.
    bool silent = false;
    int tailChunks = 0;
    while (!(silent && engine->reverb.quiet()) && tailChunks < 30) {
        engine->renderChunk(chunk.data());
        ++tailChunks;
        const fuzz::StateScan scan = fuzz::scanEngine(*engine);
        ASSERT_TRUE(scan.clean()) << "tail, after " << tailChunks * 10 << " s: " << scan.firstBad;
        silent = std::all_of(chunk.end() - 2 * sampleRate, chunk.end(), [](int16_t v) { return v == 0; });
    }
    EXPECT_TRUE(silent && engine->reverb.quiet()) << "the tail still sounds after five minutes";
    std::printf("stress: the tail died away within %d s\n", tailChunks * 10);
}

TEST(Robustness, AReverbThatFeedsBackMoreThanItLosesStaysFinite) {
    // Room 127 with damping -128: the combs gain about 2.3 at high frequencies each time round. One loud run
    // of input, then ten seconds of silence.
    Reverb reverb;
    const ReverbSettings settings{127, -128, 127, 127};
    float send[controlBlock];
    StereoFrame mix[controlBlock];
    float largest = 0;
    for (int run = 0; run < 5000; ++run) {
        for (int i = 0; i < controlBlock; ++i) send[i] = run == 0 ? ((i & 1) ? 4.0f : -4.0f) : 0.0f;
        for (StereoFrame& f : mix) f = {0.0f, 0.0f};
        reverb.apply(settings, send, mix, controlBlock);
        for (const StereoFrame& f : mix) {
            ASSERT_TRUE(std::isfinite(f.left) && std::isfinite(f.right)) << "after " << run << " runs";
            largest = std::max({largest, std::fabs(f.left), std::fabs(f.right)});
        }
    }
    EXPECT_GT(largest, 1000.0f); // it did run away, and was held
}

} // namespace
} // namespace md
