// The song text decompiler: writes the text of a parsed song, each value in the one form the compiler reads
// back to the same byte. Fields equal to their defaults are left out, empty rows are skipped.
#include "song/song_file.h"
#include "song/song_text.h"
#include "song/song_text_tables.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace md {

namespace {

using namespace text;

void appendf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void appendf(std::string& out, const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    out.append(buffer, std::size_t(std::min<int>(n, sizeof buffer - 1)));
}

std::string quoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u >= 0x7F) {
            appendf(out, "\\x%02X", u);
        } else {
            out += c;
        }
    }
    return out + "\"";
}

bool allZero(const uint8_t* p, std::size_t n) {
    return std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
}

// A short name for an instrument, made from its stored name: "Kick Drum" gives kick_drum.
std::string aliasFor(std::string_view name) {
    std::string alias;
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80 && std::isalnum(u)) {
            alias += char(std::tolower(u));
        } else if (!alias.empty() && alias.back() != '_') {
            alias += '_';
        }
    }
    while (!alias.empty() && alias.back() == '_') alias.pop_back();
    if (alias.empty()) return alias;
    if (std::isdigit(static_cast<unsigned char>(alias[0]))) alias = "i_" + alias;
    if (alias == "none" || alias == "from") return {};
    return alias;
}

class Decompiler {
  public:
    Decompiler(const Song& song, const SongFileHeader& header) : song_(song), header_(header) {}
    std::string run();

  private:
    void writeSettings();
    void writeInstrument(int n);
    std::string instrumentRef(int n) const { return aliases_[n].empty() ? std::to_string(n) : aliases_[n]; }
    std::string stepText(const uint8_t* s) const;
    std::string effectText(const uint8_t* cell) const;
    void writePattern(int p);
    void writeOrder();
    int cellStride() const { return song_.cellStride != 0 ? song_.cellStride : song_.rowsPerPattern; }

    const Song& song_;
    const SongFileHeader& header_;
    std::string out_;
    std::array<std::string, kInstrumentCount + 1> names_, aliases_;
};

void Decompiler::writeSettings() {
    std::string body;
    if (!header_.title.empty())
        appendf(body, "  title   %s\n", quoted(header_.title.substr(0, kSongTextFieldSize - 1)).c_str());
    if (!header_.author.empty())
        appendf(body, "  author  %s\n", quoted(header_.author.substr(0, kSongTextFieldSize - 1)).c_str());
    if (song_.trackCount != 4) appendf(body, "  tracks  %d\n", song_.trackCount);
    if (song_.rowsPerPattern != 64) appendf(body, "  rows    %d\n", song_.rowsPerPattern);
    if (song_.speed != 6) appendf(body, "  speed   %d\n", song_.speed);
    if (song_.tempo != 125) appendf(body, "  tempo   %d\n", song_.tempo);
    const long gain = std::lround(song_.masterGain * 32.0f);
    if (gain != 32) appendf(body, "  gain    %ld\n", gain);
    const int reverb[4] = {song_.reverbRoom, song_.reverbDamp, song_.reverbWidth, song_.reverbGain};
    const int reverbDefault[4] = {64, 0, 23, 32};
    static const char* const kReverbKeys[4] = {"room", "damp", "width", "gain"};
    std::string reverbLine;
    for (int k = 0; k < 4; ++k)
        if (reverb[k] != reverbDefault[k]) appendf(reverbLine, " %s %d", kReverbKeys[k], reverb[k]);
    if (!reverbLine.empty()) body += "  reverb " + reverbLine.substr(1) + "\n";
    if (song_.restartPos >= song_.orderLength) appendf(body, "  restart %d\n", song_.restartPos);
    if (!body.empty()) out_ += "song\n" + body + "\n";
}

