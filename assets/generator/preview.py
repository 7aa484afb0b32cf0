#!/usr/bin/python3
"""Mock-ups of the artwork as the program shows it, for looking at.

Usage:  /usr/bin/python3 assets/generator/preview.py [IMAGEDIR] [OUTDIR]

Writes to OUTDIR (default /tmp/artwork-preview): the intro at several
moments with its white covers, a main-screen mock-up (scope lines, title logo
at 576 x 125, rows with the status icons, list shade, scroller, wobble
sprite), the logo flip's squashed frames, the glyph sheet and the icons
magnified. Scaled blits use nearest-pixel sampling, as the software
renderer does.
"""

import math
import os
import sys

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
IMAGES = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "images")
OUT = sys.argv[2] if len(sys.argv) > 2 else "/tmp/artwork-preview"
ROBOTO = "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf"
LABEL = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf"


def img(rid):
    return Image.open(os.path.join(IMAGES, f"{rid}.png")).convert("RGBA")


def blit(dst, src, rect, alpha_mod=255):
    """Stretch `src` into rect (x, y, w, h) on dst, nearest pixel, blended."""
    x, y, w, h = rect
    if w <= 0 or h <= 0:
        return
    s = src.resize((w, h), Image.NEAREST) if (w, h) != src.size else src
    if alpha_mod != 255:
        r, g, b, a = s.split()
        a = a.point(lambda v: v * alpha_mod // 255)
        s = Image.merge("RGBA", (r, g, b, a))
    dst.alpha_composite(s, (x, y)) if x >= 0 and y >= 0 else dst.paste(s, (x, y), s)


def intro_frames():
    pic, panel, logo = img(166), img(169), img(170)
    frames = []
    for d in (1000, 2700, 4200, 5800, 7200, 8800, 10100, 11500, 13000):
        f = Image.new("RGBA", (960, 540), (255, 255, 255, 255))
        f.alpha_composite(pic)

        def cover(a, rects):
            for r in rects:
                blit(f, panel, r, a)

        if d < 3396:
            a = 255 if d <= 1896 else 255 + (1896 - d) * 255 // 1500
            cover(a, [(106, 42, 134, 87), (601, 45, 261, 84)])
        if d < 6500:
            a = 255 if d <= 5000 else 255 + (5000 - d) * 255 // 1500
            cover(a, [(167, 120, 499, 310)])
        if d < 9500:
            a = 255 if d <= 8000 else 255 + (8000 - d) * 255 // 1500
            cover(a, [(293, 451, 371, 64)])
        if d > 9600:
            a = (d - 9600) * 255 // 1000 if d < 10600 else 255
            cover(a, [(0, 0, 960, 540)])
            blit(f, logo, ((960 - 700) // 2, (540 - 152) // 2, 700, 152), a)
        if d > 12138:
            a = (d - 12138) * 255 // 1500 if d < 13638 else 255
            cover(a, [(0, 0, 960, 540)])
        ImageDraw.Draw(f).text((8, 520), f"D = {d}", fill=(255, 0, 0, 255))
        frames.append(f.resize((480, 270), Image.BILINEAR))
    sheet = Image.new("RGBA", (480 * 3 + 20, 270 * 3 + 20), (60, 60, 60, 255))
    for i, f in enumerate(frames):
        sheet.paste(f, ((i % 3) * 490, (i // 3) * 280))
    sheet.convert("RGB").save(os.path.join(OUT, "intro_frames.png"))


def scroller_line(dst, sheet, text, phase, slices, y_mid=470):
    cells = {}
    for r, row in enumerate(["!<>+,-./01", "23456789: ", "abcdefghij", "klmnopqrst", "uvwxyz****"]):
        for c, ch in enumerate(row):
            cells[ch] = (1 + 31 * c, 1 + 31 * r)
    x = 20
    for ch in text:
        if ch not in cells:
            x += 30
            continue
        gx, gy = cells[ch]
        sw = 30 // slices
        for k in range(slices):
            y = int(y_mid - math.sin(phase) * 40)
            phase += sw * 0.01
            src = sheet.crop((gx + k * sw, gy, gx + k * sw + sw, gy + 30))
            dst.alpha_composite(src, (x, y))
            x += sw
            if x >= dst.width:
                return


def main_screen():
    s = Image.new("RGBA", (960, 540), (0, 0, 0, 255))
    d = ImageDraw.Draw(s)
    centre = 75
    # Scope lines, then the title logo over their inner ends.
    d.line([(0, centre), (279, centre)], fill=(255, 255, 255, 255))
    d.line([(680, centre), (959, centre)], fill=(255, 255, 255, 255))
    blit(s, img(170), ((960 - 576) // 2, centre - 62, 576, 125))
    # Rows of the drum: title left, artist right, time and size beyond.
    title = ImageFont.truetype(LABEL, 27)
    artist = ImageFont.truetype(LABEL, 20)
    info = ImageFont.truetype(ROBOTO, 14)
    x0 = (960 - 576) // 2
    for i, yy in enumerate(range(150, 420, 38)):
        cur = i == 3
        col = (255, 255, 255, 255) if cur else (255, 0, 64, 255)
        d.text((x0, yy), f"song number {i + 1}", font=title, fill=col)
        d.text((x0 + 400, yy + 7), "oru", font=artist, fill=col)
        d.text((x0 + 576 + 7, yy + 7), f"{i + 2}:0{i}", font=info, fill=(255, 0, 64, 255))
        d.text((x0 + 576 + 7, yy + 24), f"{20000 + 731 * i} bytes", font=info, fill=(255, 0, 64, 255))
        if cur:
            blit(s, img(171), (x0 - 34, yy + 12, 24, 24))
        if i == 5:
            blit(s, img(175), (x0 - 34, yy + 12, 24, 24))
    # The shade over the drum.
    blit(s, img(136), (x0 - 40, 150, 576 + 180, 276))
    scroller_line(s, img(135), "      welcome to music disk! (by oru) 12:34", 0.7, 1)
    blit(s, img(137), (600, 80, 150, 52))
    s.convert("RGB").save(os.path.join(OUT, "main_screen.png"))

    # The scroller in both modes, magnified.
    strip = Image.new("RGBA", (960, 240), (0, 0, 0, 255))
    a = Image.new("RGBA", (960, 540), (0, 0, 0, 255))
    scroller_line(a, img(135), "the quick brown fox, jumps: over 1+2-3/4.", 1.2, 1)
    b = Image.new("RGBA", (960, 540), (0, 0, 0, 255))
    scroller_line(b, img(135), "the quick brown fox, jumps: over 1+2-3/4.", 1.2, 15)
    strip.paste(a.crop((0, 420, 960, 540)), (0, 0))
    strip.paste(b.crop((0, 420, 960, 540)), (0, 120))
    strip.convert("RGB").save(os.path.join(OUT, "scroller.png"))
    strip.crop((0, 0, 480, 240)).resize((960, 480), Image.NEAREST).convert("RGB").save(
        os.path.join(OUT, "scroller_zoom.png"))


def flip():
    s = Image.new("RGBA", (960, 4 * 140), (0, 0, 0, 255))
    for i, (rid, h) in enumerate(((170, 125), (170, 60), (146, 125), (146, 50))):
        blit(s, img(rid), (192, i * 140 + 70 - h // 2, 576, h))
    s.convert("RGB").save(os.path.join(OUT, "flip.png"))


def magnified():
    sh = img(135)
    bg = Image.new("RGBA", sh.size, (0, 0, 0, 255))
    bg.alpha_composite(sh)
    bg.resize((sh.width * 3, sh.height * 3), Image.NEAREST).convert("RGB").save(
        os.path.join(OUT, "fontsheet_x3.png"))
    tiles = Image.new("RGBA", (4 * 140 + 30, 330), (20, 20, 28, 255))
    for i, rid in enumerate((171, 175, 173, 174)):
        im = img(rid)
        big = im.resize((128, 128), Image.NEAREST)
        tiles.alpha_composite(big, (10 + i * 145, 10))
        small = im.resize((24, 24), Image.NEAREST)
        tiles.alpha_composite(small.resize((96, 96), Image.NEAREST), (10 + i * 145, 150))
        tiles.alpha_composite(small, (10 + i * 145, 260))
    tiles.convert("RGB").save(os.path.join(OUT, "icons.png"))
    sp = img(137)
    bg = Image.new("RGBA", (75 * 6, 26 * 6 + 70), (0, 0, 0, 255))
    bg.alpha_composite(sp.resize((450, 156), Image.NEAREST))
    bg.alpha_composite(sp.resize((112, 39), Image.NEAREST), (10, 160))
    bg.alpha_composite(sp.resize((187, 65), Image.NEAREST), (140, 160))
    bg.convert("RGB").save(os.path.join(OUT, "sprite.png"))
    shade = img(136)
    test = Image.new("RGBA", (200, 300), (255, 0, 64, 255))
    blit(test, shade, (0, 0, 200, 300))
    test.convert("RGB").save(os.path.join(OUT, "shade.png"))


def main():
    os.makedirs(OUT, exist_ok=True)
    intro_frames()
    main_screen()
    flip()
    magnified()
    print(OUT)


if __name__ == "__main__":
    main()
