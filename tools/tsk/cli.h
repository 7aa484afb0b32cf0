// Shared helpers of the tsk subcommands: argument parsing, reading files, writing output files atomically
// and reporting errors the same way everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tsk {

// Exit status of every failure: bad input, unreadable or unwritable files, wrong arguments.
constexpr int kExitFailure = 2;

// Prints "tsk: WHAT: REASON" to standard error and returns kExitFailure.
int fail(const std::string& what, const std::string& reason);
// Prints "tsk: MESSAGE" to standard error and returns kExitFailure.
int fail(const std::string& message);

// Reads a whole file ("-" reads standard input). On failure *reason is the system's reason, or "the file is
// empty": no command takes an empty file.
bool readFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* reason);

// Writes a whole file ("-" writes standard output). The data goes to a temporary file in the same directory
// which is renamed over `path` once complete, so `path` is never left holding part of the output.
bool writeFileAtomic(const std::string& path, const void* data, std::size_t size, std::string* reason);

// The arguments of a subcommand: its positional arguments, "-o FILE" / "--output FILE" / "--output=FILE" and
// "-h" / "--help". Anything else starting with '-' (other than "-" itself) is an error.
struct Arguments {
    std::vector<std::string> positional;
    std::string output;
    bool hasOutput = false;
    bool help = false;
};

// Parses the subcommand's arguments (argv[0] is the subcommand's name). On a usage error prints it with the
// usage text and returns false; the caller then returns kExitFailure.
bool parseArguments(int argc, char** argv, bool acceptsOutput, const char* usage, Arguments& args);

// Checks the number of positional arguments, printing the usage text when it is wrong.
bool expectPositional(const Arguments& args, std::size_t count, const char* usage);

// "song.txt" -> "song.tsk": the path with its extension replaced (or added).
std::string replaceExtension(const std::string& path, const std::string& extension);

} // namespace tsk
