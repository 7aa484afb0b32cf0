// The song text format: what each construct compiles to, where errors point, and round trips through the
// decompiler for reference songs, random songs and every program step and cell word.
#include "song_test_util.h"

#include "song/loaded_song.h"
#include "song/song_file.h"
#include "song/song_text.h"
#include "song/song_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <random>
#include <sstream>

namespace md {
namespace {

using test::cellOf;

std::vector<uint8_t> compileOrFail(std::string_view text) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(compileSongText(text, "song.txt", bytes, &error)) << error;
    return bytes;
}

std::string compileError(std::string_view text) {
    std::vector<uint8_t> bytes = {1, 2, 3};
    std::string error;
    EXPECT_FALSE(compileSongText(text, "song.txt", bytes, &error)) << text;
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3})); // untouched
    return error;
}

std::vector<uint8_t> cell(const Song& song, int pattern, int row) {
    const uint8_t* c = cellOf(song, pattern, row);
    return {c[0], c[1], c[2]};
}

std::string documentExample() {
    std::ifstream in(std::string(MD_SOURCE_DIR) + "/docs/song-text-format.md");
    std::string line, text;
    bool inSection = false, inBlock = false;
    while (std::getline(in, line)) {
        if (line == "## A complete example")
            inSection = true;
        else if (inSection && !inBlock && line == "```text")
            inBlock = true;
        else if (inBlock && line == "```")
            break;
        else if (inBlock)
            text += line + "\n";
    }
    return text;
}

TEST(SongText, TheDocumentedExampleCompilesToWhatItSays) {
    const std::string text = documentExample();
    ASSERT_FALSE(text.empty()) << "no example in docs/song-text-format.md";
    LoadedSong loaded;
    std::string error;
    ASSERT_TRUE(loadSongText(loaded, text, &error)) << error;
    const Song& song = loaded.song;
    EXPECT_EQ(song.tempo, 120);
    EXPECT_EQ(song.reverbRoom, 80);
    EXPECT_EQ(song.reverbGain, 32);
    EXPECT_EQ(song.orderLength, 7);
    EXPECT_EQ(song.restartPos, 1);
    EXPECT_STREQ(song.instrumentNames[4], "Warm Pad");
    EXPECT_EQ(song.instrument(7).instrumentPan(), 6); // copied from the lead, panned
    EXPECT_EQ(song.instrument(7).vibratoDepthNibble(), 4);
    // "fill" is "beat" (repeated every 16 rows) with a snare roll in its last bar.
    EXPECT_EQ(cell(song, 2, 16), cell(song, 1, 0));
    EXPECT_EQ(cell(song, 2, 62), (std::vector<uint8_t>{49 | 2 << 6, 0xC0, 0x30}));
    EXPECT_EQ(song.orderPattern(5, 1), 3);
    EXPECT_EQ(song.orderTranspose(5, 1), 5);
    EXPECT_EQ(song.orderTranspose(2, 3), 12);
}

TEST(SongText, SongSettingsReachTheHeader) {
    const auto bytes = compileOrFail(R"(song
  title   "Say \"hi\" \\ \x7F"
  author  "Ann"
  tracks  2
  rows    32
  speed   3
  tempo   87
  gain    48
  reverb  damp -5 gain 100
  restart 3
order
  . .
)");
    SongFileHeader h;
    ASSERT_TRUE(readSongHeader(bytes.data(), bytes.size(), h));
    EXPECT_EQ(h.title, "Say \"hi\" \\ \x7F");
    EXPECT_EQ(h.author, "Ann");
    EXPECT_EQ(h.version, 12);
    EXPECT_EQ(h.trackCount, 2);
    EXPECT_EQ(h.rowsPerPattern, 32);
    EXPECT_EQ(h.speed, 3);
    EXPECT_EQ(h.tempo, 87);
    EXPECT_EQ(h.gain, 48);
    EXPECT_EQ(h.reverb[0], 64);
    EXPECT_EQ(h.reverb[1], -5);
    EXPECT_EQ(h.reverb[2], 23);
    EXPECT_EQ(h.reverb[3], 100);
    EXPECT_EQ(h.restartPos, 3);
    EXPECT_EQ(h.instrumentCount, 0);
}

