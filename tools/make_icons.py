#!/usr/bin/env python3
"""Regenerate the program's own pictures in resources/icons/.

Only the Python standard library is used.  The small pictures are pixel art
drawn from ASCII maps (one character per pixel, see PALETTE); the larger
application icons are drawn from simple vector shapes with an anti-aliased
scanline filler.  Run from anywhere:

    python3 tools/make_icons.py [output-dir]
"""

import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------------------
# PNG output
# ---------------------------------------------------------------------------


def write_png(path, width, height, pixels):
    """pixels: list of rows, each a list of (r, g, b, a) tuples (0..255)."""
    raw = bytearray()
    for row in pixels:
        raw.append(0)  # filter type: none
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))

    def chunk(tag, data):
        body = tag + data
        return (struct.pack(">I", len(data)) + body
                + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def hexrgb(s):
    s = s.lstrip("#")
    return (int(s[0:2], 16), int(s[2:4], 16), int(s[4:6], 16))


# ---------------------------------------------------------------------------
# Palette shared by every picture
# ---------------------------------------------------------------------------

PALETTE = {
    ".": None,             # transparent
    # folders
    "o": "#8a5a0b",        # outline
    "y": "#e2a934",        # back panel / tab
    "Y": "#f7cf5c",        # front panel
    "H": "#fde9a0",        # front panel highlight
    # green (add, run, check, copy arrow)
    "d": "#1d6a1d",
    "g": "#36a536",
    "G": "#7fd96b",
    # red (delete, cross)
    "e": "#8c1a1a",
    "r": "#d6393a",
    "R": "#f59090",
    # blue (arrows, disk, gear)
    "n": "#1d4a8f",
    "b": "#3b7bd4",
    "B": "#a2c8f6",
    # neutrals
    "K": "#2e2e2e",
    "S": "#5f6670",        # page outline
    "s": "#9aa3ad",        # text lines
    "m": "#c9ced4",        # metal
    "w": "#e3e6ea",        # paper shade
    "W": "#ffffff",
}
COLORS = {k: (None if v is None else hexrgb(v) + (255,)) for k, v in PALETTE.items()}


def check_map(name, rows, size=16):
    if len(rows) != size:
        raise SystemExit("%s: %d rows, want %d" % (name, len(rows), size))
    for i, row in enumerate(rows):
        if len(row) != size:
            raise SystemExit("%s: row %d has %d columns" % (name, i, len(row)))
        for ch in row:
            if ch not in COLORS:
                raise SystemExit("%s: row %d: unknown colour %r" % (name, i, ch))


def overlay(base, top, at_row, at_col):
    """Copy the non-transparent cells of `top` onto `base`."""
    out = [list(r) for r in base]
    for i, row in enumerate(top):
        for j, ch in enumerate(row):
            if ch != ".":
                out[at_row + i][at_col + j] = ch
    return ["".join(r) for r in out]


def map_pixels(rows):
    clear = (0, 0, 0, 0)
    return [[COLORS[ch] or clear for ch in row] for row in rows]


def blank(size=16):
    return ["." * size for _ in range(size)]


def outlined(cells, size, fill_of, outline):
    """Map from a set of (row, col) fill cells, with a 1-pixel outline around
    them (4-neighbourhood).  fill_of(row, col) gives the fill character."""
    grid = [["."] * size for _ in range(size)]
    for r, c in cells:
        for dr, dc in ((-1, 0), (1, 0), (0, -1), (0, 1)):
            rr, cc = r + dr, c + dc
            if 0 <= rr < size and 0 <= cc < size and (rr, cc) not in cells:
                grid[rr][cc] = outline
    for r, c in cells:
        grid[r][c] = fill_of(r, c)
    return ["".join(r) for r in grid]


# ---------------------------------------------------------------------------
# 16x16 pixel art
# ---------------------------------------------------------------------------

ICONS = {}

ICONS["folder"] = [
    "................",
    "................",
    ".ooooo..........",
    "oyyyyyo.........",
    "oyyyyyyooooooooo",
    "oHHHHHHHHHHHHHHo",
    "oYYYYYYYYYYYYYYo",
    "oYYYYYYYYYYYYYYo",
    "oYYYYYYYYYYYYYYo",
    "oYYYYYYYYYYYYYYo",
    "oYYYYYYYYYYYYYYo",
    "oYYYYYYYYYYYYYYo",
    "oyyyyyyyyyyyyyyo",
    "oooooooooooooooo",
    "................",
    "................",
]

ICONS["open"] = [
    "................",
    "................",
    ".oooo...........",
    "oyyyyo..........",
    "oyyyyyoooooooo..",
    "oyyyyyyyyyyyyo..",
    "oyyyoooooooooooo",
    "oyyoHHHHHHHHHHHo",
    "oyyoYYYYYYYYYYo.",
    "oyoYYYYYYYYYYYo.",
    "oyoYYYYYYYYYYo..",
    "ooYYYYYYYYYYYo..",
    "oYYYYYYYYYYYo...",
    "ooooooooooooo...",
    "................",
    "................",
]

ICONS["save"] = [
    "................",
    ".nnnnnnnnnnnnn..",
    ".nbWWWWWWWWWbbn.",
    ".nbWsssssssWbbbn",
    ".nbWWWWWWWWWbbbn",
    ".nbWsssssssWbbbn",
    ".nbWWWWWWWWWbbbn",
    ".nbbbbbbbbbbbbbn",
    ".nbbbbbbbbbbbbbn",
    ".nbbbmmmmmmmbbbn",
    ".nbbbmmnnmmmbbbn",
    ".nbbbmmnnmmmbbbn",
    ".nbbbmmnnmmmbbbn",
    ".nbbbmmmmmmmbbbn",
    ".nnnnnnnnnnnnnnn",
    "................",
]

ICONS["add"] = [
    "................",
    ".....dddddd.....",
    ".....dGGGGd.....",
    ".....dGgggd.....",
    ".....dGgggd.....",
    ".dddddGgggddddd.",
    ".dGGGGGggggGGGd.",
    ".dGgggggggggggd.",
    ".dGgggggggggggd.",
    ".dGgggggggggggd.",
    ".dddddGgggddddd.",
    ".....dGgggd.....",
    ".....dGgggd.....",
    ".....dGgggd.....",
    ".....dddddd.....",
    "................",
]

ICONS["delete"] = [
    "................",
    "................",
    "................",
    "................",
    "................",
    ".eeeeeeeeeeeeee.",
    ".eRRRRRRRRRRRRe.",
    ".eRrrrrrrrrrrre.",
    ".eRrrrrrrrrrrre.",
    ".eRrrrrrrrrrrre.",
    ".eeeeeeeeeeeeee.",
    "................",
    "................",
    "................",
    "................",
    "................",
]

ICONS["up"] = [
    "................",
    ".......nn.......",
    "......nBbn......",
    ".....nBbbbn.....",
    "....nBbbbbbn....",
    "...nBbbbbbbbn...",
    "..nBbbbbbbbbbn..",
    ".nnnnnBbbbnnnnn.",
    ".....nBbbbn.....",
    ".....nBbbbn.....",
    ".....nBbbbn.....",
    ".....nBbbbn.....",
    ".....nBbbbn.....",
    ".....nBbbbn.....",
    ".....nnnnnn.....",
    "................",
]

ICONS["down"] = list(reversed(ICONS["up"]))

_play_top = [
    "................",
    "..dd............",
    "..dGdd..........",
    "..dGggdd........",
    "..dGggggdd......",
    "..dGggggggdd....",
    "..dGggggggggdd..",
    "..dGggggggggggd.",
]
ICONS["exec"] = _play_top + list(reversed(_play_top))

_page = [
    "................",
    ".SSSSSSSS.......",
    ".SWWWWWWSS......",
    ".SWWWWWWSwS.....",
    ".SWWWWWWSSSS....",
    ".SWssssWWWWS....",
    ".SWWWWWWWWWS....",
    ".SWsssssssWS....",
    ".SWWWWWWWWWS....",
    ".SWssssssWWS....",
    ".SWWWWWWWWWS....",
    ".SWsssssWWWS....",
    ".SWWWWWWWWWS....",
    ".SWssssWWWWS....",
    ".SSSSSSSSSSS....",
    "................",
]
_gear = [
    "...nn...",
    ".nnbbnn.",
    ".nbBbbn.",
    "nbbnnbbn",
    "nbbnnbbn",
    ".nbbbbn.",
    ".nnbbnn.",
    "...nn...",
]
ICONS["bat"] = overlay(_page, _gear, 8, 8)

# A magnifying glass: look at what a run would do without running it.
ICONS["preview"] = [
    "................",
    "....nnnnn.......",
    "..nnbbbbbnn.....",
    ".nbbBBBBBbbn....",
    ".nbBWWBBBBbn....",
    "nbBWBBBBBBBbn...",
    "nbBWBBBBBBBbn...",
    "nbBBBBBBBBBbn...",
    "nbBBBBBBBBBbn...",
    ".nbBBBBBBBbn....",
    ".nbbBBBBBbbnS...",
    "..nnbbbbbnnSKS..",
    "....nnnnn.SKKKS.",
    "...........SKKKS",
    "............SKKS",
    ".............SS.",
]


def _check_cells():
    cells = {}
    for r in range(3, 12):          # long stroke, up to the right
        for c, ch in ((15 - r, "G"), (16 - r, "g"), (17 - r, "g")):
            cells[(r + 1, c)] = ch
    for r in range(8, 12):          # short stroke, down to the right
        for c, ch in ((r - 7, "G"), (r - 6, "g"), (r - 5, "g")):
            cells.setdefault((r + 1, c), ch)
    return cells


_ck = _check_cells()
ICONS["ok"] = outlined(set(_ck), 16, lambda r, c: _ck[(r, c)], "d")


def _cross_cells():
    cells = {}
    for r in range(3, 13):
        # three cells per row for each stroke, two on the end rows
        lo = 0 if r == 3 else -1
        hi = 0 if r == 12 else 1
        for c in range(r + lo, r + hi + 1):           # down to the right
            cells[(r, c)] = "R" if c == r + lo and r < 8 else "r"
        for c in range(15 - r - hi, 15 - r - lo + 1):  # down to the left
            cells.setdefault((r, c), "R" if c == 15 - r - hi and r < 8 else "r")
    return cells


_cx = _cross_cells()
ICONS["ng"] = outlined(set(_cx), 16, lambda r, c: _cx[(r, c)], "e")

# Application icon, 16x16: a folder, a bent arrow, and a second folder.
APP16 = [
    "................",
    ".ooo....dddddd..",
    "oyyyooooGGGGGd..",
    "oHHHHHHogggggd..",
    "oYYYYYYodddGgd..",
    "oYYYYYYodddGgddd",
    "oyyyyyyodggggggd",
    "oooooooo.dggggd.",
    "..........dggd..",
    "......oooo.dd...",
    ".....oyyyyoooooo",
    ".....oHHHHHHHHHo",
    ".....oYYYYYYYYYo",
    ".....oYYYYYYYYYo",
    ".....oyyyyyyyyyo",
    ".....ooooooooooo",
]

# ---------------------------------------------------------------------------
# Vector drawing for the larger application icons
# ---------------------------------------------------------------------------


class Canvas:
    def __init__(self, size):
        self.size = size
        # straight (non-premultiplied) colour, floats 0..1
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * size for _ in range(size)]

    def fill(self, poly, color, ss=5):
        """Fill polygon `poly` (pixel coordinates) with anti-aliasing."""
        size = self.size
        cr, cg, cb = (c / 255.0 for c in color[:3])
        ca = (color[3] / 255.0) if len(color) > 3 else 1.0
        ys = [p[1] for p in poly]
        y0 = max(0, int(math.floor(min(ys))))
        y1 = min(size - 1, int(math.ceil(max(ys))))
        edges = []
        n = len(poly)
        for i in range(n):
            (xa, ya), (xb, yb) = poly[i], poly[(i + 1) % n]
            if ya != yb:
                edges.append((xa, ya, xb, yb))
        for py in range(y0, y1 + 1):
            cov = [0.0] * (size + 1)
            for k in range(ss):
                sy = py + (k + 0.5) / ss
                xs = []
                for xa, ya, xb, yb in edges:
                    if (ya <= sy < yb) or (yb <= sy < ya):
                        xs.append(xa + (sy - ya) * (xb - xa) / (yb - ya))
                xs.sort()
                for a, b in zip(xs[0::2], xs[1::2]):
                    a = max(0.0, min(float(size), a))
                    b = max(0.0, min(float(size), b))
                    if b <= a:
                        continue
                    ia, ib = int(a), int(b)
                    if ia == ib:
                        cov[ia] += (b - a) / ss
                        continue
                    cov[ia] += (ia + 1 - a) / ss
                    for x in range(ia + 1, ib):
                        cov[x] += 1.0 / ss
                    if ib < size:
                        cov[ib] += (b - ib) / ss
            row = self.px[py]
            for x in range(size):
                c = cov[x]
                if c <= 0.0:
                    continue
                sa = min(1.0, c) * ca
                r, g, b, a = row[x]
                oa = sa + a * (1.0 - sa)
                if oa <= 0.0:
                    continue
                row[x] = ((cr * sa + r * a * (1 - sa)) / oa,
                          (cg * sa + g * a * (1 - sa)) / oa,
                          (cb * sa + b * a * (1 - sa)) / oa,
                          oa)

    def pixels(self):
        out = []
        for row in self.px:
            out.append([(int(round(r * 255)), int(round(g * 255)),
                         int(round(b * 255)), int(round(a * 255)))
                        for r, g, b, a in row])
        return out


