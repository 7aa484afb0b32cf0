// tsk list: the catalogue built into the program, one row per entry: index, song id, title, artist, size of
// the song file and its measured length.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include "cli.h"
#include "player/catalogue_data.h"
#include "player/resources.h"
#include "song/song.h"
#include "song/song_file.h"
#include "song_input.h"
#include "synth/engine.h"

namespace {

const char kUsage[] =
    "usage: tsk list [--tsv]\n"
    "\n"
    "Lists the disk's catalogue as this build carries it: for each entry its index, the resource id of its\n"
    "song file, title, artist, the song file's size in bytes and the song's measured length. An entry whose\n"
    "song is missing from the build shows 0 bytes and 0:00; one whose file the player refuses shows\n"
    "\"refused\". Any SONG argument of tsk render, info or bench may be @N for the song of entry N.\n"
    "\n"
    "  --tsv   tab-separated columns with a header line, the length in seconds\n";

struct Entry {
    int32_t bytes = 0;
    bool present = false, parsed = false;
    float seconds = 0.0f;
};

Entry inspect(const md::CatalogueRow& row) {
    Entry e;
    e.bytes = md::musicResourceSize(row.resourceId);
    std::unique_ptr<uint8_t, decltype(&std::free)> copy(
        e.bytes > 0 ? md::loadMusicResource(row.resourceId) : nullptr, &std::free);
    e.present = copy != nullptr;
    if (!e.present) return e;
    auto song = std::make_unique<md::Song>();
    e.parsed = md::parseSong(*song, copy.get(), static_cast<std::size_t>(e.bytes));
    if (!e.parsed) return e;
    auto engine = std::make_unique<md::Engine>();
    engine->setup(song.get());
    e.seconds = engine->measureLength();
    return e;
}

} // namespace

int runList(int argc, char** argv) {
    bool tsv = false;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "--tsv") == 0)
            tsv = true;
        else
            rest.push_back(argv[i]);
    }
    tsk::Arguments args;
    if (!tsk::parseArguments(static_cast<int>(rest.size()), rest.data(), false, kUsage, args))
        return tsk::kExitFailure;
    if (args.help) {
        std::cout << kUsage;
        return 0;
    }
    if (!tsk::expectPositional(args, 0, kUsage)) return tsk::kExitFailure;

    if (tsv) std::printf("index\tid\ttitle\tartist\tbytes\tseconds\n");
    int present = 0;
    for (int i = 0; i < md::kCatalogueRows; ++i) {
        const md::CatalogueRow& row = md::catalogueRows[i];
        const Entry e = inspect(row);
        present += e.present ? 1 : 0;
        if (tsv) {
            std::printf("%d\t%d\t%s\t%s\t%d\t%.3f\n", i, row.resourceId, row.title, row.artist, e.bytes,
                        e.seconds);
            continue;
        }
        const std::string length = e.present && !e.parsed ? "refused" : tsk::minutesSeconds(e.seconds);
        std::printf("@%-3d %4d  %-28s %-22s %6d bytes  %7s\n", i, row.resourceId, row.title, row.artist,
                    e.bytes, length.c_str());
    }
    if (!tsv) std::printf("%d of %d songs in this build\n", present, md::kCatalogueRows);
    return 0;
}
