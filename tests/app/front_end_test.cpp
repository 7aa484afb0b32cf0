// The front end run in this process on SDL's dummy video driver, on a clock the test sets, with images made
// here, so that frames can be stepped one by one and events injected.
#include "app/layout.h"
#include "app/music_disk.h"
#include "app/options.h"
#include "app/screen.h"
#include "player/player_state.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <vector>

namespace md {
namespace {

SDL_Surface* solidImage(int w, int h, Uint8 r, Uint8 g, Uint8 b) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_FillRect(s, nullptr, SDL_MapRGBA(s->format, r, g, b, 255));
    return s;
}

SDL_Surface* imageFor(int id) {
    switch (id) {
    case 137:
        return solidImage(75, 26, 200, 160, 40);
    case 166:
        return solidImage(960, 540, 255, 0, 0);
    case 169:
        return solidImage(32, 32, 255, 255, 255);
    case 170:
        return solidImage(700, 152, 0, 0, 255);
    case 146:
        return solidImage(700, 152, 0, 255, 0);
    case 136:
        return solidImage(16, 150, 0, 0, 0);
    case 171:
        return solidImage(64, 64, 10, 10, 10);
    case 175:
        return solidImage(128, 128, 250, 250, 250);
    default:
        return nullptr;
    }
}

class FrontEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
        SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
        playerState.selectedSong = 1234;
        playerState.quitRequested = false;
        playerState.playStartTicks = 777;
        hooks_.ticks = [this] { return now_; };
        hooks_.sleep = [this](uint32_t ms) { sleeps_.push_back(ms); };
        hooks_.loadImage = [this](int id) {
            loaded_.push_back(id);
            return imageFor(id);
        };
        hooks_.out = &out_;
    }

    int start(std::vector<const char*> args = {"musicdisk"}) {
        disk_ = std::make_unique<MusicDisk>(hooks_);
        return disk_->startUp(static_cast<int>(args.size()), const_cast<char**>(args.data()));
    }

    static void pushKey(SDL_Keycode key) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.sym = key;
        SDL_PushEvent(&event);
    }
    static void pushQuit() {
        SDL_Event event{};
        event.type = SDL_QUIT;
        SDL_PushEvent(&event);
    }
    static void pushClick() {
        SDL_Event event{};
        event.type = SDL_MOUSEBUTTONDOWN;
        event.button.button = SDL_BUTTON_LEFT;
        event.button.x = 480;
        event.button.y = 270;
        SDL_PushEvent(&event);
    }

    Uint32 pixel(int x, int y) const {
        SDL_Surface* s = disk_->surface();
        Uint32 value;
        std::memcpy(&value, static_cast<Uint8*>(s->pixels) + y * s->pitch + x * 4, 4);
        return value & 0xFFFFFF;
    }
    bool wholeSurfaceIs(Uint32 rgb) const {
        for (int y = 0; y < 540; y += 7)
            for (int x = 0; x < 960; x += 7)
                if (pixel(x, y) != rgb) return false;
        return pixel(959, 539) == rgb;
    }

    uint32_t now_ = 50000;
    std::vector<uint32_t> sleeps_;
    std::vector<int> loaded_;
    std::ostringstream out_;
    FrontEndHooks hooks_;
    std::unique_ptr<MusicDisk> disk_;
};

TEST_F(FrontEnd, StartUpOpensTheWindowAndLoadsTheImagesInOrder) {
    ASSERT_EQ(start(), 0) << out_.str();
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(loaded_, (std::vector<int>{137, 166, 169, 170, 170, 146, 136, 171, 175, 135}))
        << "the scroller loads its glyph sheet last";
    EXPECT_STREQ(SDL_GetWindowTitle(disk_->window()), "Music Disk");
    int w = 0, h = 0;
    SDL_GetWindowSize(disk_->window(), &w, &h);
    EXPECT_EQ(w, 960);
    EXPECT_EQ(h, 540);
    EXPECT_EQ(screenWidth, 960);
    EXPECT_EQ(screenHeight, 540);
    EXPECT_EQ(disk_->surface()->format->BytesPerPixel, 4);
    EXPECT_FALSE(fullscreenMode);
    EXPECT_NE(disk_->images().titleLogoIntro, disk_->images().titleLogo) << "two separate copies of the logo";

    EXPECT_EQ(disk_->layout().drumRadius, 135);
    EXPECT_EQ(disk_->layout().listWidth, 576);
    EXPECT_EQ(disk_->layout().logoCentreY, 75);
    EXPECT_FLOAT_EQ(disk_->list().listTarget, -2.6703515f);
    EXPECT_EQ(disk_->list().listTop, 0);
    EXPECT_EQ(frameTicks, now_);
    // The intro plays catalogue entry 9.
    EXPECT_EQ(playerState.selectedSong, 9);
    EXPECT_EQ(disk_->shutDown(), 0);
}

