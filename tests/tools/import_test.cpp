// tsk import: MIDI files written here with libsmf, imported, compiled, and their cells read back; and the
// two composer commands run end to end through the tsk executable.
#include <gtest/gtest.h>

#include <smf.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "midi_import.h"
#include "song/loaded_song.h"

namespace {

// A Standard MIDI File built event by event.
class MidiBuilder {
  public:
    explicit MidiBuilder(int ppqn) : smf_(smf_new()) { EXPECT_EQ(smf_set_ppqn(smf_, ppqn), 0); }
    ~MidiBuilder() { smf_delete(smf_); }
    MidiBuilder(const MidiBuilder&) = delete;
    MidiBuilder& operator=(const MidiBuilder&) = delete;

    int addTrack() {
        events_.emplace_back();
        return static_cast<int>(events_.size()) - 1;
    }
    void tempo(int track, int pulse, double bpm) {
        const int us = static_cast<int>(std::lround(60e6 / bpm));
        add(track, pulse, {0xFF, 0x51, 0x03, uint8_t(us >> 16), uint8_t(us >> 8), uint8_t(us)});
    }
    void meter(int track, int pulse, int numerator, int denominatorPower) {
        add(track, pulse, {0xFF, 0x58, 0x04, uint8_t(numerator), uint8_t(denominatorPower), 24, 8});
    }
    void name(int track, const std::string& text) {
        std::vector<uint8_t> e{0xFF, 0x03, uint8_t(text.size())};
        e.insert(e.end(), text.begin(), text.end());
        add(track, 0, e);
    }
    void note(int track, int channel, int pitch, int start, int length, int velocity = 100) {
        add(track, start, {uint8_t(0x90 | channel), uint8_t(pitch), uint8_t(velocity)});
        add(track, start + length, {uint8_t(0x80 | channel), uint8_t(pitch), 0});
    }

    std::vector<unsigned char> bytes() {
        for (auto& list : events_) {
            smf_track_t* track = smf_track_new();
            smf_add_track(smf_, track);
            std::stable_sort(list.begin(), list.end(), [](const Event& a, const Event& b) {
                // At one time, note-offs before note-ons.
                return a.pulse != b.pulse ? a.pulse < b.pulse
                                          : (a.data[0] & 0xF0) == 0x80 && (b.data[0] & 0xF0) != 0x80;
            });
            for (Event& e : list) {
                smf_event_t* event =
                    smf_event_new_from_pointer(e.data.data(), static_cast<int>(e.data.size()));
                smf_track_add_event_pulses(track, event, e.pulse);
            }
        }
        // Tests run in parallel processes: a name of this process's own.
        static int serial = 0;
        const std::string path = testing::TempDir() + "tsk_import_test_" + std::to_string(::getpid()) + "_" +
                                 std::to_string(++serial) + ".mid";
        EXPECT_EQ(smf_save(smf_, path.c_str()), 0);
        std::ifstream in(path, std::ios::binary);
        std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
        std::remove(path.c_str());
        return data;
    }

  private:
    struct Event {
        int pulse;
        std::vector<uint8_t> data;
    };
    void add(int track, int pulse, std::vector<uint8_t> data) {
        events_[track].push_back({pulse, std::move(data)});
    }
    smf_t* smf_;
    std::vector<std::vector<Event>> events_;
};

// A cell of the compiled song, decoded.
struct Cell {
    int note = 0, instrument = 0, command = 0, parameter = 0;
    bool chord = false;
    std::set<int> intervals() const {
        std::set<int> s;
        for (int v : {command, parameter >> 4, parameter & 15})
            if (v) s.insert(v);
        return s;
    }
};

Cell cellAt(const md::Song& song, int orderRow, int track, int row) {
    const int pattern = song.orderPattern(orderRow, track);
    if (pattern == 0) return {};
    const uint8_t* c = song.cell(pattern, row);
    const int word = c[0] | (c[1] << 8);
    return {word & 0x3F, (word >> 6) & 0x1F, word >> 12, c[2], (word & 0x800) != 0};
}

// The song's own note number of a MIDI note, heard through the order list's transpose.
int heard(const md::Song& song, int orderRow, int track, int row) {
    return cellAt(song, orderRow, track, row).note + song.orderTranspose(orderRow, track);
}

struct Imported {
    tsk::MidiImportResult result;
    md::LoadedSong song;
};

void import(const std::vector<unsigned char>& bytes, Imported& out, tsk::MidiImportOptions options = {}) {
    std::string error;
    ASSERT_TRUE(tsk::importMidiBytes(bytes, options, out.result, &error)) << error;
    ASSERT_TRUE(md::loadSongText(out.song, out.result.text, &error)) << error << "\n" << out.result.text;
}

constexpr int kLead = 1, kBass = 2, kChords = 3, kKick = 5, kSnare = 6, kHat = 7;

} // namespace

