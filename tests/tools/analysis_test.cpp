// tsk analyze's measures: levels and clipping, loudness against libebur128 and the EBU calibration, true
// peak, near-silence, section loudness, track activity, the render it measures, the spectrum and its picture.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>
#include <ebur128.h>

#include <cmath>
#include <complex>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "analysis_picture.h"
#include "audio_analysis.h"
#include "player/wav_image.h"
#include "song/loaded_song.h"
#include "song_analysis.h"
#include "spectrum.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Interleaved stereo with the same signal in both channels.
std::vector<int16_t> stereo(std::size_t frames, const std::function<double(std::size_t)>& signal) {
    std::vector<int16_t> s(2 * frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double v = std::clamp(std::round(signal(i)), -32767.0, 32767.0);
        s[2 * i] = s[2 * i + 1] = static_cast<int16_t>(v);
    }
    return s;
}

std::vector<int16_t> sine(std::size_t frames, double hz, double amplitude, double phase = 0) {
    return stereo(frames,
                  [&](std::size_t i) { return amplitude * std::sin(2 * kPi * hz * i / 48000.0 + phase); });
}

double libebur128Loudness(const std::vector<int16_t>& s) {
    ebur128_state* st = ebur128_init(2, 48000, EBUR128_MODE_I);
    ebur128_add_frames_short(st, s.data(), s.size() / 2);
    double v = 0;
    ebur128_loudness_global(st, &v);
    ebur128_destroy(&st);
    return v;
}

tsk::AudioMeasures measure(const std::vector<int16_t>& s, tsk::MeasureOptions options = {}) {
    tsk::AudioMeasures m;
    EXPECT_TRUE(tsk::measureAudio(s.data(), s.size() / 2, options, m));
    return m;
}

md::LoadedSong compile(const std::string& text) {
    md::LoadedSong song;
    std::string error;
    EXPECT_TRUE(md::loadSongText(song, text, &error)) << error;
    return song;
}

} // namespace

TEST(AnalysisLevels, FullScaleSquarePeaksAtZeroAndEverySampleCountsAsClipped) {
    const auto s = stereo(48000, [](std::size_t i) { return (i / 24) % 2 ? 32767.0 : -32767.0; });
    const auto m = measure(s);
    EXPECT_EQ(m.peakSample, 32767);
    EXPECT_DOUBLE_EQ(m.samplePeakDb, 0.0);
    EXPECT_EQ(m.clipped, s.size());
}

TEST(AnalysisLevels, ClippedCountsOnlySamplesAtTheLimit) {
    // Every 100th frame touches the limit in the left channel only; one frame in the right channel is at
    // -32767; everything else stays below.
    auto s = sine(48000, 440.0, 20000.0);
    std::size_t expected = 0;
    for (std::size_t i = 0; i < 48000; i += 100, ++expected) s[2 * i] = 32767;
    s[2 * 777 + 1] = -32767;
    ++expected;
    const auto m = measure(s);
    EXPECT_EQ(m.clipped, expected);
    EXPECT_EQ(m.peakSample, 32767);
}

TEST(AnalysisLevels, SilenceHasNoLevelAndIsOneLongSilence) {
    const std::vector<int16_t> s(2 * 96000, 0);
    const auto m = measure(s);
    EXPECT_EQ(m.peakSample, 0);
    EXPECT_FALSE(std::isfinite(m.samplePeakDb));
    EXPECT_FALSE(std::isfinite(m.loudness));
    EXPECT_EQ(m.clipped, 0u);
    EXPECT_EQ(m.silence.startFrame, 0u);
    EXPECT_EQ(m.silence.frames, 96000u);
}

