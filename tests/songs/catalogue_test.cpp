// The disk's songs and their catalogue rows: ids, order, bounds every song must keep, and the fit of its
// title and artist in a row.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "player/catalogue_data.h"
#include "player/fonts.h"
#include "song/loaded_song.h"
#include "song/song_file.h"
#include "synth/engine.h"

namespace md {
namespace {

namespace fs = std::filesystem;
const fs::path kSongDir = fs::path(MD_SOURCE_DIR) / "songs";

// Resource ids of the song files, by catalogue index.
constexpr int kCatalogueIds[kCatalogueRows] = {
    147, 143, 139, 103, 104, 105, 160, 106, 107, 108, 109, 161, 110, 111, 162, 112, 113,
    163, 172, 114, 115, 157, 116, 117, 164, 118, 101, 119, 120, 121, 165, 122, 153, 141,
    149, 123, 124, 125, 148, 127, 140, 128, 142, 129, 155, 130, 138, 131, 159, 132};

struct SongRow {
    int index, id;
    std::string text, title, artist;
};

std::vector<SongRow> tsvRows() {
    std::vector<SongRow> rows;
    std::ifstream in(kSongDir / "catalogue.tsv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::stringstream s(line);
        SongRow r;
        std::string index, id;
        std::getline(s, index, '\t');
        std::getline(s, id, '\t');
        std::getline(s, r.text, '\t');
        std::getline(s, r.title, '\t');
        std::getline(s, r.artist, '\t');
        r.index = std::stoi(index);
        r.id = std::stoi(id);
        rows.push_back(r);
    }
    return rows;
}

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Catalogue, RowsCarryTheFiftyIdsInTitleOrder) {
    const auto rows = tsvRows();
    ASSERT_EQ(rows.size(), 50u);
    std::set<int> ids;
    for (int i = 0; i < kCatalogueRows; ++i) {
        EXPECT_EQ(rows[i].index, i);
        EXPECT_EQ(rows[i].id, kCatalogueIds[i]) << rows[i].title;
        EXPECT_EQ(catalogueRows[i].resourceId, kCatalogueIds[i]);
        EXPECT_EQ(catalogueRows[i].title, rows[i].title);
        EXPECT_EQ(catalogueRows[i].fileName, "_" + rows[i].title + " - " + rows[i].artist + ".tsk");
        ids.insert(rows[i].id);
        if (i > 0) {
            EXPECT_LT(rows[i - 1].title, rows[i].title) << "rows run in ascending order of title";
        }
    }
    EXPECT_EQ(ids.size(), 50u);
}

TEST(Catalogue, AtLeastTwentyOriginalsAndFifteenArrangements) {
    int originals = 0;
    for (const auto& r : tsvRows()) originals += r.artist == "Oru";
    EXPECT_GE(originals, 20);
    EXPECT_GE(50 - originals, 15);
}

// All fifty songs are written; each compiles, parses, loops, lasts 90 to 300 seconds, uses all four tracks
// and stays under 24 KB compiled.
TEST(Songs, AllFiftySongsAreWrittenAndKeepTheBounds) {
    int written = 0;
    for (const auto& row : tsvRows()) {
        const fs::path path = kSongDir / row.text;
        if (!fs::exists(path)) {
            ADD_FAILURE() << row.text << " is listed in the catalogue but not written";
            continue;
        }
        ++written;
        SCOPED_TRACE(row.text);
        LoadedSong song;
        std::string error;
        ASSERT_TRUE(loadSongText(song, readText(path), &error, row.text)) << error;
        EXPECT_LT(song.bytes.size(), 24u * 1024u);
        EXPECT_EQ(song.song.trackCount, 4);
        // Each track plays a pattern with at least one note somewhere in the order list.
        for (int t = 0; t < 4; ++t) {
            bool sounds = false;
            for (int r = 0; r < song.song.orderLength && !sounds; ++r) {
                const int p = song.song.orderPattern(r, t);
                if (p == 0) continue;
                for (int row2 = 0; row2 < song.song.rowsPerPattern && !sounds; ++row2) {
                    const uint8_t* c = song.song.cells + ((p - 1) * song.song.rowsPerPattern + row2) * 3;
                    const int note = c[0] & 0x3F;
                    sounds = note != 0 && note != 63;
                }
            }
            EXPECT_TRUE(sounds) << "track " << t << " plays no note";
        }
        auto engine = std::make_unique<Engine>();
        engine->setup(&song.song);
        const SongMeasure m = engine->measure();
        EXPECT_TRUE(m.loops);
        EXPECT_GE(m.seconds, 90.0f);
        EXPECT_LE(m.seconds, 300.0f);
    }
    EXPECT_EQ(written, 50);
}

TEST(Songs, TitleAndArtistFitSideBySideInARow) {
    ASSERT_EQ(TTF_Init(), 0);
    TTF_Font* title = openFont(kTitleFontFile, 27);
    TTF_Font* artist = openFont(kTitleFontFile, 20);
    ASSERT_NE(title, nullptr);
    ASSERT_NE(artist, nullptr);
    for (const auto& row : tsvRows()) {
        int tw = 0, aw = 0, h = 0;
        TTF_SizeText(title, row.title.c_str(), &tw, &h);
        TTF_SizeText(artist, row.artist.c_str(), &aw, &h);
        EXPECT_LE(tw + 16 + aw, 576) << row.title << " / " << row.artist << ": " << tw << " + 16 + " << aw;
    }
    TTF_CloseFont(title);
    TTF_CloseFont(artist);
    TTF_Quit();
}

} // namespace
} // namespace md
