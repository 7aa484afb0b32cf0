// The song list of the main screen: the catalogue's rows on a drum turning about a horizontal axis through
// the middle of the screen. Ten rows show at a time, squashed by the sine of their angle, and the list wraps
// from the last song to the first. A dark band marks the middle; a shade darkens the rows near the drum's top
// and bottom. The wheel and the arrow keys turn the drum smoothly; Return, Space or a click on a row pick a
// song; a click just left of the rows exports the playing song.
#pragma once

#include "app/layout.h"
#include "ui/prescaled_image.h"

#include <SDL.h>

#include <cstdint>
#include <functional>

namespace md {

inline constexpr float kRowStep = 0.314159f;     // angle between neighbouring rows, a tenth of 3.14159
inline constexpr float kDrumHalfTurn = 3.14159f; // rows are drawn at angles below this
inline constexpr float kInitialListTarget = -2.6703515f; // 8.5 rows before the resting place
inline constexpr uint32_t kBandColour = 0x440044;        // dark purple, in the window's 32-bit RGB format

// Click columns, fixed pixels fitted to a 960-wide window: the status icons stand in the export zone, the
// rows in the select zone.
inline constexpr int kExportZoneLeft = 155;
inline constexpr int kExportZoneRight = 200; // inclusive; the select zone begins right after it
inline constexpr int kSelectZoneRight = 773; // inclusive

// The drum's state, kept by the frame loop.
struct ListState {
    float listTarget = 0.0f; // angle the drum moves toward, radians
    float listOffset = 0.0f; // angle of the first row drawn, radians; in [0, rowStep] after a scroll step
    int32_t listTop = 0;     // catalogue index of the first row drawn
};

// What the drum needs of the catalogue and the player.
class SongRows {
  public:
    virtual ~SongRows() = default;
    // Entries in the catalogue.
    virtual int count() const = 0;
    // Draws entry `index` as one row with its top-left corner at (x, y), heights squashed by `scale`, `width`
    // wide, and records the row's vertical span for the hit test.
    virtual void drawRow(int index, int x, int y, float scale, SDL_Surface* surface, int width) = 0;
    // Asks the player for the entry whose recorded span contains y, if any.
    virtual void selectAt(int y) = 0;
    // Exports the playing song if its recorded span contains y and its render is complete.
    virtual void exportSongAt(int y) = 0;
};

// The band across the middle: {0, 247, 960, 45} for a 960 x 540 surface.
SDL_Rect selectionBand(int surfaceHeight, int screenWidth, int screenHeight);
void drawSelectionBand(SDL_Surface* surface, int screenWidth, int screenHeight);

// Draws the visible rows, from `listTop` at angle `listOffset` on, one row step apart, while the angle stays
// below half a turn. Returns the number of rows drawn: ten, or eleven when the offset is 0.
int drawSongRows(const ListState& list, const Layout& layout, int screenWidth, SDL_Surface* surface,
                 SongRows& rows);

// Moves `listOffset` toward `listTarget` by dt seconds: at ten times the remaining distance per second, never
// slower than one radian per second. A row is handed over between `listTop` and its neighbour for every row
// step the offset leaves [0, rowStep] by, the target shifting with it; `listTop` wraps within the `count`
// entries.
void scrollStep(ListState& list, float dt, int count);

// The shade stretched over the drum: {0, screenHeight / 2 - drumRadius, screenWidth, shadeHeight}, drawn
// through `stretched`, which keeps it stretched from one frame to the next.
void drawListShade(SDL_Surface* surface, SDL_Surface* shade, PrescaledImage& stretched, const Layout& layout,
                   int screenWidth, int screenHeight);

enum class ClickZone { None, Export, Select };
// What a click at column x does.
ClickZone clickZoneAt(int x);

// Where the mouse is now (SDL_GetMouseState in the program).
using MouseState = std::function<SDL_Point()>;

// The main screen's reaction to one event: the wheel and Up and Down turn the drum, Return and Space pick the
// row in the middle, any mouse button picks a row or exports, by the mouse position at the time the event is
// handled. True when the event asks to quit (window closed or Escape).
bool handleListEvent(const SDL_Event& event, ListState& list, SongRows& rows, int screenHeight,
                     const MouseState& mouse);

} // namespace md
