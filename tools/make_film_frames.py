#!/usr/bin/env python3
"""Draws the library's film-holder overlays and their list, NegativeCore/Resources/Frames.

Each overlay is an RGBA PNG: an opaque holder (film rebate, perforations, edge markings, mount
or filed border) around a transparent film window with a soft inner edge. Every window has the
orientation of its overlay, so the rotation test on the overlay and the composite's test on the
window agree. Standard library only; the output is deterministic.

    tools/make_film_frames.py [output folder]
"""

import json
import math
import random
import re
import struct
import sys
import zlib
from pathlib import Path

# --- canvas -----------------------------------------------------------------------------------


class Canvas:
    """Opaque RGB in floats 0…1 plus a coverage plane; painting is 'over' with a coverage."""

    def __init__(self, width, height, colour):
        self.w, self.h = width, height
        n = width * height
        self.r = [colour[0]] * n
        self.g = [colour[1]] * n
        self.b = [colour[2]] * n
        self.a = [1.0] * n

    def paint(self, box, coverage, colour):
        """Blends colour (a tuple, or a function of x, y) where coverage(x, y) > 0 in box."""
        x0, y0, x1, y1 = clip_box(box, self.w, self.h)
        fixed = not callable(colour)
        for y in range(y0, y1):
            row = y * self.w
            for x in range(x0, x1):
                c = coverage(x + 0.5, y + 0.5)
                if c <= 0.0:
                    continue
                if c > 1.0:
                    c = 1.0
                cr, cg, cb = colour if fixed else colour(x + 0.5, y + 0.5)
                i = row + x
                self.r[i] += (cr - self.r[i]) * c
                self.g[i] += (cg - self.g[i]) * c
                self.b[i] += (cb - self.b[i]) * c

    def cut(self, box, transparency):
        """Lowers coverage where transparency(x, y) > 0 (the film window)."""
        x0, y0, x1, y1 = clip_box(box, self.w, self.h)
        for y in range(y0, y1):
            row = y * self.w
            for x in range(x0, x1):
                t = transparency(x + 0.5, y + 0.5)
                if t > 0.0:
                    i = row + x
                    self.a[i] = min(self.a[i], 1.0 - min(t, 1.0))

    def grain(self, seed, amount, cell):
        """Smooth, faint texture: value noise on a coarse lattice, so the PNG stays small."""
        noise = ValueNoise(seed, cell)
        for y in range(self.h):
            row = y * self.w
            for x in range(self.w):
                i = row + x
                if self.a[i] <= 0.0:
                    continue
                d = (noise.at(x, y) - 0.5) * amount
                self.r[i] += d
                self.g[i] += d
                self.b[i] += d

    def png(self):
        raw = bytearray()
        for y in range(self.h):
            line = bytearray(self.w * 4)
            row = y * self.w
            for x in range(self.w):
                i = row + x
                j = x * 4
                line[j] = byte(self.r[i])
                line[j + 1] = byte(self.g[i])
                line[j + 2] = byte(self.b[i])
                line[j + 3] = byte(self.a[i])
            raw.append(1)  # Sub filter
            raw += sub_filter(line)
        return png_file(self.w, self.h, bytes(raw))


def clip_box(box, w, h):
    x0, y0, x1, y1 = box
    return (max(0, int(math.floor(x0))), max(0, int(math.floor(y0))),
            min(w, int(math.ceil(x1))), min(h, int(math.ceil(y1))))


def byte(v):
    return 0 if v <= 0.0 else 255 if v >= 1.0 else int(v * 255.0 + 0.5)


def sub_filter(line):
    out = bytearray(line)
    for j in range(len(line) - 1, 3, -1):
        out[j] = (line[j] - line[j - 4]) & 0xFF
    return out


def png_file(w, h, filtered):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)  # 8-bit RGBA
    srgb = struct.pack(">B", 0)  # perceptual sRGB
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"sRGB", srgb) +
            chunk(b"IDAT", zlib.compress(filtered, 9)) + chunk(b"IEND", b""))


class ValueNoise:
    def __init__(self, seed, cell):
        rng = random.Random(seed)
        self.cell = float(cell)
        self.size = 64
        self.table = [rng.random() for _ in range(self.size * self.size)]

    def at(self, x, y):
        fx, fy = x / self.cell, y / self.cell
        ix, iy = int(fx), int(fy)
        tx, ty = smooth(fx - ix), smooth(fy - iy)
        s = self.size
        t = self.table
        a = t[(iy % s) * s + ix % s]
        b = t[(iy % s) * s + (ix + 1) % s]
        c = t[((iy + 1) % s) * s + ix % s]
        d = t[((iy + 1) % s) * s + (ix + 1) % s]
        top = a + (b - a) * tx
        return top + (c + (d - c) * tx - top) * ty


