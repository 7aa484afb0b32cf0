// The program's front end: start-up, the intro, the main screen's frame loop and shutdown, all on the thread
// that owns the window. The phases can be run one by one, so that tests can drive the program headless
// (SDL_VIDEODRIVER=dummy), inject events with SDL_PushEvent and step frames on a clock of their own.
#pragma once

#include "app/catalogue_rows.h"
#include "app/front_end_images.h"
#include "app/layout.h"
#include "app/player_link.h"
#include "app/song_list.h"
#include "ui/balls.h"
#include "ui/logo_flip.h"
#include "ui/scope.h"
#include "ui/scroll_text.h"
#include "ui/starfield.h"
#include "ui/wobble_sprite.h"

#include <SDL.h>

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

namespace md {

// What the front end takes from its surroundings. The defaults are the real ones.
struct FrontEndHooks {
    std::function<uint32_t()> ticks;     // SDL milliseconds (SDL_GetTicks)
    std::function<void(uint32_t)> sleep; // pause of the windowed frame loop (SDL_Delay)
    ImageLoader loadImage;               // decoder of an embedded PNG by id (loadPngResource)
    std::ostream* out = nullptr;         // where start-up failures are reported (standard output)
    MouseState mouseState;               // where the mouse is now (SDL_GetMouseState)

    FrontEndHooks();
};

// The state of the effects kept by the frame loop.
struct EffectState {
    LogoFlip logo;
    Starfield stars;
    WobbleSprite wobble; // its three phases
    Balls balls;
    bool ballLatch = false; // the balls show once a song has played for a while
};

inline constexpr int kWindowWidth = 960;
inline constexpr int kWindowHeight = 540;
inline constexpr const char* kWindowTitle = "Music Disk";
inline constexpr uint32_t kWindowedFrameSleepMs = 5;
// Catalogue index of the song played during the intro, and of the song selected when it ends.
inline constexpr int kIntroSong = 9;
inline constexpr int kFirstSong = 13;

class MusicDisk {
  public:
    explicit MusicDisk(FrontEndHooks hooks = FrontEndHooks());
    ~MusicDisk();

    MusicDisk(const MusicDisk&) = delete;
    MusicDisk& operator=(const MusicDisk&) = delete;

    // The whole program: start-up, intro, main screen, shutdown. 0 after a normal run, 1 when start-up fails.
    int run(int argc, char* argv[]);

    // Start-up: options, SDL and its image and font libraries, the window, the images, the priorities and the
    // player. 0 on success; on failure the message is written to the output, everything is closed again and
    // the result is 1.
    int startUp(int argc, char* argv[]);

    // One intro frame. False once the intro is over: its fifteen seconds have passed or quit was asked for.
    bool introFrame();

    // The step from the intro to the main screen.
    void beginMainPhase();

    // One main-screen frame. False once quit was asked for.
    bool mainFrame();

    // Shutdown, in order: the player is told to quit and waited for, the window closes, the libraries shut
    // down, the player and the scroller are destroyed. Returns 0.
    int shutDown();

    // The drawing of one frame of each phase, into any 32-bit surface.
    void drawIntro(SDL_Surface* target, int32_t elapsedMs) const;
    void drawMainScreen(SDL_Surface* target, float dt);

    // Reaction of the main screen to one event.
    void handleMainEvent(const SDL_Event& event);

    bool quitRequested() const { return quit_; }
    float frameDt() const { return dt_; }
    SDL_Window* window() const { return window_; }
    SDL_Surface* surface() const { return surface_; }
    const FrontEndImages& images() const { return images_; }
    const Layout& layout() const { return layout_; }
    const ListState& list() const { return list_; }
    const EffectState& effects() const { return effects_; }
    const ScrollText* scroller() const { return scroller_.get(); }

  private:
    void shutDownLibraries();
    void reportFailure(const char* prefix, const std::string& error);

    FrontEndHooks hooks_;
    SDL_Window* window_ = nullptr;
    SDL_Surface* surface_ = nullptr;
    FrontEndImages images_;
    Layout layout_;
    ListState list_;
    EffectState effects_;
    PrescaledImage shade_; // the list shade, stretched over the drum
    std::unique_ptr<ScrollText> scroller_;
    std::unique_ptr<PlayerLink> player_;
    std::unique_ptr<CatalogueRows> rows_;
    bool quit_ = false;
    bool running_ = false; // between a successful start-up and shutdown
    uint32_t lastTicks_ = 0;
    float dt_ = 0.0f;
};

} // namespace md