TEST(MidiImport, NotesLandOnTheirRowsPitchesAndTracks) {
    const int q = 96; // pulses a quarter note
    MidiBuilder midi(q);
    const int conductor = midi.addTrack(), right = midi.addTrack(), left = midi.addTrack(),
              drums = midi.addTrack();
    midi.tempo(conductor, 0, 100.0);
    midi.meter(conductor, 0, 4, 2);
    midi.name(conductor, "Known Notes");
    // Melody C5 D5 E5 (held two beats), a rest, G5 for an eighth.
    midi.note(right, 0, 72, 0, q);
    midi.note(right, 0, 74, q, q);
    midi.note(right, 0, 76, 2 * q, 2 * q);
    midi.note(right, 0, 79, 5 * q, q / 2);
    // Left hand: bass C3, chord E3 G3, bass G2, chord B3 D4.
    midi.note(left, 1, 48, 0, q);
    midi.note(left, 1, 52, q, q);
    midi.note(left, 1, 55, q, q);
    midi.note(left, 1, 43, 2 * q, q);
    midi.note(left, 1, 59, 3 * q, q);
    midi.note(left, 1, 62, 3 * q, q);
    // Drums: kick on 1 and 3, snare on 2 and 4, closed hat on every eighth.
    for (int beat = 0; beat < 4; ++beat) {
        midi.note(drums, 9, beat % 2 ? 38 : 36, beat * q, q / 4);
        midi.note(drums, 9, 42, beat * q, q / 4);
        midi.note(drums, 9, 42, beat * q + q / 2, q / 4);
    }

    Imported in;
    import(midi.bytes(), in);
    const md::Song& song = in.song.song;
    // 100 BPM at 4 rows a beat: speed 6, tempo 100; 4/4 in 64-row patterns of four bars.
    EXPECT_EQ(song.speed, 6);
    EXPECT_EQ(song.tempo, 100);
    EXPECT_EQ(song.rowsPerPattern, 64);
    EXPECT_EQ(song.trackCount, 4);
    EXPECT_EQ(song.orderLength, 1);
    EXPECT_NE(in.result.text.find("title   \"Known Notes\""), std::string::npos);

    // Melody on track 4: MIDI note 60 is the song's C-4 (49), so MIDI 72 is 61.
    EXPECT_EQ(heard(song, 0, 3, 0), 61);
    EXPECT_EQ(heard(song, 0, 3, 4), 63);
    EXPECT_EQ(heard(song, 0, 3, 8), 65);
    EXPECT_EQ(cellAt(song, 0, 3, 16).note, 63); // off where E5 ends, before the rest
    EXPECT_EQ(heard(song, 0, 3, 20), 68);
    EXPECT_EQ(cellAt(song, 0, 3, 22).note, 63);
    EXPECT_EQ(cellAt(song, 0, 3, 0).instrument, kLead);
    EXPECT_EQ(cellAt(song, 0, 3, 20).instrument, kLead);
    // The melody reaches above C#5 (62), so its pattern is written an octave down and transposed back.
    EXPECT_EQ(song.orderTranspose(0, 3), 12);

    // Bass on track 2: C3 and G2 with their ends; the chords of the left hand are not bass.
    EXPECT_EQ(heard(song, 0, 1, 0), 37);
    EXPECT_EQ(cellAt(song, 0, 1, 4).note, 63);
    EXPECT_EQ(heard(song, 0, 1, 8), 32);
    EXPECT_EQ(cellAt(song, 0, 1, 0).instrument, kBass);
    EXPECT_EQ(cellAt(song, 0, 1, 12).note, 63);

    // Chords on track 3: E3 with a minor third, B3 with a minor third.
    const Cell first = cellAt(song, 0, 2, 4), second = cellAt(song, 0, 2, 12);
    EXPECT_EQ(first.note + song.orderTranspose(0, 2), 41);
    EXPECT_TRUE(first.chord);
    EXPECT_EQ(first.intervals(), std::set<int>{3});
    EXPECT_EQ(first.instrument, kChords);
    EXPECT_EQ(second.note + song.orderTranspose(0, 2), 48);
    EXPECT_EQ(second.intervals(), std::set<int>{3});
    EXPECT_EQ(cellAt(song, 0, 2, 16).note, 63);

    // Drums on track 1: kick and snare with the hat layered on, the hat alone between.
    for (int beat = 0; beat < 4; ++beat) {
        const Cell hit = cellAt(song, 0, 0, 4 * beat);
        EXPECT_EQ(hit.instrument, beat % 2 ? kSnare : kKick) << "beat " << beat;
        EXPECT_EQ(hit.command, 0);
        EXPECT_EQ(hit.parameter, kHat);
        EXPECT_EQ(cellAt(song, 0, 0, 4 * beat + 2).instrument, kHat);
    }
    EXPECT_EQ(cellAt(song, 0, 0, 1).instrument, 0);
}

