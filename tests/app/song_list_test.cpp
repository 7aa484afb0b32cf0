// The song drum: its band, rows, motion, shade and input, with a catalogue of 50 rows made here that records
// each row's span as the real rows do (a title label 30 pixels high, squashed by the row's scale).
#include "app/song_list.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace md {
namespace {

constexpr int kLabelHeight = 30;

struct DrawnRow {
    int index, x, y;
    float scale;
    int width;
};

class FakeRows : public SongRows {
  public:
    explicit FakeRows(int n = 50) : spans(n) {}
    int count() const override { return static_cast<int>(spans.size()); }
    void drawRow(int index, int x, int y, float scale, SDL_Surface*, int width) override {
        drawn.push_back({index, x, y, scale, width});
        spans[index] = {y, static_cast<int>(static_cast<float>(kLabelHeight) * scale)};
    }
    void selectAt(int y) override {
        selectCalls.push_back(y);
        const int hit = rowAt(y);
        if (hit >= 0) selected = hit;
    }
    void exportSongAt(int y) override { exportCalls.push_back(y); }
    int rowAt(int y) const {
        for (int i = 0; i < count(); ++i)
            if (spans[i].top <= y && y <= spans[i].top + spans[i].height) return i;
        return -1;
    }

    struct Span {
        int top = 0, height = 0;
    };
    std::vector<Span> spans;
    std::vector<DrawnRow> drawn;
    std::vector<int> selectCalls;
    std::vector<int> exportCalls;
    int selected = -1;
};

Layout screenLayout() {
    Layout layout;
    layout.drumRadius = 135;
    layout.listWidth = 576;
    layout.logoCentreY = 75;
    layout.shadeHeight = 276;
    return layout;
}

// The drum as the main screen begins, turned by frames of `dt` until it rests.
ListState settled(ListState list, float dt = 0.016f, int count = 50) {
    for (int i = 0; i < 2000; ++i) scrollStep(list, dt, count);
    return list;
}

class SongList : public ::testing::Test {
  protected:
    void SetUp() override {
        screen_ = SDL_CreateRGBSurfaceWithFormat(0, 960, 540, 32, SDL_PIXELFORMAT_RGB888);
        SDL_FillRect(screen_, nullptr, 0);
    }
    void TearDown() override { SDL_FreeSurface(screen_); }
    uint32_t pixel(int x, int y) const {
        uint32_t value;
        std::memcpy(&value, static_cast<Uint8*>(screen_->pixels) + y * screen_->pitch + x * 4, 4);
        return value & 0xFFFFFF;
    }
    int drawRows(const ListState& list) {
        rows_.drawn.clear();
        return drawSongRows(list, screenLayout(), 960, screen_, rows_);
    }
    bool handle(const SDL_Event& event, ListState& list, SDL_Point mouse = {0, 0}) {
        return handleListEvent(event, list, rows_, 540, [mouse] { return mouse; });
    }
    static SDL_Event key(SDL_Keycode sym) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.keysym.sym = sym;
        return event;
    }
    static SDL_Event click(Uint8 button = SDL_BUTTON_LEFT) {
        SDL_Event event{};
        event.type = SDL_MOUSEBUTTONDOWN;
        event.button.button = button;
        event.button.x = 9999; // the position comes from the mouse state, not from the event
        event.button.y = 9999;
        return event;
    }

    SDL_Surface* screen_ = nullptr;
    FakeRows rows_;
};