def rounded_rect(x0, y0, x1, y1, rad, steps=6):
    rad = max(0.0, min(rad, (x1 - x0) / 2.0, (y1 - y0) / 2.0))
    if rad == 0:
        return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]
    pts = []
    for cx, cy, start in ((x1 - rad, y0 + rad, -90), (x1 - rad, y1 - rad, 0),
                          (x0 + rad, y1 - rad, 90), (x0 + rad, y0 + rad, 180)):
        for i in range(steps + 1):
            t = math.radians(start + 90.0 * i / steps)
            pts.append((cx + rad * math.cos(t), cy + rad * math.sin(t)))
    return pts


def inset(poly, d):
    """Offset a simple polygon inwards by d (mitred corners)."""
    n = len(poly)
    area = sum(poly[i][0] * poly[(i + 1) % n][1] - poly[(i + 1) % n][0] * poly[i][1]
               for i in range(n))
    sign = 1.0 if area > 0 else -1.0
    lines = []
    for i in range(n):
        (xa, ya), (xb, yb) = poly[i], poly[(i + 1) % n]
        ex, ey = xb - xa, yb - ya
        ln = math.hypot(ex, ey) or 1.0
        # inward normal (y axis points down)
        nx, ny = -ey / ln * sign, ex / ln * sign
        lines.append(((xa + nx * d, ya + ny * d), (ex, ey)))
    out = []
    for i in range(n):
        (p1, d1), (p2, d2) = lines[i - 1], lines[i]
        den = d1[0] * d2[1] - d1[1] * d2[0]
        if abs(den) < 1e-9:
            out.append(p2)
            continue
        t = ((p2[0] - p1[0]) * d2[1] - (p2[1] - p1[1]) * d2[0]) / den
        out.append((p1[0] + d1[0] * t, p1[1] + d1[1] * t))
    return out


