#include "app/song_list.h"

#include <algorithm>
#include <cmath>

namespace md {

namespace {
constexpr float kOneOver480 = 0.0020833334f;
constexpr float kApproachRate = 0.1f; // of the remaining distance, per hundredth of a second
constexpr float kHundredthsPerSecond = 100.0f;
// Rows handed over in one scroll step at most: a turn of a hundred radians in one frame. Anything further is
// handed over in the frames after.
constexpr int kMaxHandOvers = 320;
// Rows drawn at most: ten, and an eleventh of no height when the offset is 0.
constexpr int kMaxRowsDrawn = 11;
} // namespace

SDL_Rect selectionBand(int surfaceHeight, int screenWidth, int screenHeight) {
    return SDL_Rect{
        0,
        static_cast<int>(static_cast<float>(surfaceHeight / 2) -
                         static_cast<float>(screenHeight * 20) * kOneOver480),
        screenWidth,
        static_cast<int>(static_cast<float>(screenHeight * 40) * kOneOver480),
    };
}

void drawSelectionBand(SDL_Surface* surface, int screenWidth, int screenHeight) {
    const SDL_Rect band = selectionBand(surface->h, screenWidth, screenHeight);
    SDL_FillRect(surface, &band, kBandColour);
}

int drawSongRows(const ListState& list, const Layout& layout, int screenWidth, SDL_Surface* surface,
                 SongRows& rows) {
    const int count = rows.count();
    if (count <= 0) return 0;
    const int listLeft = (screenWidth - layout.listWidth) / 2;
    const float middle = static_cast<float>(surface->h / 2);
    float a = list.listOffset;
    int r = list.listTop;
    int drawn = 0;
    while (a < kDrumHalfTurn && drawn < kMaxRowsDrawn) {
        r %= count;
        const int y = static_cast<int>(middle - std::cos(a) * static_cast<float>(layout.drumRadius));
        rows.drawRow(r, listLeft, y, std::sin(a), surface, layout.listWidth);
        ++drawn;
        a = a + kRowStep;
        r = r + 1;
    }
    return drawn;
}

void scrollStep(ListState& list, float dt, int count) {
    const float v = std::max(
        std::fabs((list.listOffset - list.listTarget) * kApproachRate) * dt * kHundredthsPerSecond, dt);
    if (list.listTarget > list.listOffset) {
        list.listOffset = std::min(list.listOffset + v, list.listTarget);
        // A fast turn (many presses, a big wheel step, a slow frame) can carry the drum past more than one
        // row in a step: every row passed is handed over, so the offset stays within one row step.
        for (int n = 0; n < kMaxHandOvers && list.listOffset > kRowStep; ++n) {
            list.listOffset -= kRowStep;
            list.listTarget -= kRowStep;
            list.listTop -= 1;
            if (list.listTop < 0) list.listTop += count;
        }
    } else if (list.listOffset > list.listTarget) {
        list.listOffset = std::max(list.listOffset - v, list.listTarget);
        for (int n = 0; n < kMaxHandOvers && list.listOffset < 0.0f; ++n) {
            list.listOffset += kRowStep;
            list.listTarget += kRowStep;
            list.listTop += 1;
            if (list.listTop >= count) list.listTop -= count;
        }
    }
}

void drawListShade(SDL_Surface* surface, SDL_Surface* shade, PrescaledImage& stretched, const Layout& layout,
                   int screenWidth, int screenHeight) {
    stretched.draw(shade, surface,
                   {0, screenHeight / 2 - layout.drumRadius, screenWidth, layout.shadeHeight});
}

ClickZone clickZoneAt(int x) {
    if (x < kExportZoneLeft) return ClickZone::None;
    if (x <= kExportZoneRight) return ClickZone::Export;
    if (x <= kSelectZoneRight) return ClickZone::Select;
    return ClickZone::None;
}

bool handleListEvent(const SDL_Event& event, ListState& list, SongRows& rows, int screenHeight,
                     const MouseState& mouse) {
    switch (event.type) {
    case SDL_QUIT:
        return true;
    case SDL_MOUSEWHEEL:
        list.listTarget += static_cast<float>(event.wheel.y) * kRowStep;
        return false;
    case SDL_KEYDOWN:
        switch (event.key.keysym.sym) {
        case SDLK_ESCAPE:
            return true;
        case SDLK_UP:
            list.listTarget += kRowStep;
            break;
        case SDLK_DOWN:
            list.listTarget -= kRowStep;
            break;
        case SDLK_RETURN:
        case SDLK_SPACE:
            rows.selectAt(screenHeight / 2);
            break;
        default:
            break;
        }
        return false;
    case SDL_MOUSEBUTTONDOWN: {
        const SDL_Point at = mouse();
        switch (clickZoneAt(at.x)) {
        case ClickZone::Export:
            rows.exportSongAt(at.y);
            break;
        case ClickZone::Select:
            rows.selectAt(at.y);
            break;
        case ClickZone::None:
            break;
        }
        return false;
    }
    default:
        return false;
    }
}

} // namespace md
