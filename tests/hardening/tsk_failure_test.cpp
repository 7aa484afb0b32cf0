// Every failure a user can cause with tsk ends in one line naming the file and the reason, exit status 2, and
// no output file, whole or partial; and songs at the limits (never going back, longer than the WAV image, a
// program looping inside one tick) are handled within bounds.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "player/wav_image.h"
#include "song/song_text.h"
#include "tool_folder.h"

namespace md {
namespace {

using Result = test::ToolResult;

const char kSong[] = "song\n  tracks 1\ninstrument 1 lead\n  adsr 0 0 15 0\n  program\n    0 osc saw, hold\n"
                     "pattern a\n  0 C-4 lead\norder\n  a\n";

class TskFailure : public test::ToolFolder {
  protected:
    void SetUp() override {
        ToolFolder::SetUp();
        write("song.txt", kSong);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(compileSongText(kSong, "song.txt", bytes));
        songFile_.assign(bytes.begin(), bytes.end());
        write("song.tsk", songFile_);
        ::mkdir(path("folder").c_str(), 0755);
        write("empty.txt", "");
        write("bad.txt", "song\n  tempo 300\n");
    }
    // Runs tsk in the test's folder; `prefix` runs before it in the same shell (for ulimit).
    Result run(const std::string& arguments, const std::string& prefix = "") const {
        return ToolFolder::run(MD_TSK_PATH, arguments, prefix);
    }
    // A failure: status 2, one line on standard error, nothing on standard output, and no file added.
    void expectFailure(const std::string& arguments, const std::string& message) {
        SCOPED_TRACE("tsk " + arguments);
        const std::vector<std::string> before = files();
        const Result r = run(arguments);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, message + "\n");
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(files(), before);
    }