TEST_F(SongList, AtRestAfterStartUpEntry13IsInTheBand) {
    const ListState list = settled({kInitialListTarget, 0.0f, 0});
    EXPECT_EQ(list.listTop, 9);
    EXPECT_NEAR(list.listOffset, 0.1570795f, 2e-6f);
    EXPECT_EQ(list.listOffset, list.listTarget);

    EXPECT_EQ(drawRows(list), 10);
    ASSERT_EQ(rows_.drawn[4].index, 13);
    const SDL_Rect band = selectionBand(540, 960, 540);
    EXPECT_GE(rows_.drawn[4].y, band.y);
    EXPECT_EQ(rows_.rowAt(270), 13) << "the middle line falls in the band's row";
    // The rows stand symmetric about the middle, each at listLeft, listWidth wide.
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(rows_.drawn[i].index, 9 + i);
        EXPECT_EQ(rows_.drawn[i].x, 192);
        EXPECT_EQ(rows_.drawn[i].width, 576);
        EXPECT_NEAR(rows_.drawn[i].scale, rows_.drawn[9 - i].scale, 1e-5f);
        EXPECT_NEAR(rows_.drawn[i].y - 270, -(rows_.drawn[9 - i].y - 270), 1);
    }
}

TEST_F(SongList, BandIsDarkPurpleAcrossTheMiddle) {
    const SDL_Rect band = selectionBand(540, 960, 540);
    EXPECT_EQ(band.x, 0);
    EXPECT_EQ(band.y, 247);
    EXPECT_EQ(band.w, 960);
    EXPECT_EQ(band.h, 45);
    drawSelectionBand(screen_, 960, 540);
    for (int x : {0, 480, 959}) {
        EXPECT_EQ(pixel(x, 247), kBandColour);
        EXPECT_EQ(pixel(x, 291), kBandColour);
        EXPECT_EQ(pixel(x, 246), 0u);
        EXPECT_EQ(pixel(x, 292), 0u);
    }
}

TEST_F(SongList, TenRowsOrElevenWhenTheOffsetIsZero) {
    EXPECT_EQ(drawRows({0.0f, 0.0f, 0}), 11);
    EXPECT_EQ(rows_.drawn.back().index, 10);
    EXPECT_EQ(static_cast<int>(kLabelHeight * rows_.drawn.back().scale), 0) << "the eleventh has no height";
    EXPECT_EQ(rows_.drawn.back().y, 270 + 135) << "at the drum's bottom edge";
    EXPECT_EQ(rows_.drawn.front().y, 270 - 135) << "the first at its top edge";
    EXPECT_EQ(drawRows({0.0001f, 0.0001f, 0}), 10);
    EXPECT_EQ(drawRows({kRowStep, kRowStep, 0}), 10);
}

TEST_F(SongList, ListWrapsAroundBothWays) {
    drawRows({0.1f, 0.1f, 45});
    ASSERT_EQ(rows_.drawn.size(), 10u);
    EXPECT_EQ(rows_.drawn[4].index, 49);
    EXPECT_EQ(rows_.drawn[5].index, 0) << "entry 0 follows entry 49";

    // Upward past the last entry: the next one comes in at the bottom.
    ListState list{0.1f, 0.1f, 49};
    list.listTarget -= kRowStep;
    list = settled(list);
    EXPECT_EQ(list.listTop, 0);
    EXPECT_NEAR(list.listOffset, 0.1f, 1e-5f);
    // Downward past the first: entry 49 comes in at the top.
    list.listTarget += 2 * kRowStep;
    list = settled(list);
    EXPECT_EQ(list.listTop, 48);
}

TEST_F(SongList, FivePressesOfDownMoveTheTargetFiveRowsAndTheDrumFollowsSmoothly) {
    ListState list{0.1570795f, 0.1570795f, 9};
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(handle(key(SDLK_DOWN), list));
    EXPECT_NEAR(list.listTarget, 0.1570795f - 5 * kRowStep, 1e-5f);

    // Ten times the remaining distance per second: the first 16 ms step covers 16 % of it.
    const float remaining = list.listOffset - list.listTarget;
    ListState step = list;
    scrollStep(step, 0.016f, 50);
    EXPECT_NEAR((list.listOffset - step.listOffset) + (step.listTop - list.listTop) * kRowStep,
                remaining * 0.16f, 1e-4f);
    int frames = 0;
    float lastSpeed = 1e9f;
    while (step.listOffset != step.listTarget && frames < 1000) {
        const ListState before = step;
        scrollStep(step, 0.016f, 50);
        const float moved =
            (before.listOffset - step.listOffset) + (step.listTop - before.listTop) * kRowStep;
        EXPECT_GT(moved, 0.0f);
        EXPECT_LE(moved, lastSpeed + 1e-6f) << "it slows down as it arrives";
        lastSpeed = moved;
        ++frames;
    }
    EXPECT_EQ(step.listTop, 14) << "five rows on";
    EXPECT_NEAR(step.listOffset, 0.1570795f, 1e-5f);
    EXPECT_GT(frames, 10);
    EXPECT_LT(frames, 200);
}

