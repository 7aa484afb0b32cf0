// tsk: the song tool. One executable with subcommands; each lives in its own cmd_*.cpp file and is listed
// once in the table below.
#include "cli.h"

#include <cstring>
#include <iostream>

namespace {

struct Subcommand {
    const char* name;
    const char* summary;
    int (*run)(int argc, char** argv); // argv[0] is the subcommand's name
};

} // namespace

int runCompile(int argc, char** argv);
int runDecompile(int argc, char** argv);
int runDump(int argc, char** argv);
int runRender(int argc, char** argv);
int runInfo(int argc, char** argv);
int runBench(int argc, char** argv);
int runAnalyze(int argc, char** argv);
int runImport(int argc, char** argv);
int runList(int argc, char** argv);

namespace {

const Subcommand kSubcommands[] = {
    {"compile", "compile a song text into a song file", runCompile},
    {"decompile", "write a song file (any version) as song text", runDecompile},
    {"dump", "show everything a song file holds, for debugging", runDump},
    {"render", "render a song to a WAV file exactly as the disk plays and exports it", runRender},
    {"info", "show a song's settings and its measured length", runInfo},
    {"bench", "measure how fast songs render, as a multiple of real time", runBench},
    {"analyze", "measure a song's loudness, peaks, silences and tracks; draw its spectrogram", runAnalyze},
    {"import", "turn a MIDI file into a song text to arrange from", runImport},
    {"list", "list the disk's catalogue: ids, titles, artists, sizes and lengths", runList},
};

void printUsage(std::ostream& out) {
    out << "usage: tsk COMMAND [ARGUMENTS]\n\ncommands:\n";
    for (const Subcommand& s : kSubcommands)
        out << "  " << s.name << std::string(12 - std::strlen(s.name), ' ') << s.summary << '\n';
    out << "\n'tsk COMMAND --help' describes a command.\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(std::cerr);
        return tsk::kExitFailure;
    }
    const std::string command = argv[1];
    if (command == "-h" || command == "--help") {
        printUsage(std::cout);
        return 0;
    }
    if (command == "help" && argc >= 3) {
        for (const Subcommand& s : kSubcommands)
            if (argv[2] == std::string(s.name)) {
                char help[] = "--help";
                char* args[] = {argv[2], help, nullptr};
                return s.run(2, args);
            }
    }
    if (command == "help") {
        printUsage(std::cout);
        return 0;
    }
    for (const Subcommand& s : kSubcommands)
        if (command == s.name) return s.run(argc - 1, argv + 1);
    std::cerr << "tsk: unknown command '" << command << "'\n\n";
    printUsage(std::cerr);
    return tsk::kExitFailure;
}
