// tsk info SONG: the song's settings and its measured length.
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli.h"
#include "song/song_file.h"
#include "song_input.h"
#include "synth/engine.h"

namespace {
const char kUsage[] =
    "usage: tsk info SONG\n"
    "\n"
    "Prints the song's format version, speed, tempo, tracks, orders, patterns and instruments, its\n"
    "measured length (minutes:seconds and seconds, and in 2 ms control blocks) and whether it loops.\n"
    "SONG is a song file or a song text.\n";
} // namespace

int runInfo(int argc, char** argv) {
    tsk::Arguments args;
    if (!tsk::parseArguments(argc, argv, false, kUsage, args)) return tsk::kExitFailure;
    if (args.help) {
        std::cout << kUsage;
        return 0;
    }
    if (!tsk::expectPositional(args, 1, kUsage)) return tsk::kExitFailure;
    md::LoadedSong loaded;
    if (!tsk::loadSongArgument(args.positional[0], loaded)) return tsk::kExitFailure;
    md::SongFileHeader header;
    md::readSongHeader(loaded.bytes.data(), loaded.bytes.size(), header);
    const md::Song& song = loaded.song;

    auto engine = std::make_unique<md::Engine>();
    engine->setup(&loaded.song);
    const md::SongMeasure m = engine->measure();

    std::printf("file         %s\n", args.positional[0].c_str());
    if (!header.title.empty()) std::printf("title        %s\n", header.title.c_str());
    if (!header.author.empty()) std::printf("author       %s\n", header.author.c_str());
    std::printf("version      %d\n", song.version);
    std::printf("speed        %d\n", song.speed);
    std::printf("tempo        %d\n", song.tempo);
    std::printf("tracks       %d\n", song.trackCount);
    std::printf("orders       %d (restart at %d)\n", song.orderLength, song.restartPos);
    std::printf("patterns     %d of %d rows\n", md::highestPattern(song), song.rowsPerPattern);
    std::printf("instruments  %d\n", header.instrumentCount);
    std::printf("length       %s (%.3f s)\n", tsk::minutesSeconds(m.seconds).c_str(), m.seconds);
    std::printf("blocks       %u\n", m.blocks);
    std::printf("loops        %s\n",
                m.loops ? "yes" : "no (it does not go back within the 470 s the player holds)");
    return 0;
}
