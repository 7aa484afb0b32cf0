// The catalogue: entries built from the rows with their sizes and measured lengths, the song preparation
// shared with playback, and the hit test over the rows' recorded spans.
#include "player_fixture.h"

#include "player/labels.h"
#include "player/streaming.h"
#include "player/wav_image.h"
#include "song/loaded_song.h"
#include "synth/engine.h"

namespace md {
namespace {

using test::PlayerTest;

class Catalogue : public PlayerTest {};

TEST_F(Catalogue, EntriesCarryTheirTextsSizesAndMeasuredLengths) {
    songs_.addText(201, test::shortSong());
    songs_.addText(202, test::minuteSong());
    build({{201, "_Short - Tester.tsk", "Short", "Tester"},
           {999, "_Gone - Nobody.tsk", "Gone", "Nobody"},
           {202, "_Minute - Tester.tsk", "Minute", "Tester"}});

    ASSERT_EQ(catalogueCount, 3);
    EXPECT_EQ(catalogue[3], nullptr) << "slots beyond the rows stay empty";
    const Music& a = *catalogue[0];
    EXPECT_STREQ(a.title, "Short");
    EXPECT_STREQ(a.artist, "Tester");
    EXPECT_EQ(a.resourceId, 201);
    EXPECT_EQ(a.resourceSize, static_cast<int32_t>(test::compileText(test::shortSong()).size()));
    EXPECT_FLOAT_EQ(a.lengthSeconds, 0.96f);
    EXPECT_FLOAT_EQ(catalogue[2]->lengthSeconds, 60.0f);
    for (int i = 0; i < 3; ++i) {
        const Music& e = *catalogue[i];
        EXPECT_EQ(e.rowTop, 0);
        EXPECT_EQ(e.rowHeight, 0);
        EXPECT_FALSE(e.isCurrent);
        EXPECT_EQ(e.lengthFrames, 0) << "set only when the song is loaded for playback";
        for (SDL_Surface* label :
             {e.titleLabel, e.titleLabelLit, e.artistLabel, e.artistLabelLit, e.sizeLabel, e.timeLabel})
            EXPECT_NE(label, nullptr);
    }
    // After the construction the shared song data is that of the last entry.
    ASSERT_TRUE(playerState.currentEngine);
    EXPECT_EQ(playerState.songByteCount, catalogue[2]->resourceSize);
}

TEST_F(Catalogue, MissingOrRefusedSongHasNoLengthAndStaysSelectable) {
    std::vector<uint8_t> damaged = test::compileText(test::shortSong());
    damaged.resize(damaged.size() / 2); // the file ends in the middle of its patterns
    songs_.add(203, damaged);
    songs_.addText(201, test::shortSong());
    build({{999, "_Gone - Nobody.tsk", "Gone", "Nobody"},
           {203, "_Broken - Tester.tsk", "Broken", "Tester"},
           {201, "_Short - Tester.tsk", "Short", "Tester"}});

    const Music& missing = *catalogue[0];
    EXPECT_EQ(missing.resourceSize, 0);
    EXPECT_EQ(missing.lengthSeconds, 0.0f);
    const Music& refused = *catalogue[1];
    EXPECT_EQ(refused.resourceSize, static_cast<int32_t>(damaged.size()));
    EXPECT_EQ(refused.lengthSeconds, 0.0f);
    // Their labels read "0 bytes" and "0:00": the same sizes as labels rendered from those texts.
    EXPECT_EQ(formatSongSize(missing.resourceSize), "0 bytes");
    EXPECT_EQ(formatPlayingTime(refused.lengthSeconds), "0:00");

    EXPECT_FALSE(prepareSong(999));
    EXPECT_FALSE(playerState.currentEngine)
        << "a failed preparation leaves no Engine bound to a released Song";
    EXPECT_FALSE(prepareSong(203));
    EXPECT_TRUE(prepareSong(201));
    ASSERT_TRUE(playerState.currentEngine);
    EXPECT_EQ(playerState.currentEngine->song, playerState.currentSong.get());
}

TEST_F(Catalogue, PlaybackSurvivesAFailedPreparation) {
    songs_.addText(201, test::shortSong());
    build({{999, "_Gone - Nobody.tsk", "Gone", "Nobody"}, {201, "_Short - Tester.tsk", "Short", "Tester"}});
    loadNow(1);
    ASSERT_EQ(playerState.playState, Rendered);
    ASSERT_NE(playerState.playStartTicks, 0u);

    loadNow(0);
    EXPECT_EQ(playerState.loadedSong, 0);
    EXPECT_EQ(playerState.playState, Rendering) << "the busy icon keeps blinking";
    EXPECT_EQ(playerState.playStartTicks, 0u) << "nothing plays";
    EXPECT_EQ(renderedFrames(), 0u);
    EXPECT_TRUE(catalogue[0]->isCurrent);
    EXPECT_FALSE(catalogue[1]->isCurrent);

    loadNow(1);
    EXPECT_EQ(playerState.loadedSong, 1);
    EXPECT_EQ(playerState.playState, Rendered);
    EXPECT_NE(playerState.playStartTicks, 0u);
    EXPECT_EQ(catalogue[1]->lengthFrames, 46080);
    EXPECT_FALSE(catalogue[0]->isCurrent);
}

TEST_F(Catalogue, HitTestTakesTheLowestIndexWhoseSpanContainsY) {
    build({{1, "", "A", "a"}, {2, "", "B", "b"}, {3, "", "C", "c"}, {4, "", "D", "d"}});
    // Before anything is drawn every span is [0, 0].
    EXPECT_EQ(findRowAt(0), 0);
    EXPECT_EQ(findRowAt(1), kNoRow);
    EXPECT_EQ(findRowAt(-1), kNoRow);

    catalogue[0]->rowTop = 300; // entry 0 scrolled away
    catalogue[0]->rowHeight = 20;
    catalogue[1]->rowTop = 100;
    catalogue[1]->rowHeight = 27;
    catalogue[2]->rowTop = 120; // overlaps entry 1
    catalogue[2]->rowHeight = 27;
    catalogue[3]->rowTop = 200; // drawn with scale 0
    catalogue[3]->rowHeight = 0;
    EXPECT_EQ(findRowAt(0), kNoRow);
    EXPECT_EQ(findRowAt(99), kNoRow);
    EXPECT_EQ(findRowAt(100), 1) << "top bound included";
    EXPECT_EQ(findRowAt(127), 1) << "bottom bound included, and the lower index wins the overlap";
    EXPECT_EQ(findRowAt(128), 2);
    EXPECT_EQ(findRowAt(147), 2);
    EXPECT_EQ(findRowAt(148), kNoRow);
    EXPECT_EQ(findRowAt(200), 3) << "a zero-height row is the single line at its top";
    EXPECT_EQ(findRowAt(199), kNoRow);
    EXPECT_EQ(findRowAt(201), kNoRow);
    EXPECT_EQ(findRowAt(310), 0) << "an entry keeps the span of its last drawing";

    // selectAt: a miss leaves the selection alone and answers catalogueCount, and still starts the thread.
    playerState.selectedSong.store(2);
    EXPECT_EQ(player_->selectAt(5), 4);
    EXPECT_EQ(playerState.selectedSong, 2);
    EXPECT_NE(player_->thread, nullptr);
    EXPECT_EQ(player_->selectAt(110), 1);
    EXPECT_EQ(playerState.selectedSong, 1);
}

} // namespace
} // namespace md
