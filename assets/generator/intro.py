"""The 960 x 540 intro picture.

White paper with four parts that the intro uncovers one after another: two
credit captions at the top, a framed synthwave landscape in the middle and
the title caption at the bottom. Each part stays inside its reveal window;
everything else is plain white.
"""

import math

import numpy as np
from PIL import Image, ImageDraw, ImageFont

import logo
from raster import Layer, blur, downsample, gradient

WIDTH, HEIGHT = 960, 540

# Reveal windows (x, y, w, h).
TOP_LEFT = (106, 42, 134, 87)
TOP_RIGHT = (601, 45, 261, 84)
CENTRE = (167, 120, 499, 310)
BOTTOM = (293, 451, 371, 64)

LABEL_FONT = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Medium.ttf"
LABEL_COLOUR = (92, 82, 124)
SS = 4


class Rng:
    """A tiny linear congruential generator, so that the picture never
    depends on a library's random stream."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        self.state = (self.state * 1664525 + 1013904223) & 0xFFFFFFFF
        return self.state / 4294967296.0


# --- text -------------------------------------------------------------------


def label(text, size, tracking):
    """A line of small capitals in Roboto Medium as a coverage mask, drawn
    at SS times the size and box-filtered down. Returns (mask, width)."""
    font = ImageFont.truetype(LABEL_FONT, size * SS)
    advances = [font.getlength(ch) for ch in text]
    total = sum(advances) + tracking * SS * (len(text) - 1)
    ascent, descent = font.getmetrics()
    w = int(math.ceil(total / SS)) + 2
    h = int(math.ceil((ascent + descent) / SS)) + 2
    img = Image.new("L", (w * SS, h * SS), 0)
    d = ImageDraw.Draw(img)
    x = SS
    for ch, adv in zip(text, advances):
        d.text((x, SS), ch, font=font, fill=255)
        x += adv + tracking * SS
    mask = downsample(np.asarray(img, dtype=np.float32) / 255.0, SS)
    return mask, total / SS


def put_mask(canvas, mask, x, y, colour):
    """Paint a coverage mask onto the canvas Layer at integer (x, y)."""
    h, w = mask.shape
    full = np.zeros(canvas.alpha.shape, dtype=np.float32)
    full[y : y + h, x : x + w] = mask
    canvas.paint(colour, full)


def text_block(canvas, rect, text, size, tracking, word, palette, unit=None):
    """A caption: a spaced-out label over a chrome word, the pair centred
    in `rect`; the word is as large as the rectangle allows, or `unit`."""
    rx, ry, rw, rh = rect
    mask, width = label(text, size, tracking)
    gap = 2
    box = (rw - 6, rh - mask.shape[0] - gap - 4)
    style = logo.fit_style(word, box, 0.8, 1.6, 3, 0.16, palette)
    if unit is not None:
        style.unit = min(style.unit, unit)
    art = logo.draw_word(box, word, style)
    ink = art.alpha > 0.02
    rows = np.nonzero(ink.any(axis=1))[0]
    top_ink, bottom_ink = int(rows[0]), int(rows[-1]) + 1
    block_h = mask.shape[0] + gap + (bottom_ink - top_ink)
    top = ry + (rh - block_h) // 2
    put_mask(canvas, mask, rx + int(round((rw - width) / 2)) - 1, top, LABEL_COLOUR)
    canvas.paste(art, rx + 3, top + mask.shape[0] + gap - top_ink)
    return style


# --- the landscape ----------------------------------------------------------


def smoothstep(e0, e1, x):
    t = np.clip((x - e0) / (e1 - e0), 0.0, 1.0)
    return t * t * (3.0 - 2.0 * t)


def landscape(w, h):
    """The framed picture: a striped sun setting behind waveform mountains
    over a neon grid. Returns a Layer of size w x h."""
    s = SS
    W, H = w * s, h * s
    yy, xx = np.mgrid[0:H, 0:W].astype(np.float32)
    yy = (yy + 0.5) / s
    xx = (xx + 0.5) / s
    horizon = h * 0.60
    cx = w * 0.5

    # Sky.
    t = yy / horizon
    rgb = gradient(
        [
            (0.00, (10, 6, 34)),
            (0.30, (30, 12, 70)),
            (0.62, (96, 24, 120)),
            (0.86, (226, 70, 132)),
            (1.00, (255, 158, 110)),
        ],
        t,
    )

    # Stars, thinning out towards the horizon.
    rng = Rng(1987)
    stars = np.zeros((h, w), dtype=np.float32)
    for _ in range(110):
        sx = int(rng.next() * w)
        sy = int(rng.next() ** 1.6 * horizon * 0.62)
        b = 0.35 + 0.65 * rng.next()
        stars[sy, sx] = max(stars[sy, sx], b)
        if rng.next() < 0.12:
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                if 0 <= sy + dy < h and 0 <= sx + dx < w:
                    stars[sy + dy, sx + dx] = max(stars[sy + dy, sx + dx], b * 0.45)
    stars = np.kron(stars, np.ones((s, s), np.float32))
    rgb = rgb + (255.0 - rgb) * stars[..., None] * (1.0 - smoothstep(0.35, 0.75, t))[..., None]

    # Glow around the sun.
    sun_r = h * 0.33
    sun_cy = horizon - h * 0.06
    d = np.sqrt((xx - cx) ** 2 + (yy - sun_cy) ** 2)
    glow = np.exp(-np.maximum(d - sun_r, 0) / (h * 0.16)) * 0.55
    rgb = rgb + (np.array([255, 120, 170], np.float32) - rgb) * glow[..., None] * 0.6

    # The sun with its cut-out stripes.
    sun_t = (yy - (sun_cy - sun_r)) / (2 * sun_r)
    sun_col = gradient(
        [(0.0, (255, 250, 170)), (0.35, (255, 206, 84)), (0.62, (255, 110, 76)),
         (1.0, (240, 40, 150))],
        sun_t,
    )
    inside = (d <= sun_r).astype(np.float32)
    # Stripes: bands below the sun's middle, thicker further down.
    v = (yy - sun_cy) / sun_r  # -1 top .. 1 bottom
    band = np.zeros_like(v)
    for y0, th in ((-0.42, 0.03), (-0.28, 0.045), (-0.15, 0.06), (-0.03, 0.075),
                   (0.09, 0.09)):
        band = np.maximum(band, ((v >= y0) & (v < y0 + th)).astype(np.float32))
    sun_cov = inside * (1.0 - band)
    rgb = rgb * (1 - sun_cov[..., None]) + sun_col * sun_cov[..., None]

    # Waveform mountains: a sum of sines under an envelope that opens a
    # valley where the sun sets.
    u = (xx - cx) / (w * 0.5)  # -1 .. 1
    env = 0.18 + 0.82 * smoothstep(0.18, 0.85, np.abs(u))

    def ridge(a1, f1, p1, a2, f2, p2, a3, f3, p3, height):
        wave = (a1 * np.sin(f1 * u + p1) + a2 * np.sin(f2 * u + p2)
                + a3 * np.abs(np.sin(f3 * u + p3)))
        return horizon - height * env * (0.55 + 0.45 * wave)

    far = ridge(0.5, 7.0, 0.4, 0.3, 17.0, 1.1, 0.35, 29.0, 0.2, h * 0.26)
    near = ridge(0.55, 5.0, 2.0, 0.25, 13.0, 0.3, 0.3, 23.0, 1.7, h * 0.17)
    for top, base, edge in ((far, (58, 18, 92), (255, 120, 220)),
                            (near, (28, 8, 52), (90, 220, 255))):
        cov = (yy >= top).astype(np.float32)
        depth = np.clip((yy - top) / (h * 0.25), 0, 1)[..., None]
        col = np.array(base, np.float32) * (1.0 - 0.5 * depth)
        rgb = rgb * (1 - cov[..., None]) + col * cov[..., None]
        line = np.clip(1.0 - np.abs(yy - top) * 1.1, 0, 1)
        rgb = rgb + (np.array(edge, np.float32) - rgb) * line[..., None] * 0.9

    # Ground with a perspective grid.
    below = yy >= horizon
    gt = np.clip((yy - horizon) / (h - horizon), 0, 1)
    ground = gradient([(0.0, (70, 10, 80)), (0.25, (30, 6, 50)), (1.0, (12, 2, 28))], gt)
    rgb = np.where(below[..., None], ground, rgb)

    dy = np.maximum(yy - horizon, 1e-3)
    cam = h * 2.0
    z = cam / dy  # depth of the ground point seen at this row
    wx = (xx - cx) / dy  # world x (ground units) of this pixel
    zf = z * 0.55
    wxf = wx * 2.2
    line_z = np.abs(zf - np.round(zf))
    line_x = np.abs(wxf - np.round(wxf))
    # Distances in pixels: divide by the screen-space rate of change.
    pz = line_z / (cam * 0.55 / dy ** 2)
    px = line_x / (2.2 / dy)
    # Lines closer together than a few pixels would only shimmer: let them
    # fade out towards the horizon.
    gz = np.clip(1.6 - pz, 0, 1) * smoothstep(4.0, 12.0, dy ** 2 / (cam * 0.55))
    gx = np.clip(1.4 - px, 0, 1) * smoothstep(6.0, 16.0, dy / 2.2)
    grid = np.maximum(gz, gx) * below
    bloom = blur(downsample(grid, s), 2.5)
    bloom = np.kron(bloom, np.ones((s, s), np.float32)) * below
    grid_col = gradient([(0.0, (255, 130, 230)), (0.5, (255, 70, 210)), (1.0, (200, 60, 255))], gt)
    rgb = rgb + (grid_col - rgb) * np.clip(bloom * 0.9, 0, 1)[..., None] * 0.6
    rgb = rgb + (grid_col - rgb) * grid[..., None]

    # The sun's reflection: wavy streaks under the horizon.
    refl = np.exp(-((xx - cx) / (sun_r * 0.9)) ** 2) * np.exp(-(yy - horizon) / (h * 0.14))
    wav = 0.5 + 0.5 * np.sin((yy - horizon) * 0.9 + np.sin(xx * 0.07) * 2.0)
    rgb = rgb + (np.array([255, 150, 120], np.float32) - rgb) * (refl * wav * below * 0.3)[..., None]

    # Haze along the horizon.
    haze = np.exp(-np.abs(yy - horizon) / (h * 0.025)) * 0.35
    rgb = rgb + (np.array([255, 170, 200], np.float32) - rgb) * haze[..., None]

    # Vignette.
    vx = (xx - cx) / (w * 0.5)
    vy = (yy - h * 0.5) / (h * 0.5)
    vig = 1.0 - 0.28 * smoothstep(0.5, 1.4, np.sqrt(vx ** 2 + vy ** 2))
    rgb = rgb * vig[..., None]

    out = Layer(w, h)
    out.rgb = downsample(np.clip(rgb, 0, 255), s)
    out.alpha[...] = 1.0
    return out


def rounded_mask(w, h, r):
    s = SS
    img = Image.new("L", (w * s, h * s), 0)
    ImageDraw.Draw(img).rounded_rectangle([0, 0, w * s - 1, h * s - 1], radius=r * s, fill=255)
    return downsample(np.asarray(img, dtype=np.float32) / 255.0, s)


def centre_picture(canvas):
    rx, ry, rw, rh = CENTRE
    inset = 7
    w, h = rw - 2 * inset, rh - 2 * inset - 2
    x, y = rx + inset, ry + inset
    shape = rounded_mask(w, h, 14)

    # A soft shadow, kept inside the window.
    sh = np.zeros((rh, rw), np.float32)
    sh[inset + 3 : inset + 3 + h, inset : inset + w] = shape
    sh = blur(sh, 3.0) * 0.35
    sh[:, :2] = 0
    sh[:, -2:] = 0
    sh[:2, :] = 0
    sh[-2:, :] = 0
    full = np.zeros(canvas.alpha.shape, np.float32)
    full[ry : ry + rh, rx : rx + rw] = sh
    canvas.paint((40, 20, 60), full)

    pic = landscape(w, h)
    # A fine light rim on the frame.
    rim = np.clip(shape - rounded_mask_inset(w, h, 14, 1.5), 0, 1)
    pic.rgb = pic.rgb + (255.0 - pic.rgb) * rim[..., None] * 0.35
    pic.alpha = shape
    canvas.paste(pic, x, y)


def rounded_mask_inset(w, h, r, d):
    s = SS
    img = Image.new("L", (w * s, h * s), 0)
    ds = int(round(d * s))
    ImageDraw.Draw(img).rounded_rectangle(
        [ds, ds, w * s - 1 - ds, h * s - 1 - ds], radius=max(1, (r - d) * s), fill=255
    )
    return downsample(np.asarray(img, dtype=np.float32) / 255.0, s)


def draw_intro():
    canvas = Layer(WIDTH, HEIGHT, rgb=(255, 255, 255), alpha=1.0)
    # Both credits carry the same name: set it at the same size in both.
    left = text_block(canvas, TOP_LEFT, "MUSIC", 12, 2.4, "Oru", logo.GOLD)
    text_block(canvas, TOP_RIGHT, "CODE & GRAPHICS", 12, 2.4, "Oru", logo.GOLD, left.unit)
    centre_picture(canvas)
    text_block(canvas, BOTTOM, "PRESENTS", 11, 2.6, "Music Disk", logo.TITLE)
    return canvas.to_image("RGB")
