// The text labels of the song rows: rendered once per catalogue entry, and drawn as one row of the song list
// (title, artist, time and size, and the player's status icon on the loaded song's row).
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

namespace md {

class Music;

// Label colours (red, green, blue, alpha).
inline constexpr SDL_Color kLabelColour = {255, 0, 64, 255};
inline constexpr SDL_Color kLitColour = {255, 255, 255, 255};

// Point sizes of the three label fonts for a surface of this height: base = height / 20, then base x 0.75 and
// base x 0.54, truncated.
struct LabelFontSizes {
    int title, artist, info;
};
LabelFontSizes labelFontSizes(int surfaceHeight);

// "2:05" for 125.7 seconds: whole minutes (not padded, may exceed 59) and two-digit seconds.
std::string formatPlayingTime(float seconds);
// "1234 bytes".
std::string formatSongSize(int32_t bytes);

// Renders the six labels of `entry` (blended, anti-aliased with alpha) with fonts sized for `surface`'s
// height. Needs TTF_Init. A label that cannot be rendered (missing font) becomes an empty transparent
// surface, so every label exists. The fonts stay open for the next entry until closeLabelFonts.
void renderLabels(SDL_Surface* surface, Music& entry);
// Closes the fonts renderLabels keeps open (call before TTF_Quit).
void closeLabelFonts();

// Draws catalogue entry `index` as a row whose top-left corner is (x, y) and whose width is `width`, its
// heights squashed by `scale`, into `surface`; on the loaded song's row the status icon blinks (busyIcon)
// while the song renders, or shows readyIcon once it is ready to export. Records the row's span for the hit
// test. Front-end thread only.
void drawRow(int index, int x, int y, float scale, SDL_Surface* surface, int width, SDL_Surface* readyIcon,
             SDL_Surface* busyIcon);

// Whether the blinking busy icon shows at `now` (SDL ticks) for a playback started at `playStartTicks`:
// 500 ms on, 500 ms off.
inline bool busyIconVisible(uint32_t now, uint32_t playStartTicks) {
    return ((now - playStartTicks) / 500u) % 2u == 0u;
}

} // namespace md
