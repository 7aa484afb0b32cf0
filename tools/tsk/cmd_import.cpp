// tsk import FILE.mid [-o SONG.txt] [--rows-per-beat N] [--bars N] [--title TEXT] [--free-track1]: a song
// text to arrange from, made from a Standard MIDI File.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"
#include "midi_import.h"
#include "song_input.h"

namespace {

const char kUsage[] =
    "usage: tsk import FILE.mid [-o SONG.txt] [--rows-per-beat N] [--bars N] [--title TEXT] [--free-track1]\n"
    "\n"
    "Makes a song text from a Standard MIDI File, as a starting point to arrange from:\n"
    "  - the grid: rows per quarter note chosen from the note starts (4, 6 for triplets, 8, 12 or 16), bars\n"
    "    from the time signature (3/4 gives 12 rows a bar at 4 rows a beat), patterns of up to 64 rows;\n"
    "  - speed and tempo that give the MIDI's BPM (BPM = 24 x tempo / (speed x rows a beat)); later tempo\n"
    "    changes become Fxx commands;\n"
    "  - notes quantised to rows and reduced to four tracks: 1 drums (from MIDI channel 10; without drums,\n"
    "    the inner voices of the highest part as chord cells), 2 bass (the lowest line of the lowest part),\n"
    "    3 chords (the other notes, as chord cells where they sound together), 4 melody (the highest line "
    "of\n"
    "    the highest part); notes beyond a track's range go into the order list's transposes;\n"
    "  - a plain instrument per track, defined in the text, and an order list that plays the patterns in\n"
    "    sequence (a pattern a track repeats is written once).\n"
    "The text starts with comments saying what was done. MIDI C-4 (note 60) is the song's C-4.\n"
    "\n"
    "  -o, --output FILE     where to write (default: FILE with the extension .txt; '-' for standard "
    "output)\n"
    "  --rows-per-beat N     rows per quarter note, 1 to 48, instead of the chosen grid\n"
    "  --bars N              bars per pattern, 1 to 64, instead of the chosen count\n"
    "  --title TEXT          the song's title (default: the MIDI's name, else the file name)\n"
    "  --free-track1         without drums, put the inner voices with the chords and leave track 1 empty\n";

bool wholeNumber(const std::string& text, int low, int high, int& value) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

} // namespace

int runImport(int argc, char** argv) {
    tsk::MidiImportOptions options;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        const std::size_t eq = a.find('=');
        const std::string name = a.rfind("--", 0) == 0 && eq != std::string::npos ? a.substr(0, eq) : a;
        if (name == "--free-track1") {
            options.harmonyOnOneTrack = true;
            continue;
        }
        if (name != "--rows-per-beat" && name != "--bars" && name != "--title") {
            rest.push_back(argv[i]);
            continue;
        }
        std::string value;
        if (name != a) {
            value = a.substr(eq + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            std::cerr << "tsk import: " << name << " needs a value\n\n" << kUsage;
            return tsk::kExitFailure;
        }
        if (name == "--title") {
            options.title = value;
        } else if (name == "--rows-per-beat") {
            if (!wholeNumber(value, 1, 48, options.rowsPerBeat))
                return tsk::fail("import: --rows-per-beat wants a whole number from 1 to 48, not '" + value +
                                 "'");
        } else if (!wholeNumber(value, 1, 64, options.barsPerPattern)) {
            return tsk::fail("import: --bars wants a whole number from 1 to 64, not '" + value + "'");
        }
    }
    tsk::Arguments args;
    if (!tsk::parseArguments(static_cast<int>(rest.size()), rest.data(), true, kUsage, args))
        return tsk::kExitFailure;
    if (args.help) {
        std::cout << kUsage;
        return 0;
    }
    if (!tsk::expectPositional(args, 1, kUsage)) return tsk::kExitFailure;
    const std::string& input = args.positional[0];
    const std::string output =
        args.hasOutput ? args.output : tsk::replaceExtension(tsk::baseName(input), ".txt");

    std::vector<uint8_t> bytes;
    std::string reason;
    if (!tsk::readFile(input, bytes, &reason)) return tsk::fail(input, reason);
    options.sourceName = input == "-" ? "standard input" : tsk::baseName(input);
    tsk::MidiImportResult result;
    std::string error;
    if (!tsk::importMidiBytes(std::vector<unsigned char>(bytes.begin(), bytes.end()), options, result,
                              &error))
        return tsk::fail(input, error);
    if (!tsk::writeFileAtomic(output, result.text.data(), result.text.size(), &reason))
        return tsk::fail(output, reason);

    std::ostream& out = output == "-" ? std::cerr : std::cout;
    for (const std::string& line : result.summary) out << line << '\n';
    for (const std::string& line : result.warnings) out << "note: " << line << '\n';
    if (output != "-") out << "wrote " << output << '\n';
    return 0;
}