def smooth(t):
    t = 0.0 if t < 0.0 else 1.0 if t > 1.0 else t
    return t * t * (3.0 - 2.0 * t)


# --- shapes -----------------------------------------------------------------------------------


def rounded_distance(x, y, rect, radius):
    """Signed distance to a rounded rectangle (x, y, w, h): negative inside."""
    rx, ry, rw, rh = rect
    cx, cy = rx + rw / 2.0, ry + rh / 2.0
    qx = abs(x - cx) - (rw / 2.0 - radius)
    qy = abs(y - cy) - (rh / 2.0 - radius)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def rounded(rect, radius):
    """Anti-aliased coverage of a rounded rectangle."""
    return lambda x, y: 0.5 - rounded_distance(x, y, rect, radius)


def box_of(rect, pad=2):
    x, y, w, h = rect
    return (x - pad, y - pad, x + w + pad, y + h + pad)


def soft_window(rect, radius, inside, outside, rough=None):
    """Transparency of the film window: 1 deeper than `inside` pixels within it, 0 beyond
    `outside` pixels outside it, a smooth ramp across the edge. rough(x, y) shifts the edge."""
    def transparency(x, y):
        d = rounded_distance(x, y, rect, radius)
        if rough is not None:
            d += rough(x, y)
        return smooth((-d + outside) / (inside + outside))
    return transparency