TEST(MidiImport, MeterTripletsTempoChangesAndTheEnd) {
    // 3/4 at 90 BPM with triplet eighths: 6 rows a beat, 18 rows a bar, two bars (36 rows) a pattern; the
    // tempo goes to 120 BPM at bar 3; the piece ends after five bars, mid-pattern.
    const int q = 120;
    MidiBuilder midi(q);
    const int conductor = midi.addTrack(), tune = midi.addTrack();
    midi.tempo(conductor, 0, 90.0);
    midi.meter(conductor, 0, 3, 2);
    midi.tempo(conductor, 6 * q, 120.0);
    for (int i = 0; i < 5 * 9; ++i) midi.note(tune, 0, 60 + (i % 5), i * q / 3, q / 3);

    Imported in;
    import(midi.bytes(), in);
    const md::Song& song = in.song.song;
    EXPECT_EQ(song.rowsPerPattern, 36);
    // 90 BPM = 24 x tempo / (speed x 6).
    EXPECT_NEAR(24.0 * song.tempo / (song.speed * 6), 90.0, 0.5);
    EXPECT_EQ(song.orderLength, 3);
    // One note at a time in one part: all of it is melody, every second row.
    for (int i = 0; i < 18; ++i) EXPECT_EQ(heard(song, 0, 3, 2 * i), 49 + (i % 5)) << "note " << i;

    // The tempo change: Fxx at row 0 of the second pattern (bar 3), and the first tempo again at the top.
    auto tempoAt = [&](int orderRow, int row) {
        for (int k = 0; k < 4; ++k) {
            const Cell c = cellAt(song, orderRow, k, row);
            if (c.command == 0xF && !c.chord) return c.parameter;
        }
        return -1;
    };
    EXPECT_EQ(tempoAt(0, 0), song.tempo);
    EXPECT_NEAR(24.0 * tempoAt(1, 0) / (song.speed * 6), 120.0, 0.5);

    // Five bars: the third pattern breaks after its first bar.
    bool broke = false;
    for (int k = 0; k < 4; ++k) {
        const Cell c = cellAt(song, 2, k, 17);
        broke |= c.command == 0xD && !c.chord && c.parameter == 0;
    }
    EXPECT_TRUE(broke) << in.result.text;
}

TEST(MidiImport, OnePianoPartIsSplitIntoMelodyBassAndChords) {
    // One track, one channel: a melody over a waltz accompaniment (bass, then two chords).
    const int q = 96;
    MidiBuilder midi(q);
    const int piano = midi.addTrack();
    midi.meter(piano, 0, 3, 2);
    for (int bar = 0; bar < 4; ++bar) {
        const int t = bar * 3 * q;
        midi.note(piano, 0, 76 + (bar % 2) * 3, t, 3 * q); // melody E5 / G5
        midi.note(piano, 0, 36 + bar, t, q);               // bass
        for (int beat = 1; beat < 3; ++beat) {
            midi.note(piano, 0, 52, t + beat * q, q);
            midi.note(piano, 0, 55, t + beat * q, q);
            midi.note(piano, 0, 60, t + beat * q, q);
        }
    }
    Imported in;
    import(midi.bytes(), in);
    const md::Song& song = in.song.song;
    EXPECT_EQ(song.rowsPerPattern, 48);
    for (int bar = 0; bar < 4; ++bar) {
        EXPECT_EQ(heard(song, 0, 3, 12 * bar), 65 + (bar % 2) * 3) << "melody, bar " << bar;
        EXPECT_EQ(heard(song, 0, 1, 12 * bar), 25 + bar) << "bass, bar " << bar;
        const Cell chord = cellAt(song, 0, 2, 12 * bar + 4);
        EXPECT_EQ(chord.note + song.orderTranspose(0, 2), 41) << "chord, bar " << bar;
        EXPECT_EQ(chord.intervals(), (std::set<int>{3, 8})) << "chord, bar " << bar;
    }
}

