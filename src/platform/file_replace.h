// Writing a file so that it is either whole or not there: the bytes go to a private temporary file beside the
// target, which is renamed over the target only once everything is written and closed.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>

namespace md {

struct ByteRange {
    const void* data;
    std::size_t size;
};

// Writes all of `size` bytes to `fd`, going on after interruptions; on failure sets `reason` (strerror).
bool writeAll(int fd, const void* data, std::size_t size, std::string* reason);

// Creates the temporary file from a mkstemp pattern and returns its descriptor, or -1 with errno set.
using TemporaryCreator = std::function<int(std::string& pattern)>;

// Writes `pieces` one after the other into the file at `path`, through a temporary ".NAME<tag>-XXXXXX" in
// the same folder. The result keeps the permissions of the file it replaces, or gets those of a new file. On
// failure returns false with the reason, and neither a temporary file nor a changed target is left.
bool replaceFile(const std::string& path, std::initializer_list<ByteRange> pieces, const char* tag,
                 std::string* reason, const TemporaryCreator& create = {});

} // namespace md