TEST(SongText, InstrumentFieldsLandInTheirBits) {
    LoadedSong loaded;
    std::string error;
    ASSERT_TRUE(loadSongText(loaded, R"(
instrument 3 every "Every field"
  volume    40
  adsr      1 2 3 4 short
  vibrato   depth 5 speed 6 delay 7 spare 8
  pulse     10 range 20 30 sweep -40 legato
  cutoff    50 range 60 70 sweep 80 legato
  resonance 90
  filter    highdip
  link      plain ring
  pan       3
  reverb    11
  unison    detune 12 interval 7 spread 3
  echo      time 9 level 10
  retrigger release

instrument 2 plain
instrument 4 copy from every
  pan centre
  link 2 mode 3
order
  . . . .
)",
                             &error))
        << error;
    const Song& song = loaded.song;
    const std::vector<uint8_t> every(song.instrument(3).header, song.instrument(3).header + 19);
    EXPECT_EQ(every, (std::vector<uint8_t>{0x57, 0x86, 0x21, 0x43, 10, 20, 30, 0xD8, 50, 60, 70, 80, 90, 0x15,
                                           40, 0xDF, 0xB3, 0xC7, 0xA9}));
    EXPECT_STREQ(song.instrumentNames[2], "Every field");
    // Defaults: full volume and sustain, centred, square pulse, open filter.
    const std::vector<uint8_t> plain(song.instrument(2).header, song.instrument(2).header + 19);
    EXPECT_EQ(plain,
              (std::vector<uint8_t>{0, 0, 0, 0x0F, 128, 0, 255, 0, 255, 0, 255, 0, 0, 0, 63, 0, 8, 0, 0}));
    EXPECT_STREQ(song.instrumentNames[1], "plain");
    // A copy keeps what it does not set; the link line sets link and mode but keeps the spread bit.
    const uint8_t* copy = song.instrument(4).header;
    EXPECT_EQ(copy[16], 0xB8);
    EXPECT_EQ(copy[13], 2 << 3 | 3 << 1 | 1);
    EXPECT_EQ(copy[14], 40);
    EXPECT_STREQ(song.instrumentNames[3], "copy");
}

TEST(SongText, ProgramStepsAndChains) {
    LoadedSong loaded;
    std::string error;
    ASSERT_TRUE(loadSongText(loaded, R"(
instrument 1 p
  program
     0 C-2 fixed osc tri+noise release, +12 slide_up 5,
     2 fade_in 3
     3 fade_out 4, level saw+square 9, semitones tri 7, finetune noise 2
     7 chord 2, filter bandpass, fold 3, drive 4, crush 5, divide 6
    13 gain 200, resonance 100, cutoff 30, cutoff_up 1, cutoff_down 2, pulse 128
    19 loop 2, ticks 3, hold, raw 0x35 7, ., trigger
    26 slide_down 9
    31 +126 fixed
order
  . . . .
)",
                             &error))
        << error;
    const Instrument& ins = loaded.song.instrument(1);
    const uint8_t expected[][3] = {{0x80 | 25, 0x10, 0x19},
                                   {0x80 | 13, 1, 5},
                                   {0, 10, 0x30},
                                   {0x80, 10, 4},
                                   {0x80, 7, 0x69},
                                   {0x80, 8, 0x17},
                                   {0, 9, 0x82},
                                   {0x80, 14, 0x02},
                                   {0x80, 14, 0x43},
                                   {0x80, 14, 0x73},
                                   {0x80, 14, 0x94},
                                   {0x80, 14, 0xD5},
                                   {0, 14, 0xF6},
                                   {0x80, 12, 200},
                                   {0x80, 13, 100},
                                   {0x80, 4, 30},
                                   {0x80, 5, 1},
                                   {0x80, 6, 2},
                                   {0, 3, 128},
                                   {0x80, 11, 2},
                                   {0x80, 15, 3},
                                   {0x80, 15, 0},
                                   {0x80, 0x35, 7},
                                   {0x80, 0, 0},
                                   {0, 0, 0x20},
                                   {0, 0, 0},
                                   {0, 2, 9},
                                   {0, 0, 0},
                                   {0, 0, 0},
                                   {0, 0, 0},
                                   {0, 0, 0},
                                   {127, 0x10, 0}};
    for (int s = 0; s < kProgramLength; ++s)
        EXPECT_EQ(std::vector<uint8_t>(ins.program[s], ins.program[s] + 3),
                  std::vector<uint8_t>(expected[s], expected[s] + 3))
            << "step " << s;
}