TEST_F(FrontEnd, IntroRunsFifteenSecondsThenTheMainScreenUntilQuit) {
    ASSERT_EQ(start(), 0);
    const uint32_t begin = now_;
    ASSERT_TRUE(disk_->introFrame());
    EXPECT_EQ(pixel(400, 300), 0xFFFFFFu) << "the central picture starts covered";
    EXPECT_EQ(pixel(20, 20), 0xFF0000u) << "the picture around the covers shows";
    now_ = begin + 7000;
    ASSERT_TRUE(disk_->introFrame());
    EXPECT_EQ(pixel(400, 300), 0xFF0000u) << "the central picture is uncovered by 7 s";
    now_ = begin + 11000;
    ASSERT_TRUE(disk_->introFrame());
    EXPECT_EQ(pixel(480, 270), 0x0000FFu) << "title logo on white";
    EXPECT_EQ(pixel(20, 20), 0xFFFFFFu);
    now_ = begin + 15000;
    ASSERT_TRUE(disk_->introFrame()) << "15000 ms is not yet past the end";
    now_ = begin + 15001;
    pushQuit(); // not polled in the last frame
    EXPECT_FALSE(disk_->introFrame());
    EXPECT_TRUE(wholeSurfaceIs(0xFFFFFF)) << "the intro ends on white";
    EXPECT_FALSE(disk_->quitRequested());
    EXPECT_EQ(sleeps_, std::vector<uint32_t>(5, 5u)) << "each windowed frame sleeps 5 ms";

    now_ += 3;
    disk_->beginMainPhase();
    EXPECT_EQ(playerState.playStartTicks, 0u);
    EXPECT_EQ(disk_->layout().shadeHeight, 276);
    EXPECT_EQ(frameTicks, now_);

    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    now_ += 16;
    EXPECT_TRUE(disk_->mainFrame());
    EXPECT_FLOAT_EQ(disk_->frameDt(), 0.016f);
    EXPECT_EQ(pixel(0, 75), 0xFFFFFFu) << "the scope's flat line at the logo's centre";
    EXPECT_EQ(pixel(480, 75), 0x0000FFu) << "the title logo";
    EXPECT_EQ(pixel(5, 500), 0x000000u) << "the scroller has not come in yet";
    now_ += 250;
    pushKey(SDLK_DOWN);
    EXPECT_TRUE(disk_->mainFrame());
    EXPECT_FLOAT_EQ(disk_->frameDt(), 0.25f);
    pushQuit();
    EXPECT_FALSE(disk_->mainFrame());

    EXPECT_EQ(disk_->shutDown(), 0);
    EXPECT_TRUE(playerState.quitRequested);
    EXPECT_EQ(SDL_WasInit(0), 0u) << "SDL is shut down";
}

TEST_F(FrontEnd, EscapeInTheIntroEndsTheProgramWithoutTheMainScreen) {
    ASSERT_EQ(start(), 0);
    pushClick();
    pushKey(SDLK_SPACE);
    pushKey(SDLK_RETURN);
    EXPECT_TRUE(disk_->introFrame()) << "clicks and other keys do not skip the intro";
    pushKey(SDLK_ESCAPE);
    EXPECT_FALSE(disk_->introFrame());
    EXPECT_TRUE(disk_->quitRequested());
    disk_->beginMainPhase();
    EXPECT_EQ(playerState.playStartTicks, 0u) << "the transition's writes still happen";
    EXPECT_EQ(disk_->layout().shadeHeight, 0) << "but the main screen is not prepared";
    EXPECT_EQ(disk_->shutDown(), 0);
}

