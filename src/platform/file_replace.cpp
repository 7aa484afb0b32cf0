#include "platform/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace md {

bool writeAll(int fd, const void* data, std::size_t size, std::string* reason) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            *reason = std::strerror(errno);
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool replaceFile(const std::string& path, std::initializer_list<ByteRange> pieces, const char* tag,
                 std::string* reason, const TemporaryCreator& create) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temporary = folder + "." + base + tag + "-XXXXXX";
    const int fd = create ? create(temporary) : ::mkstemp(temporary.data());
    if (fd < 0) {
        *reason = std::strerror(errno);
        return false;
    }
    // The temporary file is private (0600); the result gets the mode of the file it replaces, or that of a
    // new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    struct stat existing {};
    const mode_t mode = ::stat(path.c_str(), &existing) == 0 ? existing.st_mode & 07777 : 0666 & ~mask;
    bool ok = true;
    for (const ByteRange& piece : pieces) ok = ok && writeAll(fd, piece.data, piece.size, reason);
    if (ok && ::fchmod(fd, mode) != 0) {
        *reason = std::strerror(errno);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        *reason = std::strerror(errno);
        ok = false;
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        *reason = std::strerror(errno);
        ok = false;
    }
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}

} // namespace md
