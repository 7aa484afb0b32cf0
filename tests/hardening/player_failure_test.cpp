// The player's failure paths with its thread running, as in the program: an export that cannot be written, a
// song that does not parse, and the memory the player holds over many switches between the disk's songs.
#include "player_fixture.h"

#include "player/fonts.h"
#include "player/labels.h"
#include "player/streaming.h"
#include "player/wav_export.h"
#include "player/wav_image.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define MD_SANITIZED_BUILD 1
#endif

namespace md {
namespace {

namespace fs = std::filesystem;
using test::PlayerTestInFolder;
using test::waitFor;

// Resident memory of this process in bytes.
long residentBytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * ::sysconf(_SC_PAGESIZE);
}

// Resident bytes of the WAV image. It is allocated once, with the program, and its pages come in as renders
// first reach them: ten seconds of audio are 1.9 MB of it, however often songs switch.
long residentImageBytes() {
    const long page = ::sysconf(_SC_PAGESIZE);
    const auto begin = reinterpret_cast<uintptr_t>(&wavImage) / page * page;
    const auto end = reinterpret_cast<uintptr_t>(&wavImage) + sizeof wavImage;
    std::vector<unsigned char> flags((end - begin + page - 1) / page);
    if (::mincore(reinterpret_cast<void*>(begin), end - begin, flags.data()) != 0) return 0;
    long resident = 0;
    for (unsigned char f : flags) resident += f & 1;
    return resident * page;
}

// Selects entry `index` on the front end's side and waits until the player thread has taken it up and the
// state satisfies `state`.
bool selectAndWait(int index, int32_t state, double seconds = 60.0) {
    playerState.selectedSong.store(index);
    return waitFor(
        [&] { return playerState.loadedSong.load() == index && playerState.playState.load() == state; },
        seconds);
}

// Each test runs in a fresh working directory, where the export writes, with the player thread running.
class PlayerFailure : public PlayerTestInFolder {
  protected:
    // Runs the export of the row at y 100 .. 127 (the loaded entry's) and returns what it wrote to stderr.
    static std::string exportLoaded() {
        for (int i = 0; i < catalogueCount; ++i) {
            const bool loaded = i == playerState.loadedSong.load();
            catalogue[i]->rowTop = loaded ? 100 : 0;
            catalogue[i]->rowHeight = loaded ? 27 : 0;
        }
        ::testing::internal::CaptureStderr();
        exportSongAt(110);
        return ::testing::internal::GetCapturedStderr();
    }
};

TEST_F(PlayerFailure, AnExportThatCannotBeWrittenIsReportedLeavesNothingAndThePlayerGoesOn) {
    songs_.addText(201, test::shortSong());
    songs_.addText(202, test::toneSong(16, 3, 125, "   4 G-4 tone\n"));
    build({{201, "", "Song", "Tester"}, {202, "", "Other", "Tester"}});
    player_->start();
    ASSERT_TRUE(selectAndWait(0, Rendered));
    const uint32_t started = playerState.playStartTicks.load();
    ASSERT_NE(started, 0u);

    // A folder stands where the file should go: the finished file cannot take its place.
    const std::string name = "Oru - Song (Tester).wav";
    fs::create_directory(folder_ / name);
    EXPECT_EQ(exportLoaded(), "Export of \"" + name + "\" failed: Is a directory\n");
    EXPECT_EQ(playerState.playState, Exported);
    EXPECT_EQ(files(), std::vector<std::string>{name}) << "no partial file is left beside it";
    EXPECT_TRUE(fs::is_empty(folder_ / name));
    fs::remove(folder_ / name);

    // A folder where nobody, not even the superuser, may create a file.
    ASSERT_TRUE(fs::is_directory("/sys"));
    fs::current_path("/sys");
    playerState.playState.store(Rendered); // the song is still complete: it may be exported again
    const std::string refused = exportLoaded();
    fs::current_path(folder_);
    EXPECT_EQ(refused.rfind("Export of \"" + name + "\" failed: ", 0), 0u) << refused;
    EXPECT_GT(refused.size(), ("Export of \"" + name + "\" failed: \n").size()) << "with the reason";
    EXPECT_EQ(playerState.playState, Exported);

    // Playback was not touched, and the player still switches and exports.
    EXPECT_EQ(playerState.playStartTicks.load(), started);
    EXPECT_EQ(playerState.loadedSong, 0);
    ASSERT_TRUE(selectAndWait(1, Rendered));
    EXPECT_EQ(exportLoaded(), "");
    EXPECT_EQ(playerState.playState, Exported);
    ASSERT_EQ(files(), std::vector<std::string>{"Oru - Other (Tester).wav"});
    EXPECT_EQ(fs::file_size(folder_ / "Oru - Other (Tester).wav"),
              kWavHeaderSize + 4u * exportFrames(catalogue[1]->lengthSeconds));
}

TEST_F(PlayerFailure, ASongThatDoesNotParseReadsZeroTimeAndKeepsTheBusyIconWhileThePlayerGoesOn) {
    std::vector<uint8_t> damaged = test::compileText(test::minuteSong());
    damaged.resize(damaged.size() - 3); // the file is cut three bytes short
    songs_.add(203, damaged);
    songs_.addText(201, test::shortSong());
    build({{201, "", "Short", "Tester"}, {203, "", "Broken", "Tester"}});

    // Its time label is the one rendered from "0:00", pixel for pixel.
    const Music& broken = *catalogue[1];
    EXPECT_EQ(broken.lengthSeconds, 0.0f);
    TTF_Font* info = openFont(kInfoFontFile, labelFontSizes(surface_->h).info);
    ASSERT_NE(info, nullptr);
    SDL_Surface* zero = TTF_RenderUTF8_Blended(info, "0:00", kLabelColour);
    ASSERT_NE(zero, nullptr);
    ASSERT_EQ(broken.timeLabel->w, zero->w);
    ASSERT_EQ(broken.timeLabel->h, zero->h);
    ASSERT_EQ(broken.timeLabel->format->format, zero->format->format);
    for (int y = 0; y < zero->h; ++y) {
        ASSERT_EQ(std::memcmp(static_cast<uint8_t*>(broken.timeLabel->pixels) + y * broken.timeLabel->pitch,
                              static_cast<uint8_t*>(zero->pixels) + y * zero->pitch, 4u * zero->w),
                  0)
            << "line " << y;
    }
    SDL_FreeSurface(zero);
    TTF_CloseFont(info);

    player_->start();
    ASSERT_TRUE(selectAndWait(0, Rendered));
    ASSERT_TRUE(selectAndWait(1, Rendering));
    // Several polls later the player still holds it, busy and silent.
    SDL_Delay(4 * kPlayerPollMs);
    EXPECT_EQ(playerState.loadedSong, 1);
    EXPECT_EQ(playerState.playState, Rendering);
    EXPECT_EQ(playerState.playStartTicks, 0u);
    EXPECT_EQ(renderedFrames(), 0u);
    EXPECT_TRUE(catalogue[1]->isCurrent);

    // Its row shows the busy icon in the visible half of the blink (the phase follows the clock while
    // nothing has started).
    SDL_Surface* busy = SDL_CreateRGBSurfaceWithFormat(0, 24, 24, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_FillRect(busy, nullptr, SDL_MapRGB(busy->format, 0, 0, 255));
    ASSERT_TRUE(waitFor([] { return SDL_GetTicks() % 1000 >= 20 && SDL_GetTicks() % 1000 < 400; }, 2.0));
    SDL_FillRect(surface_, nullptr, 0);
    drawRow(1, 192, 200, 1.0f, surface_, 576, nullptr, busy);
    const uint32_t pixel = static_cast<uint32_t*>(surface_->pixels)[(200 + 24) * surface_->w + 192 - 22];
    EXPECT_EQ(pixel & 0xFFFFFF, SDL_MapRGB(surface_->format, 0, 0, 255) & 0xFFFFFF);
    SDL_FreeSurface(busy);

    // Selecting another song switches as usual, and the broken one can be taken up again.
    ASSERT_TRUE(selectAndWait(0, Rendered));
    EXPECT_NE(playerState.playStartTicks, 0u);
    EXPECT_FALSE(catalogue[1]->isCurrent);
    ASSERT_TRUE(selectAndWait(1, Rendering));
    ASSERT_TRUE(selectAndWait(0, Rendered));
}

// The disk's own songs, switched a twentieth of a second after each has started to play (an hour of
// switching every few seconds, shortened): what the player holds does not grow with the number of switches.
// The sanitizer builds check the same run for leaks; their allocators hold freed memory back, so the bound
// on resident memory is checked in the plain build only. MD_SONG_SWITCHES in the environment asks for a
// longer run.
TEST_F(PlayerFailure, MemoryStaysFlatOverManySongSwitches) {
    resetSongSource();
    player_ = std::make_unique<PlayThread>(surface_, std::span<const CatalogueRow>(catalogueRows));
    ASSERT_EQ(catalogueCount, kCatalogueRows);
    player_->start();

    int next = 0;
    auto switches = [&](int count) {
        for (int i = 0; i < count; ++i) {
            const int index = next;
            next = (next + 7) % catalogueCount; // 7 and 50 are coprime: every song comes round
            playerState.selectedSong.store(index);
            if (!waitFor([&] {
                    return playerState.loadedSong.load() == index && playerState.playStartTicks.load() != 0;
                }))
                return false;
            SDL_Delay(50);
        }
        return true;
    };
    // Resident memory besides the WAV image.
    auto held = [] { return residentBytes() - residentImageBytes(); };
#ifdef MD_SANITIZED_BUILD
    constexpr int kWarmUp = 5;
    int kSwitches = 25;
#else
    const int kWarmUp = catalogueCount; // every song once: their code and data have been touched
    int kSwitches = catalogueCount;
#endif
    const long before = held();
    ASSERT_TRUE(switches(kWarmUp)) << "warm-up";
    const long warm = held();
    if (const char* wanted = std::getenv("MD_SONG_SWITCHES")) kSwitches = std::max(1, std::atoi(wanted));
    ASSERT_TRUE(switches(kSwitches));
    const long after = held();
    std::printf("resident memory besides the WAV image: %ld KiB at the start, %ld KiB after %d switches, "
                "%ld KiB after %d more (the image: %ld KiB)\n",
                before / 1024, warm / 1024, kWarmUp, after / 1024, kSwitches, residentImageBytes() / 1024);
#ifndef MD_SANITIZED_BUILD
    // A leak of one Engine per switch (over half a megabyte each) would pass this bound many times over;
    // smaller leaks are the sanitizer build's to find.
    EXPECT_LT(after - warm, 1L << 20);
#endif
}

} // namespace
} // namespace md