std::string Decompiler::stepText(const uint8_t* s) const {
    std::string t;
    auto add = [&](const std::string& part) {
        if (!t.empty()) t += ' ';
        t += part;
    };
    const int note = s[0] & 0x7F;
    const bool fixed = s[1] & 0x10;
    if (note != 0) add(fixed && note <= kHighestNamedNote ? noteName(note) : "+" + std::to_string(note - 1));
    if (fixed) add("fixed");

    const int command = s[1] & 0x0F, p = s[2], x = p & 0x0F, y = p >> 4;
    const std::string raw = "raw " + std::to_string(s[1] & ~0x10) + " " + std::to_string(p);
    std::string c;
    if (s[1] & 0xE0) {
        c = raw;
    } else {
        switch (command) {
        case 0:
            if (y > 2)
                c = raw;
            else if (x == 0)
                c = y == 1 ? "release" : y == 2 ? "trigger" : "";
            else
                c = "osc " + oscillatorMask(x) + (y == 1 ? " release" : y == 2 ? " trigger" : "");
            break;
        case 1:
            c = "slide_up " + std::to_string(p);
            break;
        case 2:
            c = "slide_down " + std::to_string(p);
            break;
        case 3:
            c = "pulse " + std::to_string(p);
            break;
        case 4:
            c = "cutoff " + std::to_string(p);
            break;
        case 5:
            c = "cutoff_up " + std::to_string(p);
            break;
        case 6:
            c = "cutoff_down " + std::to_string(p);
            break;
        case 7:
            c = "level " + oscillatorMask(y) + " " + std::to_string(x);
            break;
        case 8:
            c = "semitones " + oscillatorMask(y) + " " + std::to_string(x);
            break;
        case 9:
            c = "finetune " + oscillatorMask(y) + " " + std::to_string(x);
            break;
        case 10:
            if (p <= 15)
                c = "fade_out " + std::to_string(p);
            else if (x == 0)
                c = "fade_in " + std::to_string(y);
            else
                c = raw;
            break;
        case 11:
            c = "loop " + std::to_string(p);
            break;
        case 12:
            c = "gain " + std::to_string(p);
            break;
        case 13:
            c = "resonance " + std::to_string(p);
            break;
        case 14:
            switch (y) {
            case 0:
                c = "chord " + std::to_string(x);
                break;
            case 4:
                c = std::string("filter ") + (x < 8 ? kFilterModeNames[x] : std::to_string(x));
                break;
            case 7:
                c = "fold " + std::to_string(x);
                break;
            case 9:
                c = "drive " + std::to_string(x);
                break;
            case 13:
                c = "crush " + std::to_string(x);
                break;
            case 15:
                c = "divide " + std::to_string(x);
                break;
            default:
                c = raw;
                break;
            }
            break;
        default:
            c = p == 0 ? "hold" : "ticks " + std::to_string(p);
            break;
        }
    }
    if (!c.empty()) add(c);
    return t.empty() ? "." : t;
}

