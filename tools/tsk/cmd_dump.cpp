// tsk dump SONG.tsk: the stored header, the song as read, the order list, the instruments and every non-empty
// pattern cell, raw bytes beside their meaning.
#include "cli.h"
#include "song_input.h"

#include "song/song_file.h"
#include "song/song_text_tables.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

namespace {

const char kUsage[] =
    "usage: tsk dump SONG.tsk\n"
    "\n"
    "Shows what a song file holds, for debugging: the stored header, the song as the player reads it\n"
    "(after the conversions of older versions), the order list, the instruments with their\n"
    "programs and every non-empty pattern cell.\n"
    "SONG.tsk may also be @N, the song of catalogue entry N built into the program (see tsk list).\n";

std::string format(const char* f, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* f, ...) {
    char buffer[512];
    va_list args;
    va_start(args, f);
    std::vsnprintf(buffer, sizeof buffer, f, args);
    va_end(args);
    return buffer;
}

std::string hex(const uint8_t* bytes, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += format(i ? " %02X" : "%02X", bytes[i]);
    return s;
}

std::string printable(const std::string& s) {
    std::string out;
    for (unsigned char c : s) out += c >= 0x20 && c < 0x7F ? std::string(1, char(c)) : format("\\x%02X", c);
    return out;
}

std::string cellMeaning(const uint8_t* c) {
    const int word = c[0] | c[1] << 8, note = word & 0x3F, instrument = (word >> 6) & 0x1F,
              command = word >> 12;
    std::string s = note == 0 ? "..." : note == md::text::kNoteOff ? "off" : md::text::noteName(note);
    s += format("  ins %2d", instrument);
    if (word & 0x0800)
        s += format("  chord %X %X %X", command, c[2] >> 4, c[2] & 15);
    else if (command || c[2])
        s += format("  effect %X%02X", command, c[2]);
    return s;
}

void dumpInstrument(const md::Song& song, int n) {
    const md::Instrument& ins = song.instrument(n);
    const uint8_t* h = ins.header;
    const std::string name(song.instrumentNames[n - 1], strnlen(song.instrumentNames[n - 1], md::kNameSize));
    std::cout << format("instrument %d \"%s\"\n", n, printable(name).c_str());
    std::cout << "  header   " << hex(h, md::kInstrumentHeaderSize) << '\n';
    std::cout << format("  vibrato delay %d depth %d speed %d; adsr %d %d %d %d%s; volume %d\n",
                        ins.vibratoDelayNibble(), ins.vibratoDepthNibble(), ins.vibratoSpeed(),
                        ins.attackNibble(), ins.decayNibble(), ins.sustainNibble(), ins.releaseNibble(),
                        ins.shortEnvelope() ? " short" : "", ins.instrumentVolume());
    std::cout << format(
        "  pulse %d range %d..%d sweep %d%s; cutoff %d range %d..%d sweep %d%s; resonance %d\n", h[4], h[5],
        h[6], int8_t(h[7]), ins.pulseLegato() ? " legato" : "", h[8], h[9], h[10], int8_t(h[11]),
        ins.cutoffLegato() ? " legato" : "", h[12]);
    std::cout << format(
        "  filter mode %d; link %d sync mode %d; pan %d; reverb send %d; unison %02X spread %d; "
        "echo time %d level %d%s\n",
        ins.filterMode(), ins.link(), ins.syncMode(), ins.instrumentPan(), ins.reverbSend(), h[17],
        ins.spreadIndex(), h[18] & 15, h[18] >> 4, ins.releaseOnRetrigger() ? "; release on retrigger" : "");
    int length = md::kProgramLength;
    while (length > 0 &&
           !(ins.program[length - 1][0] | ins.program[length - 1][1] | ins.program[length - 1][2]))
        --length;
    for (int s = 0; s < length; ++s) {
        const uint8_t* p = ins.program[s];
        std::cout << format("  step %2d  %s  note %3d%s%s  command %2d  parameter %3d\n", s,
                            hex(p, 3).c_str(), p[0] & 0x7F, p[0] & 0x80 ? " chain" : "      ",
                            p[1] & 0x10 ? " fixed" : "      ", p[1] & 0x0F, p[2]);
    }
}

} // namespace

