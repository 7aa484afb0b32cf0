// The binary song reader, the decompiler and the compiler on any bytes.
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    md::fuzz::checkSongFile(data, size);
    return 0;
}