def scaled(poly, s):
    return [(x * s, y * s) for x, y in poly]


def draw_folder(cv, s, ow, x0, y0, x1, y1):
    """Closed folder in 32-unit coordinates; s = pixels per unit,
    ow = outline width in pixels."""
    c = {k: COLORS[k] for k in "oyYH"}
    tab = rounded_rect(x0, y0, x0 + (x1 - x0) * 0.42, y0 + 5, 1.0)
    body = rounded_rect(x0, y0 + 3, x1, y1, 1.0)
    for shape in (tab, body):
        cv.fill(scaled(shape, s), c["o"])
    cv.fill(inset(scaled(tab, s), ow), c["y"])
    body_px = scaled(body, s)
    inner = inset(body_px, ow)
    cv.fill(inner, c["Y"])
    # highlight band under the top edge and a darker band along the bottom
    top = min(p[1] for p in inner)
    bot = max(p[1] for p in inner)
    band = max(1.0, s * 1.0)
    lx = x0 * s + ow + s * 0.6
    rx = x1 * s - ow - s * 0.6
    cv.fill([(lx, top), (rx, top), (rx, top + band), (lx, top + band)], c["H"])
    cv.fill([(lx, bot - band), (rx, bot - band), (rx, bot), (lx, bot)], c["y"])