TEST_F(SongList, FastTurnsHandOverEveryRowPassedAndTheDrumStillComesToRest) {
    // Fifty quick presses, a wheel flick of twelve notches, and a slow frame: each step may pass several
    // rows, and the drum must still end a whole number of rows on, resting as before.
    struct Case {
        int rows;
        float dt;
    };
    for (Case c : {Case{-50, 0.016f}, Case{12, 0.016f}, Case{-3, 0.25f}, Case{7, 0.1f}}) {
        ListState list{0.1570795f, 0.1570795f, 9};
        list.listTarget -= static_cast<float>(c.rows) * kRowStep;
        for (int frame = 0; frame < 500; ++frame) {
            scrollStep(list, c.dt, 50);
            ASSERT_GE(list.listOffset, 0.0f) << c.rows << " rows, frame " << frame;
            ASSERT_LE(list.listOffset, kRowStep) << c.rows << " rows, frame " << frame;
            ASSERT_LE(drawRows(list), 11);
        }
        EXPECT_EQ(list.listTop, ((9 + c.rows) % 50 + 50) % 50) << c.rows << " rows";
        EXPECT_NEAR(list.listOffset, 0.1570795f, 1e-4f) << c.rows << " rows";
        EXPECT_EQ(list.listOffset, list.listTarget);
    }
}

TEST_F(SongList, NeverSlowerThanOneRadianPerSecond) {
    ListState list{0.2f, 0.2000001f, 3};
    scrollStep(list, 0.01f, 50);
    EXPECT_EQ(list.listOffset, list.listTarget);
    list = {0.3f, 0.1f, 3};
    scrollStep(list, 0.001f, 50); // distance 0.2: 0.2 x 0.1 x 0.1 = 0.002 per ms, above the floor of 0.001
    EXPECT_NEAR(list.listOffset, 0.102f, 1e-6f);
    list = {0.1005f, 0.1f, 3};
    scrollStep(list, 0.0001f, 50);
    EXPECT_NEAR(list.listOffset, 0.1001f, 1e-7f) << "the floor: dt radians per frame";
}

TEST_F(SongList, WheelStepOfMinusThreeTurnsLikeThreePressesOfDown) {
    ListState byWheel{0.1570795f, 0.1570795f, 9};
    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.y = -3;
    wheel.wheel.direction = SDL_MOUSEWHEEL_FLIPPED; // not consulted
    EXPECT_FALSE(handle(wheel, byWheel));
    ListState byKeys{0.1570795f, 0.1570795f, 9};
    for (int i = 0; i < 3; ++i) handle(key(SDLK_DOWN), byKeys);
    EXPECT_NEAR(byWheel.listTarget, byKeys.listTarget, 1e-6f);
    EXPECT_EQ(settled(byWheel).listTop, 12);

    wheel.wheel.y = 2;
    handle(wheel, byWheel);
    handle(key(SDLK_UP), byKeys);
    handle(key(SDLK_UP), byKeys);
    handle(key(SDLK_DOWN), byKeys);
    handle(key(SDLK_DOWN), byKeys);
    handle(key(SDLK_DOWN), byKeys);
    EXPECT_NEAR(byWheel.listTarget, 0.1570795f - kRowStep, 1e-5f);
    EXPECT_NEAR(byKeys.listTarget, 0.1570795f - 4 * kRowStep, 1e-5f);
}

