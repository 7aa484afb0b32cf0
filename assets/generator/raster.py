"""Small raster toolkit for the artwork generator.

Shapes are drawn as hard-edged polygons into 8-bit masks at a multiple of
the final resolution and box-filtered down, which gives clean anti-aliased
edges without depending on any renderer's own smoothing. Colour work is done
in float32 numpy arrays (straight RGB plus a separate alpha) and quantised
once, when a PNG is written.
"""

import math

import numpy as np
from PIL import Image, ImageDraw, ImageFilter


# --- masks ------------------------------------------------------------------


class MaskCanvas:
    """A hard-edged 8-bit drawing surface at `ss` times the output size."""

    def __init__(self, width, height, ss):
        self.width = width
        self.height = height
        self.ss = ss
        self.image = Image.new("L", (width * ss, height * ss), 0)
        self.draw = ImageDraw.Draw(self.image)

    def _pts(self, pts):
        s = self.ss
        return [(x * s, y * s) for (x, y) in pts]

    def polygon(self, pts, value=255):
        self.draw.polygon(self._pts(pts), fill=value)

    def ellipse(self, cx, cy, rx, ry, value=255):
        s = self.ss
        self.draw.ellipse(
            [(cx - rx) * s, (cy - ry) * s, (cx + rx) * s, (cy + ry) * s], fill=value
        )

    def rect(self, x0, y0, x1, y1, value=255):
        self.polygon([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], value)

    def rounded_rect(self, x0, y0, x1, y1, r, value=255):
        s = self.ss
        self.draw.rounded_rectangle(
            [x0 * s, y0 * s, x1 * s - 1, y1 * s - 1], radius=r * s, fill=value
        )

    def hires(self):
        """The supersampled mask as float32 in 0..1."""
        return np.asarray(self.image, dtype=np.float32) / 255.0

    def mask(self):
        """The mask at output resolution, 0..1."""
        return downsample(self.hires(), self.ss)


def downsample(a, ss):
    """Box-filter a (H*ss, W*ss[, C]) array down by ss."""
    if ss == 1:
        return a
    h = a.shape[0] // ss
    w = a.shape[1] // ss
    shape = (h, ss, w, ss) + a.shape[2:]
    return a.reshape(shape).mean(axis=(1, 3), dtype=np.float64).astype(np.float32)


def blur(mask, radius):
    """Gaussian blur of a 0..1 mask (float32), through an 8-bit image."""
    img = Image.fromarray(np.clip(mask * 255.0 + 0.5, 0, 255).astype(np.uint8), "L")
    img = img.filter(ImageFilter.GaussianBlur(radius))
    return np.asarray(img, dtype=np.float32) / 255.0


def shift(a, dx, dy):
    """Move an array by whole pixels, filling with zeros."""
    out = np.zeros_like(a)
    h, w = a.shape[:2]
    xs0, xs1 = max(0, -dx), min(w, w - dx)
    ys0, ys1 = max(0, -dy), min(h, h - dy)
    if xs0 < xs1 and ys0 < ys1:
        out[ys0 + dy : ys1 + dy, xs0 + dx : xs1 + dx] = a[ys0:ys1, xs0:xs1]
    return out


# --- strokes ----------------------------------------------------------------


def _unit(dx, dy):
    n = math.hypot(dx, dy)
    return (dx / n, dy / n)


