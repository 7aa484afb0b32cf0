#include "app/music_disk.h"

#include "app/intro.h"
#include "app/options.h"
#include "app/screen.h"
#include "platform/play_sound.h"
#include "platform/priority.h"
#include "platform/sleep.h"
#include "player/fonts.h"
#include "player/play_thread.h"
#include "player/player_state.h"
#include "player/rendered_audio.h"
#include "player/resources.h"
#include "player/wav_image.h"

#include <SDL_image.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <iostream>

namespace md {

FrontEndHooks::FrontEndHooks()
    : ticks([] { return SDL_GetTicks(); }), sleep([](uint32_t ms) { sleepMilliseconds(ms); }),
      loadImage([](int id) { return loadPngResource(id); }), out(&std::cout), mouseState([] {
          SDL_Point at{0, 0};
          SDL_GetMouseState(&at.x, &at.y);
          return at;
      }) {}

MusicDisk::MusicDisk(FrontEndHooks hooks) : hooks_(std::move(hooks)) {}

MusicDisk::~MusicDisk() {
    if (running_) shutDown();
    images_.freeAll();
}

int MusicDisk::run(int argc, char* argv[]) {
    if (int failed = startUp(argc, argv)) return failed;
    while (introFrame()) {
    }
    beginMainPhase();
    while (!quit_ && mainFrame()) {
    }
    return shutDown();
}

void MusicDisk::reportFailure(const char* prefix, const std::string& error) {
    *hooks_.out << prefix << error << std::endl;
}

void MusicDisk::shutDownLibraries() {
    closeSoundOutput();
    TTF_Quit();
    IMG_Quit();
    SDL_Quit();
}

int MusicDisk::startUp(int argc, char* argv[]) {
    fullscreenMode = hasFullscreenOption(argc, argv);
    effects_.balls.destroy();

    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        reportFailure("SDL_Init Error: ", SDL_GetError());
        return 1;
    }
    IMG_Init(IMG_INIT_PNG);
    TTF_Init();
    checkFonts(); // a missing font is reported now, once

    SDL_DisplayMode mode{};
    const bool haveMode = SDL_GetDesktopDisplayMode(0, &mode) == 0;
    screenWidth = kWindowWidth;
    screenHeight = kWindowHeight;
    int x = SDL_WINDOWPOS_CENTERED;
    int y = SDL_WINDOWPOS_CENTERED;
    if (fullscreenMode) {
        x = y = 0;
    } else if (haveMode) {
        x = (mode.w - kWindowWidth) / 2;
        y = (mode.h - kWindowHeight) / 2;
    }
    window_ = SDL_CreateWindow(kWindowTitle, x, y, kWindowWidth, kWindowHeight, SDL_WINDOW_SHOWN);
    if (window_ == nullptr) {
        reportFailure("SDL_CreateWindow Error: ", SDL_GetError());
        shutDownLibraries();
        return 1;
    }
    if (fullscreenMode) SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN);

    surface_ = SDL_GetWindowSurface(window_);
    if (surface_ == nullptr) { // a window that cannot be drawn on is as good as none
        const std::string error = SDL_GetError();
        SDL_DestroyWindow(window_);
        window_ = nullptr;
        reportFailure("SDL_CreateWindow Error: ", error);
        shutDownLibraries();
        return 1;
    }
    screenWidth = surface_->w;
    screenHeight = surface_->h;

    images_.wobbleSprite = hooks_.loadImage(kWobbleSpriteId);
    if (images_.wobbleSprite == nullptr) {
        const std::string error = SDL_GetError(); // the decoder's reason, whatever closing the window says
        SDL_DestroyWindow(window_);
        window_ = nullptr;
        surface_ = nullptr;
        reportFailure("SDL_LoadBMP Error: ", error);
        shutDownLibraries();
        return 1;
    }
    images_.loadRest(hooks_.loadImage);

    scroller_ = std::make_unique<ScrollText>(surface_->w, hooks_.loadImage(kFontSheetId));

    effects_.wobble = WobbleSprite{};

    raiseThreadPriority();
    raiseProcessPriority();

    quit_ = false;
    list_.listTop = 0;
    list_.listOffset = 0.0f;

    player_ = std::make_unique<PlayerLink>(surface_);
    rows_ = std::make_unique<CatalogueRows>(*player_, images_.readyIcon, images_.busyIcon);

    list_.listTarget = kInitialListTarget;
    layout_ = computeLayout(screenWidth, screenHeight, images_.titleLogo, surface_->h);

    frameTicks = hooks_.ticks();
    player_->start();
    player_->selectSong(std::min(kIntroSong, player_->songCount() - 1));
    running_ = true;
    return 0;
}

