// Rendering allocates nothing.
#include <gtest/gtest.h>

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "engine_fixture.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t n) {
    ++allocations;
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace md {
namespace {

TEST(Allocation, RenderingABusyEngineAllocatesNothing) {
    test::EngineFixture f;
    Engine& e = *f.engine;
    for (int n = 1; n <= 4; ++n) {
        Instrument& ins = f.bare.instrument(n);
        ins.header[12] = 200;  // resonance
        ins.header[15] = 0x10; // low-pass
        ins.header[16] = 0xF8; // full reverb send
        ins.header[18] = 0x43; // echo
    }
    e.start();
    e.running = 0;
    for (int t = 0; t < 4; ++t)
        for (int k = 0; k < 16; ++k) e.startVoice(e.tracks[t], t + 1, -1, 0).oscMask = 0xF;
    std::vector<int16_t> out(2 * renderChunkFrames);
    const long before = allocations.load();
    e.renderChunk(out.data());
    EXPECT_EQ(allocations.load(), before);
}

} // namespace
} // namespace md