TEST_F(FrontEnd, WindowCloseEndsTheIntro) {
    ASSERT_EQ(start(), 0);
    now_ += 3000;
    pushQuit();
    EXPECT_FALSE(disk_->introFrame());
    EXPECT_TRUE(disk_->quitRequested());
}

TEST_F(FrontEnd, FullscreenOptionAnywhereAndInAnyCase) {
    ASSERT_EQ(start({"musicdisk", "--verbose", "-FULLSCREEN", "song"}), 0);
    EXPECT_TRUE(fullscreenMode);
    EXPECT_TRUE(disk_->introFrame());
    EXPECT_TRUE(sleeps_.empty()) << "no sleep in full screen";
    EXPECT_EQ(screenWidth, disk_->surface()->w);
    EXPECT_EQ(screenHeight, disk_->surface()->h);
}

TEST_F(FrontEnd, AnUndecodableSpriteStopsStartUp) {
    hooks_.loadImage = [this](int id) -> SDL_Surface* {
        loaded_.push_back(id);
        SDL_SetError("broken picture %d", id);
        return nullptr;
    };
    EXPECT_EQ(start(), 1);
    EXPECT_EQ(out_.str(), "SDL_LoadBMP Error: broken picture 137\n");
    EXPECT_EQ(loaded_, std::vector<int>{137}) << "nothing is loaded after the failed sprite";
    EXPECT_EQ(SDL_WasInit(0), 0u) << "SDL is shut down again";
}

TEST_F(FrontEnd, AFailingVideoDriverStopsStartUp) {
    SDL_setenv("SDL_VIDEODRIVER", "no-such-video-driver", 1);
    EXPECT_EQ(start(), 1);
    EXPECT_EQ(out_.str().rfind("SDL_Init Error: ", 0), 0u) << out_.str();
    EXPECT_EQ(out_.str().back(), '\n');
    EXPECT_TRUE(loaded_.empty());
}

TEST_F(FrontEnd, MissingLaterImagesAreTolerated) {
    hooks_.loadImage = [](int id) { return id == 137 ? imageFor(id) : nullptr; };
    ASSERT_EQ(start(), 0);
    EXPECT_EQ(disk_->layout().logoCentreY, 13) << "without a logo only the margin remains";
    EXPECT_TRUE(disk_->introFrame());
    EXPECT_TRUE(wholeSurfaceIs(0xFFFFFF));
}

TEST(Options, FullscreenIsRecognisedAnywhereWithoutRegardToCase) {
    auto parse = [](std::vector<const char*> args) {
        return hasFullscreenOption(static_cast<int>(args.size()), const_cast<char**>(args.data()));
    };
    EXPECT_FALSE(parse({"musicdisk"}));
    EXPECT_TRUE(parse({"musicdisk", "-fullscreen"}));
    EXPECT_TRUE(parse({"musicdisk", "-FULLSCREEN"}));
    EXPECT_TRUE(parse({"musicdisk", "a", "b", "-FullScreen"}));
    EXPECT_TRUE(parse({"musicdisk", "-fUlLsCrEeN", "x"}));
    EXPECT_FALSE(parse({"musicdisk", "fullscreen", "--fullscreen", "-fullscreen2", "-full"}));
    EXPECT_FALSE(parse({"-fullscreen"})) << "the program's own name is not an option";
}

TEST(Layout, ValuesFollowTheScreenAndTheLogo) {
    SDL_Surface* logo = SDL_CreateRGBSurfaceWithFormat(0, 700, 152, 32, SDL_PIXELFORMAT_ARGB8888);
    Layout layout = computeLayout(960, 540, logo, 540);
    EXPECT_EQ(layout.drumRadius, 135);
    EXPECT_EQ(layout.listWidth, 576);
    EXPECT_EQ(layout.logoCentreY, 75);
    EXPECT_EQ(computeShadeHeight(layout.drumRadius), 276);

    layout = computeLayout(1920, 1080, logo, 1080);
    EXPECT_EQ(layout.drumRadius, 270);
    EXPECT_EQ(layout.listWidth, 1152);
    EXPECT_EQ(layout.logoCentreY, (152 * 1152 / 700) / 2 + 27);
    EXPECT_EQ(computeShadeHeight(270), static_cast<int>(270 * 2.05f));
    SDL_FreeSurface(logo);
}

} // namespace
} // namespace md
