// The song text compiler: reads the text line by line into instrument, pattern and order definitions,
// resolves names once the whole text is read, and writes the song file. The first error ends the compilation.
#include "song/song_file.h"
#include "song/song_text.h"
#include "song/song_text_tables.h"
#include "song/song_writer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace md {

namespace {

using namespace text;

constexpr int kMaxRows = 255; // rows per pattern, order rows and patterns are counted in bytes
constexpr int kMaxTitle = kSongTextFieldSize - 1;
constexpr int kMaxCellInstrument = 31;

struct Loc {
    int line = 0, col = 0;
};

struct Token {
    std::string_view text; // as written
    std::string value;     // the contents of a quoted string, escapes replaced
    int col = 0;
    bool quoted = false;
    bool comma = false;
};

// A name used before it can be looked up (instruments and patterns may be defined after their use).
struct Ref {
    std::string name;
    Loc loc;
};

enum Field {
    kVolume,
    kAdsr,
    kVibrato,
    kPulse,
    kCutoff,
    kResonance,
    kFilter,
    kLink,
    kPan,
    kReverb,
    kUnison,
    kEcho,
    kRetrigger,
    kProgram,
    kFieldCount
};
const char* const kFieldNames[kFieldCount] = {"volume",    "adsr",   "vibrato",   "pulse",  "cutoff",
                                              "resonance", "filter", "link",      "pan",    "reverb",
                                              "unison",    "echo",   "retrigger", "program"};

struct InstrumentDef {
    int number = 0;
    Loc loc;
    std::string alias, name;
    Instrument rec{};
    std::array<int, kFieldCount> fieldLine{}; // line where each field was set, 0 = not yet
    Ref link;                                 // link target given by name
    int nextStep = 0;
};

struct CellDef {
    int row = 0;
    uint8_t cell[kCellSize] = {};
    Ref instrument, layer; // given by name
};

struct PatternDef {
    std::string name;
    Loc loc;
    int base = -1;
    int repeat = 0;
    Loc repeatLoc;
    std::vector<CellDef> cells;
    std::vector<Loc> cellLocs;
    std::array<int, kMaxRows> rowLine{}; // line that wrote each row, 0 = none
    int cursor = 0, step = 1;
    std::vector<uint8_t> resolved;
};

struct OrderEntry {
    Ref pattern; // empty name: no pattern
    int transpose = 0;
    bool hasTranspose = false;
};

struct OrderRow {
    Loc loc;
    std::vector<OrderEntry> entries;
};

struct RepeatBlock {
    std::size_t start = 0;
    int count = 0;
    Loc loc;
};

enum class Section { None, Song, Instrument, Program, Pattern, Order };

int editDistance(std::string_view a, std::string_view b) {
    std::vector<int> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = int(j);
    for (std::size_t i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

template <typename Names> std::string suggestion(std::string_view word, const Names& names) {
    std::string best;
    int bestDistance = 3;
    for (const auto& candidate : names) {
        if (!candidate) continue;
        const int d = editDistance(word, candidate);
        if (d < bestDistance) {
            bestDistance = d;
            best = candidate;
        }
    }
    return best.empty() ? std::string() : " (did you mean '" + best + "'?)";
}

bool isPlaceholder(std::string_view t) {
    if (t.empty()) return false;
    return std::all_of(t.begin(), t.end(), [](char c) { return c == '.'; }) ||
           std::all_of(t.begin(), t.end(), [](char c) { return c == '-'; });
}

// Characters that end a word (a NUL byte does not: it is part of the word, which is then refused).
bool isDelimiter(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == ';' || c == ',' || c == '"';
}

bool allDigits(std::string_view t) {
    return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Parses a whole token as an integer: optional sign, decimal digits or 0x and hex digits.
bool parseInteger(std::string_view t, long& value) {
    bool negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        negative = t[0] == '-';
        t.remove_prefix(1);
    }
    int base = 10;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        t.remove_prefix(2);
    }
    if (t.empty() || t.size() > 9) return false;
    long v = 0;
    for (char c : t) {
        const int d = hexDigit(c);
        if (d < 0 || d >= base) return false;
        v = v * base + d;
    }
    value = negative ? -v : v;
    return true;
}

class Compiler {
  public:
    Compiler(std::string_view text, std::string_view fileName) : text_(text), fileName_(fileName) {}

    bool run(std::vector<uint8_t>& out);
    const std::string& error() const { return error_; }

  private:
    // --- Errors and tokens ---
    bool fail(Loc at, const char* format, ...) __attribute__((format(printf, 3, 4)));
    Loc at(const Token& t) const { return {line_, t.col}; }
    Loc at(std::size_t index) const { return index < tokens_.size() ? at(tokens_[index]) : endOfLine(); }
    Loc endOfLine() const { return {line_, lineLength_ + 1}; }
    bool tokenize(std::string_view line);
    bool isWord(std::size_t i, std::string_view word) const {
        return i < tokens_.size() && !tokens_[i].quoted && !tokens_[i].comma && tokens_[i].text == word;
    }
    std::string shown(const Token& t) const { return std::string(t.text); }
    bool integer(std::size_t i, long lo, long hi, long& value, const char* what);
    bool noMoreTokens(std::size_t i);
    bool quotedText(std::size_t i, std::size_t limit, std::string& value, const char* what);

    struct KeyArg {
        const char* name;
        int count; // values after the name: 0 for a flag
        long lo, hi;
        long value[2] = {0, 0};
        bool present = false;
    };
    bool keyArgs(std::size_t from, KeyArg* args, std::size_t n, const char* what);

    // --- Sections ---
    bool handleLine();
    bool startSong();
    bool songLine();
    bool startInstrument();
    bool instrumentLine();
    bool programLine();
    bool parseStep(std::size_t begin, std::size_t end, uint8_t* step);
    bool oscillators(std::size_t i, int& mask);
    bool startPattern();
    bool patternLine();
    bool parseCellNote(std::size_t i, int& note);
    bool parseCellInstrument(std::size_t i, int& number, Ref& ref);
    bool parseCellEffect(std::size_t i, CellDef& cell, int& word);
    bool startOrder();
    bool orderLine();

    // --- After the text ---
    int instrumentByToken(std::size_t i, bool definedOnly); // number, or 0 with the error set
    bool resolveInstrument(const Ref& ref, int& number, int highest);
    bool finish(std::vector<uint8_t>& out);

    std::string_view text_, fileName_;
    std::string error_;
    int line_ = 0, lineLength_ = 0;
    std::vector<Token> tokens_;
    Section section_ = Section::None;

    // Song settings.
    std::string title_, author_;
    long tracks_ = 4, rows_ = 64, speed_ = 6, tempo_ = 125, gain_ = 32, restart_ = 0;
    long reverb_[4] = {64, 0, 23, 32};
    std::unordered_map<std::string, int> songKeyLine_;
    int songLine_ = 0;

    std::vector<InstrumentDef> instruments_;
    std::array<int, kInstrumentCount + 1> instrumentByNumber_{}; // index + 1 in instruments_, 0 = none
    std::unordered_map<std::string, int> instrumentByAlias_;

    std::vector<PatternDef> patterns_;
    std::unordered_map<std::string, int> patternByName_;

    std::vector<OrderRow> order_;
    std::vector<RepeatBlock> repeats_;
    int orderLine_ = 0;
    int restartMarker_ = -1;
    Loc restartMarkerLoc_;
};

bool Compiler::fail(Loc where, const char* format, ...) {
    char message[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    error_ = std::string(fileName_) + ":" + std::to_string(where.line) + ":" + std::to_string(where.col) +
             ": " + message;
    return false;
}

bool Compiler::tokenize(std::string_view line) {
    tokens_.clear();
    lineLength_ = int(line.size());
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == ';') break;
        Token t;
        t.col = int(i) + 1;
        if (c == ',') {
            t.text = line.substr(i, 1);
            t.comma = true;
            ++i;
        } else if (c == '"') {
            std::size_t j = i + 1;
            for (;;) {
                if (j >= line.size()) return fail({line_, t.col}, "string not closed: a '\"' is missing");
                const char d = line[j];
                if (d == '"') break;
                if (d != '\\') {
                    t.value += d;
                    ++j;
                    continue;
                }
                const char e = j + 1 < line.size() ? line[j + 1] : '\0';
                if (e == '"' || e == '\\') {
                    t.value += e;
                    j += 2;
                } else if (e == 'x' && j + 3 < line.size() && hexDigit(line[j + 2]) >= 0 &&
                           hexDigit(line[j + 3]) >= 0) {
                    t.value += char(hexDigit(line[j + 2]) * 16 + hexDigit(line[j + 3]));
                    j += 4;
                } else {
                    return fail({line_, int(j) + 1}, "unknown escape in a string: use \\\", \\\\ or \\xHH");
                }
            }
            t.text = line.substr(i, j + 1 - i);
            t.quoted = true;
            i = j + 1;
        } else {
            std::size_t j = i;
            while (j < line.size() && !isDelimiter(line[j])) ++j;
            t.text = line.substr(i, j - i);
            i = j;
        }
        tokens_.push_back(std::move(t));
    }
    return true;
}

bool Compiler::integer(std::size_t i, long lo, long hi, long& value, const char* what) {
    if (i >= tokens_.size())
        return fail(endOfLine(), "%s: a number from %ld to %ld is missing", what, lo, hi);
    const Token& t = tokens_[i];
    long v = 0;
    if (t.quoted || t.comma || !parseInteger(t.text, v))
        return fail(at(t), "%s: expected a number from %ld to %ld, found '%s'", what, lo, hi,
                    shown(t).c_str());
    if (v < lo || v > hi) return fail(at(t), "%s %ld is out of range (%ld to %ld)", what, v, lo, hi);
    value = v;
    return true;
}

bool Compiler::noMoreTokens(std::size_t i) {
    if (i < tokens_.size()) return fail(at(i), "unexpected '%s'", shown(tokens_[i]).c_str());
    return true;
}

bool Compiler::quotedText(std::size_t i, std::size_t limit, std::string& value, const char* what) {
    if (i >= tokens_.size() || !tokens_[i].quoted)
        return fail(at(i), "%s: expected a text in double quotes", what);
    const std::string& v = tokens_[i].value;
    if (v.size() > limit) return fail(at(i), "%s is %zu bytes long; at most %zu fit", what, v.size(), limit);
    if (v.find('\0') != std::string::npos) return fail(at(i), "%s cannot hold a NUL character", what);
    value = v;
    return noMoreTokens(i + 1);
}

bool Compiler::keyArgs(std::size_t from, KeyArg* args, std::size_t n, const char* what) {
    for (std::size_t i = from; i < tokens_.size();) {
        const Token& t = tokens_[i];
        KeyArg* arg = nullptr;
        for (std::size_t k = 0; k < n; ++k)
            if (!t.quoted && t.text == args[k].name) arg = &args[k];
        if (!arg) {
            std::vector<const char*> names;
            for (std::size_t k = 0; k < n; ++k) names.push_back(args[k].name);
            return fail(at(t), "unknown %s option '%s'%s", what, shown(t).c_str(),
                        suggestion(t.text, names).c_str());
        }
        if (arg->present) return fail(at(t), "'%s' is given twice", arg->name);
        arg->present = true;
        ++i;
        for (int k = 0; k < arg->count; ++k, ++i)
            if (!integer(i, arg->lo, arg->hi, arg->value[k], arg->name)) return false;
    }
    return true;
}

// --- Sections
// -------------------------------------------------------------------------------------------------

bool Compiler::handleLine() {
    if (isWord(0, "song")) return startSong();
    if (isWord(0, "instrument")) return startInstrument();
    if (isWord(0, "pattern")) return startPattern();
    if (isWord(0, "order")) return startOrder();
    if (tokens_[0].comma && section_ != Section::Program) return fail(at(0), "unexpected ','");
    switch (section_) {
    case Section::None:
        return fail(at(0), "expected a section: 'song', 'instrument', 'pattern' or 'order'");
    case Section::Song:
        return songLine();
    case Section::Instrument:
        return instrumentLine();
    case Section::Program:
        return programLine();
    case Section::Pattern:
        return patternLine();
    case Section::Order:
        return orderLine();
    }
    return false;
}

bool Compiler::startSong() {
    if (songLine_ != 0) return fail(at(0), "a second 'song' section (the first is at line %d)", songLine_);
    songLine_ = line_;
    section_ = Section::Song;
    return noMoreTokens(1);
}

bool Compiler::songLine() {
    const Token& key = tokens_[0];
    static const char* const kKeys[] = {"title", "author", "tracks", "rows",   "speed",
                                        "tempo", "gain",   "reverb", "restart"};
    const std::string name(key.text);
    if (key.quoted || std::find_if(std::begin(kKeys), std::end(kKeys),
                                   [&](const char* k) { return name == k; }) == std::end(kKeys))
        return fail(at(key), "unknown song setting '%s'%s", shown(key).c_str(),
                    suggestion(key.text, kKeys).c_str());
    if (int previous = songKeyLine_[name]; previous != 0)
        return fail(at(key), "'%s' is already set at line %d", name.c_str(), previous);
    songKeyLine_[name] = line_;

    if (name == "title") return quotedText(1, kMaxTitle, title_, "the title");
    if (name == "author") return quotedText(1, kMaxTitle, author_, "the author");
    if (name == "reverb") {
        KeyArg args[] = {
            {"room", 1, -128, 127}, {"damp", 1, -128, 127}, {"width", 1, -128, 127}, {"gain", 1, -128, 127}};
        if (tokens_.size() < 2) return fail(endOfLine(), "reverb: give room, damp, width and/or gain");
        if (!keyArgs(1, args, 4, "reverb")) return false;
        for (int k = 0; k < 4; ++k)
            if (args[k].present) reverb_[k] = args[k].value[0];
        return true;
    }
    struct Range {
        const char* name;
        long lo, hi;
        long* target;
    };
    const Range ranges[] = {
        {"tracks", 1, kMaxTracks, &tracks_}, {"rows", 1, kMaxRows, &rows_}, {"speed", 0, 255, &speed_},
        {"tempo", 1, 255, &tempo_},          {"gain", 0, 255, &gain_},      {"restart", 0, 255, &restart_}};
    for (const Range& r : ranges)
        if (name == r.name) return integer(1, r.lo, r.hi, *r.target, r.name) && noMoreTokens(2);
    return false;
}

int Compiler::instrumentByToken(std::size_t i, bool definedOnly) {
    const Token& t = tokens_[i];
    if (allDigits(t.text)) {
        long n = 0;
        if (!integer(i, 1, kInstrumentCount, n, "instrument number")) return 0;
        if (definedOnly && instrumentByNumber_[n] == 0) {
            fail(at(t), "instrument %ld is not defined above", n);
            return 0;
        }
        return int(n);
    }
    auto it = instrumentByAlias_.find(std::string(t.text));
    if (it == instrumentByAlias_.end()) {
        fail(at(t), "unknown instrument '%s'", shown(t).c_str());
        return 0;
    }
    return instruments_[it->second].number;
}

bool Compiler::startInstrument() {
    long number = 0;
    if (!integer(1, 1, kInstrumentCount, number, "instrument number")) return false;
    if (int previous = instrumentByNumber_[number]; previous != 0)
        return fail(at(1), "instrument %ld is already defined at line %d", number,
                    instruments_[previous - 1].loc.line);
    InstrumentDef def;
    def.number = int(number);
    def.loc = at(0);
    std::size_t i = 2;
    bool hasName = false;
    if (i < tokens_.size() && !tokens_[i].quoted && !isWord(i, "from")) {
        const Token& t = tokens_[i];
        if (!isIdentifier(t.text))
            return fail(
                at(t),
                "an instrument's short name is a letter followed by letters, digits or '_'; found '%s'",
                shown(t).c_str());
        if (t.text == "none") return fail(at(t), "'none' cannot name an instrument");
        if (auto it = instrumentByAlias_.find(std::string(t.text)); it != instrumentByAlias_.end())
            return fail(at(t), "'%s' already names instrument %d", shown(t).c_str(),
                        instruments_[it->second].number);
        def.alias = std::string(t.text);
        ++i;
    }
    if (i < tokens_.size() && tokens_[i].quoted) {
        const std::string& v = tokens_[i].value;
        if (v.size() > std::size_t(kNameSize))
            return fail(at(i), "the instrument name is %zu bytes long; at most %d fit", v.size(), kNameSize);
        if (v.find('\0') != std::string::npos)
            return fail(at(i), "an instrument name cannot hold a NUL character");
        def.name = v;
        hasName = true;
        ++i;
    }
    def.rec = defaultInstrument();
    if (isWord(i, "from")) {
        if (i + 1 >= tokens_.size()) return fail(endOfLine(), "from: the instrument to copy is missing");
        const int base = instrumentByToken(i + 1, true);
        if (base == 0) return false;
        const InstrumentDef& b = instruments_[instrumentByNumber_[base] - 1];
        def.rec = b.rec;
        def.link = b.link;
        i += 2;
    }
    if (!noMoreTokens(i)) return false;
    if (!hasName && !def.alias.empty()) {
        if (def.alias.size() > std::size_t(kNameSize))
            return fail(at(2),
                        "'%s' is too long to be stored as the name (22 characters); give the name in quotes",
                        def.alias.c_str());
        def.name = def.alias;
    }
    instruments_.push_back(std::move(def));
    const int index = int(instruments_.size());
    instrumentByNumber_[number] = index;
    if (!instruments_.back().alias.empty()) instrumentByAlias_[instruments_.back().alias] = index - 1;
    section_ = Section::Instrument;
    return true;
}

bool Compiler::instrumentLine() {
    InstrumentDef& def = instruments_.back();
    uint8_t* h = def.rec.header;
    const Token& key = tokens_[0];
    int field = 0;
    while (field < kFieldCount && (key.quoted || key.text != kFieldNames[field])) ++field;
    if (field == kFieldCount)
        return fail(at(key), "unknown instrument field '%s'%s", shown(key).c_str(),
                    suggestion(key.text, kFieldNames).c_str());
    if (def.fieldLine[field] != 0)
        return fail(at(key), "'%s' is already set for this instrument at line %d", kFieldNames[field],
                    def.fieldLine[field]);
    def.fieldLine[field] = line_;
    auto setBit = [&](int byte, int bit, bool on) {
        h[byte] = uint8_t((h[byte] & ~(1 << bit)) | (on ? 1 << bit : 0));
    };
    long v[4] = {};

    switch (Field(field)) {
    case kVolume:
        if (!integer(1, 0, 255, v[0], "volume") || !noMoreTokens(2)) return false;
        h[14] = uint8_t(v[0]);
        return true;
    case kAdsr: {
        static const char* const names[] = {"attack", "decay", "sustain", "release"};
        for (int k = 0; k < 4; ++k)
            if (!integer(1 + k, 0, 15, v[k], names[k])) return false;
        bool isShort = false;
        if (isWord(5, "short")) {
            isShort = true;
            if (!noMoreTokens(6)) return false;
        } else if (tokens_.size() > 5) {
            return fail(at(5), "unexpected '%s' (the only option of adsr is 'short')",
                        shown(tokens_[5]).c_str());
        }
        h[2] = uint8_t(v[0] | v[1] << 4);
        h[3] = uint8_t(v[2] | v[3] << 4);
        setBit(15, 0, isShort);
        return true;
    }
    case kVibrato: {
        KeyArg args[] = {{"depth", 1, 0, 15}, {"speed", 1, 0, 15}, {"delay", 1, 0, 15}, {"spare", 1, 0, 15}};
        if (!keyArgs(1, args, 4, "vibrato")) return false;
        h[0] = uint8_t(args[2].value[0] | args[0].value[0] << 4);
        h[1] = uint8_t(args[1].value[0] | args[3].value[0] << 4);
        return true;
    }
    case kPulse:
    case kCutoff: {
        const bool pulse = field == kPulse;
        const int base = pulse ? 4 : 8;
        if (!integer(1, 0, 255, v[0], pulse ? "pulse" : "cutoff")) return false;
        KeyArg args[] = {{"range", 2, 0, 255}, {"sweep", 1, -128, 127}, {"legato", 0, 0, 0}};
        args[0].value[1] = 255;
        if (!keyArgs(2, args, 3, pulse ? "pulse" : "cutoff")) return false;
        h[base] = uint8_t(v[0]);
        h[base + 1] = uint8_t(args[0].value[0]);
        h[base + 2] = uint8_t(args[0].value[1]);
        h[base + 3] = uint8_t(int8_t(args[1].value[0]));
        setBit(15, pulse ? 7 : 6, args[2].present);
        return true;
    }
    case kResonance:
        if (!integer(1, 0, 255, v[0], "resonance") || !noMoreTokens(2)) return false;
        h[12] = uint8_t(v[0]);
        return true;
    case kFilter: {
        int mode = -1;
        for (int m = 0; m < 8; ++m)
            if (isWord(1, kFilterModeNames[m])) mode = m;
        if (mode < 0) {
            if (tokens_.size() > 1 && !allDigits(tokens_[1].text))
                return fail(at(1), "unknown filter mode '%s'%s", shown(tokens_[1]).c_str(),
                            suggestion(tokens_[1].text, kFilterModeNames).c_str());
            if (!integer(1, 0, 7, v[0], "filter mode")) return false;
            mode = int(v[0]);
        }
        if (!noMoreTokens(2)) return false;
        h[15] = uint8_t((h[15] & ~0x38) | (mode & 3) << 4 | (mode >> 2) << 3);
        return true;
    }
    case kLink: {
        if (tokens_.size() < 2) return fail(endOfLine(), "link: the linked instrument is missing");
        int target = 0;
        def.link = {};
        const Token& t = tokens_[1];
        if (isWord(1, "none")) {
            target = 0;
        } else if (allDigits(t.text)) {
            if (!integer(1, 0, kMaxCellInstrument, v[0], "linked instrument")) return false;
            target = int(v[0]);
        } else if (!t.quoted && isIdentifier(t.text)) {
            def.link = {std::string(t.text), at(t)};
        } else {
            return fail(at(t), "link: expected an instrument, found '%s'", shown(t).c_str());
        }
        int mode = 0;
        if (isWord(2, "sync") || isWord(2, "ring")) {
            mode = isWord(2, "sync") ? 1 : 2;
            if (!noMoreTokens(3)) return false;
        } else if (isWord(2, "mode")) {
            if (!integer(3, 0, 3, v[0], "link mode") || !noMoreTokens(4)) return false;
            mode = int(v[0]);
        } else if (tokens_.size() > 2) {
            return fail(at(2), "unknown link mode '%s' (use sync, ring or mode N)",
                        shown(tokens_[2]).c_str());
        }
        h[13] = uint8_t((h[13] & 1) | mode << 1 | target << 3);
        return true;
    }
    case kPan:
        if (isWord(1, "centre") || isWord(1, "center")) {
            v[0] = 8;
            if (!noMoreTokens(2)) return false;
        } else if (!integer(1, 0, 15, v[0], "pan") || !noMoreTokens(2)) {
            return false;
        }
        h[16] = uint8_t((h[16] & 0xF0) | v[0]);
        return true;
    case kReverb:
        if (!integer(1, 0, 15, v[0], "reverb send") || !noMoreTokens(2)) return false;
        h[16] = uint8_t((h[16] & 0x0F) | v[0] << 4);
        return true;
    case kUnison: {
        KeyArg args[] = {{"detune", 1, 0, 15}, {"interval", 1, 0, 15}, {"spread", 1, 0, 3}};
        if (!keyArgs(1, args, 3, "unison")) return false;
        h[17] = uint8_t(args[1].value[0] | args[0].value[0] << 4);
        setBit(13, 0, args[2].value[0] >> 1);
        setBit(15, 2, args[2].value[0] & 1);
        return true;
    }
    case kEcho: {
        KeyArg args[] = {{"time", 1, 0, 15}, {"level", 1, 0, 15}};
        if (!keyArgs(1, args, 2, "echo")) return false;
        h[18] = uint8_t(args[0].value[0] | args[1].value[0] << 4);
        return true;
    }
    case kRetrigger:
        if (isWord(1, "cut") || isWord(1, "release")) {
            setBit(15, 1, isWord(1, "release"));
            return noMoreTokens(2);
        }
        return fail(at(1), "retrigger: expected 'cut' or 'release'");
    case kProgram:
        std::memset(def.rec.program, 0, sizeof def.rec.program);
        def.nextStep = 0;
        section_ = Section::Program;
        return noMoreTokens(1);
    case kFieldCount:
        break;
    }
    return false;
}

bool Compiler::oscillators(std::size_t i, int& mask) {
    if (i >= tokens_.size())
        return fail(endOfLine(), "the oscillators are missing (tri, saw, square, noise)");
    const Token& t = tokens_[i];
    if (allDigits(t.text)) {
        long v = 0;
        if (!integer(i, 0, 15, v, "oscillator mask")) return false;
        mask = int(v);
        return true;
    }
    mask = t.quoted ? -1 : parseOscillatorMask(t.text);
    if (mask < 0)
        return fail(at(t), "expected oscillators such as tri, saw+square or noise, found '%s'",
                    shown(t).c_str());
    return true;
}

bool Compiler::parseStep(std::size_t begin, std::size_t end, uint8_t* s) {
    s[0] = s[1] = s[2] = 0;
    if (end - begin == 1 && isWord(begin, ".")) return true;
    std::size_t i = begin;
    bool any = false;
    if (const Token& t = tokens_[i]; !t.quoted) {
        if (t.text.size() > 1 && t.text[0] == '+' && std::isdigit(static_cast<unsigned char>(t.text[1]))) {
            long offset = 0;
            if (!integer(i, 0, 126, offset, "program note offset")) return false;
            s[0] = uint8_t(offset + 1);
            ++i;
            any = true;
        } else if (int note = parseNoteName(t.text); note >= 0) {
            if (note < 1 || note > kHighestNamedNote)
                return fail(at(t), "program note %s is out of range", shown(t).c_str());
            s[0] = uint8_t(note);
            ++i;
            any = true;
        }
    }
    if (i < end && isWord(i, "fixed")) {
        s[1] |= 0x10;
        ++i;
        any = true;
    }
    if (i == end) {
        if (!any) return fail(at(begin), "expected a program step");
        return true;
    }

    const Token& command = tokens_[i];
    const std::string name(command.text);
    const std::size_t args = end - i - 1;
    auto needArgs = [&](std::size_t n) {
        if (args == n) return true;
        return fail(args < n ? at(end) : at(i + 1 + n), "'%s' takes %zu value%s", name.c_str(), n,
                    n == 1 ? "" : "s");
    };
    long v = 0;
    int c = -1, p = 0;
    struct Simple {
        const char* name;
        int command;
        long lo, hi;
    };
    static const Simple kSimple[] = {
        {"slide_up", 1, 0, 255},   {"slide_down", 2, 0, 255},  {"pulse", 3, 0, 255}, {"cutoff", 4, 0, 255},
        {"cutoff_up", 5, 0, 255},  {"cutoff_down", 6, 0, 255}, {"loop", 11, 0, 255}, {"gain", 12, 0, 255},
        {"resonance", 13, 0, 255}, {"ticks", 15, 1, 255}};
    struct Extended {
        const char* name;
        int y;
    };
    static const Extended kExtended[] = {
        {"chord", 0}, {"fold", 7}, {"drive", 9}, {"crush", 13}, {"divide", 15}};
    static const char* const kCommands[] = {
        "osc",       "release",     "trigger",   "slide_up",  "slide_down", "pulse",   "cutoff",
        "cutoff_up", "cutoff_down", "level",     "semitones", "finetune",   "fade_in", "fade_out",
        "loop",      "gain",        "resonance", "chord",     "filter",     "fold",    "drive",
        "crush",     "divide",      "ticks",     "hold",      "raw"};

    if (command.quoted) return fail(at(command), "expected a program command, found a text");
    for (const Simple& k : kSimple)
        if (name == k.name) {
            if (!needArgs(1) || !integer(i + 1, k.lo, k.hi, v, k.name)) return false;
            c = k.command;
            p = int(v);
        }
    for (const Extended& k : kExtended)
        if (name == k.name) {
            if (!needArgs(1) || !integer(i + 1, 0, 15, v, k.name)) return false;
            c = 14;
            p = k.y << 4 | int(v);
        }
    if (c >= 0) {
        // done above
    } else if (name == "osc") {
        int mask = 0;
        if (args < 1 || args > 2)
            return fail(at(command), "osc takes the oscillators and optionally release or trigger");
        if (!oscillators(i + 1, mask)) return false;
        int y = 0;
        if (args == 2) {
            if (isWord(i + 2, "release"))
                y = 1;
            else if (isWord(i + 2, "trigger"))
                y = 2;
            else
                return fail(at(i + 2), "expected 'release' or 'trigger', found '%s'",
                            shown(tokens_[i + 2]).c_str());
        }
        c = 0;
        p = mask | y << 4;
    } else if (name == "release" || name == "trigger") {
        if (!needArgs(0)) return false;
        c = 0;
        p = name == "release" ? 0x10 : 0x20;
    } else if (name == "hold") {
        if (!needArgs(0)) return false;
        c = 15;
        p = 0;
    } else if (name == "level" || name == "semitones" || name == "finetune") {
        int mask = 0;
        if (!needArgs(2) || !oscillators(i + 1, mask) || !integer(i + 2, 0, 15, v, name.c_str()))
            return false;
        c = name == "level" ? 7 : name == "semitones" ? 8 : 9;
        p = mask << 4 | int(v);
    } else if (name == "fade_in" || name == "fade_out") {
        const bool in = name == "fade_in";
        if (!needArgs(1) || !integer(i + 1, in ? 1 : 0, 15, v, name.c_str())) return false;
        c = 10;
        p = in ? int(v) << 4 : int(v);
    } else if (name == "filter") {
        if (!needArgs(1)) return false;
        int mode = -1;
        for (int m = 0; m < 8; ++m)
            if (isWord(i + 1, kFilterModeNames[m])) mode = m;
        if (mode < 0) {
            if (!integer(i + 1, 0, 15, v, "filter mode")) return false;
            mode = int(v);
        }
        c = 14;
        p = 0x40 | mode;
    } else if (name == "raw") {
        long b = 0;
        if (!needArgs(2) || !integer(i + 1, 0, 255, b, "command byte") ||
            !integer(i + 2, 0, 255, v, "parameter"))
            return false;
        s[1] |= uint8_t(b);
        s[2] = uint8_t(v);
        return true;
    } else {
        return fail(at(command), "unknown program command '%s'%s", name.c_str(),
                    suggestion(command.text, kCommands).c_str());
    }
    s[1] |= uint8_t(c);
    s[2] = uint8_t(p);
    return true;
}

bool Compiler::programLine() {
    InstrumentDef& def = instruments_.back();
    if (isWord(0, "program"))
        return fail(at(0), "this instrument's program already began at line %d", def.fieldLine[kProgram]);
    static const char* const kFieldsOnly[] = {"volume", "adsr",   "vibrato", "link",     "pan",
                                              "reverb", "unison", "echo",    "retrigger"};
    for (const char* field : kFieldsOnly)
        if (isWord(0, field))
            return fail(at(0), "'%s' is an instrument field: fields come before the instrument's program",
                        field);
    std::size_t i = 0;
    int index = def.nextStep;
    if (!tokens_[0].quoted && allDigits(tokens_[0].text)) {
        long n = 0;
        if (!integer(0, 0, kProgramLength - 1, n, "step number")) return false;
        if (n < def.nextStep)
            return fail(at(0),
                        "step %ld is already written: this line starts at step %d or later (steps joined by "
                        "commas count one each)",
                        n, def.nextStep);
        index = int(n);
        i = 1;
        if (i == tokens_.size()) return fail(endOfLine(), "the step is missing after its number");
    }
    std::size_t begin = i;
    for (std::size_t j = i; j <= tokens_.size(); ++j) {
        const bool atComma = j < tokens_.size() && tokens_[j].comma;
        if (j < tokens_.size() && !atComma) continue;
        if (j == begin) {
            if (j == tokens_.size() && j > i) break; // a trailing comma: the chain goes on to the next line
            return fail(at(j), "empty step (write '.' for a step that does nothing)");
        }
        if (index >= kProgramLength)
            return fail(at(begin), "a program has at most %d steps (0 to %d)", kProgramLength,
                        kProgramLength - 1);
        uint8_t* step = def.rec.program[index];
        if (!parseStep(begin, j, step)) return false;
        if (atComma) step[0] |= 0x80;
        ++index;
        begin = j + 1;
    }
    def.nextStep = index;
    return true;
}

bool Compiler::startPattern() {
    if (tokens_.size() < 2) return fail(endOfLine(), "the pattern's name is missing");
    const Token& t = tokens_[1];
    static const char* const kReserved[] = {"song", "instrument", "pattern", "order", "repeat",
                                            "end",  "restart",    "from",    "step"};
    if (t.quoted || !isIdentifier(t.text))
        return fail(at(t), "a pattern name is a letter followed by letters, digits or '_'; found '%s'",
                    shown(t).c_str());
    for (const char* r : kReserved)
        if (t.text == r) return fail(at(t), "'%s' is a keyword and cannot name a pattern", r);
    const std::string name(t.text);
    if (auto it = patternByName_.find(name); it != patternByName_.end())
        return fail(at(t), "pattern '%s' is already defined at line %d", name.c_str(),
                    patterns_[it->second].loc.line);
    PatternDef def;
    def.name = name;
    def.loc = at(t);
    std::size_t i = 2;
    if (isWord(i, "from")) {
        if (i + 1 >= tokens_.size()) return fail(endOfLine(), "from: the pattern to copy is missing");
        auto it = patternByName_.find(std::string(tokens_[i + 1].text));
        if (tokens_[i + 1].quoted || it == patternByName_.end())
            return fail(at(i + 1), "unknown pattern '%s' (a pattern is copied from one defined above)",
                        shown(tokens_[i + 1]).c_str());
        def.base = it->second;
        i += 2;
    }
    if (!noMoreTokens(i)) return false;
    patternByName_[name] = int(patterns_.size());
    patterns_.push_back(std::move(def));
    section_ = Section::Pattern;
    return true;
}

bool Compiler::parseCellNote(std::size_t i, int& note) {
    const Token& t = tokens_[i];
    note = 0;
    if (t.quoted) return fail(at(t), "expected a note, found a text");
    if (isPlaceholder(t.text)) return true;
    if (t.text == "off" || t.text == "===") {
        note = kNoteOff;
        return true;
    }
    const int n = parseNoteName(t.text);
    if (n < 0)
        return fail(at(t), "expected a note such as C-4, C#4, off or ..., found '%s'", shown(t).c_str());
    if (n < 1 || n > kHighestCellNote)
        return fail(at(t), "note %s is out of range (C-0 to C#5; transpose the pattern for higher notes)",
                    shown(t).c_str());
    note = n;
    return true;
}

bool Compiler::parseCellInstrument(std::size_t i, int& number, Ref& ref) {
    const Token& t = tokens_[i];
    number = 0;
    if (t.quoted) return fail(at(t), "expected an instrument, found a text");
    if (isPlaceholder(t.text)) return true;
    if (allDigits(t.text)) {
        long n = 0;
        if (!integer(i, 0, kMaxCellInstrument, n, "instrument")) return false;
        number = int(n);
        return true;
    }
    if (!isIdentifier(t.text)) return fail(at(t), "expected an instrument, found '%s'", shown(t).c_str());
    ref = {std::string(t.text), at(t)};
    return true;
}

bool Compiler::parseCellEffect(std::size_t i, CellDef& cell, int& word) {
    const Token& t = tokens_[i];
    const std::string_view x = t.text;
    if (t.quoted) return fail(at(t), "expected an effect, found a text");
    if (isPlaceholder(x)) return true;
    int digits[3] = {0, 0, 0};
    if (x[0] == '+') {
        if (x.size() < 2 || x.size() > 4)
            return fail(at(t), "a chord is written as + and 1 to 3 hex digits, such as +47 or +37A");
        for (std::size_t k = 1; k < x.size(); ++k)
            if ((digits[k - 1] = hexDigit(x[k])) < 0)
                return fail(at(t), "'%c' is not a hex digit in the chord '%s'", x[k], shown(t).c_str());
        word |= 0x0800 | digits[0] << 12;
        cell.cell[2] = uint8_t(digits[1] << 4 | digits[2]);
        return true;
    }
    if (x[0] == '&') {
        const std::string_view what = x.substr(1);
        if (allDigits(what)) {
            long n = 0;
            if (!parseInteger(what, n) || n < 1 || n > kMaxCellInstrument)
                return fail(at(t), "a layered instrument is 1 to %d, found '%s'", kMaxCellInstrument,
                            shown(t).c_str());
            cell.cell[2] = uint8_t(n);
        } else if (isIdentifier(what)) {
            cell.layer = {std::string(what), at(t)};
        } else {
            return fail(at(t), "expected an instrument after '&', found '%s'", shown(t).c_str());
        }
        return true;
    }
    if (x.size() == 3 && hexDigit(x[0]) >= 0 && hexDigit(x[1]) >= 0 && hexDigit(x[2]) >= 0) {
        word |= hexDigit(x[0]) << 12;
        cell.cell[2] = uint8_t(hexDigit(x[1]) << 4 | hexDigit(x[2]));
        return true;
    }
    for (int k = 0; k < kChordNameCount; ++k)
        if (x == kChordNames[k].name) {
            const int* in = kChordNames[k].intervals;
            word |= 0x0800 | in[0] << 12;
            cell.cell[2] = uint8_t(in[1] << 4 | in[2]);
            return true;
        }
    std::vector<const char*> names;
    for (int k = 0; k < kChordNameCount; ++k) names.push_back(kChordNames[k].name);
    return fail(
        at(t),
        "expected an effect such as A08, a chord such as maj or +47, or a layer such as &hat; found '%s'%s",
        shown(t).c_str(), suggestion(x, names).c_str());
}

bool Compiler::patternLine() {
    PatternDef& def = patterns_.back();
    long v = 0;
    if (isWord(0, "repeat")) {
        if (def.repeat != 0) return fail(at(0), "the pattern already repeats (line %d)", def.repeatLoc.line);
        if (!integer(1, 1, kMaxRows, v, "repeat length") || !noMoreTokens(2)) return false;
        def.repeat = int(v);
        def.repeatLoc = at(1);
        return true;
    }
    if (isWord(0, "step")) {
        if (!integer(1, 1, kMaxRows, v, "step") || !noMoreTokens(2)) return false;
        def.step = int(v);
        return true;
    }
    std::size_t i = 0;
    int row = def.cursor;
    if (!tokens_[0].quoted && allDigits(tokens_[0].text)) {
        if (!integer(0, 0, kMaxRows - 1, v, "row")) return false;
        row = int(v);
        i = 1;
    } else if (row >= kMaxRows) {
        return fail(at(0), "this row would be row %d, beyond the last possible row %d", row, kMaxRows - 1);
    }
    if (def.rowLine[row] != 0)
        return fail(at(0), "row %d is already written at line %d", row, def.rowLine[row]);
    for (std::size_t k = i; k < tokens_.size(); ++k)
        if (tokens_[k].comma) return fail(at(k), "unexpected ','");
    if (tokens_.size() - i > 3)
        return fail(at(i + 3), "unexpected '%s': a row holds a note, an instrument and an effect",
                    shown(tokens_[i + 3]).c_str());
    CellDef cell;
    cell.row = row;
    int note = 0, instrument = 0, word = 0;
    if (i < tokens_.size() && !parseCellNote(i, note)) return false;
    if (i + 1 < tokens_.size() && !parseCellInstrument(i + 1, instrument, cell.instrument)) return false;
    if (i + 2 < tokens_.size() && !parseCellEffect(i + 2, cell, word)) return false;
    word |= note | instrument << 6;
    cell.cell[0] = uint8_t(word);
    cell.cell[1] = uint8_t(word >> 8);
    def.rowLine[row] = line_;
    def.cursor = row + def.step;
    def.cells.push_back(std::move(cell));
    def.cellLocs.push_back(at(0));
    return true;
}

bool Compiler::startOrder() {
    if (orderLine_ != 0) return fail(at(0), "a second 'order' section (the first is at line %d)", orderLine_);
    orderLine_ = line_;
    section_ = Section::Order;
    return noMoreTokens(1);
}

bool Compiler::orderLine() {
    long v = 0;
    if (isWord(0, "repeat")) {
        if (!integer(1, 1, kMaxRows, v, "repeat count") || !noMoreTokens(2)) return false;
        repeats_.push_back({order_.size(), int(v), at(0)});
        return true;
    }
    if (isWord(0, "end")) {
        if (repeats_.empty()) return fail(at(0), "'end' without 'repeat'");
        const RepeatBlock block = repeats_.back();
        repeats_.pop_back();
        const std::size_t length = order_.size() - block.start;
        if (order_.size() + length * (block.count - 1) > std::size_t(kMaxRows))
            return fail(at(0), "the order list grows beyond %d rows here", kMaxRows);
        for (int k = 1; k < block.count; ++k)
            for (std::size_t r = 0; r < length; ++r) order_.push_back(order_[block.start + r]);
        return noMoreTokens(1);
    }
    if (isWord(0, "restart")) {
        if (restartMarker_ >= 0)
            return fail(at(0), "'restart' is already marked at line %d", restartMarkerLoc_.line);
        restartMarker_ = int(order_.size());
        restartMarkerLoc_ = at(0);
        return noMoreTokens(1);
    }
    if (order_.size() >= std::size_t(kMaxRows))
        return fail(at(0), "the order list has at most %d rows", kMaxRows);
    OrderRow row;
    row.loc = at(0);
    for (std::size_t i = 0; i < tokens_.size(); ++i) {
        const Token& t = tokens_[i];
        const std::string_view x = t.text;
        if (t.quoted || t.comma) return fail(at(t), "expected a pattern name, '.' or a transpose");
        auto isTranspose = [](std::string_view s) {
            return s.size() > 1 && (s[0] == '+' || s[0] == '-') &&
                   std::isdigit(static_cast<unsigned char>(s[1]));
        };
        auto transpose = [&](std::string_view s, OrderEntry& entry) {
            long n = 0;
            if (!parseInteger(s, n) || n < -128 || n > 127)
                return fail(at(t), "a transpose is -128 to +127 semitones, found '%s'",
                            std::string(s).c_str());
            entry.transpose = int(n);
            entry.hasTranspose = true;
            return true;
        };
        if (isTranspose(x)) {
            if (row.entries.empty() || row.entries.back().hasTranspose)
                return fail(at(t), "a transpose follows the pattern it transposes, as in bass+5");
            if (!transpose(x, row.entries.back())) return false;
            continue;
        }
        OrderEntry entry;
        std::size_t nameLength = 0;
        if (std::isalpha(static_cast<unsigned char>(x[0]))) {
            while (nameLength < x.size() &&
                   (std::isalnum(static_cast<unsigned char>(x[nameLength])) || x[nameLength] == '_'))
                ++nameLength;
            entry.pattern = {std::string(x.substr(0, nameLength)), at(t)};
        } else if (x[0] == '.') {
            while (nameLength < x.size() && x[nameLength] == '.') ++nameLength;
        } else if (isPlaceholder(x)) {
            nameLength = x.size();
        } else {
            return fail(at(t), "expected a pattern name, '.' or a transpose, found '%s'", shown(t).c_str());
        }
        const std::string_view rest = x.substr(nameLength);
        if (!rest.empty()) {
            if (!isTranspose(rest))
                return fail({line_, t.col + int(nameLength)},
                            "expected a transpose such as +5 or -12 after the pattern, found '%s'",
                            std::string(rest).c_str());
            if (!transpose(rest, entry)) return false;
        }
        row.entries.push_back(std::move(entry));
    }
    order_.push_back(std::move(row));
    return true;
}

// --- After the text
// -------------------------------------------------------------------------------------------

bool Compiler::resolveInstrument(const Ref& ref, int& number, int highest) {
    auto it = instrumentByAlias_.find(ref.name);
    if (it == instrumentByAlias_.end()) {
        std::vector<std::string> names;
        for (const auto& [name, index] : instrumentByAlias_) names.push_back(name);
        std::sort(names.begin(), names.end());
        std::vector<const char*> pointers;
        for (const auto& n : names) pointers.push_back(n.c_str());
        return fail(ref.loc, "unknown instrument '%s'%s", ref.name.c_str(),
                    suggestion(ref.name, pointers).c_str());
    }
    number = instruments_[it->second].number;
    if (number > highest)
        return fail(ref.loc, "instrument %d ('%s') cannot be used here: only 1 to %d can", number,
                    ref.name.c_str(), highest);
    return true;
}

bool Compiler::finish(std::vector<uint8_t>& out) {
    if (!repeats_.empty()) return fail(repeats_.back().loc, "'repeat' without 'end'");
    if (order_.empty())
        return fail(orderLine_ ? Loc{orderLine_, 1} : Loc{line_, 1},
                    "the order list is empty: an 'order' section with at least one row is needed");
    if (restartMarker_ >= 0) {
        if (songKeyLine_["restart"] != 0)
            return fail(restartMarkerLoc_, "the restart position is also set at line %d",
                        songKeyLine_["restart"]);
        if (restartMarker_ == int(order_.size()))
            return fail(restartMarkerLoc_, "'restart' marks the order row that follows it, and none does");
        restart_ = restartMarker_;
    }

    // Instruments: link targets given by name.
    for (InstrumentDef& def : instruments_) {
        if (def.link.name.empty()) continue;
        int target = 0;
        if (!resolveInstrument(def.link, target, kMaxCellInstrument)) return false;
        def.rec.header[13] = uint8_t((def.rec.header[13] & 7) | target << 3);
    }

    // Patterns, in the order defined: pattern k is number k + 1.
    if (patterns_.size() > std::size_t(kMaxRows))
        return fail(patterns_[kMaxRows].loc, "a song has at most %d patterns", kMaxRows);
    const int rows = int(rows_);
    std::vector<uint8_t> cells(patterns_.size() * rows * kCellSize, 0);
    for (std::size_t p = 0; p < patterns_.size(); ++p) {
        PatternDef& def = patterns_[p];
        uint8_t* out = cells.data() + p * rows * kCellSize;
        if (def.base >= 0)
            std::memcpy(out, cells.data() + def.base * rows * kCellSize, std::size_t(rows) * kCellSize);
        std::vector<bool> written(rows, false);
        for (std::size_t k = 0; k < def.cells.size(); ++k) {
            CellDef& cell = def.cells[k];
            if (cell.row >= rows)
                return fail(def.cellLocs[k], "row %d is outside the pattern (rows 0 to %d)", cell.row,
                            rows - 1);
            if (!cell.instrument.name.empty()) {
                int number = 0;
                if (!resolveInstrument(cell.instrument, number, kMaxCellInstrument)) return false;
                cell.cell[0] = uint8_t(cell.cell[0] | number << 6);
                cell.cell[1] = uint8_t(cell.cell[1] | number >> 2);
            }
            if (!cell.layer.name.empty()) {
                int number = 0;
                if (!resolveInstrument(cell.layer, number, kMaxCellInstrument)) return false;
                cell.cell[2] = uint8_t(number);
            }
            std::memcpy(out + cell.row * kCellSize, cell.cell, kCellSize);
            written[cell.row] = true;
        }
        if (def.repeat > rows)
            return fail(def.repeatLoc, "repeat %d is longer than the pattern (%d rows)", def.repeat, rows);
        if (def.repeat > 0)
            for (int r = def.repeat; r < rows; ++r)
                if (!written[r])
                    std::memcpy(out + r * kCellSize, out + (r % def.repeat) * kCellSize, kCellSize);
    }

    // The order list.
    const int tracks = int(tracks_);
    std::vector<uint8_t> order;
    order.reserve(order_.size() * tracks * 2);
    for (const OrderRow& row : order_) {
        if (int(row.entries.size()) != tracks)
            return fail(row.loc, "this order row has %zu entr%s but the song has %d track%s",
                        row.entries.size(), row.entries.size() == 1 ? "y" : "ies", tracks,
                        tracks == 1 ? "" : "s");
        for (const OrderEntry& entry : row.entries) {
            int number = 0;
            if (!entry.pattern.name.empty()) {
                auto it = patternByName_.find(entry.pattern.name);
                if (it == patternByName_.end()) {
                    std::vector<const char*> names;
                    for (const PatternDef& def : patterns_) names.push_back(def.name.c_str());
                    return fail(entry.pattern.loc, "unknown pattern '%s'%s", entry.pattern.name.c_str(),
                                suggestion(entry.pattern.name, names).c_str());
                }
                number = it->second + 1;
            }
            order.push_back(uint8_t(number));
            order.push_back(uint8_t(int8_t(entry.transpose)));
        }
    }

    Song song;
    song.version = kLatestSongVersion;
    song.speed = uint8_t(speed_);
    song.tempo = uint8_t(tempo_);
    song.masterGain = float(gain_) * 0.03125f;
    song.reverbRoom = int8_t(reverb_[0]);
    song.reverbDamp = int8_t(reverb_[1]);
    song.reverbWidth = int8_t(reverb_[2]);
    song.reverbGain = int8_t(reverb_[3]);
    song.restartPos = int(restart_);
    song.trackCount = tracks;
    song.orderLength = int(order_.size());
    song.orderList = order.data();
    song.rowsPerPattern = rows;
    song.cellStride = rows;
    song.cells = cells.data();
    for (const InstrumentDef& def : instruments_) {
        song.instruments[def.number - 1] = def.rec;
        std::memcpy(song.instrumentNames[def.number - 1], def.name.data(), def.name.size());
    }
    out = writeSong(song, title_, author_);
    return true;
}

bool Compiler::run(std::vector<uint8_t>& out) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF")
        text_.remove_prefix(3); // a UTF-8 byte order mark, which editors hide
    std::size_t pos = 0;
    for (;;) {
        std::size_t end = text_.find('\n', pos);
        if (end == std::string_view::npos) end = text_.size();
        ++line_;
        if (!tokenize(text_.substr(pos, end - pos))) return false;
        if (!tokens_.empty() && !handleLine()) return false;
        if (end == text_.size()) break;
        pos = end + 1;
    }
    return finish(out);
}

} // namespace

bool compileSongText(std::string_view text, std::string_view fileName, std::vector<uint8_t>& out,
                     std::string* error) {
    Compiler compiler(text, fileName);
    std::vector<uint8_t> bytes;
    if (!compiler.run(bytes)) {
        if (error) *error = compiler.error();
        return false;
    }
    out = std::move(bytes);
    return true;
}

} // namespace md