TEST(SongText, PatternRowsStepsRepeatsCopiesAndTheOrderList) {
    LoadedSong loaded;
    std::string error;
    ASSERT_TRUE(loadSongText(loaded, R"(
song
  rows   16
  tracks 2
instrument 1 a
instrument 2 b
pattern one
  repeat 4
  0 C-4 a
  2 ... .. A08
  5 Db4 b  +37A
  6 off
  7 c#5 2  &b
  8 === .. maj7
  9 --- -- -
  step 3
  C-0
  D-0 a
  12
pattern two from one
  1 E-4
order
  one   two+3
  restart
  repeat 2
    two  .-4
    repeat 2
      one -1  --
    end
  end
)",
                             &error))
        << error;
    const Song& song = loaded.song;
    using Cell = std::vector<uint8_t>;
    const Cell empty{0, 0, 0}, c4{49 | 1 << 6, 0, 0}, a08{0, 0xA0, 0x08};
    const Cell one[16] = {c4,
                          empty,
                          a08,
                          empty,
                          c4,
                          {0xB2, 0x38, 0x7A},
                          {63, 0, 0},
                          {0xBE, 0, 2},
                          {0x3F, 0x48, 0x7B},
                          empty,
                          {1, 0, 0},
                          empty,
                          empty,
                          {3 | 1 << 6, 0, 0},
                          a08,
                          empty};
    for (int r = 0; r < 16; ++r) {
        EXPECT_EQ(cell(song, 1, r), one[r]) << "row " << r;
        EXPECT_EQ(cell(song, 2, r), (r == 1 ? Cell{53, 0, 0} : one[r])) << "row " << r;
    }
    ASSERT_EQ(song.orderLength, 7);
    EXPECT_EQ(song.restartPos, 1);
    const int expected[7][4] = {{1, 0, 2, 3},  {2, 0, 0, -4}, {1, -1, 0, 0}, {1, -1, 0, 0},
                                {2, 0, 0, -4}, {1, -1, 0, 0}, {1, -1, 0, 0}};
    for (int r = 0; r < 7; ++r)
        for (int t = 0; t < 2; ++t) {
            EXPECT_EQ(song.orderPattern(r, t), expected[r][t * 2]) << r << " " << t;
            EXPECT_EQ(song.orderTranspose(r, t), expected[r][t * 2 + 1]) << r << " " << t;
        }
}

TEST(SongText, PatternsAreNumberedAsDefinedAndUnusedOnesAtTheEndAreLeftOut) {
    LoadedSong loaded;
    std::string error;
    ASSERT_TRUE(loadSongText(loaded, R"(
song
  tracks 1
pattern first
  0 C-4
pattern second
  0 D-4
pattern third
  0 E-4
order
  second
)",
                             &error))
        << error;
    EXPECT_EQ(highestPattern(loaded.song), 2);
    EXPECT_EQ(cell(loaded.song, 1, 0)[0], 49);
    EXPECT_EQ(cell(loaded.song, 2, 0)[0], 51);
}

