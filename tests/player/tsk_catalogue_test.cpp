// `tsk list` and the @N song arguments: the catalogue built into the tool, as the disk builds it.
#include "player_fixture.h"

#include "player/catalogue_data.h"
#include "player/resources.h"
#include "player/wav_image.h"
#include "tool_folder.h"

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace md {
namespace {

namespace fs = std::filesystem;

using ToolRun = test::ToolResult;

class TskCatalogue : public test::ToolFolder {
  protected:
    void SetUp() override {
        if (!fs::exists(MD_TSK)) GTEST_SKIP() << "tsk is not built here";
        ToolFolder::SetUp();
    }
    ToolRun tsk(const std::string& arguments) const { return run(MD_TSK, arguments); }
    // A catalogue entry whose song this build carries, or -1.
    static int writtenEntry() {
        for (int i : {9, 13})
            if (musicResourceSize(catalogueRows[i].resourceId) > 0) return i;
        for (int i = 0; i < kCatalogueRows; ++i)
            if (musicResourceSize(catalogueRows[i].resourceId) > 0) return i;
        return -1;
    }
};

TEST_F(TskCatalogue, ListShowsEveryEntryWithItsSizeAndLength) {
    const ToolRun r = tsk("list --tsv");
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "index\tid\ttitle\tartist\tbytes\tseconds");
    int rows = 0;
    while (std::getline(lines, line)) {
        std::istringstream f(line);
        std::string index, id, title, artist, bytes, seconds;
        std::getline(f, index, '\t');
        std::getline(f, id, '\t');
        std::getline(f, title, '\t');
        std::getline(f, artist, '\t');
        std::getline(f, bytes, '\t');
        std::getline(f, seconds, '\t');
        ASSERT_EQ(std::stoi(index), rows);
        const CatalogueRow& row = catalogueRows[rows];
        EXPECT_EQ(std::stoi(id), row.resourceId);
        EXPECT_EQ(title, row.title);
        EXPECT_EQ(artist, row.artist);
        EXPECT_EQ(std::stoi(bytes), musicResourceSize(row.resourceId));
        if (std::stoi(bytes) == 0) {
            EXPECT_EQ(seconds, "0.000") << "a missing song has no length";
        }
        ++rows;
    }
    EXPECT_EQ(rows, 50);

    const ToolRun plain = tsk("list");
    ASSERT_EQ(plain.status, 0);
    EXPECT_NE(plain.out.find("@9 "), std::string::npos);
    EXPECT_NE(plain.out.find(" songs in this build\n"), std::string::npos);
}

TEST_F(TskCatalogue, AtNStandsForTheSongOfCatalogueEntryN) {
    const ToolRun outside = tsk("info @50");
    EXPECT_EQ(outside.status, 2);
    EXPECT_EQ(outside.err, "tsk: @50: the catalogue has entries @0 to @49\n");

    for (int i = 0; i < kCatalogueRows; ++i) {
        if (musicResourceSize(catalogueRows[i].resourceId) > 0) continue;
        const ToolRun missing = tsk("info @" + std::to_string(i));
        EXPECT_EQ(missing.status, 2);
        EXPECT_NE(missing.err.find("has no song in this build"), std::string::npos) << missing.err;
        break;
    }

    const int n = writtenEntry();
    if (n < 0) GTEST_SKIP() << "no song is written yet";
    const std::string at = "@" + std::to_string(n);
    const ToolRun info = tsk("info " + at);
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("length"), std::string::npos);
    // The same bytes as the embedded file, read as a file.
    uint8_t* bytes = loadMusicResource(catalogueRows[n].resourceId);
    const int32_t size = musicResourceSize(catalogueRows[n].resourceId);
    std::ofstream(path("song.tsk"), std::ios::binary).write(reinterpret_cast<const char*>(bytes), size);
    std::free(bytes);
    ASSERT_EQ(tsk("render " + at + " --seconds 2 -o a.wav").status, 0);
    ASSERT_EQ(tsk("render song.tsk --seconds 2 -o b.wav").status, 0);
    EXPECT_EQ(read("a.wav"), read("b.wav"));
    EXPECT_EQ(read("a.wav").size(), 44u + 4u * 2 * 48000);
    // The commands that read the file's bytes themselves take @N as well.
    for (const char* command : {"dump", "decompile"}) {
        const ToolRun embedded = tsk(std::string(command) + " " + at);
        const ToolRun file = tsk(std::string(command) + " song.tsk");
        ASSERT_EQ(embedded.status, 0) << command << ": " << embedded.err;
        // The same output, but for the name on dump's first line.
        const auto body = [](const std::string& out) { return out.substr(out.find("\nversion") + 1); };
        EXPECT_EQ(body(embedded.out), body(file.out)) << command;
    }
}

} // namespace
} // namespace md