int runDump(int argc, char** argv) {
    tsk::Arguments args;
    if (!tsk::parseArguments(argc, argv, false, kUsage, args)) return tsk::kExitFailure;
    if (args.help) {
        std::cout << kUsage;
        return 0;
    }
    if (!tsk::expectPositional(args, 1, kUsage)) return tsk::kExitFailure;
    const std::string& input = args.positional[0];
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!tsk::readSongFileArgument(input, bytes)) return tsk::kExitFailure;
    const auto cells = std::make_unique<uint8_t[]>(md::kCellStoreSize);
    md::Song song;
    if (!md::parseSongInto(song, bytes.data(), bytes.size(), cells.get(), &reason))
        return tsk::fail(input, reason);
    md::SongFileHeader h;
    md::readSongHeader(bytes.data(), bytes.size(), h);

    std::cout << format("file        %s (%zu bytes)\n", input.c_str(), bytes.size());
    std::cout << format("version     %d\n", h.version);
    std::cout << format("title       \"%s\"\nauthor      \"%s\"\n", printable(h.title).c_str(),
                        printable(h.author).c_str());
    std::cout << format("offsets     order %u, patterns %u, instruments %u\n", h.orderOffset, h.patternOffset,
                        h.instrumentOffset);
    std::cout << format(
        "stored      restart %d, tracks %d, patterns %d, order rows %d, rows %d, instruments %d,\n"
        "            speed %d, tempo %d, gain %d, reverb %d %d %d %d, instrument header %d, reserved %d\n",
        h.restartPos, h.trackCount, h.patternCount, h.orderLength, h.rowsPerPattern, h.instrumentCount,
        h.speed, h.tempo, h.gain, h.reverb[0], h.reverb[1], h.reverb[2], h.reverb[3], h.instrumentHeaderSize,
        h.reserved);
    std::cout << format(
        "song        speed %d, tempo %d, master gain %g, reverb room %d damp %d width %d gain %d,\n"
        "            restart %d, highest pattern %d\n",
        song.speed, song.tempo, double(song.masterGain), song.reverbRoom, song.reverbDamp, song.reverbWidth,
        song.reverbGain, song.restartPos, md::highestPattern(song));

    std::cout << "\norder (pattern transpose per track)\n";
    for (int r = 0; r < song.orderLength; ++r) {
        std::cout << format("  %3d ", r);
        for (int t = 0; t < song.trackCount; ++t)
            std::cout << format("  %3d %+4d", song.orderPattern(r, t), song.orderTranspose(r, t));
        std::cout << (r == song.restartPos ? "   <- restart\n" : "\n");
    }

    std::cout << '\n';
    for (int n = 1; n <= md::kInstrumentCount; ++n) {
        const auto* raw = reinterpret_cast<const uint8_t*>(&song.instrument(n));
        const bool empty = std::all_of(raw, raw + sizeof(md::Instrument), [](uint8_t b) { return b == 0; });
        if (!empty || song.instrumentNames[n - 1][0] != 0) dumpInstrument(song, n);
    }

    const int stride = song.cellStride ? song.cellStride : song.rowsPerPattern;
    for (int p = 1; p <= md::highestPattern(song); ++p) {
        std::cout << format("\npattern %d\n", p);
        for (int r = 0; r < song.rowsPerPattern; ++r) {
            const uint8_t* c = song.cells + (std::size_t(p - 1) * stride + r) * md::kCellSize;
            if (c[0] | c[1] | c[2])
                std::cout << format("  %3d  %s  %s\n", r, hex(c, 3).c_str(), cellMeaning(c).c_str());
        }
    }
    return 0;
}