TEST(SongText, ErrorsPointAtTheLineAndColumnAtFault) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"hello\n", "song.txt:1:1: expected a section"},
        {"song\n  tempo 0\n", "song.txt:2:9: tempo 0 is out of range (1 to 255)"},
        {"song\n  tempo fast\n", "song.txt:2:9: tempo: expected a number from 1 to 255, found 'fast'"},
        {"song\n  temp 100\n", "song.txt:2:3: unknown song setting 'temp' (did you mean 'tempo'?)"},
        {"song\n  tempo 100\n  tempo 90\n", "song.txt:3:3: 'tempo' is already set at line 2"},
        {"song\n  title \"abc\n", "song.txt:2:9: string not closed"},
        {"song\n  title \"12345678901234567890\"\n",
         "song.txt:2:9: the title is 20 bytes long; at most 19 fit"},
        {"instrument 1 a\n\tvolme 3\n",
         "song.txt:2:2: unknown instrument field 'volme' (did you mean 'volume'?)"},
        {"instrument 1 a\n  adsr 1 2 3\n", "song.txt:2:13: release: a number from 0 to 15 is missing"},
        {"instrument 1 a\n  pulse 9 sweep 200\n", "song.txt:2:17: sweep 200 is out of range (-128 to 127)"},
        {"instrument 1 a\ninstrument 1 b\n", "song.txt:2:12: instrument 1 is already defined at line 1"},
        {"instrument 2 b from a\n", "song.txt:1:21: unknown instrument 'a'"},
        {"instrument 1 a\n  program\n  0 osc saw\n  0 hold\n", "song.txt:4:3: step 0 is already written"},
        {"instrument 1 a\n  program\n  osc saw, slide_upp 3\n",
         "song.txt:3:12: unknown program command 'slide_upp' (did you mean 'slide_up'?)"},
        {"instrument 1 a\n  program\n  31 osc saw, hold\n", "song.txt:3:15: a program has at most 32 steps"},
        {"instrument 1 a\n  program\n  osc saw\n  volume 3\n",
         "song.txt:4:3: 'volume' is an instrument field: fields come before the instrument's program"},
        {"pattern a\n 3 C-4\n 3 D-4\n", "song.txt:3:2: row 3 is already written at line 2"},
        {"pattern a\n D-5\n", "song.txt:2:2: note D-5 is out of range (C-0 to C#5"},
        {"pattern a\n H-4\n", "song.txt:2:2: expected a note such as C-4"},
        {"pattern a\n C-4 .. XYZ\n", "song.txt:2:9: expected an effect such as A08"},
        {"pattern a\n C-4 1 A08 7\n", "song.txt:2:12: unexpected '7'"},
        {"pattern a\n C-4 bas\ninstrument 1 bass\norder\n a . . .\n",
         "song.txt:2:6: unknown instrument 'bas' (did you mean 'bass'?)"},
        {"pattern chorus\norder\n chorus2 . . .\n",
         "song.txt:3:2: unknown pattern 'chorus2' (did you mean 'chorus'?)"},
        {"pattern a\norder\n a a\n", "song.txt:3:2: this order row has 2 entries but the song has 4 tracks"},
        {"pattern a\norder\n a+200 . . .\n", "song.txt:3:2: a transpose is -128 to +127 semitones"},
        {"pattern a\norder\n repeat 2\n a a a a\n", "song.txt:3:2: 'repeat' without 'end'"},
        {"pattern a\n", "the order list is empty"},
        {"song\n rows 16\npattern a\n 16 C-4\norder\n a . . .\n",
         "song.txt:4:2: row 16 is outside the pattern (rows 0 to 15)"},
        {"pattern order\n", "song.txt:1:9: 'order' is a keyword and cannot name a pattern"},
        {"instrument 32 top\n  link top\norder\n . . . .\n",
         "song.txt:2:8: instrument 32 ('top') cannot be used here"},
        {"song\n restart 2\norder\n restart\n . . . .\n",
         "song.txt:4:2: the restart position is also set at line 2"},
        {"order\n . . . .\n restart\n",
         "song.txt:3:2: 'restart' marks the order row that follows it, and none does"},
        {"instrument 1 a\n  program\n  osc saw\n  program\n",
         "song.txt:4:3: this instrument's program already began at line 2"},
    };
    for (const auto& c : cases) {
        const std::string error = compileError(c.text);
        EXPECT_EQ(error.rfind(c.error, 0) == 0 || error.find(c.error) != std::string::npos, true)
            << "text:\n"
            << c.text << "error:    " << error << "\nexpected: " << c.error;
    }
}

// Decompiling a file and compiling the text gives the file back.
void expectTextRoundTrip(const std::vector<uint8_t>& bytes) {
    std::string text, error;
    ASSERT_TRUE(decompileSong(bytes.data(), bytes.size(), text, &error)) << error;
    std::vector<uint8_t> again;
    ASSERT_TRUE(compileSongText(text, "decompiled.txt", again, &error)) << error << "\n" << text;
    if (again != bytes) {
        std::string secondText;
        decompileSong(again.data(), again.size(), secondText);
        ADD_FAILURE() << "different bytes; text:\n"
                      << text.substr(0, 4000) << "\nsecond text:\n"
                      << secondText.substr(0, 4000);
    }
}

