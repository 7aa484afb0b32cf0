// Streaming render and playback: what lands in the WAV image, what the audio device plays from it, and how
// readers on other threads see only finished audio.
#include "player_fixture.h"

#include "platform/wav_loop.h"
#include "player/rendered_audio.h"
#include "player/streaming.h"
#include "player/wav_image.h"
#include "song/loaded_song.h"
#include "synth/engine.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace md {
namespace {

using test::PlayerTest;

uint32_t read32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The song rendered on its own, as the player renders it: measured, started, `chunks` chunks.
std::vector<int16_t> renderAlone(const std::string& text, uint32_t frames) {
    LoadedSong song;
    std::string error;
    EXPECT_TRUE(loadSongText(song, text, &error)) << error;
    auto engine = std::make_unique<Engine>();
    engine->setup(&song.song);
    engine->measureLength();
    engine->start();
    std::vector<int16_t> out(2 * static_cast<std::size_t>(frames));
    for (uint32_t pos = 0; pos < frames; pos += renderChunkFrames)
        engine->renderChunk(out.data() + 2 * static_cast<std::size_t>(pos));
    return out;
}

class Streaming : public PlayerTest {};

TEST_F(Streaming, TheImageHoldsTheSongsRenderAndAHeaderForItsLength) {
    const std::string text = test::toneSong(64, 6, 125, "  32 G-4 tone\n"); // 7.68 s
    songs_.addText(201, text);
    build({{201, "", "Tone", "t"}});
    loadNow(0);
    ASSERT_EQ(playerState.playState, Rendered);
    const Music& e = *catalogue[0];
    EXPECT_EQ(e.lengthFrames, 368640) << "7.68 s";
    EXPECT_EQ(renderedFrames(), 2 * renderChunkFrames) << "whole tens of seconds plus two chunks";
    EXPECT_EQ(read32(wavImage.header + 40), 368640u * 4) << "data size: the frames that loop";
    EXPECT_EQ(read32(wavImage.header + 4), 368640u * 4 + 36);
    EXPECT_EQ(std::memcmp(wavImage.header, "RIFF", 4), 0);
    EXPECT_EQ(std::memcmp(wavImage.header + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(std::memcmp(wavImage.header + 36, "data", 4), 0);

    const std::vector<int16_t> alone = renderAlone(text, 2 * renderChunkFrames);
    EXPECT_EQ(std::memcmp(wavImage.sampleArea, alone.data(), alone.size() * 2), 0)
        << "the player renders exactly what the Engine renders";
}

TEST_F(Streaming, ASongLongerThanTheImageIsRenderedAsFarAsItHolds) {
    songs_.addText(204, test::toneSong(250, 92)); // 460 s: 48 chunks would be needed
    build({{204, "", "Long", "l"}});
    EXPECT_FLOAT_EQ(catalogue[0]->lengthSeconds, 460.0f);
    loadNow(0);
    EXPECT_EQ(playerState.playState, Rendered);
    EXPECT_EQ(renderedFrames(), kSampleAreaFrames) << "47 chunks fill the image exactly";
    EXPECT_EQ(loadedRender.totalFrames, kSampleAreaFrames);
    // 230000 control blocks of 0.002 s in single precision, times 48000, truncated.
    EXPECT_EQ(catalogue[0]->lengthFrames, static_cast<int32_t>(songFrames(catalogue[0]->lengthSeconds)));
    EXPECT_EQ(catalogue[0]->lengthFrames, 22080002);
}

TEST_F(Streaming, PlaybackLoopsTheRenderedFramesFromTheFirstWithoutAGap) {
    const std::string file = ::testing::TempDir() + "player_disk_audio.raw";
    std::remove(file.c_str());
    SDL_setenv("SDL_AUDIODRIVER", "disk", 1);
    SDL_setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    songs_.addText(201, test::shortSong());
    build({{201, "", "Short", "s"}});

    loadNow(0);
    ASSERT_EQ(playerState.playState, Rendered);
    const uint32_t loop = static_cast<uint32_t>(catalogue[0]->lengthFrames.load());
    ASSERT_EQ(loop, 46080u);
    const std::vector<int16_t> rendered(wavImage.sampleArea, wavImage.sampleArea + 2 * loop);
    SDL_Delay(2600); // about two and a half passes
    stopSound();
    closeSoundOutput();
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);

    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::remove(file.c_str());
    const auto* out = reinterpret_cast<const int16_t*>(bytes.data());
    const std::size_t frames = bytes.size() / 4;
    ASSERT_GT(frames, 2u * loop) << "the device played for at least two passes";

    // The device plays silence until playback starts; the song's own first frames may be silent too.
    std::size_t firstSound = 0;
    while (firstSound < loop && rendered[2 * firstSound] == 0 && rendered[2 * firstSound + 1] == 0)
        ++firstSound;
    ASSERT_LT(firstSound, 64u) << "the test song sounds from its start";
    std::size_t start = 0;
    while (start < frames && out[2 * start] == 0 && out[2 * start + 1] == 0) ++start;
    ASSERT_GE(start, firstSound);
    start -= firstSound; // where frame 0 was played

    std::size_t matching = 0;
    for (std::size_t k = start; k < frames; ++k, ++matching) {
        const std::size_t source = (k - start) % loop;
        if (out[2 * k] != rendered[2 * source] || out[2 * k + 1] != rendered[2 * source + 1]) break;
    }
    EXPECT_GE(matching, 2u * loop + loop / 4) << "the passes follow each other frame for frame";
    // What follows is the stop: silence to the end.
    for (std::size_t k = start + matching; k < frames; ++k) {
        ASSERT_EQ(out[2 * k], 0) << "frame " << k;
        ASSERT_EQ(out[2 * k + 1], 0) << "frame " << k;
    }
}

TEST(PlaybackHandOver, TheLoopPlaysOnlyWhatTheWriterHasFinished) {
    std::vector<uint8_t> image(kWavHeaderSize + 4 * 8);
    std::memcpy(image.data(), wavHeaderTemplate, kWavHeaderSize);
    setWavSizes(image.data(), 4 * 8);
    for (int i = 0; i < 16; ++i)
        reinterpret_cast<int16_t*>(image.data() + kWavHeaderSize)[i] = int16_t(i + 1);
    std::atomic<std::size_t> ready{4 * 3};
    WavLoop loop;
    ASSERT_TRUE(loop.start(image.data(), image.size(), &ready));
    int16_t out[12];
    loop.read(reinterpret_cast<uint8_t*>(out), sizeof out); // frames 0 .. 5: three finished, three not
    EXPECT_EQ((std::vector<int16_t>(out, out + 12)),
              (std::vector<int16_t>{1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0}));
    ready = 4 * 8;
    loop.read(reinterpret_cast<uint8_t*>(out), sizeof out); // frames 6, 7, then 0 .. 3 again
    EXPECT_EQ((std::vector<int16_t>(out, out + 12)),
              (std::vector<int16_t>{13, 14, 15, 16, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(loop.position(), 16u);
}

TEST(PlaybackHandOver, TheLoopReadsWhileTheWriterAddsFrames) {
    // A writer fills the image block by block and publishes each block, while the loop plays it on another
    // thread. Every frame played is either silence (not yet finished) or exactly what was written.
    constexpr std::size_t kBlocks = 64, kBlockFrames = 512, kFrames = kBlocks * kBlockFrames;
    std::vector<uint8_t> image(kWavHeaderSize + 4 * kFrames);
    std::memcpy(image.data(), wavHeaderTemplate, kWavHeaderSize);
    setWavSizes(image.data(), 4 * kFrames);
    auto* samples = reinterpret_cast<int16_t*>(image.data() + kWavHeaderSize);
    std::atomic<std::size_t> ready{0};
    std::atomic<bool> written{false};
    WavLoop loop;
    ASSERT_TRUE(loop.start(image.data(), image.size(), &ready));
    std::thread writer([&] {
        for (std::size_t b = 0; b < kBlocks; ++b) {
            for (std::size_t f = b * kBlockFrames; f < (b + 1) * kBlockFrames; ++f) {
                samples[2 * f] = static_cast<int16_t>(f % 30000 + 1);
                samples[2 * f + 1] = static_cast<int16_t>(-static_cast<int>(f % 30000) - 1);
            }
            ready.store(4 * (b + 1) * kBlockFrames, std::memory_order_release);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        written = true;
    });
    std::vector<int16_t> out(2 * 300);
    std::size_t played = 0, heard = 0, wrong = 0, playedWhenWritten = 0;
    // Plays on until a whole pass has been played after the last block was published.
    while (!written || played < playedWhenWritten + kFrames + 300) {
        if (!written) playedWhenWritten = played;
        loop.read(reinterpret_cast<uint8_t*>(out.data()), out.size() * 2);
        for (std::size_t i = 0; i < 300; ++i) {
            const std::size_t f = (played + i) % kFrames;
            if (out[2 * i] == 0 && out[2 * i + 1] == 0) continue;
            ++heard;
            if (out[2 * i] != static_cast<int16_t>(f % 30000 + 1)) ++wrong;
        }
        played += 300;
    }
    writer.join();
    EXPECT_EQ(wrong, 0u);
    EXPECT_GE(heard, kFrames) << "the last pass is heard whole";
}

TEST_F(Streaming, ReadersOnOtherThreadsSeeOnlyFinishedAudio) {
    // The player thread switches between songs while a reader (as the oscilloscope does) and the audio
    // device read the image; run under ThreadSanitizer this shows the hand-over is free of races.
    songs_.addText(201, test::shortSong());
    songs_.addText(202, test::minuteSong());
    build({{201, "", "Short", "s"}, {202, "", "Minute", "m"}});
    player_->start();
    std::atomic<bool> stop{false};
    std::atomic<long> reads{0}, badCounts{0};
    std::thread reader([&] {
        while (!stop) {
            SampleAreaReader r;
            if (r.valueCount() % (2 * renderChunkFrames) != 0) ++badCounts;
            const std::size_t n = r.valueCount();
            int64_t sum = 0;
            for (std::size_t i = 0; i < n && i < 4096; i += 7) sum += r.value(i);
            if (r.value(n) != 0 || r.value(n + 1) != 0) ++badCounts; // beyond the finished part
            sum += r.value(n / 2);
            (void)sum;
            ++reads;
        }
    });
    for (int round = 0; round < 6; ++round) {
        playerState.selectedSong.store(round % 2);
        ASSERT_TRUE(test::waitFor([&] {
            return playerState.loadedSong.load() == round % 2 && playerState.playStartTicks.load() != 0;
        }));
        SDL_Delay(30);
    }
    stop = true;
    reader.join();
    playerState.quitRequested.store(true);
    player_->waitForThread();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(badCounts.load(), 0);
}

} // namespace
} // namespace md
