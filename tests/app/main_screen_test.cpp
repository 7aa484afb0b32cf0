// The whole main screen as the program draws it: the real images, the real catalogue and its rows, the player
// thread playing the songs, on SDL's dummy video and audio drivers, with frames drawn onto an off-screen
// 960 x 540 surface on a clock the test sets.
#include "app/music_disk.h"
#include "app/screen.h"
#include "player/catalogue.h"
#include "player/player_state.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sstream>

// Allocation counting: every operator new and every SDL allocation made on a thread while it counts.
namespace {
thread_local bool countingHere = false;
std::atomic<long> allocations{0};

void noteAllocation() {
    if (countingHere) allocations.fetch_add(1, std::memory_order_relaxed);
}

SDL_malloc_func sdlMalloc;
SDL_calloc_func sdlCalloc;
SDL_realloc_func sdlRealloc;
SDL_free_func sdlFree;
void* countedMalloc(size_t n) {
    noteAllocation();
    return sdlMalloc(n);
}
void* countedCalloc(size_t n, size_t size) {
    noteAllocation();
    return sdlCalloc(n, size);
}
void* countedRealloc(void* p, size_t n) {
    noteAllocation();
    return sdlRealloc(p, n);
}
void countedFree(void* p) {
    sdlFree(p);
}
} // namespace

// GCC takes the free() in these replacements for a mismatch with operator new, which here is malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
    noteAllocation();
    if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    noteAllocation();
    if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

namespace md {
namespace {

class MainScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
        SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
        hooks_.ticks = [this] { return now_; };
        hooks_.sleep = [](uint32_t) {};
        hooks_.out = &out_;
        hooks_.mouseState = [this] { return mouse_; };
        disk_ = std::make_unique<MusicDisk>(hooks_);
        const char* args[] = {"musicdisk"};
        ASSERT_EQ(disk_->startUp(1, const_cast<char**>(args)), 0) << out_.str();
        ASSERT_EQ(catalogueCount, 50);
        disk_->beginMainPhase();
        screen_ = SDL_CreateRGBSurfaceWithFormat(0, 960, 540, 32, SDL_PIXELFORMAT_RGB888);
    }
    void TearDown() override {
        disk_->shutDown();
        disk_.reset();
        SDL_FreeSurface(screen_);
    }
    // One main-screen frame `ms` milliseconds after the last.
    void frame(uint32_t ms) {
        now_ += ms;
        frameTicks = now_;
        disk_->drawMainScreen(screen_, static_cast<float>(ms) * 0.001f);
    }
    uint32_t pixel(int x, int y) const {
        uint32_t value;
        std::memcpy(&value, static_cast<Uint8*>(screen_->pixels) + y * screen_->pitch + x * 4, 4);
        return value & 0xFFFFFF;
    }
    static SDL_Event key(SDL_Keycode sym) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.sym = sym;
        return event;
    }
    // Waits (really) until the player thread has started playing `song`.
    bool waitForPlayback(int song) {
        for (int i = 0; i < 600; ++i) {
            if (playerState.loadedSong == song && playerState.playStartTicks != 0) return true;
            SDL_Delay(50);
        }
        return false;
    }

    uint32_t now_ = 20000;
    SDL_Point mouse_{0, 0};
    std::ostringstream out_;
    FrontEndHooks hooks_;
    std::unique_ptr<MusicDisk> disk_;
    SDL_Surface* screen_ = nullptr;
};

TEST_F(MainScreen, DrumTurnsIntoPlaceWithEntry13InTheBand) {
    for (int i = 0; i < 200; ++i) frame(16);
    EXPECT_EQ(disk_->list().listTop, 9);
    EXPECT_NEAR(disk_->list().listOffset, 0.1570795f, 2e-6f);
    const Music& entry = *catalogue[13];
    EXPECT_LE(entry.rowTop, 270);
    EXPECT_GE(entry.rowTop + entry.rowHeight, 270);
    EXPECT_EQ(pixel(5, 250), 0x440044u) << "the band, clear of the shade's dark ends";
    EXPECT_EQ(pixel(5, 246), 0u);
    int scope = 0;
    for (int y = 0; y < 540; ++y) scope += pixel(0, y) == 0xFFFFFFu;
    EXPECT_EQ(scope, 1) << "the scope's first point";
}

TEST_F(MainScreen, KeysAndClicksReachThePlayer) {
    for (int i = 0; i < 200; ++i) frame(16);
    disk_->handleMainEvent(key(SDLK_DOWN));
    for (int i = 0; i < 200; ++i) frame(16);
    EXPECT_EQ(disk_->list().listTop, 10);
    disk_->handleMainEvent(key(SDLK_RETURN));
    EXPECT_EQ(playerState.selectedSong, 14) << "Return picks the row in the band";

    SDL_Event click{};
    click.type = SDL_MOUSEBUTTONDOWN;
    click.button.button = SDL_BUTTON_LEFT;
    const int y = catalogue[12]->rowTop + catalogue[12]->rowHeight / 2;
    mouse_ = {154, y};
    disk_->handleMainEvent(click);
    EXPECT_EQ(playerState.selectedSong, 14) << "left of the export zone nothing happens";
    mouse_ = {201, y};
    disk_->handleMainEvent(click);
    EXPECT_EQ(playerState.selectedSong, 12);
    mouse_ = {774, catalogue[15]->rowTop + 2};
    disk_->handleMainEvent(click);
    EXPECT_EQ(playerState.selectedSong, 12) << "right of the rows nothing happens";

    SDL_Event quit{};
    quit.type = SDL_QUIT;
    disk_->handleMainEvent(quit);
    EXPECT_TRUE(disk_->quitRequested());
}

TEST_F(MainScreen, EveryEffectOnAndNothingAllocatedPerFrame) {
    ASSERT_TRUE(waitForPlayback(13));
    now_ = playerState.playStartTicks + 25000;
    frame(16);
    EXPECT_FALSE(disk_->effects().ballLatch);
    frame(61000); // the stars' delay and the scroller's minute of blocks pass
    frame(16);
    ASSERT_TRUE(disk_->effects().ballLatch);
    ASSERT_TRUE(disk_->effects().balls.created());
    EXPECT_EQ(disk_->scroller()->sliceCount(), 15);

    // Once round everything: a whole turn of the logo, so both of its faces have been drawn.
    auto turnLogo = [&] {
        frame(17000);
        for (int i = 0; i < 110; ++i) frame(16);
    };
    turnLogo();

    SDL_GetMemoryFunctions(&sdlMalloc, &sdlCalloc, &sdlRealloc, &sdlFree);
    SDL_SetMemoryFunctions(countedMalloc, countedCalloc, countedRealloc, countedFree);
    allocations = 0;
    countingHere = true;
    turnLogo();
    countingHere = false;
    SDL_SetMemoryFunctions(sdlMalloc, sdlCalloc, sdlRealloc, sdlFree);
    EXPECT_EQ(allocations.load(), 0);

    // The counter does count: one allocation of the test's own is seen.
    countingHere = true;
    void* probe = ::operator new(16);
    countingHere = false;
    ::operator delete(probe);
    EXPECT_EQ(allocations.load(), 1);
}

} // namespace
} // namespace md