TEST(SongTextRoundTrip, ReferenceSongsOfEveryVersionDecompileToTheSameSong) {
    const auto songs = test::referenceSongs();
    if (songs.empty()) GTEST_SKIP() << "no reference songs beside the checkout";
    for (const auto& bytes : songs) {
        std::string text, error;
        ASSERT_TRUE(decompileSong(bytes.data(), bytes.size(), text, &error)) << error;
        std::vector<uint8_t> compiled;
        ASSERT_TRUE(compileSongText(text, "ref.txt", compiled, &error)) << error;
        const auto originalCells = std::make_unique<uint8_t[]>(kCellStoreSize);
        const auto compiledCells = std::make_unique<uint8_t[]>(kCellStoreSize);
        Song original, again;
        ASSERT_TRUE(parseSongInto(original, bytes.data(), bytes.size(), originalCells.get()));
        ASSERT_TRUE(parseSongInto(again, compiled.data(), compiled.size(), compiledCells.get()));
        EXPECT_EQ(again.version, 12);
        EXPECT_EQ(test::songDifference(original, again), "") << "version " << int(original.version);
        expectTextRoundTrip(compiled);
    }
}

// A song with every field random: settings, order list, cells, instrument records and names.
struct RandomSong {
    Song song;
    std::vector<uint8_t> order, cells;
    std::string title, author;
};

std::string randomText(std::mt19937& random, std::size_t maxLength) {
    std::string s(random() % (maxLength + 1), ' ');
    for (char& c : s) c = char(1 + random() % 255);
    return s;
}

void makeRandomSong(std::mt19937& random, RandomSong& r) {
    Song& s = r.song;
    s.trackCount = 1 + int(random() % 4);
    s.rowsPerPattern = random() % 3 == 0 ? 1 + int(random() % 255) : 64;
    s.orderLength = 1 + int(random() % 40);
    s.restartPos = int(random() % 256);
    s.speed = uint8_t(random());
    s.tempo = uint8_t(1 + random() % 255);
    s.masterGain = float(random() % 256) * 0.03125f;
    s.reverbRoom = int8_t(random());
    s.reverbDamp = int8_t(random());
    s.reverbWidth = int8_t(random());
    s.reverbGain = int8_t(random());
    const int patterns = 1 + int(random() % 12);
    r.order.resize(std::size_t(s.orderLength) * s.trackCount * 2);
    for (std::size_t i = 0; i < r.order.size(); i += 2) {
        r.order[i] = uint8_t(random() % (patterns + 1));
        r.order[i + 1] = random() % 2 ? uint8_t(random()) : 0;
    }
    r.order[0] = uint8_t(patterns); // every pattern is stored
    r.cells.resize(std::size_t(patterns) * s.rowsPerPattern * kCellSize);
    for (std::size_t i = 0; i < r.cells.size(); i += kCellSize)
        if (random() % 3 == 0)
            for (int k = 0; k < kCellSize; ++k) r.cells[i + k] = uint8_t(random());
    s.orderList = r.order.data();
    s.cells = r.cells.data();
    s.cellStride = s.rowsPerPattern;
    for (int n = 0; n < kInstrumentCount; ++n) {
        auto* bytes = reinterpret_cast<uint8_t*>(&s.instruments[n]);
        const int kind = int(random() % 4);
        for (int i = 0; i < kInstrumentRecordSize; ++i) bytes[i] = kind == 0 ? 0 : uint8_t(random());
        if (kind == 2) // some empty steps, some before the last
            for (int k = 0; k < 12; ++k)
                std::memset(s.instruments[n].program[random() % kProgramLength], 0, 3);
        const std::string name = randomText(random, kNameSize);
        std::memcpy(s.instrumentNames[n], name.data(), name.size());
    }
    r.title = randomText(random, 19);
    r.author = randomText(random, 19);
}

TEST(SongTextRoundTrip, RandomSongsFromTheWriterComeBackByteForByte) {
    std::mt19937 random(42);
    for (int trial = 0; trial < 150; ++trial) {
        SCOPED_TRACE(trial);
        RandomSong r;
        makeRandomSong(random, r);
        const auto bytes = writeSong(r.song, r.title, r.author);
        Song parsed;
        std::string error;
        const auto scratch = std::make_unique<uint8_t[]>(kCellStoreSize);
        ASSERT_TRUE(parseSongInto(parsed, bytes.data(), bytes.size(), scratch.get(), &error)) << error;
        EXPECT_EQ(test::songDifference(r.song, parsed), "");
        expectTextRoundTrip(bytes);
    }
}

