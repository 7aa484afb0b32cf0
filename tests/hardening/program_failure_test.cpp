// The whole program, run headless as a child process, where its surroundings fail it: no font files anywhere
// it looks, no audio device. It keeps running, says what is wrong once in one line, and quits cleanly.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace md {
namespace {

namespace fs = std::filesystem;

#ifdef MD_MUSICDISK
// The program with its standard output and error read as they come.
class Child {
  public:
    struct Exit {
        bool exited = false;
        int code = -1;
    };

    Child(const fs::path& executable, const fs::path& workingDirectory,
          const std::vector<std::pair<std::string, std::string>>& environment) {
        int out[2], err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            for (int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
            if (::chdir(workingDirectory.c_str()) != 0) ::_exit(126);
            for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
            ::execl(executable.c_str(), executable.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        outFd_ = out[0];
        errFd_ = err[0];
    }

    ~Child() {
        if (pid_ > 0 && !reaped_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (int fd : {outFd_, errFd_})
            if (fd >= 0) ::close(fd);
    }

    // Reads what the program writes until its error stream holds `text` `times` times; false after `seconds`.
    bool waitForError(const std::string& text, int times, double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (count(err, text) < times) {
            if (std::chrono::steady_clock::now() > end || !pump(50)) return false;
        }
        return true;
    }

    // Lets it run for `seconds` more, reading what it writes.
    void runFor(double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end && pump(20)) {
        }
    }

    // Sends the termination signal, which SDL turns into a quit event, and waits up to 20 s for the end.
    Exit quit() {
        Exit result;
        if (pid_ <= 0) return result;
        ::kill(pid_, SIGTERM);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            pump(20);
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                reaped_ = true;
                while (pump(0)) {
                }
                result.exited = WIFEXITED(status);
                result.code = result.exited ? WEXITSTATUS(status) : -1;
                return result;
            }
        }
        return result;
    }

    static int count(const std::string& haystack, const std::string& needle) {
        int n = 0;
        for (std::size_t at = haystack.find(needle); at != std::string::npos;
             at = haystack.find(needle, at + needle.size()))
            ++n;
        return n;
    }

    // The lines of the error stream that contain `text`.
    std::vector<std::string> errorLinesWith(const std::string& text) const {
        std::vector<std::string> lines;
        std::size_t begin = 0;
        while (begin < err.size()) {
            std::size_t end = err.find('\n', begin);
            if (end == std::string::npos) end = err.size();
            std::string line = err.substr(begin, end - begin);
            if (line.find(text) != std::string::npos) lines.push_back(line);
            begin = end + 1;
        }
        return lines;
    }

    std::string out, err;

  private:
    // Waits up to `ms` for output and reads what there is; false once both streams have closed.
    bool pump(int ms) {
        pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
        if (outFd_ < 0 && errFd_ < 0) {
            ::usleep(static_cast<useconds_t>(ms) * 1000);
            return false;
        }
        if (::poll(fds, 2, ms) <= 0) return true;
        readFrom(outFd_, fds[0].revents, out);
        readFrom(errFd_, fds[1].revents, err);
        return outFd_ >= 0 || errFd_ >= 0;
    }
    static void readFrom(int& fd, short events, std::string& into) {
        if (fd < 0 || events == 0) return;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            into.append(buffer, static_cast<std::size_t>(n));
        } else {
            ::close(fd);
            fd = -1;
        }
    }

    pid_t pid_ = -1;
    int outFd_ = -1, errFd_ = -1;
    bool reaped_ = false;
};

const char* const kFontFiles[] = {"supercomputer.ttf", "Roboto-Regular.ttf"};
// With MUSICDISK_DEBUG set, the player writes this each time it takes up a song.
const char kLoadLine[] = "Load And Play";
const char kNoAudioDevice[] = "No audio device could be opened";

class ProgramFailure : public ::testing::Test {
  protected:
    void SetUp() override {
        work_ = fs::path(::testing::TempDir()) / ("program_failure_" + std::to_string(::getpid()));
        fs::remove_all(work_);
        fs::create_directories(work_ / "bin");
    }
    void TearDown() override { fs::remove_all(work_); }

