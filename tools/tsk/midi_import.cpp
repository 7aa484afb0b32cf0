#include "midi_import.h"

#include <smf.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <tuple>

#include "song/loaded_song.h"
#include "song/song_text_tables.h"

namespace tsk {

namespace {

constexpr int kDrumChannel = 9;                                                    // MIDI channel 10
constexpr int kLowestCellMidi = 12;                                                // C-0, cell note 1
constexpr int kHighestCellMidi = kLowestCellMidi + md::text::kHighestCellNote - 1; // C#5
constexpr int kMaxOrderRows = 255;
constexpr int kTargetPatternRows = 64;

// ---- What the MIDI file holds --------------------------------------------------------------------------

struct MidiNote {
    long long start = 0, end = 0; // pulses
    int pitch = 0, velocity = 0, channel = 0, track = 0;
};

struct TempoPoint {
    long long pulse = 0;
    double bpm = 120.0; // quarter notes a minute
};

struct MidiData {
    int format = 0, trackCount = 0, ppqn = 0;
    std::vector<MidiNote> notes;
    std::vector<TempoPoint> tempos; // from pulse 0, changes only
    int numerator = 4, denominator = 4;
    int meterChanges = 0;
    std::string name;               // the first track name or text that looks like a title
    std::vector<std::string> texts; // distinct text events, in order
};

// Collects libsmf's complaints instead of letting them reach the terminal.
struct LogCapture {
    std::vector<std::string> messages;
    GLogFunc previous;
    gpointer previousData = nullptr;
    LogCapture() { previous = g_log_set_default_handler(&LogCapture::handle, this); }
    ~LogCapture() { g_log_set_default_handler(previous, previousData); }
    static void handle(const gchar*, GLogLevelFlags, const gchar* message, gpointer self) {
        static_cast<LogCapture*>(self)->messages.push_back(message ? message : "");
    }
    std::string last() const { return messages.empty() ? std::string() : messages.back(); }
};

std::string cleanText(const char* text) {
    std::string s;
    for (const char* p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        s += (c < 0x20 || c == 0x7F) ? ' ' : static_cast<char>(c);
    }
    while (!s.empty() && s.back() == ' ') s.pop_back();
    while (!s.empty() && s.front() == ' ') s.erase(s.begin());
    return s;
}

bool readMidi(smf_t* smf, MidiData& d, std::string* error) {
    d.format = smf->format;
    d.trackCount = smf->number_of_tracks;
    d.ppqn = smf->ppqn;
    if (d.ppqn <= 0) {
        *error = "the file counts time in SMPTE frames, not in beats; only beat-based files can be imported";
        return false;
    }

    // Tempo and meter: libsmf keeps one list of both.
    int lastNum = -1, lastDen = -1;
    for (int i = 0;; ++i) {
        const smf_tempo_t* t = smf_get_tempo_by_number(smf, i);
        if (!t) break;
        const double bpm =
            t->microseconds_per_quarter_note > 0 ? 60e6 / t->microseconds_per_quarter_note : 120.0;
        if (d.tempos.empty() || std::fabs(d.tempos.back().bpm - bpm) > 1e-6) {
            if (!d.tempos.empty() && d.tempos.back().pulse == t->time_pulses)
                d.tempos.back().bpm = bpm;
            else
                d.tempos.push_back({t->time_pulses, bpm});
        }
        if (t->numerator > 0 && t->denominator > 0 &&
            (t->numerator != lastNum || t->denominator != lastDen)) {
            if (lastNum < 0 || t->time_pulses == 0) {
                d.numerator = t->numerator;
                d.denominator = t->denominator;
            } else {
                ++d.meterChanges;
            }
            lastNum = t->numerator;
            lastDen = t->denominator;
        }
    }
    if (d.tempos.empty() || d.tempos.front().pulse > 0) d.tempos.insert(d.tempos.begin(), {0, 120.0});

    // Notes: each note-off ends the earliest open note of its track, channel and pitch.
    std::map<long long, std::vector<std::size_t>> open; // key -> indices into d.notes
    auto key = [](int track, int channel, int pitch) {
        return (static_cast<long long>(track) << 16) | (channel << 8) | pitch;
    };
    long long lastPulse = 0;
    smf_rewind(smf);
    for (smf_event_t* e = smf_get_next_event(smf); e; e = smf_get_next_event(smf)) {
        lastPulse = std::max<long long>(lastPulse, e->time_pulses);
        if (e->midi_buffer_length < 1) continue;
        if (smf_event_is_metadata(e)) {
            if (smf_event_is_textual(e) && e->midi_buffer_length >= 2) {
                const int type = e->midi_buffer[1];
                char* raw = smf_event_extract_text(e);
                if (raw) {
                    const std::string text = cleanText(raw);
                    free(raw);
                    if (!text.empty() && (type == 1 || type == 2 || type == 3)) {
                        if (std::find(d.texts.begin(), d.texts.end(), text) == d.texts.end() &&
                            d.texts.size() < 12)
                            d.texts.push_back(text);
                        // A track name that names the piece, not a part or the tempo track of a notation
                        // program.
                        if (type == 3 && d.name.empty() && e->track_number == 1 && text != "control track")
                            d.name = text;
                    }
                }
            }
            continue;
        }
        const int status = e->midi_buffer[0] & 0xF0;
        const int channel = e->midi_buffer[0] & 0x0F;
        if ((status != 0x80 && status != 0x90) || e->midi_buffer_length < 3) continue;
        const int pitch = e->midi_buffer[1] & 0x7F;
        const int velocity = e->midi_buffer[2] & 0x7F;
        const long long k = key(e->track_number, channel, pitch);
        if (status == 0x90 && velocity > 0) {
            MidiNote n;
            n.start = e->time_pulses;
            n.end = -1;
            n.pitch = pitch;
            n.velocity = velocity;
            n.channel = channel;
            n.track = e->track_number;
            open[k].push_back(d.notes.size());
            d.notes.push_back(n);
        } else {
            auto it = open.find(k);
            if (it == open.end() || it->second.empty()) continue;
            d.notes[it->second.front()].end = e->time_pulses;
            it->second.erase(it->second.begin());
        }
    }
    for (MidiNote& n : d.notes)
        if (n.end < 0) n.end = std::max(lastPulse, n.start + 1);
    d.notes.erase(
        std::remove_if(d.notes.begin(), d.notes.end(), [](const MidiNote& n) { return n.end <= n.start; }),
        d.notes.end());
    std::stable_sort(d.notes.begin(), d.notes.end(), [](const MidiNote& a, const MidiNote& b) {
        return a.start != b.start ? a.start < b.start : a.pitch > b.pitch;
    });
    return true;
}

// ---- Grid and timing -----------------------------------------------------------------------------------

// Share of note starts within a small tolerance of a grid of `rowsPerBeat` rows a quarter note.
double onGridShare(const std::vector<MidiNote>& notes, int ppqn, int rowsPerBeat) {
    if (notes.empty()) return 1.0;
    const double step = static_cast<double>(ppqn) / rowsPerBeat;
    const double tolerance = std::max(0.5, std::min(ppqn / 96.0, step / 4.0));
    std::size_t hits = 0;
    for (const MidiNote& n : notes) {
        const double r = n.start / step;
        hits += std::fabs(r - std::round(r)) * step <= tolerance;
    }
    return static_cast<double>(hits) / notes.size();
}

long long toRow(long long pulse, int ppqn, int rowsPerBeat) {
    return (2 * pulse * rowsPerBeat + ppqn) / (2LL * ppqn);
}

// Speed and tempo whose rows last a quarter note / rowsPerBeat at `bpm`: tempo / speed = bpm x rows / 24.
// Among close fits, the familiar speed 6 at 4 rows a beat, or else ticks near 50 a second (tempo 125), which
// keep instrument programs sounding as designed.
void chooseSpeedTempo(double bpm, int rowsPerBeat, int& speed, int& tempo) {
    const double target = bpm * rowsPerBeat / 24.0;
    double best = 1e9;
    speed = 6;
    tempo = 125;
    for (int s = 1; s <= 31; ++s) {
        const long t = std::lround(target * s);
        if (t < 32 || t > 255) continue;
        const double error = std::fabs(static_cast<double>(t) / s / target - 1.0);
        // Speed 6 at 4 rows a beat (tempo = BPM) reads best.
        const double score = error * 100.0 + 0.5 * std::fabs(std::log2(static_cast<double>(t) / 125.0)) +
                             (s * rowsPerBeat == 24 ? 0.0 : 0.2);
        if (score < best) {
            best = score;
            speed = s;
            tempo = static_cast<int>(t);
        }
    }
    if (best == 1e9) { // slower or faster than speed and tempo can say
        speed = target < 1.0 ? 31 : 1;
        tempo = static_cast<int>(std::clamp<long>(std::lround(target * speed), 32, 255));
    }
}

// ---- Notes on rows and their parts ---------------------------------------------------------------------

struct RowNote {
    int start = 0, end = 0; // rows, end > start
    int pitch = 0;          // MIDI
    int part = 0;           // index of (track, channel)
};

// Rows where notes start, each with its notes from highest to lowest.
std::map<int, std::vector<const RowNote*>> byStart(const std::vector<RowNote>& notes) {
    std::map<int, std::vector<const RowNote*>> rows;
    for (const RowNote& n : notes) rows[n.start].push_back(&n);
    for (auto& [row, list] : rows)
        std::sort(list.begin(), list.end(),
                  [](const RowNote* a, const RowNote* b) { return a->pitch > b->pitch; });
    return rows;
}

int median(std::vector<int> v) {
    if (v.empty()) return 60;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

// The top line: at each start the highest note, unless a higher melody note is still sounding or the note
// tops a chord well below the line's usual register (an accompaniment while the tune rests).
void splitTopLine(const std::vector<RowNote>& notes, std::vector<RowNote>& line, std::vector<RowNote>& rest) {
    const auto starts = byStart(notes);
    // The tune's register: where single notes start (a chord's top may be an accompaniment), or else the
    // tops of all starts.
    std::vector<int> tops, singles;
    for (const auto& [row, list] : starts) {
        tops.push_back(list.front()->pitch);
        if (list.size() == 1) singles.push_back(list.front()->pitch);
    }
    const int usual =
        singles.size() >= std::max<std::size_t>(8, tops.size() / 5) ? median(singles) : median(tops);
    const RowNote* current = nullptr;
    int currentEnd = 0;
    for (const auto& [row, list] : starts) {
        const RowNote* candidate = list.front();
        const bool held = current && currentEnd > row && current->pitch > candidate->pitch;
        const bool accompaniment = list.size() >= 2 && candidate->pitch < usual - 7;
        for (const RowNote* n : list) {
            if (n == candidate && !held && !accompaniment) {
                line.push_back(*n);
                current = n;
                currentEnd = n->end;
            } else {
                rest.push_back(*n);
            }
        }
    }
}

// The bass line: at each start the lowest note, unless a lower bass note is still sounding; the chords of a
// stride or waltz accompaniment (several pitch classes above a recent bass note) stay harmony.
void splitBassLine(const std::vector<RowNote>& notes, int rowsPerBar, std::vector<RowNote>& line,
                   std::vector<RowNote>& rest) {
    std::vector<std::pair<int, int>> accepted; // (row, pitch)
    int lastBassLikeRow = -1000000;
    const RowNote* current = nullptr;
    int currentEnd = 0;
    for (const auto& [row, list] : byStart(notes)) {
        const RowNote* candidate = list.back();
        std::set<int> classes;
        for (const RowNote* n : list) classes.insert(n->pitch % 12);
        const bool chord = classes.size() >= 2;
        int reference = 1000;
        for (auto it = accepted.rbegin(); it != accepted.rend() && it->first > row - rowsPerBar; ++it)
            reference = std::min(reference, it->second);
        bool take;
        if (current && currentEnd > row && current->pitch < candidate->pitch)
            take = false;
        else if (reference == 1000)
            take = true;
        else if (!chord)
            take = candidate->pitch <= reference + 7;
        else
            take = lastBassLikeRow <= row - rowsPerBar || candidate->pitch <= reference + 2;
        for (const RowNote* n : list) {
            if (n == candidate && take) {
                line.push_back(*n);
                accepted.emplace_back(row, n->pitch);
                if (!chord) lastBassLikeRow = row;
                current = n;
                currentEnd = n->end;
            } else {
                rest.push_back(*n);
            }
        }
    }
}

// ---- Cells and patterns --------------------------------------------------------------------------------

struct Cell {
    int note = 0; // MIDI pitch, or -1 for off, 0 for none
    std::string instrument;
    std::string effect;
    bool empty() const { return note == 0 && instrument.empty() && effect.empty(); }
};

using Column = std::map<int, Cell>; // row -> cell

// A monophonic line: one note per start, "off" where a note ends before the next begins.
Column lineColumn(std::vector<RowNote> notes, const std::string& instrument) {
    std::sort(notes.begin(), notes.end(),
              [](const RowNote& a, const RowNote& b) { return a.start < b.start; });
    Column column;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        column[notes[i].start] = Cell{notes[i].pitch, instrument, ""};
        const int next = i + 1 < notes.size() ? notes[i + 1].start : 1 << 30;
        if (notes[i].end < next) column[notes[i].end] = Cell{-1, "", ""};
    }
    return column;
}

// Intervals of a chord cell above its root: distinct, 1 to 15 semitones, at most three, new pitch classes
// first.
std::vector<int> chordIntervals(const std::vector<int>& pitches, int root, int* dropped) {
    std::vector<int> candidates;
    for (int p : pitches) {
        int i = p - root;
        while (i > 15) i -= 12;
        if (i >= 1 && std::find(candidates.begin(), candidates.end(), i) == candidates.end())
            candidates.push_back(i);
    }
    std::sort(candidates.begin(), candidates.end());
    std::vector<int> chosen;
    std::set<int> classes{0};
    for (int pass = 0; pass < 2; ++pass)
        for (int i : candidates) {
            if (chosen.size() >= 3) break;
            if (std::find(chosen.begin(), chosen.end(), i) != chosen.end()) continue;
            if (pass == 0 && classes.count(i % 12)) continue;
            chosen.push_back(i);
            classes.insert(i % 12);
        }
    *dropped += static_cast<int>(pitches.size()) - 1 - static_cast<int>(chosen.size());
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

std::string chordEffect(const std::vector<int>& intervals) {
    int iv[3] = {0, 0, 0};
    for (std::size_t i = 0; i < intervals.size() && i < 3; ++i) iv[i] = intervals[i];
    if (const char* name = md::text::chordName(iv[0], iv[1], iv[2])) return name;
    std::string s = "+";
    for (int i : intervals) s += "0123456789ABCDEF"[i];
    return s;
}

// Chord cells: at each start every harmony note sounding then (held ones struck again), lowest as the root.
Column chordColumn(const std::vector<RowNote>& notes, const std::string& instrument, int* cells,
                   int* dropped) {
    Column column;
    std::set<int> starts;
    for (const RowNote& n : notes) starts.insert(n.start);
    for (auto it = starts.begin(); it != starts.end(); ++it) {
        const int row = *it;
        std::vector<int> pitches;
        int end = row + 1;
        for (const RowNote& n : notes)
            if (n.start <= row && n.end > row) {
                pitches.push_back(n.pitch);
                end = std::max(end, n.end);
            }
        std::sort(pitches.begin(), pitches.end());
        pitches.erase(std::unique(pitches.begin(), pitches.end()), pitches.end());
        const int root = pitches.front();
        const std::vector<int> intervals = chordIntervals(pitches, root, dropped);
        column[row] = Cell{root, instrument, intervals.empty() ? "" : chordEffect(intervals)};
        ++*cells;
        const auto next = std::next(it);
        if (end < (next == starts.end() ? 1 << 30 : *next)) column[end] = Cell{-1, "", ""};
    }
    return column;
}

// Puts an effect into the first free effect column of a row (melody, bass, chords, drums).
bool placeEffect(Column* columns, int row, const std::string& effect) {
    for (int k : {3, 1, 2, 0}) {
        auto it = columns[k].find(row);
        if (it == columns[k].end()) it = columns[k].emplace(row, Cell{}).first;
        if (it->second.effect.empty()) {
            it->second.effect = effect;
            return true;
        }
    }
    return false;
}

// General MIDI percussion keys to the drum instruments.
std::string drumFor(int key) {
    switch (key) {
    case 35:
    case 36:
        return "kick";
    case 37:
    case 38:
    case 39:
    case 40:
        return "snare";
    case 41:
    case 43:
    case 45:
    case 47:
    case 48:
    case 50:
        return "tom";
    case 49:
    case 51:
    case 52:
    case 53:
    case 55:
    case 57:
    case 59:
        return "cymbal";
    default:
        return "hat";
    }
}

int drumPriority(const std::string& name) {
    static const char* const kOrder[] = {"kick", "snare", "tom", "cymbal", "hat"};
    for (int i = 0; i < 5; ++i)
        if (name == kOrder[i]) return i;
    return 5;
}

Column drumColumn(const std::vector<RowNote>& notes, int* dropped) {
    std::map<int, std::set<std::pair<int, std::string>>> hits;
    for (const RowNote& n : notes) {
        const std::string d = drumFor(n.pitch);
        hits[n.start].insert({drumPriority(d), d});
    }
    Column column;
    for (const auto& [row, set] : hits) {
        auto it = set.begin();
        Cell c{60, it->second, ""};
        if (++it != set.end()) c.effect = "&" + it->second;
        *dropped += std::max<int>(0, static_cast<int>(set.size()) - 2);
        column[row] = c;
    }
    return column;
}

// Octaves to move a column by so its notes fit the cells' range; notes still outside are folded in.
int fitColumn(Column& column, int* folded) {
    int lo = 1000, hi = -1000;
    for (const auto& [row, c] : column)
        if (c.note > 0) {
            lo = std::min(lo, c.note);
            hi = std::max(hi, c.note);
        }
    if (lo > hi) return 0;
    int shift = 0;
    while (hi - shift > kHighestCellMidi && lo - (shift + 12) >= kLowestCellMidi) shift += 12;
    while (lo - shift < kLowestCellMidi && hi - (shift - 12) <= kHighestCellMidi) shift -= 12;
    for (auto& [row, c] : column)
        if (c.note > 0) {
            int n = c.note - shift;
            if (n < kLowestCellMidi || n > kHighestCellMidi) ++*folded;
            while (n < kLowestCellMidi) n += 12;
            while (n > kHighestCellMidi) n -= 12;
            c.note = n + shift;
        }
    return shift;
}

std::string cellText(const Cell& c, int shift) {
    std::string note = c.note < 0 ? "off" : c.note == 0 ? "..." : md::text::noteName(c.note - shift - 11);
    std::string s = note;
    if (!c.instrument.empty() || !c.effect.empty())
        s += " " + (c.instrument.empty() ? std::string("..") : c.instrument);
    if (!c.effect.empty()) s += " " + c.effect;
    return s;
}

struct Instrument {
    const char* name;
    int number;
    const char* text;
};

// Plain instruments to start from; the composer designs the real ones.
const Instrument kInstruments[] = {
    {"lead", 1,
     "instrument 1 lead \"Lead\"\n"
     "  volume    16\n"
     "  adsr      1 8 10 6\n"
     "  pulse     96\n"
     "  vibrato   depth 3 speed 6 delay 10\n"
     "  reverb    5\n"
     "  program\n"
     "     0 osc square+saw, hold\n"},
    {"bass", 2,
     "instrument 2 bass \"Bass\"\n"
     "  volume    37\n"
     "  adsr      0 7 9 4\n"
     "  filter    lowpass\n"
     "  cutoff    110\n"
     "  resonance 40\n"
     "  program\n"
     "     0 osc saw+tri, hold\n"},
    {"chords", 3,
     "instrument 3 chords \"Chords\"\n"
     "  volume    16\n"
     "  adsr      1 9 8 7\n"
     "  filter    lowpass\n"
     "  cutoff    150\n"
     "  reverb    8\n"
     "  program\n"
     "     0 osc square+tri, hold\n"},
    {"inner", 4,
     "instrument 4 inner \"Inner voices\"\n"
     "  volume    16\n"
     "  adsr      1 9 8 7\n"
     "  pan       6\n"
     "  reverb    8\n"
     "  program\n"
     "     0 osc tri+saw, hold\n"},
    {"kick", 5,
     "instrument 5 kick \"Kick\"\n"
     "  volume    60\n"
     "  adsr      0 6 0 4\n"
     "  program\n"
     "     0 C-2 fixed osc tri, slide_down 200\n"
     "     2 hold\n"},
    {"snare", 6,
     "instrument 6 snare \"Snare\"\n"
     "  volume    40\n"
     "  adsr      0 5 0 5\n"
     "  filter    highpass\n"
     "  cutoff    150\n"
     "  program\n"
     "     0 C-3 fixed osc noise+tri\n"
     "     1 osc noise, hold\n"},
    {"hat", 7,
     "instrument 7 hat \"Hat\"\n"
     "  volume    22\n"
     "  adsr      0 2 0 2 short\n"
     "  filter    highpass\n"
     "  cutoff    230\n"
     "  program\n"
     "     0 C-5 fixed osc noise, hold\n"},
    {"tom", 8,
     "instrument 8 tom \"Tom\"\n"
     "  volume    48\n"
     "  adsr      0 7 0 5\n"
     "  program\n"
     "     0 A-2 fixed osc tri, slide_down 120\n"
     "     2 hold\n"},
    {"cymbal", 9,
     "instrument 9 cymbal \"Cymbal\"\n"
     "  volume    16\n"
     "  adsr      0 10 0 10\n"
     "  filter    highpass\n"
     "  cutoff    200\n"
     "  reverb    6\n"
     "  program\n"
     "     0 C-5 fixed osc noise, hold\n"},
};

std::string formatDuration(double seconds) {
    const int s = static_cast<int>(std::lround(seconds));
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d", s / 60, s % 60);
    return text;
}

std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// Cuts a text to at most `bytes` bytes without splitting a UTF-8 character, between words where it can.
std::string cutText(std::string s, std::size_t bytes) {
    if (s.size() <= bytes) return s;
    std::size_t n = bytes;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    // Rather between words, when that keeps most of it.
    const std::size_t space = s.rfind(' ', n);
    if (s[n] != ' ' && space != std::string::npos && space > bytes / 2) n = space;
    s.resize(n);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

std::string titleFromFileName(const std::string& name) {
    std::string base =
        name.substr(name.find_last_of('/') == std::string::npos ? 0 : name.find_last_of('/') + 1);
    const std::size_t dot = base.rfind('.');
    if (dot != std::string::npos && dot > 0) base.resize(dot);
    bool start = true;
    for (char& c : base) {
        if (c == '-' || c == '_') c = ' ';
        if (start && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        start = c == ' ';
    }
    return base;
}

bool convert(const MidiData& midi, const MidiImportOptions& options, MidiImportResult& result,
             std::string* error) {
    auto say = [&](const std::string& line) { result.summary.push_back(line); };
    auto warn = [&](const std::string& line) { result.warnings.push_back(line); };
    char line[512];

    if (midi.notes.empty()) {
        *error = "the file holds no notes";
        return false;
    }
    const int ppqn = midi.ppqn;

    // Rows per quarter note: the coarsest grid that holds the note starts.
    std::vector<MidiNote> pitched, drums;
    for (const MidiNote& n : midi.notes) (n.channel == kDrumChannel ? drums : pitched).push_back(n);
    int rowsPerBeat = options.rowsPerBeat;
    double share = 0;
    if (rowsPerBeat <= 0) {
        for (int r : {4, 6, 8, 12, 16}) {
            share = onGridShare(midi.notes, ppqn, r);
            if (share >= 0.97) {
                rowsPerBeat = r;
                break;
            }
        }
        if (rowsPerBeat <= 0) {
            rowsPerBeat = 4;
            share = onGridShare(midi.notes, ppqn, 4);
            warn("the notes do not keep to a grid (a recorded performance?): quantised to 4 rows a beat");
        }
    } else {
        share = onGridShare(midi.notes, ppqn, rowsPerBeat);
    }

    // Bars and patterns.
    int rowsPerBar = rowsPerBeat * 4;
    if ((rowsPerBeat * midi.numerator * 4) % midi.denominator == 0)
        rowsPerBar = rowsPerBeat * midi.numerator * 4 / midi.denominator;
    else
        warn("the meter " + std::to_string(midi.numerator) + "/" + std::to_string(midi.denominator) +
             " has no whole number of rows a bar at this grid: patterns are counted in 4/4 bars");
    if (rowsPerBar > 255) rowsPerBar = 4 * rowsPerBeat;
    int bars = options.barsPerPattern;
    if (bars <= 0) {
        bars = 1;
        for (int b : {16, 8, 4, 2})
            if (b * rowsPerBar <= kTargetPatternRows) {
                bars = b;
                break;
            }
    }
    while (bars > 1 && bars * rowsPerBar > 255) --bars;
    const int rowsPerPattern = bars * rowsPerBar;
    if (rowsPerPattern > 255) {
        *error =
            "a bar of this meter needs more than 255 rows at " + std::to_string(rowsPerBeat) + " rows a beat";
        return false;
    }

    // Speed and tempo from the first tempo; later changes become Fxx commands.
    int speed = 6, tempo = 125;
    chooseSpeedTempo(midi.tempos.front().bpm, rowsPerBeat, speed, tempo);
    const double rowSeconds = speed * 2.5 / tempo;

    // Notes on rows, by part (MIDI track and channel).
    std::map<std::pair<int, int>, int> partIndex;
    std::vector<RowNote> rowNotes, drumNotes;
    for (const MidiNote& n : midi.notes) {
        RowNote r;
        r.start = static_cast<int>(toRow(n.start, ppqn, rowsPerBeat));
        r.end = std::max(r.start + 1, static_cast<int>(toRow(n.end, ppqn, rowsPerBeat)));
        r.pitch = n.pitch;
        if (n.channel == kDrumChannel) {
            drumNotes.push_back(r);
            continue;
        }
        const auto key = std::make_pair(n.track, n.channel);
        const auto found = partIndex.find(key);
        r.part = found != partIndex.end() ? found->second : static_cast<int>(partIndex.size());
        if (found == partIndex.end()) partIndex[key] = r.part;
        rowNotes.push_back(r);
    }
    // Two notes of the same pitch and part on one row are one note.
    std::sort(rowNotes.begin(), rowNotes.end(), [](const RowNote& a, const RowNote& b) {
        return std::tie(a.start, a.pitch, a.part, b.end) < std::tie(b.start, b.pitch, b.part, a.end);
    });
    const std::size_t before = rowNotes.size();
    rowNotes.erase(std::unique(rowNotes.begin(), rowNotes.end(),
                               [](const RowNote& a, const RowNote& b) {
                                   return a.start == b.start && a.pitch == b.pitch;
                               }),
                   rowNotes.end());
    const std::size_t merged = before - rowNotes.size();

    // Melody from the highest part, bass from the lowest, harmony from everything else.
    const int parts = static_cast<int>(partIndex.size());
    std::vector<double> meanPitch(parts, 0.0);
    std::vector<int> count(parts, 0);
    for (const RowNote& n : rowNotes) {
        meanPitch[n.part] += n.pitch;
        ++count[n.part];
    }
    for (int p = 0; p < parts; ++p) meanPitch[p] = count[p] ? meanPitch[p] / count[p] : 0;
    std::vector<RowNote> upper, lower, middle, melody, bass, upperRest, lowerRest;
    std::string partsNote = "no notes but drums";
    if (parts == 1) {
        // One part (a piano on one track): the top line, then the bottom line of what is left; the rest is
        // harmony.
        std::vector<RowNote> rest;
        splitTopLine(rowNotes, melody, rest);
        splitBassLine(rest, rowsPerBar, bass, lowerRest);
        partsNote = "one part: melody from its top line, bass from its bottom line";
    } else if (parts >= 2) {
        int hi = 0, lo = 0;
        for (int p = 1; p < parts; ++p) {
            if (meanPitch[p] > meanPitch[hi]) hi = p;
            if (meanPitch[p] < meanPitch[lo]) lo = p;
        }
        for (const RowNote& n : rowNotes) (n.part == hi ? upper : n.part == lo ? lower : middle).push_back(n);
        partsNote = std::to_string(parts) + " parts: melody from the highest, bass from the lowest";
        splitTopLine(upper, melody, upperRest);
        splitBassLine(lower, rowsPerBar, bass, lowerRest);
    }

    const bool haveDrums = !drumNotes.empty();
    std::vector<RowNote> harmony = lowerRest, inner;
    harmony.insert(harmony.end(), middle.begin(), middle.end());
    const bool innerTrack = !haveDrums && !options.harmonyOnOneTrack;
    if (innerTrack)
        inner = upperRest;
    else
        harmony.insert(harmony.end(), upperRest.begin(), upperRest.end());

    // Columns: track 1 drums (or inner voices), 2 bass, 3 chords, 4 melody.
    int chordCells = 0, chordDropped = 0, innerCells = 0, drumDropped = 0;
    Column columns[4];
    const char* roles[4] = {haveDrums ? "drums" : "inner", "bass", "chords", "melody"};
    if (haveDrums)
        columns[0] = drumColumn(drumNotes, &drumDropped);
    else if (innerTrack)
        columns[0] = chordColumn(inner, "inner", &innerCells, &chordDropped);
    columns[1] = lineColumn(bass, "bass");
    columns[2] = chordColumn(harmony, "chords", &chordCells, &chordDropped);
    columns[3] = lineColumn(melody, "lead");

    int lastRow = 0;
    for (const RowNote& n : rowNotes) lastRow = std::max(lastRow, n.end);
    for (const RowNote& n : drumNotes) lastRow = std::max(lastRow, n.start + 1);
    // The song ends with the bar of the last note: a break there ends a last pattern that is not full.
    const int endRow = (lastRow + rowsPerBar - 1) / rowsPerBar * rowsPerBar;
    int patterns = (endRow + rowsPerPattern - 1) / rowsPerPattern;
    if (patterns > kMaxOrderRows) {
        std::snprintf(line, sizeof line, "the piece needs %d patterns; only the first %d are written",
                      patterns, kMaxOrderRows);
        warn(line);
        patterns = kMaxOrderRows;
    }

    // Tempo changes: an Fxx command in a free effect column of the row (and the first tempo again at the top,
    // so that the loop starts at the right pace).
    int tempoCommands = 0, tempoLost = 0;
    if (midi.tempos.size() > 1) {
        for (std::size_t i = 0; i < midi.tempos.size(); ++i) {
            const int row = static_cast<int>(toRow(midi.tempos[i].pulse, ppqn, rowsPerBeat));
            if (row >= patterns * rowsPerPattern) break;
            const long t =
                std::clamp<long>(std::lround(midi.tempos[i].bpm * rowsPerBeat / 24.0 * speed), 32, 255);
            char fx[8];
            std::snprintf(fx, sizeof fx, "F%02X", static_cast<int>(t));
            placeEffect(columns, row, fx) ? ++tempoCommands : ++tempoLost;
        }
    }
    if (endRow % rowsPerPattern != 0 && endRow < patterns * rowsPerPattern &&
        !placeEffect(columns, endRow - 1, "D00"))
        warn("the last pattern runs on after the piece: no free effect column for a break");

    int folded = 0;
    int shifts[4];
    for (int k = 0; k < 4; ++k) shifts[k] = haveDrums && k == 0 ? 0 : fitColumn(columns[k], &folded);

    // Patterns, shared where a track repeats itself.
    std::string patternText;
    std::vector<std::array<std::string, 4>> order(patterns);
    std::map<std::string, std::string> known; // body -> name
    int patternCount = 0;
    for (int k = 0; k < 4; ++k) {
        int serial = 0;
        for (int p = 0; p < patterns; ++p) {
            std::string body;
            const auto begin = columns[k].lower_bound(p * rowsPerPattern);
            const auto end = columns[k].lower_bound((p + 1) * rowsPerPattern);
            for (auto it = begin; it != end; ++it) {
                if (it->second.empty()) continue;
                std::snprintf(line, sizeof line, "  %3d %s\n", it->first - p * rowsPerPattern,
                              cellText(it->second, shifts[k]).c_str());
                body += line;
            }
            if (body.empty()) {
                order[p][k] = ".";
                continue;
            }
            auto found = known.find(std::string(roles[k]) + body);
            if (found == known.end()) {
                const std::string name = std::string(roles[k]) + std::to_string(++serial);
                found = known.emplace(std::string(roles[k]) + body, name).first;
                patternText += "\npattern " + name + "\n" + body;
                ++patternCount;
            }
            order[p][k] = found->second;
            if (shifts[k] != 0) order[p][k] += (shifts[k] > 0 ? "+" : "") + std::to_string(shifts[k]);
        }
    }

    // What was done, for the summary and the text's opening comment.
    std::snprintf(line, sizeof line, "MIDI: format %d, %d track%s, %d pulses a quarter note, %d/%d",
                  midi.format, midi.trackCount, midi.trackCount == 1 ? "" : "s", ppqn, midi.numerator,
                  midi.denominator);
    say(line);
    if (midi.meterChanges > 0)
        warn("the meter changes " + std::to_string(midi.meterChanges) + " times; only the first is kept");
    std::snprintf(
        line, sizeof line,
        "grid: %d rows a quarter note (%.1f %% of the note starts on it), %d rows a bar, %d bar%s a pattern",
        rowsPerBeat, 100.0 * share, rowsPerBar, bars, bars == 1 ? "" : "s");
    say(line);
    std::snprintf(line, sizeof line, "tempo: %.1f BPM as speed %d, tempo %d (%.1f BPM)",
                  midi.tempos.front().bpm, speed, tempo, 24.0 * tempo / (speed * rowsPerBeat));
    say(line);
    if (midi.tempos.size() > 1) {
        std::snprintf(line, sizeof line, "tempo changes: %d written as Fxx commands", tempoCommands);
        say(line);
        if (tempoLost)
            warn(std::to_string(tempoLost) + " tempo changes found no free effect column and were left out");
    }
    say("parts: " + partsNote);
    std::snprintf(line, sizeof line, "tracks: 1 %s, 2 bass, 3 chords, 4 melody",
                  haveDrums    ? "drums"
                  : innerTrack ? "inner voices (chords)"
                               : "empty (for drums)");
    say(line);
    std::snprintf(line, sizeof line, "notes: %zu read; melody %zu, bass %zu, chords %zu in %d cells",
                  midi.notes.size(), melody.size(), bass.size(), harmony.size(), chordCells);
    std::string notesLine = line;
    if (innerTrack && !inner.empty())
        notesLine +=
            ", inner voices " + std::to_string(inner.size()) + " in " + std::to_string(innerCells) + " cells";
    if (haveDrums) notesLine += ", drums " + std::to_string(drumNotes.size());
    say(notesLine);
    if (merged)
        warn(std::to_string(merged) +
             " notes doubled another of the same pitch on the same row and were merged");
    if (chordDropped)
        warn(std::to_string(chordDropped) +
             " chord notes beyond the three intervals a cell holds were left out");
    if (drumDropped) warn(std::to_string(drumDropped) + " drum hits beyond two on one row were left out");
    if (folded) warn(std::to_string(folded) + " notes outside the tracks' range were moved by octaves");
    std::string transposed;
    for (int k = 0; k < 4; ++k)
        if (shifts[k] != 0)
            transposed += std::string(transposed.empty() ? "" : ", ") + roles[k] +
                          (shifts[k] > 0 ? " +" : " ") + std::to_string(shifts[k]);
    if (!transposed.empty())
        say("order transposes: " + transposed + " (the cells are written lower by as much)");
    const double seconds = static_cast<double>(patterns) * rowsPerPattern * rowSeconds;
    std::snprintf(line, sizeof line, "length: %d patterns of %d rows, about %s at the first tempo", patterns,
                  rowsPerPattern, formatDuration(seconds).c_str());
    say(line);
    if (seconds > 460.0)
        warn("the piece is longer than the 470 s the player can hold: cut it down");
    else if (seconds > 300.0)
        warn("the piece is longer than 300 s: shorten it for the disk");

    // The text.
    std::string title = options.title;
    if (title.empty()) title = midi.name;
    if (title.empty() || title.size() > 40)
        title = titleFromFileName(options.sourceName.empty() ? "song" : options.sourceName);
    title = cutText(title, 19);

    std::string text = "; Imported from " +
                       (options.sourceName.empty() ? std::string("a MIDI file") : options.sourceName) +
                       " by tsk import: a starting point to arrange from.\n";
    for (const std::string& s : result.summary) text += "; " + s + "\n";
    for (const std::string& s : result.warnings) text += "; note: " + s + "\n";
    if (!midi.texts.empty()) {
        text += "; MIDI texts:";
        for (const std::string& t : midi.texts) text += " " + quoted(cutText(t, 60));
        text += "\n";
    }
    text += "\nsong\n";
    text += "  title   " + quoted(title) + "\n";
    std::snprintf(line, sizeof line,
                  "  speed   %d\n  tempo   %d                 ; %.1f BPM at %d rows a beat\n  rows    %d\n",
                  speed, tempo, 24.0 * tempo / (speed * rowsPerBeat), rowsPerBeat, rowsPerPattern);
    text += line;
    text += "  reverb  room 70 damp 20 width 40\n";

    std::set<std::string> used;
    for (int k = 0; k < 4; ++k)
        for (const auto& [row, c] : columns[k]) {
            if (!c.instrument.empty()) used.insert(c.instrument);
            if (c.effect.size() > 1 && c.effect[0] == '&') used.insert(c.effect.substr(1));
        }
    for (const Instrument& ins : kInstruments)
        if (used.count(ins.name)) text += std::string("\n") + ins.text;

    text += patternText;
    text += "\norder\n";
    std::snprintf(line, sizeof line, "  ; %-14s %-14s %-14s %s\n", roles[0], roles[1], roles[2], roles[3]);
    text += line;
    for (int p = 0; p < patterns; ++p) {
        std::snprintf(line, sizeof line, "  %-16s %-14s %-14s %s\n", order[p][0].c_str(), order[p][1].c_str(),
                      order[p][2].c_str(), order[p][3].c_str());
        std::string l = line;
        while (!l.empty() && (l.back() == ' ' || l.back() == '\n')) l.pop_back();
        text += l + "\n";
    }
    (void)patternCount;
    result.text = std::move(text);

    // The text must compile: anything else is a fault of this importer.
    md::LoadedSong check;
    std::string compileError;
    if (!md::loadSongText(check, result.text, &compileError, "imported.txt")) {
        *error = "the song text made from the file does not compile (" + compileError + ")";
        return false;
    }
    return true;
}

bool importLoaded(smf_t* smf, LogCapture& log, const MidiImportOptions& options, MidiImportResult& result,
                  std::string* error) {
    if (!smf) {
        *error = "not a readable Standard MIDI File" +
                 (log.last().empty() ? std::string() : " (" + log.last() + ")");
        return false;
    }
    MidiData midi;
    const bool ok = readMidi(smf, midi, error) && convert(midi, options, result, error);
    smf_delete(smf);
    return ok;
}

} // namespace

bool importMidiFile(const std::string& path, const MidiImportOptions& options, MidiImportResult& result,
                    std::string* error) {
    LogCapture log;
    result = MidiImportResult{};
    MidiImportOptions o = options;
    if (o.sourceName.empty())
        o.sourceName =
            path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    return importLoaded(smf_load(path.c_str()), log, o, result, error);
}

bool importMidiBytes(const std::vector<unsigned char>& bytes, const MidiImportOptions& options,
                     MidiImportResult& result, std::string* error) {
    LogCapture log;
    result = MidiImportResult{};
    if (bytes.empty()) {
        *error = "the file is empty";
        return false;
    }
    return importLoaded(smf_load_from_memory(bytes.data(), static_cast<int>(bytes.size())), log, options,
                        result, error);
}

} // namespace tsk
