"""Status icons: the floppy disk and the gears."""

import math

import numpy as np

from raster import Layer, MaskCanvas, gradient, shift

SS = 8


def _bevel(layer, body, colour, light=0.55, shade=0.35, rim=1):
    """Paint `body` in `colour` (rgb or per-pixel array) with a lit upper-left
    rim and a shaded lower-right rim, `rim` pixels wide."""
    lit = np.clip(body - shift(body, rim, rim), 0, 1)[..., None]
    dark = np.clip(body - shift(body, -rim, -rim), 0, 1)[..., None]
    col = np.broadcast_to(np.asarray(colour, np.float32), layer.rgb.shape)
    col = col + (255.0 - col) * lit * light
    col = col * (1.0 - dark * shade)
    layer.paint(col, body)


def floppy():
    """A 3.5-inch disk, 64 x 64: bright blue shell, metal shutter, white
    label. Shapes are kept three pixels or wider so the icon survives being
    shrunk to 24 x 24 with nearest-pixel sampling."""
    n = 64
    img = Layer(n, n)

    def shape(draw):
        c = MaskCanvas(n, n, SS)
        draw(c)
        return c.mask()

    def shell(c, grow=0.0):
        g = grow
        # Rounded square with the top-right corner cut off.
        c.rounded_rect(3 - g, 3 - g, 61 + g, 61 + g, 6 + g)
        c.polygon([(50 + g * 0.4, 3 - g - 1), (62 + g, 3 - g - 1), (62 + g, 15 - g * 0.4)], 0)

    outline = shape(lambda c: shell(c, 1.6))
    body = shape(shell)
    rows = np.arange(n, dtype=np.float32)[:, None] * np.ones((1, n), np.float32)
    shell_col = gradient([(0, (120, 190, 255)), (30, (56, 120, 250)), (64, (34, 72, 200))], rows)
    img.paint((10, 16, 48), outline)
    _bevel(img, body, shell_col, light=0.6, shade=0.4, rim=2)

    # Metal shutter with its window.
    shutter = shape(lambda c: c.rect(17, 3, 47, 25))
    metal = gradient([(3, (236, 240, 248)), (14, (196, 204, 220)), (25, (150, 160, 182))], rows)
    img.paint((10, 16, 48), shape(lambda c: c.rect(15.5, 3, 48.5, 26.5)))
    _bevel(img, shutter, metal, light=0.7, shade=0.3, rim=1)
    img.paint((24, 30, 58), shape(lambda c: c.rect(33, 7, 42, 21)))

    # Label with two ruled lines and a coloured band.
    img.paint((10, 16, 48), shape(lambda c: c.rounded_rect(10.5, 31.5, 53.5, 61.5, 3)))
    paper = shape(lambda c: c.rounded_rect(12, 33, 52, 61, 2))
    _bevel(img, paper, (248, 248, 252), light=0.0, shade=0.12, rim=1)
    img.paint((255, 56, 120), shape(lambda c: c.rect(12, 33, 52, 38)))
    img.paint((150, 160, 190), shape(lambda c: c.rect(16, 44, 48, 47)))
    img.paint((150, 160, 190), shape(lambda c: c.rect(16, 52, 42, 55)))
    return img


def _gear_polygon(cx, cy, teeth, r_tip, r_root, tip_frac=0.34, root_frac=0.52):
    """Outline of a gear with trapezoid teeth."""
    pts = []
    step = 2 * math.pi / teeth
    for i in range(teeth):
        a = i * step - math.pi / 2
        for ang, r in (
            (a - step * root_frac / 2, r_tip),
            (a - step * tip_frac / 2, r_tip),
            (a + step * tip_frac / 2, r_tip),
            (a + step * root_frac / 2, r_tip),
        ):
            pts.append((ang, r))
        # Replace the outer pair by root points to form the trapezoid.
        pts[-4] = (a - step * root_frac / 2, r_root)
        pts[-1] = (a + step * root_frac / 2, r_root)
    return [(cx + r * math.cos(a), cy + r * math.sin(a)) for a, r in pts]


def gear(size, colour, shade_colour, outline=None):
    """A gear icon of `size` pixels in `colour`, with a shaded lower edge,
    a hub ring and a hole."""
    n = size
    c0 = n / 2.0
    r_tip = n * 0.47
    r_root = n * 0.36
    r_ring = n * 0.27
    r_hole = n * 0.13
    teeth = 8
    img = Layer(n, n)

    def shape(draw):
        c = MaskCanvas(n, n, SS)
        draw(c)
        return c.mask()

    def body_shape(c, grow=0.0):
        c.polygon(_gear_polygon(c0, c0, teeth, r_tip + grow, r_root + grow))
        c.ellipse(c0, c0, r_hole - grow, r_hole - grow, 0)

    rim = max(1, int(round(n / 40)))
    if outline is not None:
        img.paint(outline, shape(lambda c: body_shape(c, max(1.0, n / 48))))
    body = shape(body_shape)
    rows = np.arange(n, dtype=np.float32)[:, None] * np.ones((1, n), np.float32)
    col = gradient([(0, colour), (n, shade_colour)], rows)
    _bevel(img, body, col, light=0.5, shade=0.35, rim=rim)
    # A sunken ring around the hub gives the face some depth.
    ring = shape(lambda c: (c.ellipse(c0, c0, r_ring, r_ring), c.ellipse(c0, c0, r_ring - max(1.5, n / 24), r_ring - max(1.5, n / 24), 0)))
    groove = tuple(v * 0.8 for v in shade_colour)
    img.paint(groove, ring * body)
    return img