TEST(AnalysisLoudness, MatchesLibebur128AndTheCalibrationTone) {
    // A 1 kHz sine at -20 dBFS in both channels reads -20 LUFS.
    const auto tone = sine(5 * 48000, 1000.0, 32767.0 * 0.1);
    const auto m = measure(tone);
    EXPECT_NEAR(m.loudness, -20.0, 0.1);
    EXPECT_NEAR(m.loudness, libebur128Loudness(tone), 1e-9);
    EXPECT_NEAR(m.loudnessRange, 0.0, 0.1);

    // Music-like material: noise bursts over a bass tone, at changing levels.
    std::mt19937 random(5);
    std::normal_distribution<double> noise(0.0, 1.0);
    const auto mixed = stereo(24 * 48000, [&](std::size_t i) {
        const double gain = 1.0 + 3.0 * ((i / (4 * 48000)) % 3);
        return gain * (2000.0 * std::sin(2 * kPi * 55.0 * i / 48000.0) +
                       ((i / 4800) % 2 ? 900.0 * noise(random) : 0.0));
    });
    const auto n = measure(mixed);
    EXPECT_NEAR(n.loudness, libebur128Loudness(mixed), 1e-9);
    EXPECT_GT(n.loudnessRange, 5.0); // the level steps by 12 and 5 dB every 4 s
}

