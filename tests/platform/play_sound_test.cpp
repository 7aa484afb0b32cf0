// The play-sound service on a real SDL audio device: the disk driver writes what the device plays to a file.
#include "platform/play_sound.h"
#include "wav_test_image.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace md {
namespace {

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct LogCapture {
    static inline std::vector<std::string> lines;
    static void SDLCALL collect(void*, int, SDL_LogPriority, const char* message) {
        lines.emplace_back(message);
    }
    LogCapture() {
        lines.clear();
        SDL_LogSetOutputFunction(collect, nullptr);
    }
    ~LogCapture() { SDL_LogSetOutputFunction(nullptr, nullptr); }
};

TEST(PlaySound, DiskDeviceHearsTheLoopIncludingLateSamplesAndStops) {
    const std::string file = ::testing::TempDir() + "play_sound_disk.raw";
    std::remove(file.c_str());
    SDL_setenv("SDL_AUDIODRIVER", "disk", 1);
    SDL_setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);

    constexpr std::size_t kFrames = 24000; // half a second
    test::WavImage image(kFrames, kFrames);
    image.writeFrames(0, kFrames / 2);
    ASSERT_TRUE(playSoundLooped(image.data(), image.size())) << SDL_GetError();
    SDL_Delay(20);
    image.writeFrames(kFrames / 2, kFrames / 2); // written after the start, played about 0.25 s in
    SDL_Delay(1200);
    stopSound();
    SDL_Delay(150);
    closeSoundOutput();

    const auto out = readFile(file);
    ASSERT_GT(out.size(), 4u * 40000);
    const std::size_t frames = out.size() / 4;
    // The device writes silence while paused; playback begins with frame 0 (left 1, right -1).
    std::size_t first = 0;
    while (first < frames && test::leftOf(&out[first * 4]) == 0) ++first;
    ASSERT_LT(first, frames);
    std::size_t matching = 0;
    for (std::size_t k = first; k < frames; ++k, ++matching) {
        const std::size_t source = (k - first) % kFrames;
        if (test::leftOf(&out[k * 4]) != int16_t(source + 1) ||
            test::rightOf(&out[k * 4]) != int16_t(-int(source + 1))) {
            break;
        }
    }
    EXPECT_GT(matching, kFrames + kFrames / 2) << "looped output must run past the loop's end without a gap";
    // After the stop only silence follows.
    ASSERT_LT(first + matching, frames);
    for (std::size_t k = first + matching; k < frames; ++k) {
        ASSERT_EQ(test::leftOf(&out[k * 4]), 0) << "frame " << k << " after the stop";
        ASSERT_EQ(test::rightOf(&out[k * 4]), 0) << "frame " << k << " after the stop";
    }
    std::remove(file.c_str());
}

TEST(PlaySound, WithoutAudioDeviceRunsSilentlyAndSaysSoOnce) {
    SDL_setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    LogCapture log;
    test::WavImage image(100, 100);
    EXPECT_FALSE(playSoundLooped(image.data(), image.size()));
    EXPECT_FALSE(playSoundLooped(image.data(), image.size()));
    stopSound();
    ASSERT_EQ(LogCapture::lines.size(), 1u);
    EXPECT_NE(LogCapture::lines[0].find("No audio device"), std::string::npos) << LogCapture::lines[0];
    closeSoundOutput();
}

TEST(PlaySound, RefusesAnImageOfAnotherFormat) {
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    test::WavImage image(100, 100);
    test::put16(image.bytes.data() + 22, 1); // mono
    EXPECT_FALSE(playSoundLooped(image.data(), image.size()));
    closeSoundOutput();
}

} // namespace
} // namespace md