    std::string songFile_;
};

TEST_F(TskFailure, AMissingFileADirectoryAndAnEmptyFileAreRefusedByEveryCommand) {
    for (const std::string command :
         {"compile", "decompile", "dump", "info", "render", "bench", "analyze", "import"}) {
        expectFailure(command + " missing.tsk", "tsk: missing.tsk: No such file or directory");
        expectFailure(command + " folder", "tsk: folder: Is a directory");
        expectFailure(command + " empty.txt", "tsk: empty.txt: the file is empty");
    }
}

TEST_F(TskFailure, ATruncatedSongFileIsRefusedWithTheReadersReason) {
    // Cut inside the magic, inside the header, just inside the order list, the pattern data and the
    // instrument block, and one byte short (the song tests cut valid files at every byte; this is what the
    // tool makes of it).
    auto offset = [&](int at) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(songFile_[at + i]);
        return std::size_t(v);
    };
    const std::vector<std::size_t> cuts = {
        1, 2, 40, offset(4) + 1, offset(8) + 1, offset(12) + 10, songFile_.size() - 1};
    // Every command that reads a song file on one cut; the file reader's two commands on every cut.
    std::vector<std::pair<std::size_t, std::string>> runs;
    for (const char* command : {"dump", "info", "render", "bench", "analyze"})
        runs.emplace_back(cuts[3], command);
    for (const std::size_t n : cuts) {
        runs.emplace_back(n, "decompile");
        runs.emplace_back(n, "render");
    }
    for (const auto& [n, command] : runs) {
        write("cut.tsk", songFile_.substr(0, n));
        SCOPED_TRACE(command + " of the first " + std::to_string(n) + " bytes");
        const Result r = run(command + " cut.tsk");
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind("tsk: cut.tsk: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find("byte"), std::string::npos) << r.err; // says where the file went wrong
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(files(), (std::vector<std::string>{"bad.txt", "cut.tsk", "empty.txt", "folder", "song.tsk",
                                                     "song.txt"}));
    }
}

TEST_F(TskFailure, ATruncatedOrWrongTextNamesFileLineAndColumn) {
    write("cut.txt", std::string(kSong).substr(0, std::string(kSong).find("order")));
    for (const std::string command : {"compile", "info", "render", "bench", "analyze"}) {
        expectFailure(
            command + " cut.txt",
            "cut.txt:9:1: the order list is empty: an 'order' section with at least one row is needed");
        expectFailure(command + " bad.txt", "bad.txt:2:9: tempo 300 is out of range (1 to 255)");
    }
}

TEST_F(TskFailure, AnOutputThatCannotBeWrittenLeavesNothingBehind) {
    write("old.wav", "previous contents");
    const std::vector<std::pair<std::string, std::string>> outputs = {
        {"nowhere/out", "No such file or directory"},
        {"folder", "Is a directory"},
        {"song.txt/out", "Not a directory"},
    };
    for (const auto& [output, reason] : outputs) {
        expectFailure("compile song.txt -o " + output, "tsk: " + output + ": " + reason);
        expectFailure("decompile song.tsk -o " + output, "tsk: " + output + ": " + reason);
        expectFailure("render song.txt --seconds 1 -o " + output, "tsk: " + output + ": " + reason);
        expectFailure("render song.tsk -o " + output, "tsk: " + output + ": " + reason);
    }
    // A write that fails half-way (here: past the file size limit, as on a full disk) removes what it wrote
    // and leaves the file it was to replace as it was.
    const std::vector<std::string> before = files();
    const Result r = run("render song.txt --seconds 5 -o old.wav", "ulimit -f 64 && ");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tsk: old.wav: File too large\n");
    EXPECT_EQ(read("old.wav"), "previous contents");
    EXPECT_EQ(files(), before);
    EXPECT_TRUE(read("folder").empty());
}

TEST_F(TskFailure, AnInterruptedWriteLeavesNothingBehind) {
    // A long silent render gives a write long enough to interrupt; the test sends SIGINT once the temporary
    // file appears, as Ctrl-C would.
    write("quiet.txt", "song\n  tracks 1\npattern a\n  0 off\norder\n  a\n");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (chdir(dir_.c_str()) != 0) _exit(127);
        execl(MD_TSK_PATH, "tsk", "render", "quiet.txt", "--raw", "--seconds", "900", "-o", "quiet.raw",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    bool interrupted = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!interrupted && std::chrono::steady_clock::now() < deadline) {
        for (const std::string& name : files())
            if (name.rfind(".quiet.raw.tmp-", 0) == 0) {
                ::kill(child, SIGINT);
                interrupted = true;
            }
        int status = 0;
        if (!interrupted && ::waitpid(child, &status, WNOHANG) == child) {
            GTEST_SKIP() << "the write ended before it could be interrupted";
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(interrupted);
    if (WIFEXITED(status)) GTEST_SKIP() << "the write ended before the signal arrived";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
    EXPECT_EQ(files(), (std::vector<std::string>{"bad.txt", "empty.txt", "folder", "quiet.txt", "song.tsk",
                                                 "song.txt"}));
}

// One order row whose first row breaks to row 0 of the next order row, which is itself: the position and the
// row repeat unchanged for ever.
const char kNeverBack[] = "song\n  tracks 1\n  rows 4\npattern a\n  0 ... .. D00\norder\n  a\n";

constexpr std::size_t kImageFileBytes = kWavHeaderSize + 4 * static_cast<std::size_t>(kSampleAreaFrames);

TEST_F(TskFailure, ASongThatNeverGoesBackIsMeasuredUpToTheImageAndRenderedWithinIt) {
    write("never.txt", kNeverBack);
    Result r = run("info never.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("length       7:50 (470.000 s)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("blocks       235000\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("loops        no (it does not go back within the 470 s the player holds)\n"),
              std::string::npos)
        << r.out;
    r = run("render never.txt -o never.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("never.wav").size(), kImageFileBytes);
}

TEST_F(TskFailure, ASongLongerThanTheWavImageIsRenderedUpToTheImageOnly) {
    // 64 rows of 255 ticks at tempo 32: 1275 seconds before it goes back.
    write("long.txt", "song\n  tracks 1\n  speed 255\n  tempo 32\ninstrument 1 lead\n  adsr 0 0 15 0\n"
                      "  program\n    0 osc tri, hold\npattern a\n  repeat 1\n  0 C-3 lead\norder\n  a\n");
    Result r = run("info long.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("length       7:50 (470.000 s)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("loops        no"), std::string::npos) << r.out;
    r = run("render long.txt -o long.wav");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string wav = read("long.wav");
    ASSERT_EQ(wav.size(), kImageFileBytes);
    auto field = [&](std::size_t at) {
        return static_cast<uint32_t>(static_cast<uint8_t>(wav[at])) |
               static_cast<uint32_t>(static_cast<uint8_t>(wav[at + 1])) << 8 |
               static_cast<uint32_t>(static_cast<uint8_t>(wav[at + 2])) << 16 |
               static_cast<uint32_t>(static_cast<uint8_t>(wav[at + 3])) << 24;
    };
    EXPECT_EQ(field(40), 4 * kSampleAreaFrames); // data size
    EXPECT_EQ(field(4), 4 * kSampleAreaFrames + 36);
    // It sounds to the end: nothing fades (the fade would begin after the song's last frame).
    const std::string lastSecond = wav.substr(wav.size() - 4 * sampleRate);
    EXPECT_NE(lastSecond.find_first_not_of('\0'), std::string::npos);
}

TEST_F(TskFailure, AProgramThatLoopsWithinOneTickIsBounded) {
    // A chord-note step without an interval goes on at once, and the loop back to it is no chain: every tick
    // of all sixteen voices of all four tracks runs the program to its bound.
    std::string text = "song\n  speed 1\ninstrument 1 spin\n  adsr 0 0 15 0\n  program\n    0 osc saw\n"
                       "    1 chord 3\n    2 loop 1\npattern a\n";
    for (int row = 0; row < 64; row += 4) text += "  " + std::to_string(row) + " C-4 spin +47C\n";
    text += "order\n  a a a a\n";
    write("spin.txt", text);
    const Result r = run("render spin.txt --seconds 5 --raw -o spin.raw");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string raw = read("spin.raw");
    ASSERT_EQ(raw.size(), 5u * sampleRate * 4);
    EXPECT_NE(raw.find_first_not_of('\0'), std::string::npos); // it sounds
}

} // namespace
} // namespace md
