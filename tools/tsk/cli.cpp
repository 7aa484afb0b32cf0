#include "cli.h"

#include "platform/file_replace.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace tsk {

int fail(const std::string& what, const std::string& reason) {
    std::cerr << "tsk: " << what << ": " << reason << '\n';
    return kExitFailure;
}

int fail(const std::string& message) {
    std::cerr << "tsk: " << message << '\n';
    return kExitFailure;
}

bool readFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* reason) {
    const bool standardInput = path == "-";
    const int fd = standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *reason = std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        if (!standardInput) ::close(fd);
        *reason = std::strerror(EISDIR);
        return false;
    }
    std::vector<uint8_t> data;
    uint8_t buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *reason = std::strerror(errno);
            if (!standardInput) ::close(fd);
            return false;
        }
        if (n == 0) break;
        data.insert(data.end(), buffer, buffer + n);
    }
    if (!standardInput) ::close(fd);
    if (data.empty()) {
        *reason = "the file is empty";
        return false;
    }
    bytes = std::move(data);
    return true;
}

namespace {

// The temporary file being written, removed by the handler of a signal that ends the program meanwhile (an
// interrupted tsk leaves nothing behind). Set while those signals are blocked.
char pendingTemporary[4096];
volatile std::sig_atomic_t havePendingTemporary = 0;
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void removeTemporaryAndDie(int signal) {
    if (havePendingTemporary) ::unlink(pendingTemporary);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// While alive: the signals that end the program (those not ignored) remove the temporary file first, and a
// write past the file size limit fails with EFBIG instead of killing the program.
class TemporaryGuard {
  public:
    TemporaryGuard() {
        struct sigaction action {};
        action.sa_handler = removeTemporaryAndDie;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
            ::sigaction(kEndingSignals[i], nullptr, &previous_[i]);
            if (previous_[i].sa_handler != SIG_IGN) ::sigaction(kEndingSignals[i], &action, nullptr);
        }
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, &previousFileSize_);
    }
    ~TemporaryGuard() {
        havePendingTemporary = 0;
        for (std::size_t i = 0; i < std::size(kEndingSignals); ++i)
            ::sigaction(kEndingSignals[i], &previous_[i], nullptr);
        ::sigaction(SIGXFSZ, &previousFileSize_, nullptr);
    }

    // Creates the temporary file from a mkstemp pattern and records its name for the handler; the ending
    // signals wait meanwhile, so that no file exists unrecorded.
    int create(std::string& pattern) {
        sigset_t ending, saved;
        sigemptyset(&ending);
        for (int signal : kEndingSignals) sigaddset(&ending, signal);
        ::sigprocmask(SIG_BLOCK, &ending, &saved);
        const int fd = ::mkstemp(pattern.data());
        const int error = errno;
        if (fd >= 0 && pattern.size() < sizeof pendingTemporary) {
            std::memcpy(pendingTemporary, pattern.c_str(), pattern.size() + 1);
            havePendingTemporary = 1;
        }
        ::sigprocmask(SIG_SETMASK, &saved, nullptr);
        errno = error;
        return fd;
    }
    TemporaryGuard(const TemporaryGuard&) = delete;
    TemporaryGuard& operator=(const TemporaryGuard&) = delete;

  private:
    struct sigaction previous_[std::size(kEndingSignals)]{};
    struct sigaction previousFileSize_ {};
};

} // namespace

bool writeFileAtomic(const std::string& path, const void* data, std::size_t size, std::string* reason) {
    if (path == "-") {
        std::cout.flush();
        return md::writeAll(STDOUT_FILENO, data, size, reason);
    }
    TemporaryGuard guard;
    return md::replaceFile(path, {{data, size}}, ".tmp", reason,
                           [&guard](std::string& pattern) { return guard.create(pattern); });
}

bool parseArguments(int argc, char** argv, bool acceptsOutput, const char* usage, Arguments& args) {
    auto usageError = [&](const std::string& message) {
        std::cerr << "tsk " << argv[0] << ": " << message << "\n" << usage;
        return false;
    };
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (optionsDone || a == "-" || a.empty() || a[0] != '-') {
            args.positional.push_back(a);
        } else if (a == "--") {
            optionsDone = true;
        } else if (a == "-h" || a == "--help") {
            args.help = true;
        } else if (acceptsOutput && (a == "-o" || a == "--output")) {
            if (i + 1 >= argc) return usageError(a + " needs a file name");
            if (args.hasOutput) return usageError("the output is given twice");
            args.output = argv[++i];
            args.hasOutput = true;
        } else if (acceptsOutput && a.rfind("--output=", 0) == 0) {
            if (args.hasOutput) return usageError("the output is given twice");
            args.output = a.substr(9);
            args.hasOutput = true;
        } else {
            return usageError("unknown option '" + a + "'");
        }
    }
    if (args.hasOutput && args.output.empty()) return usageError("the output file name is empty");
    return true;
}

bool expectPositional(const Arguments& args, std::size_t count, const char* usage) {
    if (args.positional.size() == count) return true;
    std::cerr << "tsk: " << (args.positional.size() < count ? "missing file name" : "too many file names")
              << "\n"
              << usage;
    return false;
}

std::string replaceExtension(const std::string& path, const std::string& extension) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1))
        return path.substr(0, dot) + extension;
    return path + extension;
}

} // namespace tsk
