#include "player/labels.h"

#include "player/catalogue.h"
#include "player/fonts.h"
#include "player/player_state.h"

#include <SDL_ttf.h>

#include <cstdio>

namespace md {

namespace {

// A label that could not be rendered: one transparent pixel wide, as high as the font's lines (or one pixel
// without a font), so the row keeps its height and can still be hit.
SDL_Surface* emptyLabel(TTF_Font* font) {
    const int height = font != nullptr && TTF_FontHeight(font) > 0 ? TTF_FontHeight(font) : 1;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 1, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (s != nullptr) {
        SDL_FillRect(s, nullptr, 0);
        SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_BLEND);
    }
    return s;
}

SDL_Surface* renderText(TTF_Font* font, const std::string& text, SDL_Color colour) {
    SDL_Surface* s =
        font != nullptr && !text.empty() ? TTF_RenderUTF8_Blended(font, text.c_str(), colour) : nullptr;
    return s != nullptr ? s : emptyLabel(font);
}

// Blits the whole of `label` into `rect` (scaled); an empty rectangle draws nothing.
void blitInto(SDL_Surface* label, SDL_Surface* surface, SDL_Rect rect) {
    if (label == nullptr || surface == nullptr || rect.w <= 0 || rect.h <= 0) return;
    SDL_BlitScaled(label, nullptr, surface, &rect);
}

int scaled(int height, float scale) {
    return static_cast<int>(static_cast<float>(height) * scale);
}

int labelHeight(const SDL_Surface* s) {
    return s != nullptr ? s->h : 0;
}

int labelWidth(const SDL_Surface* s) {
    return s != nullptr ? s->w : 0;
}

} // namespace

LabelFontSizes labelFontSizes(int surfaceHeight) {
    const int base = surfaceHeight / 20;
    return {base, static_cast<int>(static_cast<float>(base) * 0.75f),
            static_cast<int>(static_cast<float>(base) * 0.54f)};
}

std::string formatPlayingTime(float seconds) {
    const int s = seconds > 0.0f ? static_cast<int>(seconds) : 0;
    const int m = s / 60;
    const int r = s - 60 * m;
    char text[32];
    std::snprintf(text, sizeof text, r < 10 ? "%d:0%d" : "%d:%d", m, r);
    return text;
}

std::string formatSongSize(int32_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%d bytes", bytes);
    return text;
}

namespace {

// The three fonts of the labels, kept open from one entry to the next while a catalogue is built (opening a
// font file costs more than rendering a label).
struct LabelFonts {
    int height = -1;
    TTF_Font* title = nullptr;
    TTF_Font* artist = nullptr;
    TTF_Font* info = nullptr;

    void open(int surfaceHeight) {
        if (surfaceHeight == height) return;
        close();
        height = surfaceHeight;
        const LabelFontSizes sizes = labelFontSizes(surfaceHeight);
        title = sizes.title > 0 ? openFont(kTitleFontFile, sizes.title) : nullptr;
        artist = sizes.artist > 0 ? openFont(kTitleFontFile, sizes.artist) : nullptr;
        info = sizes.info > 0 ? openFont(kInfoFontFile, sizes.info) : nullptr;
    }
    void close() {
        for (TTF_Font* font : {title, artist, info})
            if (font != nullptr) TTF_CloseFont(font);
        title = artist = info = nullptr;
        height = -1;
    }
};

LabelFonts labelFonts;

} // namespace

void closeLabelFonts() {
    labelFonts.close();
}

void renderLabels(SDL_Surface* surface, Music& entry) {
    labelFonts.open(surface != nullptr ? surface->h : 0);
    TTF_Font* titleFont = labelFonts.title;
    TTF_Font* artistFont = labelFonts.artist;
    TTF_Font* infoFont = labelFonts.info;

    entry.titleLabel = renderText(titleFont, entry.title, kLabelColour);
    entry.titleLabelLit = renderText(titleFont, entry.title, kLitColour);
    entry.artistLabel = renderText(artistFont, entry.artist, kLabelColour);
    entry.artistLabelLit = renderText(artistFont, entry.artist, kLitColour);
    entry.sizeLabel = renderText(infoFont, formatSongSize(entry.resourceSize), kLabelColour);
    entry.timeLabel = renderText(infoFont, formatPlayingTime(entry.lengthSeconds), kLabelColour);
}

void drawRow(int index, int x, int y, float scale, SDL_Surface* surface, int width, SDL_Surface* readyIcon,
             SDL_Surface* busyIcon) {
    if (index < 0 || index >= kCatalogueSlots || catalogue[index] == nullptr) return;
    Music& e = *catalogue[index];
    const bool current = e.isCurrent.load();

    // Title, at the row's top-left corner; its rectangle is the row's span for the hit test.
    SDL_Surface* title = current ? e.titleLabelLit : e.titleLabel;
    const SDL_Rect titleRect{x, y, labelWidth(title), scaled(labelHeight(title), scale)};
    e.rowTop = titleRect.y;
    e.rowHeight = titleRect.h;
    blitInto(title, surface, titleRect);

    // Artist, right-aligned at x + width, a quarter of the title's height down.
    SDL_Surface* artist = current ? e.artistLabelLit : e.artistLabel;
    const SDL_Rect artistRect{x + width - labelWidth(artist), y + titleRect.h / 4, labelWidth(artist),
                              scaled(labelHeight(artist), scale)};
    blitInto(artist, surface, artistRect);

    // Playing time right of the row, the size below it.
    const SDL_Rect timeRect{x + width + artistRect.h / 3, artistRect.y, labelWidth(e.timeLabel),
                            scaled(labelHeight(e.timeLabel), scale)};
    blitInto(e.timeLabel, surface, timeRect);
    const SDL_Rect sizeRect{timeRect.x, timeRect.y + timeRect.h, labelWidth(e.sizeLabel),
                            scaled(labelHeight(e.sizeLabel), scale)};
    blitInto(e.sizeLabel, surface, sizeRect);

    if (!current) return;
    const SDL_Rect iconRect{x - 34, static_cast<int>(scale * 12.0f + static_cast<float>(y)), 24,
                            static_cast<int>(scale * 24.0f)};
    const int32_t state = playerState.playState.load();
    if (state == Rendering) {
        if (busyIconVisible(SDL_GetTicks(), playerState.playStartTicks.load()))
            blitInto(busyIcon, surface, iconRect);
    } else if (state == Rendered) {
        blitInto(readyIcon, surface, iconRect);
    }
}

} // namespace md