TEST_F(SongList, ClickZonesAtTheirBoundaries) {
    EXPECT_EQ(clickZoneAt(154), ClickZone::None);
    EXPECT_EQ(clickZoneAt(155), ClickZone::Export);
    EXPECT_EQ(clickZoneAt(200), ClickZone::Export);
    EXPECT_EQ(clickZoneAt(201), ClickZone::Select);
    EXPECT_EQ(clickZoneAt(773), ClickZone::Select);
    EXPECT_EQ(clickZoneAt(774), ClickZone::None);
    EXPECT_EQ(clickZoneAt(-5), ClickZone::None);

    ListState list = settled({kInitialListTarget, 0.0f, 0});
    drawRows(list);
    const int y = rows_.drawn[2].y + 3; // inside entry 11's row
    for (int x : {154, 774, 960}) handle(click(), list, {x, y});
    EXPECT_TRUE(rows_.selectCalls.empty());
    EXPECT_TRUE(rows_.exportCalls.empty());
    for (int x : {155, 200}) handle(click(), list, {x, y});
    EXPECT_EQ(rows_.exportCalls, (std::vector<int>{y, y}));
    EXPECT_TRUE(rows_.selectCalls.empty());
    handle(click(SDL_BUTTON_RIGHT), list, {201, y});
    EXPECT_EQ(rows_.selected, 11);
    handle(click(SDL_BUTTON_MIDDLE), list, {773, rows_.drawn[6].y + 3});
    EXPECT_EQ(rows_.selected, 15);
    EXPECT_EQ(rows_.selectCalls.size(), 2u);

    // A height no recorded span contains selects nothing.
    handle(click(), list, {480, 530});
    EXPECT_EQ(rows_.selected, 15);
    // A click does not move the drum.
    EXPECT_EQ(list.listTarget, list.listOffset);
}

TEST_F(SongList, ReturnAndSpacePickTheRowInTheBand) {
    ListState list = settled({kInitialListTarget, 0.0f, 0});
    drawRows(list);
    EXPECT_FALSE(handle(key(SDLK_RETURN), list));
    EXPECT_EQ(rows_.selectCalls, std::vector<int>{270});
    EXPECT_EQ(rows_.selected, 13);

    handle(key(SDLK_DOWN), list);
    list = settled(list);
    drawRows(list);
    handle(key(SDLK_SPACE), list);
    EXPECT_EQ(rows_.selected, 14);
    EXPECT_EQ(list.listTop, 10) << "selecting does not move the drum";
}

TEST_F(SongList, EscapeAndWindowCloseQuitOtherEventsDoNothing) {
    ListState list{0.5f, 0.5f, 7};
    EXPECT_TRUE(handle(key(SDLK_ESCAPE), list));
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EXPECT_TRUE(handle(quit, list));
    EXPECT_FALSE(handle(key(SDLK_a), list));
    EXPECT_FALSE(handle(key(SDLK_LEFT), list));
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    EXPECT_FALSE(handle(motion, list));
    EXPECT_EQ(list.listTarget, 0.5f);
    EXPECT_TRUE(rows_.selectCalls.empty());
}

TEST_F(SongList, ShadeCoversTheDrum) {
    SDL_Surface* shade = SDL_CreateRGBSurfaceWithFormat(0, 16, 150, 32, SDL_PIXELFORMAT_ARGB8888);
    SDL_FillRect(shade, nullptr, SDL_MapRGBA(shade->format, 255, 255, 255, 255));
    PrescaledImage stretched;
    drawListShade(screen_, shade, stretched, screenLayout(), 960, 540);
    EXPECT_EQ(pixel(0, 135), 0xFFFFFFu);
    EXPECT_EQ(pixel(959, 410), 0xFFFFFFu);
    EXPECT_EQ(pixel(0, 134), 0u);
    EXPECT_EQ(pixel(0, 411), 0u);
    SDL_FreeSurface(shade);
}

} // namespace
} // namespace md
