// tsk compile SONG.txt [-o SONG.tsk]
#include "cli.h"

#include "song/song_text.h"

#include <iostream>

namespace {

const char kUsage[] =
    "usage: tsk compile SONG.txt [-o SONG.tsk]\n"
    "\n"
    "Compiles a song text into a song file (version 12). Without -o the output is SONG.tsk beside\n"
    "the text. Errors are reported as FILE:LINE:COLUMN: message; the output file is then not\n"
    "written. '-' reads the text from standard input (give -o then); '-o -' writes to standard\n"
    "output. The format is described in docs/song-text-format.md.\n";

} // namespace

int runCompile(int argc, char** argv) {
    tsk::Arguments args;
    if (!tsk::parseArguments(argc, argv, true, kUsage, args)) return tsk::kExitFailure;
    if (args.help) {
        std::cout << kUsage;
        return 0;
    }
    if (!tsk::expectPositional(args, 1, kUsage)) return tsk::kExitFailure;
    const std::string& input = args.positional[0];
    if (input == "-" && !args.hasOutput)
        return tsk::fail("compile: give the output file with -o when reading standard input");
    const std::string output = args.hasOutput ? args.output : tsk::replaceExtension(input, ".tsk");

    std::vector<uint8_t> text;
    std::string reason;
    if (!tsk::readFile(input, text, &reason)) return tsk::fail(input, reason);
    std::vector<uint8_t> song;
    std::string error;
    const std::string_view source(reinterpret_cast<const char*>(text.data()), text.size());
    if (!md::compileSongText(source, input == "-" ? "<stdin>" : input, song, &error)) {
        std::cerr << error << '\n';
        return tsk::kExitFailure;
    }
    if (!tsk::writeFileAtomic(output, song.data(), song.size(), &reason)) return tsk::fail(output, reason);
    return 0;
}