TEST(AnalysisLoudness, TruePeakFindsThePeakBetweenSamplesAsLibebur128Does) {
    // 12 kHz at a phase that puts the samples at 45 degrees off the crest: sample peak 3 dB under true peak.
    const auto s = sine(48000, 12000.0, 20000.0, kPi / 4);
    const double mine = tsk::truePeakMagnitude(s.data(), s.size() / 2);
    ebur128_state* st = ebur128_init(2, 48000, EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_short(st, s.data(), s.size() / 2);
    double theirs = 0;
    ebur128_true_peak(st, 0, &theirs);
    ebur128_destroy(&st);
    EXPECT_NEAR(20 * std::log10(mine / 32768.0), 20 * std::log10(theirs), 0.1);
    EXPECT_NEAR(mine, 20000.0, 20000.0 * 0.02);
    const auto m = measure(s);
    EXPECT_GT(m.truePeakDb, m.samplePeakDb + 2.5);
}

TEST(AnalysisSilence, FindsTheLongestGapAndJoinsTheLoop) {
    // Sound, a 1 s gap at 2 s, sound, a 0.3 s gap at 4 s, sound to 6 s.
    const auto s = stereo(6 * 48000, [](std::size_t i) {
        const double t = i / 48000.0;
        const bool gap = (t >= 2.0 && t < 3.0) || (t >= 4.0 && t < 4.3);
        return gap ? 20.0 : 10000.0 * std::sin(2 * kPi * 220.0 * t); // 20 is below -60 dBFS
    });
    const auto span = tsk::longestSilence(s.data(), s.size() / 2, false);
    EXPECT_NEAR(span.startFrame / 48000.0, 2.0, 0.051);
    EXPECT_NEAR(span.frames / 48000.0, 1.0, 0.101);

    // A quiet end and a quiet start make one gap when the song loops.
    const auto loop = stereo(10 * 48000, [](std::size_t i) {
        const double t = i / 48000.0;
        return (t < 0.8 || t >= 8.8) ? 0.0 : 8000.0 * std::sin(2 * kPi * 330.0 * t);
    });
    const auto straight = tsk::longestSilence(loop.data(), loop.size() / 2, false);
    const auto wrapped = tsk::longestSilence(loop.data(), loop.size() / 2, true);
    EXPECT_NEAR(straight.frames / 48000.0, 1.2, 0.051);
    EXPECT_NEAR(wrapped.frames / 48000.0, 2.0, 0.101);
    EXPECT_NEAR(wrapped.startFrame / 48000.0, 8.8, 0.051);
}

TEST(AnalysisSections, EachSectionGetsItsOwnLoudness) {
    const auto s = stereo(8 * 48000, [](std::size_t i) {
        const double amplitude = i < 4 * 48000 ? 3276.7 : 1036.2; // -20 and -30 dBFS
        return amplitude * std::sin(2 * kPi * 1000.0 * i / 48000.0);
    });
    tsk::MeasureOptions options;
    options.sections = {{0, 0, tsk::kNoLevel}, {4 * 48000, 1, tsk::kNoLevel}};
    options.shortTermPoints = 8;
    const auto m = measure(s, options);
    ASSERT_EQ(m.sections.size(), 2u);
    EXPECT_NEAR(m.sections[0].loudness, -20.0, 0.1);
    EXPECT_NEAR(m.sections[1].loudness, -30.0, 0.1);
    ASSERT_EQ(m.shortTerm.size(), 8u);
    EXPECT_NEAR(m.shortTerm[3], -20.0, 0.1); // 3 s windows ending at 4 s and at 8 s
    EXPECT_NEAR(m.shortTerm[7], -30.0, 0.1);
}

TEST(AnalysisSong, SilentSongMeasuresAsSilence) {
    auto song = compile("song\n  title \"Quiet\"\norder\n  . . . .\n");
    tsk::SongPass pass;
    tsk::renderSongPass(song, 0, pass);
    EXPECT_GT(pass.frames, 48000u);
    EXPECT_EQ(pass.frames, pass.songFrames);
    const auto m = measure(pass.samples);
    EXPECT_FALSE(std::isfinite(m.loudness));
    EXPECT_EQ(m.silence.frames, pass.frames);
    for (int k = 0; k < pass.trackCount; ++k) EXPECT_EQ(pass.tracks[k].activeBlocks, 0u);
}

TEST(AnalysisSong, TrackActivityAndOrderRows) {
    // Track 1 holds a note through both order rows; track 2 sounds for the first half of the first only;
    // track 3 only in the second order row.
    auto song = compile(R"(
song
  speed 6
  tempo 125
instrument 1 tone "Tone"
  adsr 0 0 15 0 short
  program
    0 osc tri, hold
pattern held
  0 C-4 tone
pattern half
  0 E-4 tone
  32 off
order
  held half .    .
  .    .    held .
)");
    tsk::SongPass pass;
    tsk::renderSongPass(song, 0, pass);
    // Two order rows of 64 rows at 0.12 s.
    EXPECT_NEAR(pass.measure.seconds, 15.36, 0.01);
    EXPECT_NEAR(pass.activePercent(0), 100.0, 0.1);
    EXPECT_NEAR(pass.activePercent(1), 25.0, 0.5);
    EXPECT_NEAR(pass.activePercent(2), 50.0, 0.5);
    EXPECT_EQ(pass.tracks[3].activeBlocks, 0u);
    EXPECT_TRUE(std::isfinite(pass.activeLevelDb(0)));
    EXPECT_FALSE(std::isfinite(pass.activeLevelDb(3)));
    ASSERT_EQ(pass.sections.size(), 2u);
    EXPECT_EQ(pass.sections[0].orderRow, 0);
    EXPECT_EQ(pass.sections[1].orderRow, 1);
    EXPECT_NEAR(pass.sections[1].startFrame / 48000.0, 7.68, 0.003);

    // --seconds: only the start is rendered.
    tsk::SongPass start;
    tsk::renderSongPass(song, 2.0, start);
    EXPECT_EQ(start.frames, 96000u);
    EXPECT_EQ(start.songFrames, pass.songFrames);
}

TEST(AnalysisSong, MeasuresExactlyThePlayersRender) {
    // The analysis renders block by block; the player renders ten-second chunks. The samples are the same.
    std::vector<uint8_t> bytes;
    {
        std::FILE* f = std::fopen(MD_SOURCE_DIR "/tests/reference/data/r01.tsk", "rb");
        ASSERT_NE(f, nullptr);
        int c;
        while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
        std::fclose(f);
    }
    md::LoadedSong a, b;
    ASSERT_TRUE(md::loadSongBytes(a, bytes));
    tsk::SongPass pass;
    tsk::renderSongPass(a, 0, pass);

    ASSERT_TRUE(md::loadSongBytes(b, bytes));
    auto engine = std::make_unique<md::Engine>();
    engine->setup(&b.song);
    const float length = engine->measureLength();
    engine->start();
    std::vector<int16_t> player(2 * static_cast<std::size_t>(md::renderFrames(length)));
    for (std::size_t pos = 0; pos < player.size() / 2; pos += md::renderChunkFrames)
        engine->renderChunk(player.data() + 2 * pos);
    ASSERT_EQ(pass.frames, md::songFrames(length));
    ASSERT_GT(pass.frames, 0u);
    EXPECT_TRUE(std::equal(pass.samples.begin(), pass.samples.end(), player.begin()));
}

TEST(AnalysisSpectrum, RealFftMatchesADirectTransform) {
    const int n = 64;
    std::mt19937 random(1);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> x(n), power(n / 2 + 1);
    for (float& v : x) v = u(random);
    tsk::RealFft fft(n);
    fft.power(x.data(), power.data());
    for (int k = 0; k <= n / 2; ++k) {
        std::complex<double> sum = 0;
        for (int i = 0; i < n; ++i) sum += static_cast<double>(x[i]) * std::polar(1.0, -2 * kPi * k * i / n);
        EXPECT_NEAR(power[k], std::norm(sum), 1e-3 * (1.0 + std::norm(sum))) << "bin " << k;
    }
}

TEST(AnalysisSpectrum, SineLandsInItsBandAtItsLevel) {
    const auto s = sine(3 * 48000, 1000.0, 32767.0 * 0.5); // -6 dB
    const auto grid = tsk::computeSpectrogram(s.data(), s.size() / 2, 40, 300);
    for (int c : {5, 20, 34}) {
        int best = 0;
        for (int r = 1; r < grid.rows; ++r)
            if (grid.at(c, r) > grid.at(c, best)) best = r;
        const double lo =
            grid.minHz * std::pow(grid.maxHz / grid.minHz, static_cast<double>(best) / grid.rows);
        const double hi =
            grid.minHz * std::pow(grid.maxHz / grid.minHz, static_cast<double>(best + 1) / grid.rows);
        EXPECT_LE(lo, 1000.0);
        EXPECT_GE(hi, 1000.0);
        // A Hann window loses at most 1.5 dB between bins.
        EXPECT_LE(grid.at(c, best), -6.0 + 0.1);
        EXPECT_GE(grid.at(c, best), -6.0 - 1.6);
        // Far from the tone: nothing.
        EXPECT_LT(grid.at(c, 10), -90.0);
    }
}

TEST(AnalysisPicture, SpectrogramPngHasTheLayoutsSizeAndShowsTheTone) {
    const auto s = sine(4 * 48000, 1000.0, 32767.0 * 0.5);
    tsk::PictureSize size;
    size.plotWidth = 300;
    size.plotHeight = 200;
    const auto layout = tsk::spectrogramLayout(size);
    const auto grid = tsk::computeSpectrogram(s.data(), s.size() / 2, layout.plotWidth, layout.plotHeight,
                                              layout.minHz, layout.maxHz);
    tsk::PictureInfo info;
    info.title = "Tone";
    std::vector<uint8_t> png;
    std::string error;
    ASSERT_TRUE(tsk::spectrogramPng(grid, s.size() / 2, info, size, png, &error)) << error;

    SDL_Surface* loaded = IMG_Load_RW(SDL_RWFromConstMem(png.data(), static_cast<int>(png.size())), 1);
    ASSERT_NE(loaded, nullptr) << IMG_GetError();
    SDL_Surface* image = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(loaded);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->w, layout.width);
    EXPECT_EQ(image->h, layout.height);
    auto pixel = [&](int x, int y) {
        return static_cast<const uint32_t*>(
            image->pixels)[static_cast<std::size_t>(y) * (image->pitch / 4) + x];
    };
    // Off the dotted line that marks 1 kHz (every third pixel).
    const int column = layout.plotWidth / 2 + 1;
    const int x = layout.plotLeft + column;
    const int toneRow = layout.rowOf(1000.0);
    EXPECT_EQ(pixel(x, toneRow),
              tsk::levelColour(grid.at(column, layout.plotTop + layout.plotHeight - 1 - toneRow)));
    auto brightness = [](uint32_t c) { return ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF); };
    EXPECT_GT(brightness(pixel(x, toneRow)), 500);                // near the top of the colour map
    EXPECT_LT(brightness(pixel(x, layout.rowOf(100.0) + 3)), 60); // black where nothing sounds
    SDL_FreeSurface(image);
}
