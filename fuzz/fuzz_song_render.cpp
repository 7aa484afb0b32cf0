// The song reader followed by the measure and a few rendered control blocks.
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    md::fuzz::checkSongRender(data, size);
    return 0;
}
