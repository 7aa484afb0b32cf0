#include "player/play_thread.h"

#include "platform/play_sound.h"
#include "player/catalogue.h"
#include "player/player_state.h"
#include "song/song.h"
#include "synth/engine.h"

namespace md {

namespace {

Music* entryAt(int index) {
    return index >= 0 && index < catalogueCount ? catalogue[index] : nullptr;
}

} // namespace

PlayThread::PlayThread(SDL_Surface* surface, std::span<const CatalogueRow> rows) {
    PlayerState& ps = playerState;
    ps.selectedSong.store(-1);
    ps.loadedSong.store(-1);
    ps.quitRequested.store(false);
    ps.playState.store(Idle);
    ps.playStartTicks.store(0);
    buildCatalogue(surface, rows);
}

PlayThread::~PlayThread() {
    playerState.quitRequested.store(true);
    waitForThread();
    stopSound();
    destroyCatalogue();
    PlayerState& ps = playerState;
    ps.currentEngine.reset();
    ps.currentSong.reset();
    ps.songBytes.reset();
    ps.songByteCount = 0;
}

void PlayThread::start() {
    if (thread != nullptr || playerState.quitRequested.load()) return;
    thread = SDL_CreateThread(playerThreadMain, "player", nullptr);
}

int PlayThread::selectAt(int y) {
    start();
    const int index = findRowAt(y);
    if (index == kNoRow) return catalogueCount;
    playerState.selectedSong.store(index);
    return index;
}

void PlayThread::waitForThread() {
    if (thread == nullptr) return;
    SDL_WaitThread(thread, nullptr);
    thread = nullptr;
}

void playerPoll() {
    PlayerState& ps = playerState;
    int32_t s = ps.selectedSong.load();
    const int32_t l = ps.loadedSong.load();
    if (s == l) return;
    // Taking the state from anything but Exporting to Idle in one step keeps an export from beginning while
    // the switch is under way; an export that has just begun makes it wait for the next poll.
    int32_t state = ps.playState.load();
    if (state == Exporting || !changePlayState(state, Idle)) return;

    if (l >= 0) {
        if (Music* old = entryAt(l)) old->isCurrent.store(false);
        stopSound();
        if (ps.currentEngine) {
            ps.currentEngine->stop();
            ps.currentEngine.reset();
        }
        s = ps.selectedSong.load(); // a selection made meanwhile wins
        ps.playStartTicks.store(0);
    }
    ps.loadedSong.store(s);
    if (Music* next = entryAt(s)) {
        next->isCurrent.store(true);
        next->loadAndPlay();
    }
}

int playerThreadMain(void*) {
    PlayerState& ps = playerState;
    while (!ps.quitRequested.load()) {
        SDL_Delay(kPlayerPollMs);
        if (ps.quitRequested.load()) break; // nothing new is taken up at shutdown
        playerPoll();
    }
    return 0;
}

} // namespace md
