#include "ui/scroll_text.h"

#include <algorithm>

namespace md {

const std::string_view kScrollMessage =
    "      welcome to the music disk by oru! fifty songs made with our own little synthesizer wait for you "
    "on "
    "the turning drum above. turn it with the wheel or arrow keys, press return or click a row to play a "
    "song, "
    "and click the disk beside the playing song to keep it as a wav file. greetings to all who love music "
    "made of pure numbers - see you again.      ";

namespace {

// The characters of the sheet's five rows, one per column. '<' and '>' are drawn as parentheses; the cells of
// ' ' and '*' are blank. A character met twice keeps its last cell.
constexpr std::array<std::string_view, 5> kSheetRows{
    "!<>+,-./01", "23456789: ", "abcdefghij", "klmnopqrst", "uvwxyz****",
};

constexpr double kWaveAmplitude = 40.0; // pixels above and below the middle line (times scale)
constexpr int kWaveBaseline = 70;       // the middle line's distance from the bottom (times scale)
constexpr double kPhasePerPixel = 0.01; // radians of wave per source pixel
constexpr double kWaveSpeed = 3.0;      // radians per second
constexpr float kScrollSpeed = 100.0f;  // pixels per second (times scale)
constexpr double kTwoPi = 6.28318;

} // namespace

ScrollText::ScrollText(int width, SDL_Surface* sheet_, std::string_view text_) : sheet(sheet_), text(text_) {
    // The glyphs are blended onto the screen hundreds of times a frame: in this format SDL does it quickly.
    if (sheet != nullptr && sheet->format->format != SDL_PIXELFORMAT_ARGB8888) {
        if (SDL_Surface* converted = SDL_ConvertSurfaceFormat(sheet, SDL_PIXELFORMAT_ARGB8888, 0)) {
            SDL_SetSurfaceBlendMode(converted, SDL_BLENDMODE_BLEND);
            SDL_FreeSurface(sheet);
            sheet = converted;
        }
    }
    for (int r = 0; r < static_cast<int>(kSheetRows.size()); ++r) {
        const std::string_view row = kSheetRows[r];
        for (int c = 0; c < static_cast<int>(row.size()); ++c) {
            glyphs[static_cast<unsigned char>(row[c])] =
                SDL_Rect{1 + kCellPitch * c, 1 + kCellPitch * r, kCellSize, kCellSize};
        }
    }
    headIndex = 0;
    headOffset = static_cast<float>(width);
    wavePhase = 0.0f;
}

ScrollText::~ScrollText() {
    for (auto& g : glyphs) g.reset();
    if (sheet != nullptr) SDL_FreeSurface(sheet);
}

int ScrollText::glyphWidth(unsigned char c) const {
    return glyphs[c] ? glyphs[c]->w : kGlyphAdvance;
}

void ScrollText::draw(SDL_Surface* surface, float dt) {
    const int len = static_cast<int>(text.size());
    if (len == 0) return;
    const int w = surface->w;
    const int h = surface->h;
    // The pixel values are made for a 960-wide surface; a narrower one is drawn at the same size.
    const int scale = std::max(1, w / kBaseWidth);
    int x = static_cast<int>(headOffset);

    int slices = 1;
    if (sliceTimer < kBlockModeSeconds) {
        sliceTimer += dt;
    } else {
        slices = kSlicesAfterBlockMode;
    }

    // The head: markers reaching it start one pause together and are passed over.
    auto at = [this, len](int32_t index) { return static_cast<unsigned char>(text[index % len]); };
    unsigned char head = at(headIndex);
    if (head == kPauseMarker) {
        pauseTimer = kPauseSeconds;
        for (int n = 0; n < len && at(headIndex) == kPauseMarker; ++n) ++headIndex;
        head = at(headIndex);
    }
    float phase = wavePhase;
    int pos = headIndex % len;

    const double middle = static_cast<double>(h - kWaveBaseline * scale);
    const double amplitude = kWaveAmplitude * scale;
    bool first = true;
    while (first || x < w) {
        first = false;
        pos %= len;
        unsigned char c = static_cast<unsigned char>(text[pos]);
        if (c == kPauseMarker) { // a single marker inside the line takes no room
            pos = (pos + 1) % len;
            c = static_cast<unsigned char>(text[pos]);
        }
        const std::optional<SDL_Rect>& g = glyphs[c];
        if (!g) {
            x += kGlyphAdvance * scale;
        } else {
            const int sw = g->w / slices;
            SDL_Rect source{g->x, g->y, sw, g->h};
            bool lineDone = false;
            for (int s = 0; s < slices; ++s) {
                const int y = static_cast<int>(middle - std::sin(static_cast<double>(phase)) * amplitude);
                phase = static_cast<float>(phase + static_cast<float>(sw) * kPhasePerPixel);
                if (phase > kTwoPi) phase = static_cast<float>(phase - kTwoPi);
                SDL_Rect destination{x, y, sw * scale, g->h * scale};
                if (sheet != nullptr) SDL_BlitScaled(sheet, &source, surface, &destination);
                x += sw * scale;
                source.x += sw;
                if (x >= w) {
                    lineDone = true;
                    break;
                }
            }
            if (lineDone) break;
        }
        ++pos;
    }

    if (pauseTimer > 0.0f) {
        pauseTimer -= dt;
    } else {
        headOffset -= dt * kScrollSpeed * static_cast<float>(scale);
        const int width = glyphWidth(head);
        if (-headOffset > static_cast<float>(width)) {
            ++headIndex;
            headOffset += static_cast<float>(width);
            wavePhase = static_cast<float>(wavePhase + width * kPhasePerPixel);
        }
    }
    wavePhase = static_cast<float>(wavePhase + dt * kWaveSpeed);
    if (wavePhase > kTwoPi) wavePhase = static_cast<float>(wavePhase - kTwoPi);
}

} // namespace md