TEST(SongTextRoundTrip, EveryProgramStepComesBack) {
    // All 65536 command bytes and parameters, with notes, fixed flags and chain flags varied, 1024 to a song.
    for (int first = 0; first < 65536; first += 1024) {
        Song song;
        const uint8_t order[2] = {0, 0};
        song.orderList = order;
        song.trackCount = 1;
        song.orderLength = 1;
        song.rowsPerPattern = 1;
        for (int k = 0; k < 1024; ++k) {
            const int value = first + k;
            uint8_t* step = song.instruments[k / kProgramLength].program[k % kProgramLength];
            step[0] = uint8_t((value * 7 + value / 256) & 0xFF);
            step[1] = uint8_t(value >> 8);
            step[2] = uint8_t(value);
        }
        expectTextRoundTrip(writeSong(song, "steps", ""));
    }
}

TEST(SongTextRoundTrip, EveryCellWordComesBack) {
    const int kRows = 255, kPatterns = 255;
    std::vector<uint8_t> cells(std::size_t(kRows) * kPatterns * kCellSize);
    std::vector<uint8_t> order;
    for (int p = 1; p <= kPatterns; ++p) order.insert(order.end(), {uint8_t(p), 0});
    Song song;
    song.trackCount = 1;
    song.orderLength = kPatterns;
    song.rowsPerPattern = kRows;
    song.orderList = order.data();
    song.cells = cells.data();
    // Two instruments have short names, so cells and layers use both names and numbers.
    std::memcpy(song.instrumentNames[0], "Kick", 4);
    std::memcpy(song.instrumentNames[4], "Snare 2", 7);
    const uint8_t parameters[] = {0, 1, 0x3F, 0x40, 0xFF, 0x47, 0x1F};
    int word = 0;
    for (int round = 0; word < 65536; ++round) {
        for (std::size_t i = 0; i < cells.size(); i += kCellSize, ++word) {
            const int w = word % 65536;
            cells[i] = uint8_t(w);
            cells[i + 1] = uint8_t(w >> 8);
            cells[i + 2] = parameters[(word / 7 + round) % 7];
        }
        expectTextRoundTrip(writeSong(song, "cells", ""));
    }
}

TEST(SongTextRoundTrip, HandBuiltOldFilesDecompileToTheSameSong) {
    test::FileBuilder f;
    f.version = 5;
    f.trackCount = 2;
    f.order = {1, 0, 0, 0xFE};
    f.patternCount = 1;
    f.patterns = {49 << 2 | 2, 3, 0x08};
    f.names({"A", "", "quote\"d"});
    f.instrumentCount = 3;
    for (int n = 0; n < 3; ++n)
        f.record(std::vector<uint8_t>(16, uint8_t(0x31 * (n + 1))), {{0x81, 0x1D, 7}});
    for (uint8_t version : {uint8_t(2), uint8_t(5), uint8_t(7), uint8_t(10)}) {
        SCOPED_TRACE(int(version));
        test::FileBuilder g = f;
        g.version = version;
        if (version == 2) {
            g.patterns = {0x71, 0, 0, 0, 0, 0, 0, 0, 0, 0x3F, 0, 0x12};
            g.instruments.assign(kInstrumentCount * kInstrumentRecordSize, 0x5A);
        } else if (version > 6) {
            g.instruments.clear();
            g.names({"A", "", "quote\"d"});
            for (int n = 0; n < 3; ++n)
                g.record(std::vector<uint8_t>(17, uint8_t(0x31 * (n + 1))), {{0x81, 0x1D, 7}});
        }
        const auto bytes = g.build();
        std::string text, error;
        ASSERT_TRUE(decompileSong(bytes.data(), bytes.size(), text, &error)) << error;
        std::vector<uint8_t> compiled;
        ASSERT_TRUE(compileSongText(text, "old.txt", compiled, &error)) << error << "\n" << text;
        const auto a = std::make_unique<uint8_t[]>(kCellStoreSize),
                   b = std::make_unique<uint8_t[]>(kCellStoreSize);
        Song original, again;
        ASSERT_TRUE(parseSongInto(original, bytes.data(), bytes.size(), a.get()));
        ASSERT_TRUE(parseSongInto(again, compiled.data(), compiled.size(), b.get()));
        EXPECT_EQ(test::songDifference(original, again), "") << text;
    }
}

