// The player thread's polling and switching, against the shared player state.
#include "player_fixture.h"

#include "player/rendered_audio.h"
#include "player/streaming.h"
#include "player/wav_image.h"
#include "synth/engine.h"

#include <algorithm>
#include <atomic>

namespace md {
namespace {

using test::PlayerTest;
using test::StateTrace;
using States = std::vector<int32_t>;

class PlayerThread : public PlayerTest {
  protected:
    // Entries 0 to 2: three short songs; entry 3: a song of 460 seconds, rendered as far as the image holds.
    void buildFour() {
        songs_.addText(201, test::shortSong());
        songs_.addText(202, test::toneSong(16, 4));
        songs_.addText(203, test::toneSong(16, 5));
        songs_.addText(204, test::toneSong(250, 92)); // 250 rows of 92 ticks: 460 s
        build(
            {{201, "", "One", "a"}, {202, "", "Two", "b"}, {203, "", "Three", "c"}, {204, "", "Long", "d"}});
        songs_.clearLoads();
    }
};

TEST_F(PlayerThread, SelectingTheLoadedSongDoesNothing) {
    buildFour();
    loadNow(1);
    ASSERT_EQ(playerState.playState, Rendered);
    const Engine* engine = playerState.currentEngine.get();
    const uint32_t started = playerState.playStartTicks;
    songs_.clearLoads();
    StateTrace::install();

    playerState.selectedSong.store(1);
    playerPoll();
    EXPECT_TRUE(songs_.loads().empty());
    EXPECT_EQ(StateTrace::take(), States{});
    EXPECT_EQ(playerState.playState, Rendered);
    EXPECT_EQ(playerState.currentEngine.get(), engine);
    EXPECT_EQ(playerState.playStartTicks, started);
}

TEST_F(PlayerThread, SeveralSelectionsWithinOnePollLoadOnlyTheLast) {
    buildFour();
    loadNow(0);
    songs_.clearLoads();
    for (int i : {1, 3, 2}) playerState.selectedSong.store(i);
    playerPoll();
    EXPECT_EQ(songs_.loads(), std::vector<int>{203});
    EXPECT_EQ(playerState.loadedSong, 2);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(catalogue[i]->isCurrent.load(), i == 2) << i;

    // A selection made while the switch stops the old song wins over the one that started the switch.
    songs_.clearLoads();
    static std::atomic<bool> changed;
    changed = false;
    playStateObserver = [](int32_t s) {
        if (s == Idle && !changed.exchange(true)) playerState.selectedSong.store(0);
    };
    playerState.selectedSong.store(1);
    playerPoll();
    EXPECT_EQ(songs_.loads(), std::vector<int>{201});
    EXPECT_EQ(playerState.loadedSong, 0);
}

TEST_F(PlayerThread, ASelectionDuringTheFirstChunkEndsTheRenderAfterIt) {
    buildFour();
    StateTrace::install();
    static std::atomic<bool> selected;
    selected = false;
    playStateObserver = [](int32_t s) {
        if (s == Rendering && !selected.exchange(true)) playerState.selectedSong.store(0);
    };
    loadNow(3);
    EXPECT_EQ(playerState.loadedSong, 3);
    EXPECT_EQ(playerState.playState, Rendered) << "cut short by the newer selection; playback goes on";
    EXPECT_EQ(renderedFrames(), renderChunkFrames) << "only the chunk under way was finished";
    EXPECT_NE(playerState.playStartTicks, 0u) << "playback started after the first chunk";

    StateTrace::install();
    playerPoll();
    EXPECT_EQ(StateTrace::take(), (States{Idle, Rendering, Rendered}));
    EXPECT_EQ(playerState.loadedSong, 0);
    EXPECT_EQ(renderedFrames(), 2 * renderChunkFrames);
}

TEST_F(PlayerThread, ASelectionDuringARenderEndsItAfterTheChunkUnderWay) {
    buildFour();
    StateTrace::install();
    static std::atomic<uint32_t> framesWhenCut;
    playStateObserver = [](int32_t s) {
        if (s == Rendered && playerState.loadedSong.load() == 3) framesWhenCut = renderedFrames();
        StateTrace::record(s);
    };
    player_->start();
    playerState.selectedSong.store(3);
    ASSERT_TRUE(test::waitFor([] { return playerState.playStartTicks.load() != 0; }));
    const uint32_t before = renderedFrames();
    playerState.selectedSong.store(1);
    ASSERT_TRUE(test::waitFor(
        [] { return playerState.loadedSong.load() == 1 && playerState.playState == Rendered; }));
    playerState.quitRequested.store(true);
    player_->waitForThread();

    EXPECT_EQ(StateTrace::take(), (States{Idle, Rendering, Rendered, Idle, Rendering, Rendered}));
    // The long song was cut after the chunk under way when the selection came (or the one it began just
    // then).
    EXPECT_GE(framesWhenCut, before);
    EXPECT_LE(framesWhenCut, before + 2 * renderChunkFrames);
    EXPECT_LT(framesWhenCut, 47 * renderChunkFrames);
}

TEST_F(PlayerThread, ASelectionWhileExportingWaitsForTheExport) {
    buildFour();
    loadNow(0);
    playerState.playState.store(Exporting); // as the export leaves it while it writes
    playerState.selectedSong.store(1);
    songs_.clearLoads();
    playerPoll();
    EXPECT_EQ(playerState.loadedSong, 0);
    EXPECT_EQ(playerState.playState, Exporting);
    EXPECT_TRUE(songs_.loads().empty());
    EXPECT_TRUE(catalogue[0]->isCurrent);

    playerState.playState.store(Exported);
    playerPoll();
    EXPECT_EQ(playerState.loadedSong, 1);
    EXPECT_EQ(playerState.playState, Rendered);
    EXPECT_FALSE(catalogue[0]->isCurrent);
}

TEST_F(PlayerThread, AQuitWhileIdleEndsTheThreadWithinAPollAndLoadsNothing) {
    buildFour();
    player_->start();
    SDL_Delay(150); // the thread is waiting between two polls
    const auto begin = std::chrono::steady_clock::now();
    playerState.selectedSong.store(2);
    playerState.quitRequested.store(true);
    player_->waitForThread();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_LT(ms, 100.0 + 50.0) << "the thread ended " << ms << " ms after the request";
    EXPECT_EQ(playerState.loadedSong, -1);
    EXPECT_TRUE(songs_.loads().empty());
}

TEST_F(PlayerThread, AQuitDuringARenderEndsItIdleAfterTheChunk) {
    buildFour();
    StateTrace::install();
    static std::atomic<bool> quit;
    quit = false;
    playStateObserver = [](int32_t s) {
        if (s == Rendering && !quit.exchange(true)) playerState.quitRequested.store(true);
    };
    loadNow(3);
    EXPECT_EQ(playerState.playState, Idle);
    EXPECT_EQ(renderedFrames(), renderChunkFrames);
}

TEST_F(PlayerThread, TheShippedCatalogueTakesUpSongNineThenSongThirteen) {
    // The catalogue and songs built into the program; songs not written yet are missing entries, which are
    // taken up (and stay silent) all the same.
    player_ = std::make_unique<PlayThread>(surface_);
    ASSERT_EQ(catalogueCount, 50);
    StateTrace::install();
    player_->start();
    playerState.selectedSong.store(std::min(9, catalogueCount - 1));
    ASSERT_TRUE(test::waitFor([] { return playerState.loadedSong.load() == 9; }));
    const bool nineExists = catalogue[9]->resourceSize > 0;
    if (nineExists) {
        ASSERT_TRUE(test::waitFor([] { return playerState.playStartTicks.load() != 0; }));
    }
    player_->start(); // as after the intro: no second thread
    playerState.selectedSong.store(std::min(13, catalogueCount - 1));
    playerState.playStartTicks.store(0);
    ASSERT_TRUE(test::waitFor([] { return playerState.loadedSong.load() == 13; }));
    const bool thirteenExists = catalogue[13]->resourceSize > 0;
    if (thirteenExists) {
        ASSERT_TRUE(test::waitFor([] { return playerState.playState.load() == Rendered; }));
        EXPECT_EQ(catalogue[13]->lengthFrames, songFrames(catalogue[13]->lengthSeconds));
    } else {
        EXPECT_EQ(playerState.playState, Rendering);
    }
    EXPECT_TRUE(catalogue[13]->isCurrent);
    EXPECT_FALSE(catalogue[9]->isCurrent);
    playerState.quitRequested.store(true);
    player_->waitForThread();
    const States states = StateTrace::take();
    ASSERT_GE(states.size(), 4u);
    EXPECT_EQ(states[0], Idle);
    EXPECT_EQ(states[1], Rendering);
    if (nineExists) {
        EXPECT_EQ(states[2], Rendered) << "song 9 was cut short by the selection of 13";
    }
}

} // namespace
} // namespace md