void Decompiler::writeInstrument(int n) {
    const Instrument& ins = song_.instrument(n);
    const uint8_t* h = ins.header;
    const Instrument defaults = defaultInstrument();
    const uint8_t* d = defaults.header;

    out_ += "instrument " + std::to_string(n);
    if (!aliases_[n].empty()) out_ += " " + aliases_[n];
    if (names_[n] != aliases_[n] || (aliases_[n].empty() && !names_[n].empty()))
        out_ += " " + quoted(names_[n]);
    out_ += "\n";
    auto field = [&](const char* name, const std::string& value) {
        appendf(out_, "  %-9s %s\n", name, value.c_str());
    };
    auto bit = [](const uint8_t* bytes, int byte, int b) { return (bytes[byte] >> b) & 1; };

    if (h[14] != d[14]) field("volume", std::to_string(h[14]));
    if (h[2] != d[2] || h[3] != d[3] || bit(h, 15, 0)) {
        std::string v;
        appendf(v, "%d %d %d %d%s", h[2] & 15, h[2] >> 4, h[3] & 15, h[3] >> 4,
                bit(h, 15, 0) ? " short" : "");
        field("adsr", v);
    }
    if (h[0] != 0 || h[1] != 0) {
        std::string v;
        if (h[0] >> 4) appendf(v, " depth %d", h[0] >> 4);
        if (h[1] & 15) appendf(v, " speed %d", h[1] & 15);
        if (h[0] & 15) appendf(v, " delay %d", h[0] & 15);
        if (h[1] >> 4) appendf(v, " spare %d", h[1] >> 4);
        field("vibrato", v.substr(1));
    }
    for (int k = 0; k < 2; ++k) {
        const int base = k == 0 ? 4 : 8, legatoBit = k == 0 ? 7 : 6;
        if (std::memcmp(h + base, d + base, 4) == 0 && !bit(h, 15, legatoBit)) continue;
        std::string v = std::to_string(h[base]);
        if (h[base + 1] != 0 || h[base + 2] != 255) appendf(v, " range %d %d", h[base + 1], h[base + 2]);
        if (h[base + 3] != 0) appendf(v, " sweep %d", int8_t(h[base + 3]));
        if (bit(h, 15, legatoBit)) v += " legato";
        field(k == 0 ? "pulse" : "cutoff", v);
    }
    if (h[12] != 0) field("resonance", std::to_string(h[12]));
    const int filter = ((h[15] >> 4) & 3) | bit(h, 15, 3) << 2;
    if (filter != 0) field("filter", kFilterModeNames[filter]);
    if (h[13] >> 1) {
        const int target = h[13] >> 3, mode = (h[13] >> 1) & 3;
        std::string v = target == 0 ? "none" : instrumentRef(target);
        if (mode == 1 || mode == 2)
            v += std::string(" ") + kSyncModeNames[mode];
        else if (mode == 3)
            v += " mode 3";
        field("link", v);
    }
    if ((h[16] & 15) != 8) field("pan", std::to_string(h[16] & 15));
    if (h[16] >> 4) field("reverb", std::to_string(h[16] >> 4));
    const int spread = bit(h, 13, 0) << 1 | bit(h, 15, 2);
    if (h[17] != 0 || spread != 0) {
        std::string v;
        if (h[17] >> 4) appendf(v, " detune %d", h[17] >> 4);
        if (h[17] & 15) appendf(v, " interval %d", h[17] & 15);
        if (spread) appendf(v, " spread %d", spread);
        field("unison", v.substr(1));
    }
    if (h[18] != 0) {
        std::string v;
        if (h[18] & 15) appendf(v, " time %d", h[18] & 15);
        if (h[18] >> 4) appendf(v, " level %d", h[18] >> 4);
        field("echo", v.substr(1));
    }
    if (bit(h, 15, 1)) field("retrigger", "release");

    int length = kProgramLength;
    while (length > 0 && allZero(ins.program[length - 1], 3)) --length;
    if (length > 0) {
        out_ += "  program\n";
        for (int s = 0; s < length;) {
            int e = s;
            while (e < length - 1 && (ins.program[e][0] & 0x80)) ++e;
            if (e == s &&
                allZero(ins.program[s], 3)) { // an empty step on its own: the next step number skips it
                ++s;
                continue;
            }
            appendf(out_, "    %2d ", s);
            for (int k = s; k <= e; ++k) {
                if (k > s) out_ += ", ";
                out_ += stepText(ins.program[k]);
            }
            if (ins.program[e][0] & 0x80) out_ += ",";
            out_ += "\n";
            s = e + 1;
        }
    }
    out_ += "\n";
}

std::string Decompiler::effectText(const uint8_t* cell) const {
    const int word = cell[0] | cell[1] << 8, command = word >> 12, p = cell[2];
    if (word & 0x0800) {
        const int a = command, b = p >> 4, c = p & 15;
        if (const char* name = chordName(a, b, c)) return name;
        std::string t = "+";
        const int digits[3] = {a, b, c};
        const int used = c ? 3 : b ? 2 : 1;
        for (int k = 0; k < used; ++k) appendf(t, "%X", digits[k]);
        return t;
    }
    if (command == 0 && p == 0) return {};
    if (command == 0 && p >= 1 && p <= 31) return std::string("&").append(instrumentRef(p));
    std::string t;
    appendf(t, "%X%02X", command, p);
    return t;
}