    // A copy of the program alone in a folder of its own, with no font beside it, in the working directory or
    // in the data folders an installed copy looks in.
    fs::path fontlessCopy() {
        for (const char* font : kFontFiles) {
            if (fs::exists(fs::path(MD_INSTALLED_DATA_DIR) / font)) return {};
        }
        const fs::path copy = work_ / "bin" / "musicdisk";
        fs::copy_file(MD_MUSICDISK, copy);
        return copy;
    }

    static std::vector<std::pair<std::string, std::string>> environment(const char* audioDriver) {
        return {{"SDL_VIDEODRIVER", "dummy"}, {"SDL_AUDIODRIVER", audioDriver}, {"MUSICDISK_DEBUG", "1"}};
    }

    fs::path work_;
};

TEST_F(ProgramFailure, WithoutFontFilesItRunsReportsEachMissingFontOnceAndQuitsCleanly) {
    const fs::path program = fontlessCopy();
    if (program.empty()) GTEST_SKIP() << "an installed copy's fonts are in " << MD_INSTALLED_DATA_DIR;
    Child child(program, work_, environment("dummy"));
    ASSERT_TRUE(child.waitForError(kLoadLine, 1, 30)) << child.err;
    child.runFor(1.0);
    const Child::Exit exit = child.quit();
    EXPECT_TRUE(exit.exited) << child.err;
    EXPECT_EQ(exit.code, 0);
    EXPECT_EQ(child.out, "");
    EXPECT_EQ(child.errorLinesWith("Font file").size(), 2u) << child.err;
    for (const char* font : kFontFiles) {
        const std::vector<std::string> lines = child.errorLinesWith(std::string("\"") + font + "\"");
        ASSERT_EQ(lines.size(), 1u) << font << " is reported once:\n" << child.err;
        EXPECT_NE(lines[0].find("not found; looked in the working directory, "), std::string::npos)
            << lines[0];
        EXPECT_NE(lines[0].find((work_ / "bin").string()), std::string::npos) << "beside the program";
    }
}

TEST_F(ProgramFailure, WithoutAnAudioDeviceItPlaysSilentlySaysSoOnceAndQuitsCleanly) {
    Child child(MD_MUSICDISK, work_, environment("no-such-driver"));
    ASSERT_TRUE(child.waitForError(kNoAudioDevice, 1, 30)) << child.err;
    child.runFor(1.0);
    const Child::Exit exit = child.quit();
    EXPECT_TRUE(exit.exited) << child.err;
    EXPECT_EQ(exit.code, 0);
    EXPECT_EQ(child.out, "");
    const std::vector<std::string> lines = child.errorLinesWith(kNoAudioDevice);
    ASSERT_EQ(lines.size(), 1u) << child.err;
    EXPECT_NE(lines[0].find("no-such-driver"), std::string::npos) << "with SDL's reason: " << lines[0];
    EXPECT_NE(lines[0].find("plays silently"), std::string::npos) << lines[0];
    EXPECT_EQ(child.errorLinesWith("Font file").size(), 0u) << "the fonts are beside the program";
}

// Both at once, through the fifteen seconds of the intro into the main screen, whose first song is the
// second one taken up: the missing device is reported once for both songs, and the drum is drawn with the
// empty labels that stand in for text without a font.
TEST_F(ProgramFailure, WithoutFontsOrAudioDeviceItReachesTheMainScreen) {
    const fs::path program = fontlessCopy();
    if (program.empty()) GTEST_SKIP() << "an installed copy's fonts are in " << MD_INSTALLED_DATA_DIR;
    Child child(program, work_, environment("no-such-driver"));
    ASSERT_TRUE(child.waitForError(kLoadLine, 2, 60)) << child.err;
    child.runFor(1.0);
    const Child::Exit exit = child.quit();
    EXPECT_TRUE(exit.exited) << child.err;
    EXPECT_EQ(exit.code, 0);
    EXPECT_EQ(child.out, "");
    EXPECT_EQ(child.errorLinesWith(kNoAudioDevice).size(), 1u) << child.err;
    EXPECT_EQ(child.errorLinesWith("Font file").size(), 2u) << child.err;
}
#endif

} // namespace
} // namespace md