def stroke(canvas, path, hw, cap="square", miter_limit=2.2):
    """Draw a polyline `path` (list of (x, y)) with half-width `hw`.

    A path whose last point equals its first is closed. A one-point path is a
    square dot. Joins are mitred, bevelled past `miter_limit`; open ends get
    square caps (extended by hw) or round caps.
    """
    pts = [tuple(map(float, p)) for p in path]
    if len(pts) == 1:
        x, y = pts[0]
        if cap == "round":
            canvas.ellipse(x, y, hw, hw)
        else:
            canvas.rect(x - hw, y - hw, x + hw, y + hw)
        return
    closed = len(pts) > 2 and pts[0] == pts[-1]
    if closed:
        pts = pts[:-1]
    n = len(pts)
    segs = n if closed else n - 1
    for i in range(segs):
        (x0, y0), (x1, y1) = pts[i], pts[(i + 1) % n]
        ux, uy = _unit(x1 - x0, y1 - y0)
        nx, ny = -uy, ux
        if not closed and cap == "square":
            if i == 0:
                x0, y0 = x0 - ux * hw, y0 - uy * hw
            if i == segs - 1:
                x1, y1 = x1 + ux * hw, y1 + uy * hw
        canvas.polygon(
            [
                (x0 + nx * hw, y0 + ny * hw),
                (x1 + nx * hw, y1 + ny * hw),
                (x1 - nx * hw, y1 - ny * hw),
                (x0 - nx * hw, y0 - ny * hw),
            ]
        )
    if not closed and cap == "round":
        for x, y in (pts[0], pts[-1]):
            canvas.ellipse(x, y, hw, hw)
    joins = range(n) if closed else range(1, n - 1)
    for i in joins:
        p = pts[i]
        a = pts[i - 1]
        b = pts[(i + 1) % n]
        u1 = _unit(p[0] - a[0], p[1] - a[1])
        u2 = _unit(b[0] - p[0], b[1] - p[1])
        n1 = (-u1[1], u1[0])
        n2 = (-u2[1], u2[0])
        mx, my = n1[0] + n2[0], n1[1] + n2[1]
        ml = math.hypot(mx, my)
        for sgn in (1.0, -1.0):
            e1 = (p[0] + sgn * n1[0] * hw, p[1] + sgn * n1[1] * hw)
            e2 = (p[0] + sgn * n2[0] * hw, p[1] + sgn * n2[1] * hw)
            if ml < 1e-9:
                continue
            cos_half = (mx * n1[0] + my * n1[1]) / ml
            length = hw / max(cos_half, 1e-9)
            if length / hw <= miter_limit:
                m = (p[0] + sgn * mx / ml * length, p[1] + sgn * my / ml * length)
                canvas.polygon([p, e1, m, e2])
            else:
                canvas.polygon([p, e1, e2])


# --- colour -----------------------------------------------------------------


def gradient(stops, t):
    """Piecewise-linear colour ramp. stops: [(pos, (r, g, b)), ...] sorted by
    pos; t: array of positions. Returns (..., 3) float32 in 0..255."""
    t = np.asarray(t, dtype=np.float32)
    pos = np.array([s[0] for s in stops], dtype=np.float32)
    out = np.empty(t.shape + (3,), dtype=np.float32)
    for c in range(3):
        vals = np.array([s[1][c] for s in stops], dtype=np.float32)
        out[..., c] = np.interp(t, pos, vals).astype(np.float32)
    return out


class Layer:
    """An RGBA image in straight float32 colour (0..255) and alpha (0..1)."""

    def __init__(self, width, height, rgb=(0, 0, 0), alpha=0.0):
        self.rgb = np.empty((height, width, 3), dtype=np.float32)
        self.rgb[...] = rgb
        self.alpha = np.full((height, width), alpha, dtype=np.float32)

    @property
    def size(self):
        return self.alpha.shape[1], self.alpha.shape[0]

    def paint(self, colour, coverage):
        """Composite `colour` (rgb tuple or (H, W, 3) array) with per-pixel
        `coverage` (0..1) over this layer (Porter-Duff over)."""
        cov = np.clip(np.asarray(coverage, dtype=np.float32), 0.0, 1.0)
        col = np.broadcast_to(np.asarray(colour, dtype=np.float32), self.rgb.shape)
        a_out = cov + self.alpha * (1.0 - cov)
        safe = np.where(a_out > 0, a_out, 1.0)
        w_src = (cov / safe)[..., None]
        self.rgb = col * w_src + self.rgb * (1.0 - w_src)
        self.alpha = a_out

    def paste(self, other, x, y):
        """Composite another layer over this one with its top-left at (x, y)."""
        w, h = other.size
        sub = Layer(w, h)
        sub.rgb = self.rgb[y : y + h, x : x + w].copy()
        sub.alpha = self.alpha[y : y + h, x : x + w].copy()
        sub.paint(other.rgb, other.alpha)
        self.rgb[y : y + h, x : x + w] = sub.rgb
        self.alpha[y : y + h, x : x + w] = sub.alpha

    def to_image(self, mode="RGBA"):
        rgb = np.clip(np.floor(self.rgb + 0.5), 0, 255).astype(np.uint8)
        if mode == "RGB":
            return Image.fromarray(rgb, "RGB")
        a = np.clip(np.floor(self.alpha * 255.0 + 0.5), 0, 255).astype(np.uint8)
        # Fully transparent pixels carry black so that the files stay tidy.
        rgb[a == 0] = 0
        return Image.fromarray(np.dstack([rgb, a]), "RGBA")


def save_png(image, path):
    """Write a PNG without time stamps or other varying chunks."""
    image.save(path, format="PNG", optimize=False, compress_level=9)