TEST(MidiImport, InnerVoicesOfTheTuneGoToTrackOneUnlessItIsKeptFree) {
    // Right hand: a held melody note with a moving inner voice under it; left hand: a bass note.
    const int q = 96;
    MidiBuilder midi(q);
    const int right = midi.addTrack(), left = midi.addTrack();
    midi.note(right, 0, 79, 0, 4 * q);
    midi.note(right, 0, 67, q, q);
    midi.note(right, 0, 69, 2 * q, q);
    midi.note(left, 1, 43, 0, 4 * q);
    const auto bytes = midi.bytes();

    Imported plain;
    import(bytes, plain);
    EXPECT_EQ(heard(plain.song.song, 0, 3, 0), 68); // G5: the melody is not cut by the inner voice
    EXPECT_EQ(heard(plain.song.song, 0, 0, 4), 56);
    EXPECT_EQ(heard(plain.song.song, 0, 0, 8), 58);
    EXPECT_EQ(plain.song.song.orderPattern(0, 2), 0);

    Imported free;
    tsk::MidiImportOptions options;
    options.harmonyOnOneTrack = true;
    import(bytes, free, options);
    EXPECT_EQ(free.song.song.orderPattern(0, 0), 0);
    EXPECT_EQ(heard(free.song.song, 0, 2, 4), 56);
    EXPECT_EQ(heard(free.song.song, 0, 2, 8), 58);
    EXPECT_EQ(heard(free.song.song, 0, 1, 0), 32);
}

TEST(MidiImport, APlayedPerformanceIsQuantisedToTheNearestSixteenth) {
    // Eighth notes played a little early or late (up to 1/12 of a beat): no grid holds them, so they go to
    // the nearest of 4 rows a beat.
    const int q = 480;
    MidiBuilder midi(q);
    const int tune = midi.addTrack();
    const int offsets[] = {0, 31, -17, 40, -38, 12, 25, -9};
    for (int i = 0; i < 8; ++i) midi.note(tune, 0, 60 + i, std::max(0, i * q / 2 + offsets[i]), q / 2 - 40);
    Imported in;
    import(midi.bytes(), in);
    ASSERT_FALSE(in.result.warnings.empty());
    EXPECT_NE(in.result.warnings[0].find("grid"), std::string::npos) << in.result.warnings[0];
    EXPECT_EQ(in.song.song.rowsPerPattern, 64);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(heard(in.song.song, 0, 3, 2 * i), 49 + i) << "note " << i;
}

TEST(MidiImport, RefusesWhatIsNotAPlayableMidiFile) {
    tsk::MidiImportResult result;
    std::string error;
    EXPECT_FALSE(tsk::importMidiBytes({}, {}, result, &error));
    EXPECT_FALSE(error.empty());
    const std::vector<unsigned char> junk = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 9, 0, 96, 'x', 'y'};
    error.clear();
    EXPECT_FALSE(tsk::importMidiBytes(junk, {}, result, &error));
    EXPECT_FALSE(error.empty());

    MidiBuilder empty(96);
    empty.tempo(empty.addTrack(), 0, 120.0);
    error.clear();
    EXPECT_FALSE(tsk::importMidiBytes(empty.bytes(), {}, result, &error));
    EXPECT_NE(error.find("no notes"), std::string::npos) << error;
}

TEST(ComposerCommands, ImportThenAnalyzeThroughTheTool) {
    const int q = 96;
    MidiBuilder midi(q);
    const int tune = midi.addTrack(), bass = midi.addTrack();
    for (int i = 0; i < 64; ++i) midi.note(tune, 0, 64 + (i * 5) % 12, i * q / 2, q / 2);
    for (int i = 0; i < 32; ++i) midi.note(bass, 1, 40 + (i % 4) * 2, i * q, q);
    const std::string dir = testing::TempDir() + std::to_string(::getpid()) + "_";
    const std::string mid = dir + "tsk_cli.mid", txt = dir + "tsk_cli.txt", png = dir + "tsk_cli.png",
                      json = dir + "tsk_cli.json";
    {
        const auto bytes = midi.bytes();
        std::ofstream(mid, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    const std::string tsk = MD_TSK_PATH;
    ASSERT_EQ(std::system((tsk + " import " + mid + " -o " + txt + " > /dev/null").c_str()), 0);
    ASSERT_EQ(std::system((tsk + " analyze " + txt + " --json --spectrogram " + png + " > " + json).c_str()),
              0);
    std::ifstream in(json);
    const std::string report((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(report.find("\"loudness_lufs\": -"), std::string::npos) << report;
    EXPECT_NE(report.find("\"whole_song\": true"), std::string::npos) << report;
    std::ifstream picture(png, std::ios::binary);
    char signature[8] = {};
    picture.read(signature, 8);
    EXPECT_EQ(std::string(signature + 1, 3), "PNG");
    // A missing song is an error, reported with the file name.
    EXPECT_NE(std::system((tsk + " analyze " + dir + "no-such-song.txt 2> /dev/null").c_str()), 0);
    for (const std::string& f : {mid, txt, png, json}) std::remove(f.c_str());
}
