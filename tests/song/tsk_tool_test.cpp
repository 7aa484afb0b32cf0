// The tsk tool's compile, decompile and dump: exit status, error formats, and no output file unless complete.
#include "song_test_util.h"
#include "tool_folder.h"

#include "song/song_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace md {
namespace {

using Result = test::ToolResult;

class TskTool : public test::ToolFolder {
  protected:
    Result run(const std::string& arguments) const { return ToolFolder::run(MD_TSK_PATH, arguments); }
};

const char kSong[] =
    "song\n  title \"Tool\"\n  tracks 1\ninstrument 1 lead\npattern a\n  0 C-4 lead\norder\n  a\n";

TEST_F(TskTool, CompileWritesTheFileBesideTheTextOrWhereAsked) {
    write("song.txt", kSong);
    Result r = run("compile song.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string bytes = read("song.tsk");
    Song song;
    EXPECT_TRUE(parseSong(song, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    r = run("compile song.txt -o other.tsk");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("other.tsk"), bytes);
    EXPECT_EQ(files(), (std::vector<std::string>{"other.tsk", "song.tsk", "song.txt"}));
}

TEST_F(TskTool, ACompileErrorNamesFileLineAndColumnAndWritesNothing) {
    write("bad.txt", "song\n  tempo 300\n");
    write("old.tsk", "previous contents");
    Result r = run("compile bad.txt -o old.tsk");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "bad.txt:2:9: tempo 300 is out of range (1 to 255)\n");
    EXPECT_EQ(read("old.tsk"), "previous contents");
    r = run("compile bad.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(exists("bad.tsk"));
    EXPECT_EQ(files(), (std::vector<std::string>{"bad.txt", "old.tsk"}));
}

TEST_F(TskTool, UnreadableInputAndUnwritableOutputAreReportedWithTheirReason) {
    Result r = run("compile missing.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tsk: missing.txt: No such file or directory\n");
    write("song.txt", kSong);
    r = run("compile song.txt -o nowhere/song.tsk");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tsk: nowhere/song.tsk: No such file or directory\n");
    r = run("decompile .");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tsk: .: Is a directory\n");
}

TEST_F(TskTool, DecompileAndDumpRefuseBadFilesWithTheReadersReason) {
    write("bad.tsk", std::string("TSK\x0D", 4) + std::string(100, '\0'));
    Result r = run("decompile bad.tsk -o bad.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tsk: bad.tsk: version 13 (byte 3) is newer than 12\n");
    EXPECT_FALSE(exists("bad.txt"));
    r = run("dump bad.tsk");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tsk: bad.tsk: version 13 (byte 3) is newer than 12\n");
    write("short.tsk", "TSK");
    r = run("dump short.tsk");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "tsk: short.tsk: file ends at byte 3, inside the 71-byte header\n");
}

TEST_F(TskTool, DecompiledTextCompilesBackToTheSameFileAndDumpShowsIt) {
    write("song.txt", kSong);
    ASSERT_EQ(run("compile song.txt").status, 0);
    Result r = run("decompile song.tsk -o again.txt");
    ASSERT_EQ(r.status, 0) << r.err;
    r = run("decompile song.tsk");
    EXPECT_EQ(r.out, read("again.txt"));
    ASSERT_EQ(run("compile again.txt").status, 0);
    EXPECT_EQ(read("again.tsk"), read("song.tsk"));
    r = run("dump song.tsk");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("version     12"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("title       \"Tool\""), std::string::npos);
    EXPECT_NE(r.out.find("C-4  ins  1"), std::string::npos);
}

TEST_F(TskTool, HelpAndUsage) {
    Result r = run("--help");
    EXPECT_EQ(r.status, 0);
    for (const char* command : {"compile", "decompile", "dump"}) {
        EXPECT_NE(r.out.find(command), std::string::npos);
        const Result help = run(std::string(command) + " --help");
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.out.rfind(std::string("usage: tsk ") + command, 0), 0u) << help.out;
        EXPECT_EQ(run("help " + std::string(command)).out, help.out);
    }
    EXPECT_EQ(run("").status, 2);
    r = run("frobnicate");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("tsk: unknown command 'frobnicate'", 0), 0u);
    r = run("compile --bogus x.txt");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown option '--bogus'"), std::string::npos);
    EXPECT_EQ(run("compile").status, 2);
    EXPECT_EQ(run("dump a.tsk b.tsk").status, 2);
}

} // namespace
} // namespace md
