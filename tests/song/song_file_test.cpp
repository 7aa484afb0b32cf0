// Reading song files: the packed cell coding, the defaults and conversions of older versions, names, and the
// refusal of files that are unplayable or would be read outside their buffer.
#include "song_test_util.h"

#include "song/song_file.h"
#include "song/song_writer.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace md {
namespace {

using test::cellOf;
using test::FileBuilder;

std::vector<uint8_t> cellBytes(const Song& song, int pattern, int row) {
    const uint8_t* c = cellOf(song, pattern, row);
    return {c[0], c[1], c[2]};
}

// Parses from an exactly sized heap copy, so that AddressSanitizer sees any read past the end. The Song
// points into the copy, which lives until the next call (or as long as *keep).
bool parseExact(Song& song, const std::vector<uint8_t>& bytes, std::string* error = nullptr,
                std::unique_ptr<uint8_t[]>* keep = nullptr) {
    static std::unique_ptr<uint8_t[]> last;
    auto copy = std::make_unique<uint8_t[]>(bytes.size());
    if (!bytes.empty()) std::memcpy(copy.get(), bytes.data(), bytes.size());
    const bool ok = parseSong(song, copy.get(), bytes.size(), error);
    (keep ? *keep : last) = std::move(copy);
    return ok;
}

TEST(SongFilePatterns, EveryLeadByteFormDecodesAndTheDataEndsAtTheInstruments) {
    FileBuilder f;
    f.rowsPerPattern = 70;
    f.patternCount = 1;
    f.patterns = {
        0x00,                    // row 0: one empty row, one byte
        49 << 2 | 1,             // row 1: op 1, note 49
        50 << 2 | 2, 0xE3,       // row 2: op 2, note 50, instrument 3 (the upper bits of 0xE3 are ignored)
        5 << 2 | 3,  0x31, 0xA2, // row 3: op 3 short form, parameter 5 in the lead byte
        0x03,        0x31, 0xA2, 0xC8, // row 4: op 3 long form, parameter in the fourth byte
        0xFC,                          // rows 5-68: 64 empty rows
        63 << 2 | 1,                   // row 69: note off
    };
    f.names({});
    const auto bytes = f.build();
    Song song;
    std::string error;
    ASSERT_TRUE(parseExact(song, bytes, &error)) << error;
    EXPECT_EQ(song.cells, cellStore);
    EXPECT_EQ(song.cellStride, 70);
    EXPECT_EQ(cellBytes(song, 1, 0), (std::vector<uint8_t>{0, 0, 0}));
    EXPECT_EQ(cellBytes(song, 1, 1), (std::vector<uint8_t>{49, 0, 0}));
    EXPECT_EQ(cellBytes(song, 1, 2), (std::vector<uint8_t>{uint8_t(50 | 3 << 6), 0, 0}));
    EXPECT_EQ(cellBytes(song, 1, 3), (std::vector<uint8_t>{0x31, 0xA2, 5}));
    EXPECT_EQ(cellBytes(song, 1, 4), (std::vector<uint8_t>{0x31, 0xA2, 0xC8}));
    for (int r = 5; r <= 68; ++r) EXPECT_EQ(cellBytes(song, 1, r), (std::vector<uint8_t>{0, 0, 0})) << r;
    EXPECT_EQ(cellBytes(song, 1, 69), (std::vector<uint8_t>{63, 0, 0}));
    EXPECT_EQ(unpackPatterns(song, bytes.data() + 71 + 2, bytes.size() - 73, nullptr),
              std::ptrdiff_t(f.patterns.size()));
}

TEST(SongFilePatterns, TheRunCounterStartsAgainWithEveryPattern) {
    FileBuilder f;
    f.orderLength = 2;
    f.order = {1, 0, 2, 0};
    f.patternCount = 2;
    // Pattern 1 ends with its run; pattern 2 has its own run and a note.
    f.patterns = {3 << 2, 2 << 2, 1 << 2 | 1};
    f.names({});
    Song song;
    std::string error;
    ASSERT_TRUE(parseExact(song, f.build(), &error)) << error;
    for (int r = 0; r < 4; ++r) EXPECT_EQ(cellBytes(song, 1, r), (std::vector<uint8_t>{0, 0, 0}));
    for (int r = 0; r < 3; ++r) EXPECT_EQ(cellBytes(song, 2, r), (std::vector<uint8_t>{0, 0, 0}));
    EXPECT_EQ(cellBytes(song, 2, 3), (std::vector<uint8_t>{1, 0, 0}));

    // A run that would reach past its pattern's last row is cut there, and its byte, not yet used up, starts
    // the next pattern again from a count of zero.
    f.patterns = {2 << 2 | 1, 3 << 2};
    f.instruments.clear();
    f.names({});
    const auto bytes = f.build();
    Song crossing;
    ASSERT_TRUE(parseExact(crossing, bytes, &error)) << error;
    EXPECT_EQ(cellBytes(crossing, 1, 0), (std::vector<uint8_t>{2, 0, 0}));
    for (int r = 0; r < 4; ++r) EXPECT_EQ(cellBytes(crossing, 2, r), (std::vector<uint8_t>{0, 0, 0}));
    EXPECT_EQ(unpackPatterns(crossing, bytes.data() + 75, 2, nullptr), 2);
}

TEST(SongFilePatterns, PatternZeroInTheOrderListIsNeitherStoredNorCounted) {
    FileBuilder f;
    f.trackCount = 3;
    f.orderLength = 2;
    f.order = {0, 0, 2, 0, 0, 5, /**/ 0, 0, 0, 0, 1, 0xF4};
    f.patternCount = 2;
    f.patterns = {0x0C, 13 << 2 | 1, 0x08};
    f.names({});
    Song song;
    std::string error;
    ASSERT_TRUE(parseExact(song, f.build(), &error)) << error;
    EXPECT_EQ(highestPattern(song), 2);
    EXPECT_EQ(song.orderPattern(0, 0), 0);
    EXPECT_EQ(song.orderPattern(0, 1), 2);
    EXPECT_EQ(song.orderTranspose(0, 2), 5);
    EXPECT_EQ(song.orderTranspose(1, 2), -12);
    EXPECT_EQ(cellBytes(song, 2, 0), (std::vector<uint8_t>{13, 0, 0}));

    // An order list of nothing but pattern 0 stores no patterns: the names follow the order list at once.
    f.order.assign(12, 0);
    f.patterns.clear();
    f.patternCount = 0;
    Song empty;
    ASSERT_TRUE(parseExact(empty, f.build(), &error)) << error;
    EXPECT_EQ(highestPattern(empty), 0);
}

TEST(SongFileVersions, FilesBeforeVersionFourGetFixedSpeedTempoAndGainAndFilesBeforeEightDefaultReverb) {
    FileBuilder f;
    f.speed = 3;
    f.tempo = 0; // never read before version 4, so not refused
    f.gain = 64;
    f.names({});
    for (int version : {3, 4, 7, 8}) {
        f.version = uint8_t(version);
        f.tempo = version < 4 ? 0 : 200;
        Song song;
        std::string error;
        ASSERT_TRUE(parseExact(song, f.build(), &error)) << version << ": " << error;
        EXPECT_EQ(song.version, version);
        EXPECT_EQ(song.speed, version < 4 ? 6 : 3);
        EXPECT_EQ(song.tempo, version < 4 ? 127 : 200);
        EXPECT_EQ(song.masterGain, version < 4 ? 1.0f : 2.0f);
        const int expected[4] = {64, 0, 23, 32}, stored[4] = {10, 20, 30, 40};
        const int got[4] = {song.reverbRoom, song.reverbDamp, song.reverbWidth, song.reverbGain};
        for (int k = 0; k < 4; ++k) EXPECT_EQ(got[k], version < 8 ? expected[k] : stored[k]) << version;
    }
}

TEST(SongFileNames, TwentyTwoCharactersFillTheSlotAndTwentyThreeOrMoreLeaveItEmpty) {
    FileBuilder f;
    std::vector<std::string> names = {"ABCDEFGHIJKLMNOPQRSTUV", "abcdefghijklmnopqrstuvwxy"};
    // The long name's slot stays empty and reading resumes after its 23rd character, so "xy" becomes the
    // third name; 29 more complete the 32.
    for (int n = 4; n <= 32; ++n) names.push_back("n" + std::to_string(n));
    for (const auto& name : names) {
        f.instruments.insert(f.instruments.end(), name.begin(), name.end());
        f.instruments.push_back(0);
    }
    f.instrumentCount = 1;
    std::vector<uint8_t> header(19, 0);
    header[14] = 42;
    f.record(header, {{1, 2, 3}});
    f.patternCount = 1;
    f.patterns = {0x0C};
    Song song;
    std::string error;
    ASSERT_TRUE(parseExact(song, f.build(), &error)) << error;
    EXPECT_EQ(std::string(song.instrumentNames[0], 22), "ABCDEFGHIJKLMNOPQRSTUV");
    EXPECT_EQ(song.instrumentNames[1][0], 0);
    EXPECT_STREQ(song.instrumentNames[2], "xy");
    EXPECT_STREQ(song.instrumentNames[3], "n4");
    EXPECT_STREQ(song.instrumentNames[31], "n32");
    EXPECT_EQ(song.instruments[0].header[14], 42);
    EXPECT_EQ(song.instruments[0].program[0][2], 3);
}

// An instrument header of `size` bytes with recognisable values in the fields the conversions touch.
std::vector<uint8_t> convertibleHeader(int size) {
    std::vector<uint8_t> h(size, 0);
    h[2] = 0x21;
    h[13] = 0x0F; // link 1, sync mode 3, spread high bit
    h[14] = 100;  // volume
    h[15] = 0xFF; // every flag
    if (size > 16) h[16] = 0x5C;
    if (size > 17) h[17] = 0x35;
    if (size > 18) h[18] = 0x42;
    return h;
}

const std::vector<std::vector<uint8_t>> kConvertibleProgram = {
    {0x81, 0x1D, 7}, {0x02, 0xFD, 0}, {0, 0x0C, 1}};

struct Expected {
    int version;
    uint8_t h13, h14, h15, h16, h17, h18;
    uint8_t step0, step1; // byte 1 of the first two program steps
    bool storedReverb;
};

TEST(SongFileVersions, UpgradeInstrumentsConvertsEachOlderVersion) {
    const Expected cases[] = {
        // version 5: 16-byte header widened with pan 8; command 13 becomes 14; no sync, no spread; volume / 4
        {5, 0x08, 25, 0xF3, 0x08, 0, 0, 0x1E, 0xFE, false},
        // version 7: 17-byte header; commands kept; no sync, no spread; volume / 4; filter bit 3 cleared
        {7, 0x08, 25, 0xF3, 0x5C, 0, 0, 0x1D, 0xFD, false},
        // version 10: sync kept, spread cleared, volume / 4, filter bit 3 kept, stored reverb
        {10, 0x0E, 25, 0xFB, 0x5C, 0, 0, 0x1D, 0xFD, true},
        // version 12: nothing converted
        {12, 0x0F, 100, 0xFF, 0x5C, 0x35, 0x42, 0x1D, 0xFD, true},
    };
    for (const Expected& e : cases) {
        SCOPED_TRACE(e.version);
        FileBuilder f;
        f.version = uint8_t(e.version);
        f.patternCount = 1;
        f.patterns = {0x0C};
        f.names({"one"});
        f.instrumentCount = 2;
        const int size = e.version <= 6 ? 16 : e.version <= 11 ? 17 : 19;
        f.record(convertibleHeader(size), kConvertibleProgram);
        f.record(convertibleHeader(size), {});
        Song song;
        std::string error;
        ASSERT_TRUE(parseExact(song, f.build(), &error)) << error;
        for (int n = 0; n < 2; ++n) {
            const uint8_t* h = song.instruments[n].header;
            EXPECT_EQ(h[2], 0x21);
            EXPECT_EQ(h[13], e.h13);
            EXPECT_EQ(h[14], e.h14);
            EXPECT_EQ(h[15], e.h15);
            EXPECT_EQ(h[16], e.h16);
            EXPECT_EQ(h[17], e.h17);
            EXPECT_EQ(h[18], e.h18);
        }
        const Instrument& first = song.instruments[0];
        EXPECT_EQ(first.program[0][0], 0x81);
        EXPECT_EQ(first.program[0][1], e.step0);
        EXPECT_EQ(first.program[1][1], e.step1);
        EXPECT_EQ(first.program[2][1], 0x0C);
        for (int s = 3; s < kProgramLength; ++s) EXPECT_EQ(first.program[s][1], 0) << s;
        EXPECT_STREQ(song.instrumentNames[0], "one");
        EXPECT_EQ(song.reverbRoom, e.storedReverb ? 10 : 64);
    }
}

TEST(SongFileVersions, TheThirtySecondInstrumentIsNotUpgradedButLosesFilterBitThree) {
    FileBuilder f;
    f.version = 5;
    f.patternCount = 1;
    f.patterns = {0x0C};
    f.names({});
    f.instrumentCount = 32;
    for (int n = 0; n < 32; ++n) f.record(convertibleHeader(16), kConvertibleProgram);
    Song song;
    std::string error;
    ASSERT_TRUE(parseExact(song, f.build(), &error)) << error;
    EXPECT_EQ(song.instruments[30].header[14], 25);
    EXPECT_EQ(song.instruments[31].header[14], 100);
    EXPECT_EQ(song.instruments[31].header[13], 0x0F);
    EXPECT_EQ(song.instruments[31].header[15], 0xF7);
    EXPECT_EQ(song.instruments[31].program[0][1], 0x1D);
}

TEST(SongFileVersions, VersionTwoReadsRawCellsAndRawInstrumentsWithoutConversion) {
    FileBuilder f;
    f.version = 2;
    f.rowsPerPattern = 2;
    f.patternCount = 1;
    f.patterns = {0x31, 0x40, 0x00, 63, 0, 0x12};
    f.instrumentCount = 2;
    f.instruments.assign(kInstrumentCount * kInstrumentRecordSize, 0);
    for (int n : {0, 1, 2}) {
        uint8_t* record = f.instruments.data() + n * kInstrumentRecordSize;
        std::memcpy(record, convertibleHeader(19).data(), 19);
        record[19] = 1;
        record[20] = 0x0D;
        record[kInstrumentRecordSize - 1] = 9; // the last step's parameter
    }
    const auto bytes = f.build();
    Song song;
    std::unique_ptr<uint8_t[]> keep;
    std::string error;
    ASSERT_TRUE(parseExact(song, bytes, &error, &keep)) << error;
    EXPECT_EQ(song.cells, keep.get() + 71 + 2);
    EXPECT_EQ(song.cellStride, 0);
    EXPECT_EQ(cellBytes(song, 1, 0), (std::vector<uint8_t>{0x31, 0x40, 0}));
    EXPECT_EQ(cellBytes(song, 1, 1), (std::vector<uint8_t>{63, 0, 0x12}));
    EXPECT_EQ(song.speed, 6);
    EXPECT_EQ(song.tempo, 127);
    EXPECT_EQ(song.reverbGain, 32);
    for (int n = 0; n < 3; ++n) {
        const Instrument& ins = song.instruments[n];
        EXPECT_EQ(ins.header[13], 0x0F);
        EXPECT_EQ(ins.header[14], 100);
        EXPECT_EQ(ins.header[17], 0x35);
        EXPECT_EQ(ins.header[15], n < 2 ? 0xF7 : 0xFF) << n; // bit 3 cleared for instruments 1 .. count only
        EXPECT_EQ(ins.program[0][1], 0x0D);
        EXPECT_EQ(ins.program[31][2], 9);
        EXPECT_EQ(song.instrumentNames[n][0], 0);
    }
}

TEST(SongFileVersions, AShorterVersionTwelveHeaderLeavesTheLastBytesZero) {
    FileBuilder f;
    f.headerSize = 17;
    f.patternCount = 1;
    f.patterns = {0x0C};
    f.names({});
    f.instrumentCount = 2;
    f.record(convertibleHeader(17), {{1, 1, 1}});
    f.record(convertibleHeader(17), {});
    Song song;
    std::string error;
    ASSERT_TRUE(parseExact(song, f.build(), &error)) << error;
    for (int n = 0; n < 2; ++n) {
        EXPECT_EQ(song.instruments[n].header[16], 0x5C);
        EXPECT_EQ(song.instruments[n].header[17], 0);
        EXPECT_EQ(song.instruments[n].header[14], 100);
    }
    EXPECT_EQ(song.instruments[0].program[0][0], 1);
}

// A small valid file to break in the refusal tests: 2 tracks, 2 patterns, 2 instruments.
FileBuilder validFile() {
    FileBuilder f;
    f.trackCount = 2;
    f.order = {1, 0, 2, 3};
    f.patternCount = 2;
    f.patterns = {49 << 2 | 2, 1, 0x08, 0x0C};
    f.names({"lead", "bass"});
    f.instrumentCount = 2;
    f.record(std::vector<uint8_t>(19, 7), {{1, 2, 3}, {4, 5, 6}});
    f.record(std::vector<uint8_t>(19, 9), {});
    return f;
}

TEST(SongFileRefusal, UnplayableFilesAreRefusedWithTheirReasonAndLeaveSongAndCellsAlone) {
    using Bytes = std::vector<uint8_t>;
    struct Case {
        const char* what;
        void (*changeFields)(FileBuilder&); // before building
        void (*changeBytes)(Bytes&);        // after building
        const char* reason;
    };
    const Case cases[] = {
        {"magic", nullptr, [](Bytes& b) { b[2] = 'X'; }, "not a song file"},
        {"version", [](FileBuilder& f) { f.version = 13; }, nullptr, "version 13 (byte 3)"},
        {"no tracks", [](FileBuilder& f) { f.trackCount = 0; }, nullptr, "track count 0 (byte 57)"},
        {"five tracks", [](FileBuilder& f) { f.trackCount = 5; }, nullptr, "track count 5"},
        {"no rows", [](FileBuilder& f) { f.rowsPerPattern = 0; }, nullptr, "rows per pattern (byte 60)"},
        {"no order", [](FileBuilder& f) { f.orderLength = 0; }, nullptr, "order length (byte 59)"},
        {"33 instruments", [](FileBuilder& f) { f.instrumentCount = 33; }, nullptr, "instrument count 33"},
        {"header 15", [](FileBuilder& f) { f.headerSize = 15; }, nullptr, "header size 15 (byte 69)"},
        {"header 20", [](FileBuilder& f) { f.headerSize = 20; }, nullptr, "header size 20"},
        {"tempo 0", [](FileBuilder& f) { f.tempo = 0; }, nullptr, "tempo (byte 63) is 0"},
        {"program 33", nullptr, [](Bytes& b) { b[b.size() - 20 - 6 - 1] = 33; }, "33 steps"},
        {"order past the end", nullptr, [](Bytes& b) { b[kOrderOffsetAt] = 0xF0; }, "order list"},
        {"huge offsets", nullptr, [](Bytes& b) { std::memset(b.data() + kOrderOffsetAt, 0xFF, 12); },
         "order list"},
        {"patterns past the end", nullptr, [](Bytes& b) { b[kPatternOffsetAt + 1] = 0x10; },
         "inside pattern 1, row 0"},
        {"names past the end", nullptr, [](Bytes& b) { b[kInstrumentOffsetAt + 1] = 0x10; },
         "name of instrument 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FileBuilder f = validFile();
        if (c.changeFields) c.changeFields(f);
        auto bytes = f.build();
        if (c.changeBytes) c.changeBytes(bytes);
        Song song;
        song.speed = 99; // a marker: the song must come back exactly as it went in
        const Song before = song;
        std::memset(cellStore, 0x5A, 64);
        std::string error;
        EXPECT_FALSE(parseExact(song, bytes, &error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_EQ(std::memcmp(&song, &before, sizeof song), 0);
        EXPECT_EQ(cellStore[0], 0x5A);
        EXPECT_EQ(cellStore[63], 0x5A);
    }
    // The same file unbroken is read.
    Song song;
    std::string error;
    EXPECT_TRUE(parseExact(song, validFile().build(), &error)) << error;
}

// Every prefix of a valid file is refused; the exact-size copies let AddressSanitizer catch any read past
// them.
void expectEveryPrefixRefused(const std::vector<uint8_t>& bytes) {
    Song whole;
    ASSERT_TRUE(parseExact(whole, bytes));
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        Song song;
        std::string error;
        const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + n);
        EXPECT_FALSE(parseExact(song, prefix, &error)) << "prefix of " << n << " bytes";
        EXPECT_FALSE(error.empty());
    }
}

TEST(SongFileRefusal, EveryPrefixOfAValidFileIsRefused) {
    expectEveryPrefixRefused(validFile().build());
    FileBuilder old = validFile();
    old.version = 2;
    old.patterns.assign(2 * 4 * 3, 1);
    old.instruments.assign(kInstrumentCount * kInstrumentRecordSize, 3);
    expectEveryPrefixRefused(old.build());
    for (const auto& bytes : test::referenceSongs()) expectEveryPrefixRefused(bytes);
}

TEST(SongFileRefusal, RandomDamageNeverCrashesAndWhatIsReadKeepsTheSongInvariants) {
    std::mt19937 random(1234);
    auto songs = test::referenceSongs();
    songs.push_back(validFile().build());
    for (const auto& original : songs) {
        for (int trial = 0; trial < 300; ++trial) {
            auto bytes = original;
            const int changes = 1 + int(random() % 4);
            for (int k = 0; k < changes; ++k) bytes[random() % bytes.size()] = uint8_t(random());
            if (trial % 5 == 0) bytes.resize(random() % bytes.size());
            Song song;
            std::string error;
            if (!parseExact(song, bytes, &error)) {
                EXPECT_FALSE(error.empty());
                continue;
            }
            EXPECT_GE(song.orderLength, 1);
            EXPECT_GE(song.rowsPerPattern, 1);
            EXPECT_GE(song.trackCount, 1);
            EXPECT_LE(song.trackCount, kMaxTracks);
            EXPECT_TRUE(song.version < 4 || song.tempo > 0);
        }
    }
}

TEST(SongFileReference, ReferenceSongsDecodeToTheirInstrumentOffsetAndWriteBackToTheSameSong) {
    const auto songs = test::referenceSongs();
    if (songs.empty()) GTEST_SKIP() << "no reference songs beside the checkout";
    for (const auto& bytes : songs) {
        Song song;
        std::string error;
        ASSERT_TRUE(parseSong(song, bytes.data(), bytes.size(), &error)) << error;
        SongFileHeader header;
        ASSERT_TRUE(readSongHeader(bytes.data(), bytes.size(), header));
        if (song.version >= 3) {
            const auto scratch = std::make_unique<uint8_t[]>(kCellStoreSize);
            EXPECT_EQ(unpackPatterns(song, bytes.data() + header.patternOffset,
                                     bytes.size() - header.patternOffset, scratch.get()),
                      std::ptrdiff_t(header.instrumentOffset - header.patternOffset));
        }
        const auto written = writeSong(song, header.title, header.author);
        // Read both into cell stores of their own, so that the cells are really compared.
        const auto cellsA = std::make_unique<uint8_t[]>(kCellStoreSize);
        const auto cellsB = std::make_unique<uint8_t[]>(kCellStoreSize);
        Song original, again;
        ASSERT_TRUE(parseSongInto(original, bytes.data(), bytes.size(), cellsA.get()));
        ASSERT_TRUE(parseSongInto(again, written.data(), written.size(), cellsB.get(), &error)) << error;
        EXPECT_EQ(again.version, 12);
        EXPECT_EQ(test::songDifference(original, again), "");
        SongFileHeader writtenHeader;
        ASSERT_TRUE(readSongHeader(written.data(), written.size(), writtenHeader));
        EXPECT_EQ(writtenHeader.title, header.title);
        EXPECT_EQ(writtenHeader.author, header.author);
    }
}

} // namespace
} // namespace md