void Decompiler::writePattern(int p) {
    appendf(out_, "pattern p%d\n", p);
    std::size_t instrumentWidth = 2;
    for (int n = 1; n <= kInstrumentCount; ++n)
        instrumentWidth = std::max(instrumentWidth, aliases_[n].size());
    const int rows = song_.rowsPerPattern;
    for (int r = 0; r < rows; ++r) {
        const uint8_t* cell = song_.cells + (std::size_t(p - 1) * cellStride() + r) * kCellSize;
        if (allZero(cell, kCellSize)) continue;
        const int word = cell[0] | cell[1] << 8, note = word & 0x3F, instrument = (word >> 6) & 0x1F;
        const std::string noteText = note == 0 ? "..." : note == kNoteOff ? "off" : noteName(note);
        const std::string instrumentText = instrument == 0 ? ".." : instrumentRef(instrument);
        const std::string effect = effectText(cell);
        std::string line;
        appendf(line, "  %3d %s", r, noteText.c_str());
        if (instrument != 0 || !effect.empty())
            appendf(line, " %-*s", int(instrumentWidth), instrumentText.c_str());
        if (!effect.empty()) line += " " + effect;
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out_ += line + "\n";
    }
    out_ += "\n";
}

void Decompiler::writeOrder() {
    out_ += "order\n";
    std::vector<std::string> cells;
    std::size_t width = 1;
    for (int r = 0; r < song_.orderLength; ++r)
        for (int t = 0; t < song_.trackCount; ++t) {
            const int pattern = song_.orderPattern(r, t), transpose = song_.orderTranspose(r, t);
            std::string entry = pattern == 0 ? "." : std::string("p").append(std::to_string(pattern));
            if (transpose != 0) appendf(entry, "%+d", transpose);
            width = std::max(width, entry.size());
            cells.push_back(std::move(entry));
        }
    for (int r = 0; r < song_.orderLength; ++r) {
        if (r == song_.restartPos && r != 0) out_ += "  restart\n";
        std::string line = " ";
        for (int t = 0; t < song_.trackCount; ++t)
            appendf(line, " %-*s", int(width), cells[std::size_t(r) * song_.trackCount + t].c_str());
        while (line.back() == ' ') line.pop_back();
        out_ += line + "\n";
    }
}

std::string Decompiler::run() {
    for (int n = 1; n <= kInstrumentCount; ++n) {
        names_[n].assign(song_.instrumentNames[n - 1], strnlen(song_.instrumentNames[n - 1], kNameSize));
        std::string alias = aliasFor(names_[n]);
        for (int m = 1; m < n && !alias.empty(); ++m)
            if (aliases_[m] == alias) alias.clear();
        aliases_[n] = alias;
    }
    if (song_.version < kLatestSongVersion)
        appendf(out_, "; converted from a version-%d song file\n\n", song_.version);
    writeSettings();
    for (int n = 1; n <= kInstrumentCount; ++n) {
        const Instrument& ins = song_.instrument(n);
        if (allZero(reinterpret_cast<const uint8_t*>(&ins), sizeof ins) && names_[n].empty()) {
            aliases_[n].clear();
            continue;
        }
        writeInstrument(n);
    }
    for (int p = 1; p <= highestPattern(song_); ++p) writePattern(p);
    writeOrder();
    return out_;
}

} // namespace

bool decompileSong(const uint8_t* bytes, std::size_t size, std::string& text, std::string* error) {
    const auto cells = std::make_unique<uint8_t[]>(kCellStoreSize);
    Song song;
    if (!parseSongInto(song, bytes, size, cells.get(), error)) return false;
    SongFileHeader header;
    readSongHeader(bytes, size, header);
    text = Decompiler(song, header).run();
    return true;
}

} // namespace md
