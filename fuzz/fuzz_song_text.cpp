// The text song compiler on any text, and the decompiler on what it writes.
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    md::fuzz::checkSongText(data, size);
    return 0;
}
