// tsk decompile SONG.tsk [-o SONG.txt]
#include "cli.h"
#include "song_input.h"

#include "song/song_text.h"

#include <iostream>

namespace {

const char kUsage[] =
    "usage: tsk decompile SONG.tsk [-o SONG.txt]\n"
    "\n"
    "Writes a song file of any version (0 to 12) as song text, converted as the player reads it.\n"
    "Compiling the text gives a version-12 file that plays the same. Without -o the text goes to\n"
    "standard output.\n"
    "SONG.tsk may also be @N, the song of catalogue entry N built into the program (see tsk list).\n";

} // namespace

int runDecompile(int argc, char** argv) {
    tsk::Arguments args;
    if (!tsk::parseArguments(argc, argv, true, kUsage, args)) return tsk::kExitFailure;
    if (args.help) {
        std::cout << kUsage;
        return 0;
    }
    if (!tsk::expectPositional(args, 1, kUsage)) return tsk::kExitFailure;
    const std::string& input = args.positional[0];
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!tsk::readSongFileArgument(input, bytes)) return tsk::kExitFailure;
    std::string text;
    if (!md::decompileSong(bytes.data(), bytes.size(), text, &reason)) return tsk::fail(input, reason);
    const std::string output = args.hasOutput ? args.output : "-";
    if (!tsk::writeFileAtomic(output, text.data(), text.size(), &reason)) return tsk::fail(output, reason);
    return 0;
}
