// The sine scroller: one endless line of text along the bottom of the main screen, in the bitmap font of the
// glyph sheet. The line moves left at 100 pixels per second while every glyph rides a sine wave travelling
// along it. For the first minute each glyph bobs as one block; after that it is cut into fifteen slices two
// pixels wide that follow the wave on their own, so the letters bend. A '|' in the text stops the line for
// three seconds when it reaches the head.
#pragma once

#include <SDL.h>

#include <array>
#include <optional>
#include <string_view>

namespace md {

// The disk's own scroll text: lower case, only characters with a glyph, six spaces at the start and a full
// stop and six spaces at the end, so the end and the start are set apart when the line repeats.
extern const std::string_view kScrollMessage;

class ScrollText {
  public:
    static constexpr int kCellSize = 30;     // glyph cells are 30 x 30 pixels
    static constexpr int kCellPitch = 31;    // with a one-pixel grid line between them
    static constexpr int kBaseWidth = 960;   // the width the scroller's pixel values are made for
    static constexpr int kGlyphAdvance = 30; // room taken by a character without a glyph (times scale)
    static constexpr float kBlockModeSeconds = 60.0f;
    static constexpr int kSlicesAfterBlockMode = 15;
    static constexpr float kPauseSeconds = 3.0f;
    static constexpr char kPauseMarker = '|';

    // Builds the scroller for a surface `width` pixels wide. It takes ownership of `sheet`, the glyph sheet
    // (ten columns by five rows of cells); a missing sheet draws nothing but still moves the line.
    ScrollText(int width, SDL_Surface* sheet, std::string_view text = kScrollMessage);
    virtual ~ScrollText();

    ScrollText(const ScrollText&) = delete;
    ScrollText& operator=(const ScrollText&) = delete;

    // Draws one frame onto `surface` and advances the motion by `dt` seconds.
    void draw(SDL_Surface* surface, float dt);

    // The glyph's cell in the sheet, or none for a character without one.
    const std::optional<SDL_Rect>& glyph(unsigned char c) const { return glyphs[c]; }

    int32_t head() const { return headIndex; }
    float offset() const { return headOffset; }
    float phase() const { return wavePhase; }
    int sliceCount() const { return sliceTimer < kBlockModeSeconds ? 1 : kSlicesAfterBlockMode; }
    float pauseLeft() const { return pauseTimer; }

  private:
    // Width of a character's glyph, or the advance of a character without one.
    int glyphWidth(unsigned char c) const;

    SDL_Surface* sheet;
    std::array<std::optional<SDL_Rect>, 256> glyphs;
    std::string_view text;
    int32_t headIndex = 0;   // first character drawn; only grows, used modulo the text's length
    float headOffset = 0.0f; // x of that character's left edge, pixels
    float wavePhase = 0.0f;  // sine phase of the first slice drawn, radians
    float sliceTimer = 0.0f; // main-screen seconds drawn so far, up to the switch to slices
    float pauseTimer = 0.0f; // seconds the line still stands still
};

} // namespace md
