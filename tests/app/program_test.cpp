// The real musicdisk executable, started headless as a separate process.
#include "platform/embedded_resources.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace md {
namespace {

struct Outcome {
    bool exited = false;
    int code = -1;
    std::string out;
};

// Starts the program with these arguments and video driver; after `quitAfterMs` (if not negative) sends the
// interrupt that SDL turns into a quit event. Waits at most 20 s for the end.
Outcome runProgram(std::vector<std::string> args, const char* videoDriver, int quitAfterMs) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        setenv("SDL_VIDEODRIVER", videoDriver, 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::vector<char*> argv{const_cast<char*>(MD_MUSICDISK)};
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(MD_MUSICDISK, argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    if (quitAfterMs >= 0) {
        usleep(static_cast<useconds_t>(quitAfterMs) * 1000);
        kill(pid, SIGTERM);
    }
    Outcome outcome;
    char buffer[256];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        outcome.out.append(buffer, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    for (int waited = 0; waited < 2000; ++waited) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            outcome.exited = WIFEXITED(status);
            outcome.code = outcome.exited ? WEXITSTATUS(status) : -1;
            return outcome;
        }
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return outcome;
}

class Program : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!findResource("PNG", 137)) GTEST_SKIP() << "the wobble sprite (PNG 137) is not drawn yet";
    }
};

TEST_F(Program, RunsHeadlessAndQuitsWithExitCodeZero) {
    Outcome outcome = runProgram({}, "dummy", 1500);
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.out, "");
}

TEST_F(Program, AcceptsTheFullscreenOptionAmongOthers) {
    Outcome outcome = runProgram({"extra", "-FULLSCREEN", "more"}, "dummy", 1500);
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.code, 0);
}

TEST(ProgramStartUp, ReportsAnUnusableVideoSystemOnStandardOutput) {
    Outcome outcome = runProgram({}, "no-such-video-driver", -1);
    EXPECT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.code, 1);
    EXPECT_EQ(outcome.out.rfind("SDL_Init Error: ", 0), 0u) << outcome.out;
}

} // namespace
} // namespace md
