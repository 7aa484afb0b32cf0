"""Chrome lettering for the title logo, the maker's logo and the sprite.

A word is set from the stroke letters of glyphs.LOGO, slanted, and painted
in layers: a 3-D extrusion falling to the lower right, a dark outline, the
letter body with a chrome ramp (a sky over a bright horizon line, a second
colour below) and a lit rim along the upper-left edges.
"""

import numpy as np

import glyphs
from raster import Layer, MaskCanvas, gradient, shift, stroke

SS = 6  # supersampling


class Palette:
    def __init__(self, body, outline, extrude_near, extrude_far, rim=0.7):
        self.body = body  # ramp over 0 (cap top) .. 1 (baseline)
        self.outline = outline
        self.extrude_near = extrude_near
        self.extrude_far = extrude_far
        self.rim = rim


TITLE = Palette(
    body=[
        (-0.20, (255, 255, 255)),
        (0.00, (196, 236, 255)),
        (0.50, (64, 128, 255)),
        (0.535, (255, 255, 255)),
        (0.58, (255, 226, 110)),
        (0.78, (255, 120, 40)),
        (1.00, (224, 30, 110)),
        (1.20, (130, 20, 160)),
    ],
    outline=(14, 12, 46),
    extrude_near=(150, 40, 190),
    extrude_far=(48, 14, 92),
)

GOLD = Palette(
    body=[
        (-0.20, (255, 255, 240)),
        (0.00, (255, 246, 196)),
        (0.50, (236, 168, 40)),
        (0.535, (255, 255, 236)),
        (0.58, (255, 232, 140)),
        (0.80, (196, 118, 18)),
        (1.00, (250, 206, 96)),
        (1.20, (255, 236, 170)),
    ],
    outline=(44, 22, 4),
    extrude_near=(150, 86, 14),
    extrude_far=(70, 36, 6),
)


def set_word(text, hw, gap, space):
    """Lay out `text` in grid units: returns (paths, width)."""
    paths = []
    x = 0.0
    first = True
    for ch in text:
        if ch == " ":
            x += space
            continue
        g = glyphs.LOGO[ch]
        x0, _, x1, _ = glyphs.bbox(g)
        if not first:
            x += gap
        x += hw - x0
        for path in g:
            paths.append([(x + px, py) for (px, py) in path])
        x += x1 + hw
        first = False
    return paths, x


class Style:
    def __init__(self, unit, hw, outline, extrude, shear, palette):
        self.unit = unit  # pixels per grid step
        self.hw = hw  # half stroke width, grid steps
        self.outline = outline  # outline width, pixels
        self.extrude = extrude  # extrusion depth, pixels
        self.shear = shear  # rightward lean per grid step of height
        self.palette = palette


def to_pixels(paths, style, ox, oy):
    u = style.unit
    return [
        [(ox + (x + style.shear * (6.0 - y)) * u, oy + y * u) for (x, y) in path]
        for path in paths
    ]


def word_extent(paths, style):
    """Pixel extent (x0, y0, x1, y1) of the inked word at origin (0, 0),
    outline and extrusion included."""
    pix = to_pixels(paths, style, 0.0, 0.0)
    xs = [p[0] for path in pix for p in path]
    ys = [p[1] for path in pix for p in path]
    r = style.hw * style.unit + style.outline
    return (
        min(xs) - r,
        min(ys) - r,
        max(xs) + r + style.extrude,
        max(ys) + r + style.extrude,
    )


def paint_paths(layer, pix_paths, style, cap_top, cap_height, bars=()):
    """Paint pixel-space stroke paths (plus optional filled bar polygons,
    which get the same treatment) onto `layer`."""
    w, h = layer.size
    hw_px = style.hw * style.unit

    def mask(grow):
        c = MaskCanvas(w, h, SS)
        for path in pix_paths:
            stroke(c, path, hw_px + grow)
        for bar in bars:
            _grown_bar(c, bar, grow)
        return c.mask()

    body = mask(0.0)
    outline = mask(style.outline)
    pal = style.palette

    # Extrusion: the outlined shape pushed back one pixel at a time.
    depth = int(round(style.extrude))
    for k in range(depth, 0, -1):
        t = (k - 1) / max(1, depth - 1)
        col = tuple(
            pal.extrude_near[i] * (1 - t) + pal.extrude_far[i] * t for i in range(3)
        )
        layer.paint(col, shift(outline, k, k))
        layer.paint(pal.outline, shift(outline, k, k) * 0.25)
    layer.paint(pal.outline, outline)

    rows = (np.arange(h, dtype=np.float32) - cap_top) / cap_height
    colour = gradient(pal.body, rows[:, None] * np.ones((1, w), np.float32))
    rim = max(1, int(round(style.unit * 0.12)))
    lit = np.clip(body - shift(body, rim, rim), 0, 1)[..., None]
    dark = np.clip(body - shift(body, -rim, -rim), 0, 1)[..., None]
    colour = colour + (255.0 - colour) * lit * pal.rim
    colour = colour * (1.0 - dark * 0.3)
    layer.paint(colour, body)
    return body