def draw_app(size):
    cv = Canvas(size)
    s = size / 32.0
    ow = max(1.0, round(size / 40.0))
    # source folder (back, upper left) and destination folder (front, lower right)
    draw_folder(cv, s, ow, 1, 3, 19, 18)
    draw_folder(cv, s, ow, 12, 15, 31, 30)
    # bent arrow from the first folder into the second
    arrow = [(19, 6), (28, 6), (28, 12), (31, 12), (25.5, 17.5),
             (20, 12), (23, 12), (23, 11), (19, 11)]
    arrow_px = scaled(arrow, s)
    cv.fill(arrow_px, COLORS["d"])
    inner = inset(arrow_px, ow)
    cv.fill(inner, COLORS["g"])
    if size >= 64:
        # light streak along the top of the shaft
        hl = [(19 * s, 6 * s + ow), (28 * s - ow, 6 * s + ow),
              (28 * s - ow, 7 * s + ow), (19 * s, 7 * s + ow)]
        cv.fill(hl, COLORS["G"])
    return cv.pixels()


# ---------------------------------------------------------------------------


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "icons")
    out_dir = os.path.normpath(out_dir)
    os.makedirs(out_dir, exist_ok=True)

    for name, rows in ICONS.items():
        check_map(name, rows)
        write_png(os.path.join(out_dir, name + ".png"), 16, 16, map_pixels(rows))

    check_map("app-16", APP16)
    write_png(os.path.join(out_dir, "app-16.png"), 16, 16, map_pixels(APP16))
    for size in (32, 48, 64, 128, 256):
        write_png(os.path.join(out_dir, "app-%d.png" % size), size, size, draw_app(size))
    print("wrote icons to", out_dir)


if __name__ == "__main__":
    main()
