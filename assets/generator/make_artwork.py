#!/usr/bin/python3
"""Draws every image of the music disk into assets/images/<id>.png.

Usage:  scripts/make-artwork            (or: /usr/bin/python3 assets/generator/make_artwork.py [OUTDIR])

Needs Debian's python3-pil and python3-numpy, and the Roboto font of
fonts-roboto-unhinted for the small captions of the intro picture. All
other lettering is drawn from the stroke designs in glyphs.py. The output is
the same, byte for byte, on every run: no clocks, no library random numbers,
no metadata that varies.
"""

import os
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import fontsheet  # noqa: E402
import icons  # noqa: E402
import intro  # noqa: E402
import logo  # noqa: E402
from raster import Layer, save_png  # noqa: E402

DEFAULT_OUT = os.path.normpath(os.path.join(HERE, "..", "images"))


def wobble_sprite():
    style = logo.fit_style("Oru", (73, 24), 0.8, 1.0, 2, 0.16, logo.GOLD)
    return logo.draw_word((75, 26), "Oru", style).to_image()


def intro_picture():
    return intro.draw_intro()


def white_panel():
    # Kept as RGBA: a surface without an alpha channel would ignore the
    # alpha modulation the intro uses to fade its covers.
    return Layer(32, 32, rgb=(255, 255, 255), alpha=1.0).to_image("RGBA")


def title_logo():
    style = logo.fit_style("Music Disk", (684, 140), 0.78, 3.5, 8, 0.16, logo.TITLE)
    # Sparkles on the top left of the M and the top of the k.
    return logo.draw_word((700, 152), "Music Disk", style, glints=[(0, 1, 2.0), (11, 0, 1.5)]).to_image()


def maker_logo():
    style = logo.fit_style("Oru", (684, 140), 0.8, 3.5, 8, 0.16, logo.GOLD)
    return logo.draw_word((700, 152), "Oru", style, stripes=3, glints=[(0, 1, 1.6)]).to_image()


def list_shade():
    """Black, opaque at the top, clear from a third of the height down to
    two thirds, opaque again at the bottom, with eased ramps."""
    w, h = 16, 150
    ramp = h // 3  # 50 rows
    a = np.zeros(h, dtype=np.float32)
    for y in range(ramp):
        t = y / (ramp - 1)
        v = 0.5 + 0.5 * np.cos(np.pi * t)
        a[y] = v
        a[h - 1 - y] = v
    layer = Layer(w, h)
    layer.alpha[...] = a[:, None]
    return layer.to_image("RGBA")


def ready_icon():
    return icons.floppy().to_image()


def busy_icon():
    return icons.gear(128, (255, 255, 255), (214, 218, 230), outline=(40, 44, 60)).to_image()


def grey_gear():
    return icons.gear(64, (176, 178, 186), (112, 114, 124), outline=(36, 38, 46)).to_image()


def small_white_gear():
    return icons.gear(36, (255, 255, 255), (214, 218, 230), outline=(40, 44, 60)).to_image()


def font_sheet():
    return fontsheet.draw_sheet()


# id, name, size, drawing function
IMAGES = [
    (135, "fontSheet", (311, 156), font_sheet),
    (136, "listShade", (16, 150), list_shade),
    (137, "wobbleSprite", (75, 26), wobble_sprite),
    (146, "makerLogo", (700, 152), maker_logo),
    (166, "introPicture", (960, 540), intro_picture),
    (169, "whitePanel", (32, 32), white_panel),
    (170, "titleLogo", (700, 152), title_logo),
    (171, "readyIcon", (64, 64), ready_icon),
    (173, "greyGear", (64, 64), grey_gear),
    (174, "whiteGear", (36, 36), small_white_gear),
    (175, "busyIcon", (128, 128), busy_icon),
]


def check_intro(image):
    """Everything that is not white must lie inside a reveal window."""
    a = np.asarray(image.convert("RGB"), dtype=np.int32)
    ink = (a != 255).any(axis=2)
    inside = np.zeros_like(ink)
    for x, y, w, h in (intro.TOP_LEFT, intro.TOP_RIGHT, intro.CENTRE, intro.BOTTOM):
        inside[y : y + h, x : x + w] = True
    stray = np.argwhere(ink & ~inside)
    if len(stray):
        y, x = stray[0]
        raise SystemExit(f"intro picture: {len(stray)} pixels outside the windows, first at ({x}, {y})")


def check_sheet(image):
    """Grid lines where the scroller expects them, blank cells blank, every
    other cell inked."""
    a = np.asarray(image)
    for i in range(fontsheet.COLS + 1):
        assert (a[:, i * fontsheet.PITCH, 3] == 255).all()
    for j in range(fontsheet.ROWS + 1):
        assert (a[j * fontsheet.PITCH, :, 3] == 255).all()
    for r, text in enumerate(fontsheet.ROW_TEXT):
        for c, ch in enumerate(text):
            x, y = 1 + fontsheet.PITCH * c, 1 + fontsheet.PITCH * r
            cell = a[y : y + fontsheet.CELL, x : x + fontsheet.CELL, 3]
            if ch in fontsheet.BLANK:
                assert not cell.any(), f"cell {ch!r} should be blank"
            else:
                assert cell.any(), f"cell {ch!r} is empty"
                # Ink may not touch the cell's border: it would bleed into
                # neighbouring slices.
                assert not cell[0].any() and not cell[-1].any(), f"cell {ch!r} touches its edge"
                assert not cell[:, 0].any() and not cell[:, -1].any(), f"cell {ch!r} touches its edge"


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_OUT
    os.makedirs(out, exist_ok=True)
    for rid, name, size, draw in IMAGES:
        image = draw()
        if image.size != size:
            raise SystemExit(f"{rid} {name}: drew {image.size}, want {size}")
        if rid == 166:
            check_intro(image)
        if rid == 135:
            check_sheet(image)
        path = os.path.join(out, f"{rid}.png")
        save_png(image, path)
        print(f"{path}  {name}  {size[0]}x{size[1]}  {image.mode}")


if __name__ == "__main__":
    main()
