#include "app/intro.h"

#include <gtest/gtest.h>

namespace md {
namespace {

struct Expected {
    int32_t d;
    int layer; // 1..5
    bool drawn;
    int alpha;
};

// The boundaries of every layer and one point inside each fade. -1: alpha not checked (layer not drawn).
const Expected kSchedule[] = {
    {0, 1, true, 255},     {1896, 1, true, 255},  {1897, 1, true, 255},  {2646, 1, true, 128},
    {3395, 1, true, 1},    {3396, 1, false, -1},  {5000, 2, true, 255},  {5750, 2, true, 128},
    {6499, 2, true, 1},    {6500, 2, false, -1},  {8000, 3, true, 255},  {8750, 3, true, 128},
    {9499, 3, true, 1},    {9500, 3, false, -1},  {9600, 4, false, -1},  {9601, 4, true, 0},
    {10100, 4, true, 127}, {10599, 4, true, 254}, {10600, 4, true, 255}, {15000, 4, true, 255},
    {12138, 5, false, -1}, {12139, 5, true, 0},   {12888, 5, true, 127}, {13637, 5, true, 254},
    {13638, 5, true, 255}, {20000, 5, true, 255}, {0, 4, false, -1},     {0, 5, false, -1},
    {3396, 2, true, 255},  {6500, 3, true, 255},  {9500, 4, false, -1},  {12138, 4, true, 255},
};

TEST(IntroSchedule, LayersFollowTheElapsedTime) {
    for (const Expected& e : kSchedule) {
        const IntroLayer layer = introLayersAt(e.d)[e.layer - 1];
        SCOPED_TRACE("D = " + std::to_string(e.d) + ", layer " + std::to_string(e.layer));
        EXPECT_EQ(layer.drawn, e.drawn);
        if (e.drawn) {
            EXPECT_EQ(layer.alpha, e.alpha);
        }
    }
}

TEST(IntroSchedule, AtEachBoundaryExactlyTheExpectedLayersShow) {
    // D: which of the five layers are drawn.
    const std::pair<int32_t, std::array<bool, 5>> boundaries[] = {
        {1896, {true, true, true, false, false}},    {3396, {false, true, true, false, false}},
        {5000, {false, true, true, false, false}},   {6500, {false, false, true, false, false}},
        {8000, {false, false, true, false, false}},  {9500, {false, false, false, false, false}},
        {9600, {false, false, false, false, false}}, {10600, {false, false, false, true, false}},
        {12138, {false, false, false, true, false}}, {13638, {false, false, false, true, true}},
    };
    for (const auto& [d, drawn] : boundaries) {
        const auto layers = introLayersAt(d);
        for (int i = 0; i < kIntroLayerCount; ++i) {
            EXPECT_EQ(layers[i].drawn, drawn[i]) << "D = " << d << ", layer " << i + 1;
            if (layers[i].drawn) {
                EXPECT_GE(layers[i].alpha, 0);
                EXPECT_LE(layers[i].alpha, 255);
            }
        }
    }
}

TEST(IntroSchedule, AlphaNeverLeavesItsRangeAndMovesOneWay) {
    auto previous = introLayersAt(0);
    for (int32_t d = 1; d <= 16000; ++d) {
        const auto layers = introLayersAt(d);
        for (int i = 0; i < kIntroLayerCount; ++i) {
            if (!layers[i].drawn) continue;
            ASSERT_GE(layers[i].alpha, 0) << d;
            ASSERT_LE(layers[i].alpha, 255) << d;
            if (!previous[i].drawn) continue;
            if (i < 3)
                ASSERT_LE(layers[i].alpha, previous[i].alpha) << "covers only fade out, D = " << d;
            else
                ASSERT_GE(layers[i].alpha, previous[i].alpha) << "whites only fade in, D = " << d;
        }
        previous = layers;
    }
}

} // namespace
} // namespace md
