// The WAV export: what it refuses, the file's sizes and fade, its name, its failures, and that it is the
// file `tsk render` writes for the same song.
#include "player_fixture.h"

#include "player/streaming.h"
#include "player/wav_export.h"
#include "player/wav_image.h"
#include "synth/engine.h"

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace md {
namespace {

namespace fs = std::filesystem;
using test::PlayerTestInFolder;

// Speed 6, then 3 from the middle of the pattern: a pass of 5.76 s that a render of 20 s leaves in the middle
// of the pattern, at the faster speed.
const std::string kMidPatternSong =
    "song\n  tracks 1\n  rows 64\n  speed 6\n  tempo 125\n"
    "instrument 1 tone\n  volume 40\n  adsr 0 0 15 0\n  program\n     0 osc saw, hold\n"
    "pattern p\n   0 C-4 tone F06\n  20 G-4 tone\n  32 ... ..   F03\n  40 E-4 tone\n"
    "order\n  p\n";

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t read32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

const int16_t* samplesOf(const std::vector<uint8_t>& file) {
    return reinterpret_cast<const int16_t*>(file.data() + kWavHeaderSize);
}

// The value the fade makes of `v` at position j of the fade.
int16_t faded(int16_t v, uint32_t j) {
    const float g = 1.0f - static_cast<float>(j) * (1.0f / 960000.0f);
    const float gain = g > 0.0f ? g * g : 0.0f;
    return static_cast<int16_t>(static_cast<int>(static_cast<float>(v) * gain));
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
        ::pclose(p);
    }
    return out;
}

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class Export : public PlayerTestInFolder {
  protected:
    // One song as entry 0, loaded and fully rendered, its row drawn at y 100 .. 127.
    void loadSong(const std::string& text, const char* title = "Song", const char* artist = "Tester") {
        songs_.addText(201, text);
        songs_.addText(202, test::shortSong());
        build({{201, "", title, artist}, {202, "", "Other", "Tester"}});
        loadNow(0);
        ASSERT_EQ(playerState.playState, Rendered);
        placeRow(0, 100, 27);
        placeRow(1, 140, 27);
    }
    static void placeRow(int index, int top, int height) {
        catalogue[index]->rowTop = top;
        catalogue[index]->rowHeight = height;
    }
};

TEST(ExportSizes, TheWorkedExample) {
    EXPECT_EQ(songFrames(125.5f), 6024000u);
    EXPECT_EQ(renderFrames(125.5f), 6720000u);
    EXPECT_EQ(exportFrames(125.5f), 6480000u);
    EXPECT_EQ(exportFrames(120.0f), 6240000u);
    EXPECT_EQ(renderFrames(120.0f), 6720000u) << "120 s also takes 14 chunks";
    EXPECT_EQ(renderFrames(459.9f), kSampleAreaFrames);
    EXPECT_EQ(renderFrames(0.0f), 960000u);
    EXPECT_EQ(exportFrames(0.0f), 480000u);
}

TEST(ExportFade, SquaredRampOverTenSecondsAfterTheSong) {
    std::vector<int16_t> v(2 * 600000, 20000);
    fadeAfterSong(v.data(), v.size(), 1.0f); // the song ends after 48000 frames: value 96000
    EXPECT_EQ(v[95999], 20000) << "the song itself is untouched";
    EXPECT_EQ(v[96000], 20000) << "gain 1 at the fade's first value";
    EXPECT_EQ(v[96001], 19999);
    EXPECT_EQ(v[96000 + 480000], 5000) << "half way: (1/2)^2";
    EXPECT_EQ(v[96000 + 959999], 0);
    EXPECT_EQ(v[96000 + 960000], 20000) << "the fade spans 960000 values";
    for (std::size_t i = 96001; i < 96000 + 960000; ++i) ASSERT_LE(v[i], v[i - 1]) << i;
    std::vector<int16_t> negative(2 * 600000, -20000);
    fadeAfterSong(negative.data(), negative.size(), 1.0f);
    EXPECT_EQ(negative[96000 + 480001], -4999) << "truncated toward zero";
}

TEST_F(Export, WritesTheWorkedExamplesFileWithTheFadeAfterTheSong) {
    loadSong(test::toneSong(251, 25), "Worked", "Tester"); // 251 rows of 25 ticks: 125.5 s
    EXPECT_FLOAT_EQ(catalogue[0]->lengthSeconds, 125.5f);
    const std::vector<int16_t> raw(wavImage.sampleArea, wavImage.sampleArea + 2 * 6720000);
    exportSongAt(110);
    EXPECT_EQ(playerState.playState, Exported);

    const std::vector<uint8_t> file = readFile("Oru - Worked (Tester).wav");
    ASSERT_EQ(file.size(), 44u + 25920000u);
    EXPECT_EQ(std::memcmp(file.data(), wavHeaderTemplate, 4), 0);
    EXPECT_EQ(read32(&file[4]), 25920036u);
    EXPECT_EQ(read32(&file[40]), 25920000u);
    EXPECT_EQ(std::memcmp(file.data() + 8, wavHeaderTemplate + 8, 32), 0) << "48000 Hz, 16-bit, stereo PCM";
    EXPECT_EQ(std::memcmp(file.data(), exportHeader, 44), 0);
    EXPECT_EQ(read32(wavImage.header + 40), 6024000u * 4) << "the image's own header is not changed";

    const int16_t* data = samplesOf(file);
    EXPECT_EQ(std::memcmp(data, raw.data(), 12048000 * 2), 0) << "the song up to its last frame, unfaded";
    for (uint32_t j = 0; j < 2 * 6480000 - 12048000; ++j)
        ASSERT_EQ(data[12048000 + j], faded(raw[12048000 + j], j)) << "fade value " << j;
    EXPECT_NE(data[12048000 + 800000], raw[12048000 + 800000]) << "the tail is audible, and faded";

    // Real WAV readers agree.
    const std::string wave =
        run("python3 -c \"import wave; w = wave.open('Oru - Worked (Tester).wav'); "
            "print(w.getframerate(), w.getsampwidth(), w.getnchannels(), w.getnframes())\"");
    EXPECT_EQ(wave, "48000 2 2 6480000\n");
    if (std::system("command -v soxi >/dev/null 2>&1") == 0) {
        std::string sox;
        for (const char* option : {"-r", "-c", "-b", "-s"})
            sox += run(std::string("soxi ") + option + " 'Oru - Worked (Tester).wav'");
        EXPECT_EQ(sox, "48000\n2\n16\n6480000\n");
    }
    // One export per render.
    fs::remove("Oru - Worked (Tester).wav");
    exportSongAt(110);
    EXPECT_TRUE(files().empty());
}

TEST_F(Export, TheFadeBeginsAfterTheLastFrameOfASongWhoseRenderEndsMidPattern) {
    loadSong(kMidPatternSong);
    const float length = catalogue[0]->lengthSeconds;
    ASSERT_FLOAT_EQ(length, 5.76f);
    const std::vector<int16_t> raw(wavImage.sampleArea, wavImage.sampleArea + 2 * renderedFrames());
    // Measured again after the render, from where the render left the sequencer, the song looks shorter;
    // a fade placed by that measure would cut into the song.
    const float remeasured = playerState.currentEngine->measureLength();
    ASSERT_LT(remeasured, length);
    exportSongAt(110);

    const std::vector<uint8_t> file = readFile("Oru - Song (Tester).wav");
    ASSERT_EQ(file.size(), 44u + 4u * 15 * 48000);
    const int16_t* data = samplesOf(file);
    const uint32_t start = 2 * songFrames(length);
    EXPECT_EQ(start, 552960u);
    EXPECT_EQ(std::memcmp(data, raw.data(), start * 2), 0) << "every frame of the song is whole";
    for (uint32_t j = 0; j < 2 * 720000 - start; ++j)
        ASSERT_EQ(data[start + j], faded(raw[start + j], j)) << j;
    EXPECT_LT(2 * songFrames(remeasured), start);
}

TEST_F(Export, IsTheFileTskRenderWrites) {
    const fs::path tsk = MD_TSK;
    if (!fs::exists(tsk)) GTEST_SKIP() << "tsk is not built here";
    loadSong(kMidPatternSong);
    exportSongAt(110);
    std::ofstream("song.txt") << kMidPatternSong;
    ASSERT_EQ(std::system((quoted(tsk.string()) + " render song.txt -o tsk.wav").c_str()), 0);
    const std::vector<uint8_t> ours = readFile("Oru - Song (Tester).wav");
    ASSERT_FALSE(ours.empty());
    EXPECT_TRUE(ours == readFile("tsk.wav"));
}

TEST_F(Export, KeepsEveryCharacterOfTheNameAndReplacesAnExistingFile) {
    const char* title = "100% Ça va? *[x]* \"q\" #1";
    const char* artist = "A&B 'c' $HOME \\ ~ %s";
    loadSong(test::shortSong(), title, artist);
    const std::string name = std::string("Oru - ") + title + " (" + artist + ").wav";
    EXPECT_EQ(exportFileName(title, artist), name);
    std::ofstream(name) << "an older file of the same name, longer than nothing";
    exportSongAt(127);
    EXPECT_EQ(playerState.playState, Exported);
    EXPECT_EQ(files(), std::vector<std::string>{name}) << "no temporary file is left";
    EXPECT_EQ(fs::file_size(name), 44u + 4u * 10 * 48000);
}

TEST_F(Export, ClicksThatDoNotExport) {
    loadSong(test::shortSong());
    exportSongAt(99);  // above the row
    exportSongAt(150); // on the other song's row
    for (int32_t state : {Idle, Rendering, Exporting, Exported}) {
        playerState.playState.store(state);
        exportSongAt(110);
        EXPECT_EQ(playerState.playState, state);
    }
    playerState.playState.store(Rendered);
    catalogue[0]->isCurrent.store(false);
    exportSongAt(110);
    catalogue[0]->isCurrent.store(true);
    EXPECT_TRUE(files().empty());
    EXPECT_EQ(playerState.playState, Rendered);

    // A render cut short by a newer selection has not written the song's tail; the image beyond it may still
    // hold another song. Such a render is not exported.
    songs_.addText(203, test::minuteSong());
    static std::atomic<bool> selected;
    selected = false;
    playStateObserver = [](int32_t s) {
        if (s == Rendering && !selected.exchange(true)) playerState.selectedSong.store(0);
    };
    rows_.push_back({203, "", "Minute", "Tester"});
    build(rows_);
    loadNow(2);
    ASSERT_EQ(playerState.playState, Rendered);
    placeRow(2, 200, 27);
    exportSongAt(210);
    EXPECT_EQ(playerState.playState, Rendered);
    EXPECT_TRUE(files().empty());
}

TEST_F(Export, RunsOnTheFrontEndWhileThePlayerThreadWaits) {
    songs_.addText(201, kMidPatternSong);
    songs_.addText(202, test::shortSong());
    build({{201, "", "Song", "Tester"}, {202, "", "Other", "Tester"}});
    player_->start();
    playerState.selectedSong.store(0);
    ASSERT_TRUE(
        test::waitFor([] { return playerState.loadedSong == 0 && playerState.playState == Rendered; }));
    placeRow(0, 100, 27);
    exportSongAt(110);
    EXPECT_EQ(playerState.playState, Exported);
    EXPECT_EQ(fs::file_size("Oru - Song (Tester).wav"), 44u + 4u * 15 * 48000);
    // The player takes up the next selection after the export, and renders over the faded tail.
    playerState.selectedSong.store(1);
    ASSERT_TRUE(
        test::waitFor([] { return playerState.loadedSong == 1 && playerState.playState == Rendered; }));
    playerState.quitRequested.store(true);
    player_->waitForThread();
}

// Standard error and the debug channel while `body` runs.
struct Reports {
    std::string stderrText;
    std::vector<std::string> debugLines;
};
std::vector<std::string>* debugSink = nullptr;
void SDLCALL collectDebug(void*, int, SDL_LogPriority, const char* message) {
    if (debugSink) debugSink->push_back(message);
}
template <class F> Reports capture(F body) {
    Reports r;
    debugSink = &r.debugLines;
    SDL_LogSetOutputFunction(collectDebug, nullptr);
    SDL_LogSetPriority(SDL_LOG_CATEGORY_APPLICATION, SDL_LOG_PRIORITY_DEBUG);
    ::testing::internal::CaptureStderr();
    body();
    r.stderrText = ::testing::internal::GetCapturedStderr();
    SDL_LogSetOutputFunction(nullptr, nullptr);
    SDL_LogResetPriorities();
    debugSink = nullptr;
    return r;
}

TEST_F(Export, AFolderThatCannotTakeTheFileIsReported) {
    loadSong(test::shortSong());
    const fs::path gone = folder_ / "gone";
    fs::create_directory(gone);
    fs::current_path(gone);
    fs::remove(gone); // the working directory no longer exists: nothing can be created in it
    const Reports r = capture([] { exportSongAt(110); });
    fs::current_path(folder_);
    EXPECT_EQ(playerState.playState, Exported) << "the export is over, and playback goes on";
    EXPECT_EQ(r.stderrText, "Export of \"Oru - Song (Tester).wav\" failed: No such file or directory\n");
    // (SDL's log drops a line's final line break.)
    ASSERT_EQ(r.debugLines.size(), 3u);
    EXPECT_EQ(r.debugLines[0], "\nEXPORT 2 START");
    EXPECT_EQ(r.debugLines[1], "EXPORT 2 END");
    EXPECT_EQ(r.debugLines[2] + "\n", r.stderrText);
    EXPECT_TRUE(files().empty());
}

TEST_F(Export, AWriteThatFailsHalfWayLeavesTheOlderFileAsItWas) {
    loadSong(test::shortSong());
    const std::string name = "Oru - Song (Tester).wav";
    std::ofstream(name) << "the older export";
    // Files of this process may not grow beyond 1 MB: the write fails part of the way through.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 1 << 20;
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Reports r = capture([] { exportSongAt(110); });
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(playerState.playState, Exported);
    EXPECT_EQ(r.stderrText, "Export of \"" + name + "\" failed: File too large\n");
    EXPECT_EQ(files(), std::vector<std::string>{name}) << "the partial file was removed";
    const std::vector<uint8_t> kept = readFile(name);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "the older export");
}

} // namespace
} // namespace md
