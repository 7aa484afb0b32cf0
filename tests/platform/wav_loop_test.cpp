#include "platform/wav_loop.h"
#include "wav_test_image.h"

#include <gtest/gtest.h>

#include <vector>

namespace md {
namespace {

using test::leftOf;
using test::rightOf;
using test::WavImage;

std::vector<uint8_t> readBytes(WavLoop& loop, std::size_t bytes) {
    std::vector<uint8_t> out(bytes, 0xAA);
    loop.read(out.data(), bytes);
    return out;
}

TEST(WavLoop, PlaysTheDataChunkAndWrapsSeamlessly) {
    WavImage image(10, 10);
    image.writeFrames(0, 10);
    WavLoop loop;
    ASSERT_TRUE(loop.start(image.data(), image.size()));
    EXPECT_EQ(loop.loopBytes(), 40u);

    // 25 frames in reads of 7 frames and odd byte counts: frame k of the output is frame k mod 10.
    std::vector<uint8_t> out;
    for (std::size_t chunk : {28u, 13u, 3u, 56u}) {
        auto part = readBytes(loop, chunk);
        out.insert(out.end(), part.begin(), part.end());
    }
    ASSERT_EQ(out.size(), 100u);
    for (std::size_t k = 0; k < 25; ++k) {
        EXPECT_EQ(leftOf(&out[k * 4]), int16_t(k % 10 + 1)) << "frame " << k;
        EXPECT_EQ(rightOf(&out[k * 4]), int16_t(-int(k % 10 + 1))) << "frame " << k;
    }
    EXPECT_EQ(loop.position(), 20u);
}

TEST(WavLoop, HearsSamplesWrittenAfterTheStart) {
    WavImage image(8, 8);
    WavLoop loop;
    ASSERT_TRUE(loop.start(image.data(), image.size()));
    auto silent = readBytes(loop, 16); // frames 0..3, not yet written
    EXPECT_EQ(leftOf(&silent[0]), 0);
    image.writeFrames(0, 8);
    auto rest = readBytes(loop, 16); // frames 4..7, written after the start
    EXPECT_EQ(leftOf(&rest[0]), 5);
    EXPECT_EQ(leftOf(&rest[12]), 8);
    auto again = readBytes(loop, 4); // the loop comes round to frame 0, now written too
    EXPECT_EQ(leftOf(&again[0]), 1);
}

TEST(WavLoop, HeaderSizeIsReadOnceAtTheStart) {
    WavImage image(10, 4);
    image.writeFrames(0, 10);
    WavLoop loop;
    ASSERT_TRUE(loop.start(image.data(), image.size()));
    test::put32(image.bytes.data() + 40, 40); // a later header change does not alter what plays
    auto out = readBytes(loop, 20);
    EXPECT_EQ(leftOf(&out[16]), 1); // frame 4 of the output is frame 0 again
}

TEST(WavLoop, StopAndEmptyDataGiveSilence) {
    WavImage image(4, 4);
    image.writeFrames(0, 4);
    WavLoop loop;
    EXPECT_EQ(readBytes(loop, 8), std::vector<uint8_t>(8, 0)) << "never started";
    ASSERT_TRUE(loop.start(image.data(), image.size()));
    loop.stop();
    EXPECT_FALSE(loop.playing());
    EXPECT_EQ(readBytes(loop, 8), std::vector<uint8_t>(8, 0)) << "stopped";

    WavImage empty(4, 0);
    ASSERT_TRUE(loop.start(empty.data(), empty.size()));
    EXPECT_EQ(readBytes(loop, 8), std::vector<uint8_t>(8, 0)) << "zero data size";
}

TEST(WavLoop, NeverReadsPastTheImage) {
    // The header claims 100 frames, the image holds 6: the loop is cut to the 6 that exist.
    WavImage image(6, 100);
    image.writeFrames(0, 6);
    WavLoop loop;
    ASSERT_TRUE(loop.start(image.data(), image.size()));
    EXPECT_EQ(loop.loopBytes(), 24u);
    auto out = readBytes(loop, 28);
    EXPECT_EQ(leftOf(&out[24]), 1);

    // A data size that is not a whole number of frames loops over the whole frames only.
    WavImage odd(6, 0);
    odd.writeFrames(0, 6);
    test::put32(odd.bytes.data() + 40, 4 * 3 + 2);
    ASSERT_TRUE(loop.start(odd.data(), odd.size()));
    EXPECT_EQ(loop.loopBytes(), 12u);
}

TEST(WavLoop, RefusesOtherFormats) {
    WavLoop loop;
    EXPECT_FALSE(loop.start(nullptr, 100));
    WavImage image(4, 4);
    EXPECT_FALSE(loop.start(image.data(), 43)) << "shorter than a header";

    auto refused = [&](std::size_t offset, const char* bytes, std::size_t n) {
        WavImage bad(4, 4);
        std::memcpy(bad.bytes.data() + offset, bytes, n);
        return !loop.start(bad.data(), bad.size());
    };
    EXPECT_TRUE(refused(0, "RIFX", 4));
    EXPECT_TRUE(refused(8, "AVI ", 4));
    EXPECT_TRUE(refused(20, "\x03\x00", 2)) << "float samples";
    EXPECT_TRUE(refused(22, "\x01\x00", 2)) << "mono";
    EXPECT_TRUE(refused(24, "\x44\xAC\x00\x00", 4)) << "44100 Hz";
    EXPECT_TRUE(refused(34, "\x08\x00", 2)) << "8-bit";
    EXPECT_TRUE(refused(36, "LIST", 4)) << "another chunk before the data";
    EXPECT_FALSE(loop.playing());
}

} // namespace
} // namespace md