def _grown_bar(canvas, bar, grow):
    """A bar is a convex polygon given with its centre-line thickness baked
    in; growing it moves every edge outwards by `grow` (for axis-aligned
    slanted bars a bounding offset is enough)."""
    (x0, y0), (x1, y1), (x2, y2), (x3, y3) = bar
    canvas.polygon(
        [
            (x0 - grow, y0 - grow),
            (x1 + grow, y1 - grow),
            (x2 + grow, y2 + grow),
            (x3 - grow, y3 + grow),
        ]
    )


def draw_word(size, text, style, gap=0.7, space=2.2, stripes=0, glints=()):
    """A whole logo image: the word centred in `size`, optionally flanked by
    `stripes` tapering speed bars on each side. `glints` lists sparkles as
    (path index, point index, size in grid steps): a star of light on that
    point of the lettering."""
    w, h = size
    paths, _ = set_word(text, style.hw, gap, space)
    x0, y0, x1, y1 = word_extent(paths, style)
    ox = (w - (x1 - x0)) / 2.0 - x0
    oy = (h - (y1 - y0)) / 2.0 - y0
    pix = to_pixels(paths, style, ox, oy)
    bars = []
    if stripes:
        bars = _stripes(style, ox + x0, ox + x1, oy, w, stripes)
    layer = Layer(w, h)
    paint_paths(layer, pix, style, oy, 6.0 * style.unit, bars)
    for path_index, point_index, extent in glints:
        gx, gy = pix[path_index][point_index]
        _glint(layer, gx, gy, extent * style.unit)
    return layer


def _glint(layer, cx, cy, r):
    """A four-pointed star of light with a soft halo, at (cx, cy)."""
    w, h = layer.size
    c = MaskCanvas(w, h, SS)
    t = r * 0.09
    c.polygon([(cx - r, cy), (cx, cy - t), (cx + r, cy), (cx, cy + t)])
    c.polygon([(cx, cy - r), (cx + t, cy), (cx, cy + r), (cx - t, cy)])
    d = r * 0.42
    t2 = t * 0.8
    c.polygon([(cx - d, cy - d), (cx + t2, cy - t2), (cx + d, cy + d), (cx - t2, cy + t2)])
    c.polygon([(cx + d, cy - d), (cx + t2, cy + t2), (cx - d, cy + d), (cx - t2, cy - t2)])
    star = c.mask()
    yy, xx = np.mgrid[0:h, 0:w].astype(np.float32)
    halo = np.exp(-((xx - cx) ** 2 + (yy - cy) ** 2) / (2 * (r * 0.22) ** 2)) * 0.9
    layer.paint((255, 255, 255), np.maximum(star, halo * layer.alpha))


def _stripes(style, left, right, oy, width, count):
    """Speed bars beside the word: `count` slanted bars on each side, thinner
    and shorter further from the middle line."""
    u = style.unit
    hw = style.hw * u
    margin = style.outline + 2
    gap = 0.9 * u
    bars = []
    for i in range(count):
        yc = oy + (1.2 + i * 1.8) * u
        th = hw * (1.0 - 0.22 * i)
        length = (left - margin - gap) * (1.0 - 0.18 * i) - 2 * style.outline
        lean = style.shear * u
        for side in (0, 1):
            if side == 0:
                xe = left - gap
                xs = xe - length
            else:
                xs = right - style.extrude + gap
                xe = xs + length
            bars.append(
                [
                    (xs + lean * th / u, yc - th),
                    (xe + lean * th / u, yc - th),
                    (xe - lean * th / u, yc + th),
                    (xs - lean * th / u, yc + th),
                ]
            )
    return bars


def fit_style(text, box, hw, outline, extrude, shear, palette, gap=0.7, space=2.2):
    """The Style with the largest unit whose word fits inside `box` (w, h)
    with a pixel of room on every side."""
    paths, _ = set_word(text, hw, gap, space)

    def extent(unit):
        x0, y0, x1, y1 = word_extent(paths, Style(unit, hw, outline, extrude, shear, palette))
        return x1 - x0, y1 - y0

    # The extent grows linearly with the unit.
    w1, h1 = extent(1.0)
    w2, h2 = extent(2.0)
    unit = min((box[0] - 2 - (2 * w1 - w2)) / (w2 - w1), (box[1] - 2 - (2 * h1 - h2)) / (h2 - h1))
    return Style(unit, hw, outline, extrude, shear, palette)
