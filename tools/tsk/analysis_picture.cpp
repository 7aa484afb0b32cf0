#include "analysis_picture.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "player/fonts.h"
#include "spectrum.h"

namespace tsk {

namespace {

constexpr int kSampleRate = 48000;

// Margins around the plot areas.
constexpr int kLeft = 62;        // frequency or level labels
constexpr int kRight = 78;       // colour bar
constexpr int kTop = 40;         // title and section marks
constexpr int kGap = 10;         // between the spectrogram and the loudness strip
constexpr int kStripHeight = 90; // short-term loudness
constexpr int kBottom = 32;      // time labels

constexpr uint32_t kBackground = 0xFF16161Au;
constexpr uint32_t kAxis = 0xFF8A8A96u;
constexpr uint32_t kLabel = 0xFFC8C8D2u;
constexpr uint32_t kDim = 0xFF3A3A44u;

uint32_t rgb(int r, int g, int b) {
    return 0xFF000000u | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
           static_cast<uint32_t>(b);
}

// Mixes colour b over a with weight t.
uint32_t mix(uint32_t a, uint32_t b, double t) {
    auto channel = [&](int shift) {
        const double x = ((a >> shift) & 0xFF) * (1.0 - t) + ((b >> shift) & 0xFF) * t;
        return static_cast<uint32_t>(std::lround(x)) << shift;
    };
    return 0xFF000000u | channel(16) | channel(8) | channel(0);
}

// An ARGB picture with a few drawing operations and text in the program's sans-serif font.
class Canvas {
  public:
    Canvas(int width, int height)
        : surface_(SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888)) {
        if (surface_) fill(0, 0, width, height, kBackground);
        if (TTF_Init() == 0) {
            ttfStarted_ = true;
            small_ = md::openFont(md::kInfoFontFile, 12);
            large_ = md::openFont(md::kInfoFontFile, 15);
        }
    }
    ~Canvas() {
        if (small_) TTF_CloseFont(small_);
        if (large_) TTF_CloseFont(large_);
        if (ttfStarted_) TTF_Quit();
        if (surface_) SDL_FreeSurface(surface_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool ok() const { return surface_ != nullptr; }
    int width() const { return surface_->w; }
    int height() const { return surface_->h; }

    void set(int x, int y, uint32_t c) {
        if (x < 0 || y < 0 || x >= surface_->w || y >= surface_->h) return;
        static_cast<uint32_t*>(surface_->pixels)[static_cast<std::size_t>(y) * (surface_->pitch / 4) + x] = c;
    }
    uint32_t get(int x, int y) const {
        return static_cast<const uint32_t*>(
            surface_->pixels)[static_cast<std::size_t>(y) * (surface_->pitch / 4) + x];
    }
    void fill(int x, int y, int w, int h, uint32_t c) {
        for (int j = std::max(0, y); j < std::min(surface_->h, y + h); ++j)
            for (int i = std::max(0, x); i < std::min(surface_->w, x + w); ++i) set(i, j, c);
    }
    void hline(int x0, int x1, int y, uint32_t c) { fill(x0, y, x1 - x0 + 1, 1, c); }
    void vline(int x, int y0, int y1, uint32_t c) { fill(x, y0, 1, y1 - y0 + 1, c); }
    // A line drawn every `period` pixels, blended over what is there.
    void dottedHline(int x0, int x1, int y, uint32_t c, double weight, int period = 3) {
        for (int x = x0; x <= x1; x += period) set(x, y, mix(get(x, y), c, weight));
    }
    void dottedVline(int x, int y0, int y1, uint32_t c, double weight, int period = 3) {
        for (int y = y0; y <= y1; y += period) set(x, y, mix(get(x, y), c, weight));
    }

    // Draws text with its left edge (align 0), centre (1) or right edge (2) at x and its vertical middle at
    // y. Without a font nothing is drawn.
    int text(int x, int y, const std::string& s, uint32_t c, int align = 0, bool large = false) {
        TTF_Font* font = large ? large_ : small_;
        if (!font || s.empty()) return 0;
        const SDL_Color colour{static_cast<Uint8>(c >> 16), static_cast<Uint8>(c >> 8), static_cast<Uint8>(c),
                               255};
        SDL_Surface* t = TTF_RenderUTF8_Blended(font, s.c_str(), colour);
        if (!t) return 0;
        SDL_Rect to{x - (align == 1 ? t->w / 2 : align == 2 ? t->w : 0), y - t->h / 2, t->w, t->h};
        SDL_BlitSurface(t, nullptr, surface_, &to);
        const int w = t->w;
        SDL_FreeSurface(t);
        return w;
    }
    int textWidth(const std::string& s) const {
        int w = 0, h = 0;
        if (!small_ || TTF_SizeUTF8(small_, s.c_str(), &w, &h) != 0) return 6 * static_cast<int>(s.size());
        return w;
    }

    bool png(std::vector<uint8_t>& out, std::string* error) {
        if (IMG_Init(IMG_INIT_PNG) == 0) {
            // The PNG writer does not need the decoder; go on.
        }
        SDL_Surface* rgb24 = SDL_ConvertSurfaceFormat(surface_, SDL_PIXELFORMAT_RGB24, 0);
        if (!rgb24) {
            *error = SDL_GetError();
            return false;
        }
        out.clear();
        SDL_RWops* rw = SDL_AllocRW();
        rw->type = SDL_RWOPS_UNKNOWN;
        rw->hidden.unknown.data1 = &out;
        rw->size = [](SDL_RWops*) -> Sint64 { return -1; };
        rw->seek = [](SDL_RWops* c, Sint64 offset, int whence) -> Sint64 {
            auto* v = static_cast<std::vector<uint8_t>*>(c->hidden.unknown.data1);
            if (whence == RW_SEEK_CUR && offset == 0) return static_cast<Sint64>(v->size());
            if (whence == RW_SEEK_END && offset == 0) return static_cast<Sint64>(v->size());
            return -1;
        };
        rw->read = [](SDL_RWops*, void*, size_t, size_t) -> size_t { return 0; };
        rw->write = [](SDL_RWops* c, const void* p, size_t size, size_t n) -> size_t {
            auto* v = static_cast<std::vector<uint8_t>*>(c->hidden.unknown.data1);
            const auto* b = static_cast<const uint8_t*>(p);
            v->insert(v->end(), b, b + size * n);
            return n;
        };
        rw->close = [](SDL_RWops* c) -> int {
            SDL_FreeRW(c);
            return 0;
        };
        const int result = IMG_SavePNG_RW(rgb24, rw, 1);
        SDL_FreeSurface(rgb24);
        if (result != 0) {
            *error = IMG_GetError();
            return false;
        }
        return true;
    }

  private:
    SDL_Surface* surface_ = nullptr;
    TTF_Font* small_ = nullptr;
    TTF_Font* large_ = nullptr;
    bool ttfStarted_ = false;
};

std::string timeLabel(double seconds, double step) {
    char text[32];
    if (step < 1.0) {
        std::snprintf(text, sizeof text, "%.1f s", seconds);
    } else {
        const int s = static_cast<int>(std::lround(seconds));
        std::snprintf(text, sizeof text, "%d:%02d", s / 60, s % 60);
    }
    return text;
}

// Time ticks below a plot spanning `seconds` over [x0, x0 + width), with their labels at y.
void drawTimeAxis(Canvas& c, int x0, int width, int yAxis, double seconds) {
    static const double kSteps[] = {0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 20, 30, 60, 120, 300};
    double step = kSteps[std::size(kSteps) - 1];
    for (double s : kSteps)
        if (seconds <= 0 || s / seconds * width >= 64) {
            step = s;
            break;
        }
    c.hline(x0, x0 + width - 1, yAxis, kAxis);
    if (seconds <= 0) return;
    for (int k = 0;; ++k) {
        const double t = k * step;
        if (t > seconds + 1e-9) break;
        const int x = x0 + static_cast<int>(std::lround(t / seconds * (width - 1)));
        c.vline(x, yAxis, yAxis + 4, kAxis);
        const std::string label = timeLabel(t, step);
        const int w = c.textWidth(label);
        c.text(std::clamp(x, x0 + w / 2, x0 + width - 1 - w / 2), yAxis + 14, label, kLabel, 1);
    }
}

// Section starts: a tick above the plot and the order row's number where there is room.
void drawSections(Canvas& c, const PictureInfo& info, int x0, int width, int yTop, std::size_t frames) {
    if (frames == 0) return;
    int lastLabelEnd = -1000;
    for (const Section& s : info.sections) {
        if (s.startFrame >= frames) break;
        const int x = x0 + static_cast<int>(static_cast<double>(s.startFrame) / frames * (width - 1));
        c.vline(x, yTop - 5, yTop - 1, kAxis);
        const std::string label = std::to_string(s.orderRow);
        const int w = c.textWidth(label);
        if (x - w / 2 > lastLabelEnd + 4) {
            c.text(x, yTop - 12, label, kLabel, 1);
            lastLabelEnd = x + w / 2;
        }
    }
}

void drawTitle(Canvas& c, const PictureInfo& info) {
    const int w = c.text(kLeft, 14, info.title, 0xFFFFFFFFu, 0, true);
    c.text(kLeft + w + 14, 14, info.subtitle, kLabel, 0);
}

std::string hzLabel(double hz) {
    if (hz >= 1000.0) {
        char text[16];
        std::snprintf(text, sizeof text, "%gk", hz / 1000.0);
        return text;
    }
    return std::to_string(static_cast<int>(hz));
}

} // namespace

uint32_t levelColour(double db) {
    // Samples of a perceptually even map from black through purple, red and orange to pale yellow.
    static const uint8_t kMap[][3] = {{0, 0, 4},      {22, 11, 57},   {66, 10, 104},  {106, 23, 110},
                                      {147, 38, 103}, {188, 55, 84},  {221, 81, 58},  {243, 118, 27},
                                      {252, 165, 10}, {246, 215, 70}, {252, 255, 164}};
    constexpr int kLast = static_cast<int>(std::size(kMap)) - 1;
    double t = (db - kPictureFloorDb) / (kPictureTopDb - kPictureFloorDb);
    t = std::clamp(std::isnan(t) ? 0.0 : t, 0.0, 1.0) * kLast;
    const int i = std::min(kLast - 1, static_cast<int>(t));
    const double f = t - i;
    return mix(rgb(kMap[i][0], kMap[i][1], kMap[i][2]), rgb(kMap[i + 1][0], kMap[i + 1][1], kMap[i + 1][2]),
               f);
}

int SpectrogramLayout::rowOf(double hz) const {
    const double t = std::log(hz / minHz) / std::log(maxHz / minHz);
    return plotTop + plotHeight - 1 - static_cast<int>(std::floor(t * plotHeight));
}

SpectrogramLayout spectrogramLayout(const PictureSize& size) {
    SpectrogramLayout l;
    l.plotLeft = kLeft;
    l.plotTop = kTop;
    l.plotWidth = size.plotWidth;
    l.plotHeight = size.plotHeight;
    l.width = kLeft + size.plotWidth + kRight;
    l.height = kTop + size.plotHeight + kGap + kStripHeight + kBottom;
    return l;
}

bool spectrogramPng(const SpectrogramGrid& grid, std::size_t frames, const PictureInfo& info,
                    const PictureSize& size, std::vector<uint8_t>& png, std::string* error) {
    const SpectrogramLayout l = spectrogramLayout(size);
    Canvas c(l.width, l.height);
    if (!c.ok()) {
        *error = SDL_GetError();
        return false;
    }
    for (int x = 0; x < std::min(l.plotWidth, grid.columns); ++x)
        for (int r = 0; r < std::min(l.plotHeight, grid.rows); ++r)
            c.set(l.plotLeft + x, l.plotTop + l.plotHeight - 1 - r, levelColour(grid.at(x, r)));

    // Frequency axis: labelled ticks, minor ticks, faint lines at 100 Hz, 1 kHz and 10 kHz.
    const int x0 = l.plotLeft, x1 = l.plotLeft + l.plotWidth - 1;
    c.vline(x0 - 1, l.plotTop, l.plotTop + l.plotHeight - 1, kAxis);
    for (double decade = 10.0; decade <= 10000.0; decade *= 10.0)
        for (int m = 1; m <= 9; ++m) {
            const double hz = decade * m;
            if (hz < l.minHz || hz > l.maxHz) continue;
            const int y = l.rowOf(hz);
            const bool labelled = m == 1 || m == 2 || m == 5;
            c.hline(x0 - (labelled ? 6 : 3), x0 - 2, y, kAxis);
            if (labelled) c.text(x0 - 9, y, hzLabel(hz), kLabel, 2);
            if (m == 1) c.dottedHline(x0, x1, y, 0xFFFFFFFFu, 0.35);
        }
    c.text(x0 - 9, l.plotTop - 12, "Hz", kLabel, 2);

    // Colour bar.
    const int barX = x1 + 14, barW = 12;
    for (int y = 0; y < l.plotHeight; ++y) {
        const double db = kPictureTopDb - (kPictureTopDb - kPictureFloorDb) * y / (l.plotHeight - 1);
        c.hline(barX, barX + barW - 1, l.plotTop + y, levelColour(db));
    }
    for (double db = kPictureTopDb; db >= kPictureFloorDb - 1e-9; db -= 10.0) {
        const int y =
            l.plotTop + static_cast<int>(std::lround((kPictureTopDb - db) /
                                                     (kPictureTopDb - kPictureFloorDb) * (l.plotHeight - 1)));
        c.hline(barX + barW, barX + barW + 3, y, kAxis);
        if (std::abs(static_cast<int>(std::lround(db - kPictureTopDb))) % 20 == 0)
            c.text(barX + barW + 6, y, std::to_string(static_cast<int>(std::lround(db))), kLabel);
    }
    c.text(barX + barW / 2, l.plotTop - 12, "dB", kLabel, 1);

    // Short-term loudness strip: -40 to 0 LUFS, the target band -16 to -12 shaded, -14 marked.
    const int sTop = l.plotTop + l.plotHeight + kGap;
    const int sBottom = sTop + kStripHeight - 1;
    auto stripY = [&](double lufs) {
        const double t = std::clamp((lufs + 40.0) / 40.0, 0.0, 1.0);
        return sBottom - static_cast<int>(std::lround(t * (kStripHeight - 1)));
    };
    c.fill(x0, sTop, l.plotWidth, kStripHeight, 0xFF1E1E24u);
    c.fill(x0, stripY(-12.0), l.plotWidth, stripY(-16.0) - stripY(-12.0) + 1, 0xFF1F3A2Au);
    c.dottedHline(x0, x1, stripY(-14.0), 0xFF6FCF8Fu, 0.8, 2);
    for (int lufs : {-10, -20, -30}) c.dottedHline(x0, x1, stripY(lufs), kDim, 1.0, 4);
    c.vline(x0 - 1, sTop, sBottom, kAxis);
    for (int lufs : {0, -10, -20, -30, -40}) {
        c.hline(x0 - 5, x0 - 2, stripY(lufs), kAxis);
        c.text(x0 - 9, stripY(lufs), std::to_string(lufs), kLabel, 2);
    }
    c.text(x1 + 8, stripY(-14.0), "-14", 0xFF6FCF8Fu, 0);
    c.text(x1 + 8, sTop + 8, "LUFS (3 s)", kLabel, 0);
    for (const Section& s : info.sections)
        if (frames > 0 && s.startFrame < frames)
            c.dottedVline(
                x0 + static_cast<int>(static_cast<double>(s.startFrame) / frames * (l.plotWidth - 1)), sTop,
                sBottom, kAxis, 0.6, 3);
    if (!info.shortTerm.empty()) {
        int lastY = -1;
        for (int x = 0; x < l.plotWidth; ++x) {
            const std::size_t i = std::min(info.shortTerm.size() - 1,
                                           static_cast<std::size_t>(x) * info.shortTerm.size() / l.plotWidth);
            const double v = info.shortTerm[i];
            if (!std::isfinite(v)) {
                lastY = -1;
                continue;
            }
            const int y = stripY(v);
            if (lastY < 0) lastY = y;
            c.vline(x0 + x, std::min(y, lastY), std::max(y, lastY), 0xFFF2E6A0u);
            lastY = y;
        }
    }

    const double seconds = static_cast<double>(frames) / kSampleRate;
    drawTimeAxis(c, x0, l.plotWidth, sBottom + 1, seconds);
    drawSections(c, info, x0, l.plotWidth, l.plotTop, frames);
    drawTitle(c, info);
    return c.png(png, error);
}

bool waveformPng(const int16_t* samples, std::size_t frames, const PictureInfo& info, const PictureSize& size,
                 std::vector<uint8_t>& png, std::string* error) {
    const int laneHeight = std::max(20, size.plotHeight / 2 - 4);
    const int laneGap = 8;
    const int width = kLeft + size.plotWidth + kRight;
    const int height = kTop + 2 * laneHeight + laneGap + kBottom;
    Canvas c(width, height);
    if (!c.ok()) {
        *error = SDL_GetError();
        return false;
    }
    const int x0 = kLeft, x1 = kLeft + size.plotWidth - 1;
    const double span = static_cast<double>(frames) / size.plotWidth;
    for (int ch = 0; ch < 2; ++ch) {
        const int top = kTop + ch * (laneHeight + laneGap);
        const int mid = top + laneHeight / 2;
        const double half = (laneHeight - 1) / 2.0;
        auto yOf = [&](double v) { return mid - static_cast<int>(std::lround(v / 32767.0 * half)); };
        c.fill(x0, top, size.plotWidth, laneHeight, 0xFF1E1E24u);
        for (double level : {0.5, -0.5}) c.dottedHline(x0, x1, yOf(level * 32767.0), kDim, 1.0, 4);
        c.hline(x0, x1, mid, kDim);
        for (int x = 0; x < size.plotWidth && frames > 0; ++x) {
            const std::size_t begin = static_cast<std::size_t>(x * span);
            const std::size_t end =
                std::max(begin + 1, std::min(frames, static_cast<std::size_t>((x + 1) * span)));
            int lo = 0, hi = 0;
            double squares = 0;
            bool clipped = false;
            for (std::size_t f = begin; f < end && f < frames; ++f) {
                const int v = samples[2 * f + ch];
                lo = std::min(lo, v);
                hi = std::max(hi, v);
                squares += static_cast<double>(v) * v;
                clipped |= v >= 32767 || v <= -32767;
            }
            const double rms = std::sqrt(squares / static_cast<double>(end - begin));
            c.vline(x0 + x, yOf(hi), yOf(lo), 0xFF3C6E9Eu);
            c.vline(x0 + x, yOf(rms), yOf(-rms), 0xFF8CC4F0u);
            if (clipped) {
                c.vline(x0 + x, top, top + 3, 0xFFFF4040u);
                c.vline(x0 + x, top + laneHeight - 4, top + laneHeight - 1, 0xFFFF4040u);
            }
        }
        c.vline(x0 - 1, top, top + laneHeight - 1, kAxis);
        c.text(x0 - 9, mid, ch == 0 ? "L" : "R", 0xFFFFFFFFu, 2, true);
        c.text(x1 + 8, yOf(0.5 * 32767.0), "-6 dB", kLabel);
        c.text(x1 + 8, yOf(32767.0) + 6, "0 dB", kLabel);
    }
    c.text(x1 + 8, kTop + 2 * laneHeight + laneGap - 8, "peak / rms", kLabel);
    drawTimeAxis(c, x0, size.plotWidth, kTop + 2 * laneHeight + laneGap,
                 static_cast<double>(frames) / kSampleRate);
    drawSections(c, info, x0, size.plotWidth, kTop, frames);
    drawTitle(c, info);
    return c.png(png, error);
}

} // namespace tsk
