// Data files that travel beside the program rather than inside it (the fonts). A file is looked for in the
// working directory first, then beside the executable, then in the data folder of an installed copy: first
// where it lies relative to the executable (share/musicdisk beside bin/), then where the build meant to
// install it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace md {

// The folders searched, in order; the working directory is the empty string.
std::vector<std::string> dataFileFolders();

// The path of the first folder that holds `name` as a regular file, or an empty string.
std::string findDataFileIn(std::string_view name, const std::vector<std::string>& folders);

// findDataFileIn over dataFileFolders().
std::string findDataFile(std::string_view name);

// The folders of dataFileFolders() as one line of text, for messages.
std::string describeDataFileFolders();

} // namespace md
