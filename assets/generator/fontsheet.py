"""The scroller's glyph sheet: 10 x 5 cells of 30 x 30 at a pitch of 31."""

import math

import numpy as np

import glyphs
from raster import Layer, MaskCanvas, gradient, shift, stroke

COLS, ROWS = 10, 5
CELL, PITCH = 30, 31
WIDTH, HEIGHT = 1 + PITCH * COLS, 1 + PITCH * ROWS  # 311 x 156
GRID_COLOUR = (64, 64, 72)
ROW_TEXT = ["!<>+,-./01", "23456789: ", "abcdefghij", "klmnopqrst", "uvwxyz****"]
BLANK = {" ", "*"}
SHOWN_AS = {"<": "(", ">": ")"}

SS = 8  # supersampling
UNIT_X = 4.2  # pixels per grid step, across
UNIT_Y = 3.5  # pixels per grid step, down
HALF = 2.5  # half stroke width, pixels
EDGE = 0.85  # outline width beyond the stroke, pixels
TOP = 4.0  # pixel row of grid y = 0

# Body colour by pixel row of the cell: chrome, a pale sky over a bright
# horizon line and a sunset below it.
BODY_RAMP = [
    (0.0, (255, 255, 255)),
    (4.0, (200, 240, 255)),
    (11.5, (80, 150, 255)),
    (12.5, (255, 255, 255)),
    (13.5, (255, 220, 90)),
    (19.0, (255, 110, 40)),
    (25.0, (220, 30, 110)),
    (30.0, (120, 20, 160)),
]
OUTLINE_COLOUR = (20, 20, 60)


def _snap(v):
    return math.floor(v) + 0.5


def _placed(paths):
    """Grid paths to cell pixel coordinates, centred horizontally, on a
    shared baseline, every point snapped to a pixel centre so that the
    5-pixel strokes land on whole pixels."""
    x0, _, x1, _ = glyphs.bbox(paths)
    ox = (CELL - (x1 - x0) * UNIT_X) / 2.0 - x0 * UNIT_X
    return [
        [(_snap(ox + x * UNIT_X), _snap(TOP + y * UNIT_Y)) for (x, y) in path]
        for path in paths
    ]


def _mask(paths, hw):
    canvas = MaskCanvas(CELL, CELL, SS)
    for path in paths:
        stroke(canvas, path, hw)
    return canvas.mask()


def draw_glyph(char):
    """One 30 x 30 cell as a Layer (transparent where there is no ink)."""
    cell = Layer(CELL, CELL)
    if char in BLANK:
        return cell
    paths = _placed(glyphs.CAPS[SHOWN_AS.get(char, char)])
    body = _mask(paths, HALF)
    outline = _mask(paths, HALF + EDGE)

    rows = np.arange(CELL, dtype=np.float32)[:, None] * np.ones((1, CELL), np.float32)
    colour = gradient(BODY_RAMP, rows)
    # Lit from the top left: a bright rim where the stroke meets the light,
    # a darker one on the far side.
    lit = np.clip(body - shift(body, 1, 1), 0, 1)[..., None]
    dark = np.clip(body - shift(body, -1, -1), 0, 1)[..., None]
    colour = colour + (255.0 - colour) * lit * 0.65
    colour = colour * (1.0 - dark * 0.35)

    cell.paint(OUTLINE_COLOUR, outline)
    cell.paint(colour, body)
    return cell


def draw_sheet():
    sheet = Layer(WIDTH, HEIGHT)
    for i in range(COLS + 1):
        sheet.rgb[:, i * PITCH] = GRID_COLOUR
        sheet.alpha[:, i * PITCH] = 1.0
    for j in range(ROWS + 1):
        sheet.rgb[j * PITCH, :] = GRID_COLOUR
        sheet.alpha[j * PITCH, :] = 1.0
    for r, text in enumerate(ROW_TEXT):
        for c, ch in enumerate(text):
            sheet.paste(draw_glyph(ch), 1 + PITCH * c, 1 + PITCH * r)
    return sheet.to_image("RGBA")