# A 5 × 7 pixel font for the few edge-marking characters.
GLYPHS = {
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    "4": ["00010", "00110", "01010", "10010", "11111", "00010", "00010"],
    "5": ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    "6": ["00110", "01000", "10000", "11110", "10001", "10001", "01110"],
    "7": ["11111", "00001", "00010", "00100", "01000", "01000", "01000"],
    "8": ["01110", "10001", "10001", "01110", "10001", "10001", "01110"],
    "9": ["01110", "10001", "10001", "01111", "00001", "00010", "01100"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    ">": ["10000", "11000", "11100", "11110", "11100", "11000", "10000"],
    "<": ["00001", "00011", "00111", "01111", "00111", "00011", "00001"],
    " ": ["00000"] * 7,
}


def text(canvas, string, x, y, scale, colour, vertical=False):
    """Blocky text from the 5 × 7 font, each font pixel a softened square of `scale` pixels;
    vertical text runs downward, turned a quarter turn clockwise."""
    pen = 0.0
    for ch in string:
        rows = GLYPHS[ch]
        for gy, bits in enumerate(rows):
            for gx, bit in enumerate(bits):
                if bit != "1":
                    continue
                if vertical:
                    rect = (x + (6 - gy) * scale, y + (pen + gx) * scale, scale, scale)
                else:
                    rect = (x + (pen + gx) * scale, y + gy * scale, scale, scale)
                canvas.paint(box_of(rect), rounded(rect, scale * 0.25), colour)
        pen += 6


def text_length(string, scale):
    return (len(string) * 6 - 1) * scale


def bars(canvas, x, y, length, thickness, pattern, unit, colour, vertical=False):
    """A generic bar code along an edge: pattern of 1s (bar) and 0s (gap)."""
    for k, bit in enumerate(pattern):
        if bit != "1":
            continue
        if vertical:
            rect = (x, y + k * unit, thickness, unit * 0.6)
        else:
            rect = (x + k * unit, y, unit * 0.6, thickness)
        if (rect[1] if vertical else rect[0]) > length + (y if vertical else x):
            break
        canvas.paint(box_of(rect), rounded(rect, 1.0), colour)


# --- the frames -------------------------------------------------------------------------------

BLACK_BASE = (0.035, 0.033, 0.032)
LIGHT = (0.93, 0.91, 0.86)
AMBER = (0.96, 0.64, 0.20)
PALE = (0.80, 0.80, 0.78)


def holder35():
    """35 mm negative holder: a horizontal strip with perforations and edge markings."""
    W, H = 2000, 1600
    win = (250, 300, 1500, 1000)  # 36 × 24 mm at 41.67 px/mm
    mm = 1500 / 36.0
    c = Canvas(W, H, (0.11, 0.11, 0.12))
    film_top, film_h = 800 - 17.5 * mm, 35 * mm
    film = (-10, film_top, W + 20, film_h)
    c.paint(box_of(film), rounded(film, 2), BLACK_BASE)
    # Neighbouring frames beyond the inter-frame gaps.
    for fx in (win[0] - 2 * mm - 36 * mm, win[0] + win[2] + 2 * mm):
        rect = (fx, win[1], 36 * mm, win[3])
        c.paint(box_of(rect), rounded(rect, 6), (0.075, 0.07, 0.068))
    # Perforations: 1.98 × 2.79 mm on a 4.75 mm pitch, 2 mm in from each film edge.
    pitch, pw, ph = 4.75 * mm, 1.98 * mm, 2.79 * mm
    for edge_y in (film_top + 2.0 * mm, film_top + film_h - 2.0 * mm - ph):
        k = -1
        while k * pitch < W + pitch:
            rect = (k * pitch + 0.4 * mm, edge_y, pw, ph)
            c.paint(box_of(rect), rounded(rect, 0.5 * mm), LIGHT)
            k += 1
    # Edge markings between the perforations and the film edge.
    scale = 5
    top_y = film_top + 0.35 * mm
    bottom_y = film_top + film_h - 0.35 * mm - 7 * scale
    for label, x in (("13A", win[0] - 120), (">14", win[0] + 260), ("14A", win[0] + 980)):
        text(c, label, x, bottom_y, scale, AMBER)
    text(c, "K 400", win[0] + 420, top_y, scale, AMBER)
    text(c, "14", win[0] + 1180, top_y, scale, AMBER)
    bars(c, win[0] + 40, top_y, 300, 7 * scale, "1011001110100101101", 14, AMBER)
    c.grain(35, 0.025, 90)
    c.cut(box_of(win, 12), soft_window(win, 10, inside=5, outside=3))
    return c, win


def holder120():
    """Medium-format 6 × 4.5 holder, portrait: a vertical 120 strip without perforations."""
    W, H = 1700, 2000
    win = (295, 250, 1110, 1500)  # 41.5 × 56 mm at 26.8 px/mm
    mm = 1500 / 56.0
    c = Canvas(W, H, (0.16, 0.16, 0.17))
    film_w = 61.5 * mm
    film = (W / 2.0 - film_w / 2.0, -10, film_w, H + 20)
    c.paint(box_of(film), rounded(film, 2), BLACK_BASE)
    for fy in (win[1] - 3 * mm - 56 * mm, win[1] + win[3] + 3 * mm):
        rect = (win[0], fy, win[2], 56 * mm)
        c.paint(box_of(rect), rounded(rect, 8), (0.085, 0.085, 0.085))
    scale = 5
    left_x = film[0] + 1.2 * mm
    right_x = film[0] + film_w - 1.2 * mm - 7 * scale
    text(c, "7", left_x, win[1] + 200, scale, PALE, vertical=True)
    text(c, "< 8", left_x, win[1] + 1050, scale, PALE, vertical=True)
    text(c, "120", right_x, win[1] + 620, scale, PALE, vertical=True)
    bars(c, right_x, win[1] + 120, 260, 7 * scale, "1101011011001", 16, PALE, vertical=True)
    # The carrier's metal plate around the strip.
    for x0, x1 in ((0, film[0] - 6), (film[0] + film_w + 6, W)):
        c.paint((x0, 0, x1, H), lambda x, y: 1.0, (0.20, 0.20, 0.21))
    c.grain(120, 0.03, 110)
    c.cut(box_of(win, 12), soft_window(win, 8, inside=5, outside=3))
    return c, win


def filed():
    """Filed-out negative carrier: a black border whose inner edge is rough and irregular."""
    W, H = 1800, 1240
    win = (90, 80, 1620, 1080)
    c = Canvas(W, H, (0.012, 0.012, 0.012))
    edge = ValueNoise(7, 34)
    fine = ValueNoise(8, 7)

    def rough(x, y):
        # Mostly inward: the filing bites into the picture by up to about 18 pixels.
        return (edge.at(x, y) - 0.35) * 26.0 + (fine.at(x, y) - 0.5) * 6.0

    # A faint grey halo where light crept past the filed edge.
    halo = (win[0] - 18, win[1] - 18, win[2] + 36, win[3] + 36)
    c.paint(box_of(halo), lambda x, y: 0.25 * smooth(1.0 - abs(rounded_distance(x, y, win, 4)) / 18.0),
            (0.16, 0.15, 0.14))
    c.cut(box_of(win, 30), soft_window(win, 4, inside=4, outside=2, rough=rough))
    return c, win


def slide_mount():
    """Plastic slide mount with a bevelled window and printed markings."""
    W, H = 1700, 1500
    win = (310, 390, 1080, 720)  # 34 × 22.7 mm at 31.8 px/mm
    c = Canvas(W, H, LIGHT)
    mount = (30, 30, W - 60, H - 60)
    c.paint(box_of(mount), rounded(mount, 60), (0.86, 0.85, 0.82))
    bevel = (win[0] - 22, win[1] - 22, win[2] + 44, win[3] + 44)
    c.paint(box_of(bevel), lambda x, y: 0.5 - rounded_distance(x, y, bevel, 30),
            lambda x, y: shade(0.62, rounded_distance(x, y, win, 14), 22))
    text(c, "12", win[0], win[1] - 140, 9, (0.30, 0.30, 0.32))
    text(c, "KV", win[0] + win[2] - text_length("KV", 9), win[1] - 140, 9, (0.30, 0.30, 0.32))
    bars(c, win[0], win[1] + win[3] + 110, 400, 18, "10110111010011", 26, (0.45, 0.45, 0.47))
    c.grain(50, 0.02, 120)
    c.cut(box_of(win, 16), soft_window(win, 14, inside=4, outside=3))
    return c, win


def shade(level, distance, width):
    """The bevel darkens toward the window."""
    t = smooth(distance / float(width))
    v = level + (0.84 - level) * t
    return (v, v * 0.99, v * 0.96)


def sheet4x5():
    """4 × 5 sheet film holder, portrait: the sheet with its code notches inside a ribbed holder."""
    W, H = 1560, 1900
    win = (180, 200, 1200, 1500)
    c = Canvas(W, H, (0.14, 0.14, 0.15))
    # Ribs of the holder along both long sides.
    for x in list(range(30, 140, 22)) + list(range(W - 140, W - 30, 22)):
        rib = (x, 40, 10, H - 80)
        c.paint(box_of(rib), rounded(rib, 4), (0.22, 0.22, 0.23))
    sheet = (win[0] - 60, win[1] - 70, win[2] + 120, win[3] + 140)
    c.paint(box_of(sheet), rounded(sheet, 6), BLACK_BASE)
    # Code notches in the sheet's edge, top right: the holder shows through.
    nx = sheet[0] + sheet[2]
    for k, (depth, size, shape) in enumerate(((26, 30, "v"), (26, 22, "square"), (26, 30, "round"))):
        cy = sheet[1] + 70 + k * 52
        if shape == "square":
            rect = (nx - depth, cy - size / 2.0, depth + 4, size)
            c.paint(box_of(rect), rounded(rect, 1), (0.14, 0.14, 0.15))
        elif shape == "round":
            c.paint((nx - depth - 2, cy - size, nx + 4, cy + size),
                    lambda x, y, cy=cy: 0.5 - (math.hypot(x - nx, y - cy) - size / 2.0 - 8),
                    (0.14, 0.14, 0.15))
        else:
            c.paint((nx - depth - 2, cy - size, nx + 4, cy + size),
                    lambda x, y, cy=cy: 0.5 + (x - (nx - depth)) - abs(y - cy) * depth / (size / 2.0),
                    (0.14, 0.14, 0.15))
    scale = 6
    text(c, "4X5", win[0] + 20, sheet[1] + 14, scale, PALE)
    text(c, "2", win[0] + win[2] - 60, sheet[1] + sheet[3] - 56, scale, PALE)
    # The holder's label strip at the bottom.
    label = (win[0] + 200, H - 120, win[2] - 400, 60)
    c.paint(box_of(label), rounded(label, 10), (0.70, 0.69, 0.66))
    c.grain(45, 0.03, 100)
    c.cut(box_of(win, 12), soft_window(win, 6, inside=5, outside=3))
    return c, win


FRAMES = [
    # id, name, drawing, flags
    ("holder35", "35 mm Negative Holder", holder35, {"colorOnly": True}),
    ("holder645", "6×4.5 Medium Format Holder", holder120, {}),
    ("filedBlack", "Filed Black Border", filed, {"allFilm": True}),
    ("slideMount", "Slide Mount", slide_mount, {"colorOnly": True}),
    ("sheet4x5", "4×5 Sheet Film Holder", sheet4x5, {"allFilm": False, "colorOnly": False}),
]


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else (
        Path(__file__).resolve().parent.parent / "NegativeCore" / "Resources" / "Frames")
    out.mkdir(parents=True, exist_ok=True)
    listing = []
    for frame_id, name, draw, flags in FRAMES:
        canvas, win = draw()
        window = [int(v) for v in win]
        assert (canvas.w > canvas.h) == (window[2] > window[3]), frame_id + ": window orientation"
        file_name = frame_id + ".png"
        (out / file_name).write_bytes(canvas.png())
        entry = {"id": frame_id, "name": name, "file": file_name, "w": canvas.w, "h": canvas.h,
                 "window": window}
        entry.update(flags)
        listing.append(entry)
        print(f"{file_name}: {canvas.w} x {canvas.h}, window {window}")
    text_out = json.dumps(listing, indent=2, ensure_ascii=False) + "\n"
    # Windows on one line each.
    text_out = re.sub(r"\[\s*([\d,\s]+?)\s*\]",
                      lambda m: "[" + ", ".join(m.group(1).split()).replace(",,", ",") + "]",
                      text_out)
    (out / "frames.json").write_text(text_out, encoding="utf-8")


if __name__ == "__main__":
    main()