TEST(SongTextRoundTrip, EveryFileTheReaderAcceptsDecompilesToTheSameSong) {
    // Damaged copies of real files: whatever the reader accepts, however odd, has a text.
    std::mt19937 random(99);
    auto songs = test::referenceSongs();
    std::vector<uint8_t> example;
    ASSERT_TRUE(compileSongText(documentExample(), "example.txt", example));
    songs.push_back(example);
    int accepted = 0, trials = 0;
    for (const auto& original : songs) {
        for (int trial = 0; trial < 60; ++trial, ++trials) {
            auto bytes = original;
            for (int k = 0; k < 3; ++k) bytes[random() % bytes.size()] = uint8_t(random());
            const auto cellsA = std::make_unique<uint8_t[]>(kCellStoreSize);
            Song damaged;
            if (!parseSongInto(damaged, bytes.data(), bytes.size(), cellsA.get())) continue;
            ++accepted;
            std::string text, error;
            ASSERT_TRUE(decompileSong(bytes.data(), bytes.size(), text, &error)) << error;
            std::vector<uint8_t> compiled;
            ASSERT_TRUE(compileSongText(text, "damaged.txt", compiled, &error)) << error << "\n" << text;
            const auto cellsB = std::make_unique<uint8_t[]>(kCellStoreSize);
            Song again;
            ASSERT_TRUE(parseSongInto(again, compiled.data(), compiled.size(), cellsB.get(), &error))
                << error;
            EXPECT_EQ(test::songDifference(damaged, again), "");
        }
    }
    EXPECT_GE(accepted * 3, trials); // most damage leaves a readable file: the test is not vacuous
}

TEST(SongText, MangledTextIsRefusedWithAPositionOrCompiles) {
    const std::string example = documentExample();
    std::mt19937 random(5);
    const char alphabet[] = " \t\n;,\"\\+-.&=#0123456789abcdefxABCDEF";
    for (int trial = 0; trial < 400; ++trial) {
        std::string text = example;
        for (int k = 0; k < 1 + int(random() % 4); ++k) {
            const std::size_t at = random() % text.size();
            switch (random() % 3) {
            case 0:
                text[at] = alphabet[random() % (sizeof alphabet - 1)];
                break;
            case 1:
                text.erase(at, 1 + random() % 8);
                break;
            default:
                text.insert(at, 1, char(random()));
                break;
            }
        }
        std::vector<uint8_t> bytes;
        std::string error;
        if (compileSongText(text, "m.txt", bytes, &error)) {
            Song song;
            const auto cells = std::make_unique<uint8_t[]>(kCellStoreSize);
            EXPECT_TRUE(parseSongInto(song, bytes.data(), bytes.size(), cells.get(), &error)) << error;
        } else {
            EXPECT_EQ(error.rfind("m.txt:", 0), 0u) << error;
            EXPECT_NE(error.find(": ", 6), std::string::npos) << error;
        }
    }
}

TEST(SongText, WindowsLineEndsAndAByteOrderMarkAreRead) {
    const auto plain = compileOrFail("song\n  tempo 90\norder\n  . . . .\n");
    EXPECT_EQ(compileOrFail("\xEF\xBB\xBFsong\r\n  tempo 90\r\norder\r\n  . . . .\r\n"), plain);
    EXPECT_EQ(compileError("\xEF\xBB\xBFsong\r\n  tempo 0\r\n"),
              "song.txt:2:9: tempo 0 is out of range (1 to 255)");
}

TEST(SongText, ALoadedSongKeepsItsBytesWhenMoved) {
    LoadedSong loaded;
    std::string error;
    ASSERT_TRUE(loadSongText(loaded, "song\n tracks 1\npattern a\n 0 C-4\norder\n a+2\n", &error)) << error;
    const uint8_t* orderList = loaded.song.orderList;
    LoadedSong moved = std::move(loaded);
    EXPECT_EQ(moved.song.orderList, orderList);
    EXPECT_EQ(moved.song.orderTranspose(0, 0), 2);
    EXPECT_EQ(moved.song.cell(1, 0)[0], 49);
    // A failed load leaves the song as it was.
    EXPECT_FALSE(loadSongText(moved, "pattern\n", &error));
    EXPECT_EQ(error, "song.txt:1:8: the pattern's name is missing");
    EXPECT_EQ(moved.song.orderTranspose(0, 0), 2);
}

} // namespace
} // namespace md