void MusicDisk::drawIntro(SDL_Surface* target, int32_t elapsedMs) const {
    drawIntroFrame(target, images_.introPicture, images_.whitePanel, images_.titleLogoIntro, elapsedMs);
}

bool MusicDisk::introFrame() {
    if (!fullscreenMode) hooks_.sleep(kWindowedFrameSleepMs);
    drawIntro(surface_, static_cast<int32_t>(hooks_.ticks() - frameTicks));
    SDL_UpdateWindowSurface(window_);
    if (hooks_.ticks() - frameTicks > kIntroLengthMs) return false; // no events are polled in the last frame

    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT || (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE)) {
            quit_ = true;
        }
    }
    return !quit_;
}

void MusicDisk::beginMainPhase() {
    player_->start();
    player_->selectSong(std::min(kFirstSong, player_->songCount() - 1));
    lastTicks_ = frameTicks = hooks_.ticks();
    effects_.ballLatch = false;
    player_->resetPlayStart(); // the balls wait for the new song's playback
    if (quit_) return;
    layout_.shadeHeight = computeShadeHeight(layout_.drumRadius);
}

bool MusicDisk::mainFrame() {
    if (!fullscreenMode) hooks_.sleep(kWindowedFrameSleepMs);
    frameTicks = hooks_.ticks();

    SDL_Event event;
    while (SDL_PollEvent(&event)) handleMainEvent(event);

    const uint32_t now = hooks_.ticks();
    dt_ = static_cast<float>(now - lastTicks_) * 0.001f;
    lastTicks_ = now;

    drawMainScreen(surface_, dt_);
    SDL_UpdateWindowSurface(window_);
    return !quit_;
}

void MusicDisk::handleMainEvent(const SDL_Event& event) {
    if (handleListEvent(event, list_, *rows_, screenHeight, hooks_.mouseState)) quit_ = true;
}

void MusicDisk::drawMainScreen(SDL_Surface* target, float dt) {
    SDL_FillRect(target, nullptr, 0);

    ScopeInput scope;
    scope.playStartTicks = playerState.playStartTicks.load(); // before the clock, so it is never ahead of it
    scope.ticks = hooks_.ticks();
    scope.selectedSong = playerState.selectedSong.load();
    scope.loadedSong = playerState.loadedSong.load();
    scope.lengthFrames = rows_->lengthFrames(scope.loadedSong);
    PlayThread& player = player_->playThread();
    {
        const SampleAreaReader audio; // the finished audio stays put while the scope reads it
        scope.samples = audio.values();
        scope.readableValues = static_cast<uint32_t>(audio.valueCount());
        scope.areaValues = 2 * kSampleAreaFrames;
        drawScope(target, layout_.logoCentreY, scope, player.peakLeft, player.peakRight);
    }

    effects_.logo.draw(images_.titleLogo, images_.makerLogo, dt, layout_.listWidth, layout_.logoCentreY,
                       target);
    drawSelectionBand(target, screenWidth, screenHeight);
    effects_.stars.draw(target, dt);
    drawSongRows(list_, layout_, screenWidth, target, *rows_);
    scrollStep(list_, dt, rows_->count());
    drawListShade(target, images_.listShade, shade_, layout_, screenWidth, screenHeight);
    if (scroller_) scroller_->draw(target, dt);
    effects_.wobble.draw(target, images_.wobbleSprite, dt);

    effects_.ballLatch = Balls::latched(effects_.ballLatch, frameTicks, playerState.playStartTicks.load());
    if (effects_.ballLatch) effects_.balls.draw(target, player.peakLeft, dt, player.peakRight);
}

int MusicDisk::shutDown() {
    if (!running_) return 0;
    running_ = false;

    // The player thread ends within its polling interval when idle, or after the chunk it is rendering; it is
    // waited for here, before the window, the libraries or the catalogue it reads go away.
    player_->requestQuit();
    player_->waitForThread();

    effects_.balls.destroy();

    SDL_DestroyWindow(window_);
    window_ = nullptr;
    surface_ = nullptr;

    shutDownLibraries();

    rows_.reset();
    player_.reset();

    scroller_.reset();

    return 0;
}

} // namespace md
