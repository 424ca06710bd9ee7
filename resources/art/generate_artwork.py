#!/usr/bin/env python3
"""Draws the setup program's artwork from simple shapes and writes it as resource files.

    python3 resources/art/generate_artwork.py            write the files beside this script
    python3 resources/art/generate_artwork.py --check    compare a fresh drawing with the files
    python3 resources/art/generate_artwork.py --preview DIR   also write enlarged PNG previews

Files:
    setup.ico         application icon (16, 32 and 48 pixels, 32-bit with alpha)
    flag_<name>.ico   flag icons of the eighteen catalogue languages (18 x 12, 24-bit)
    panel.bmp         the frame's side picture (87 x 171, 8-bit palette of 256 colours)

Only the standard library is used, and only exact arithmetic (+ - * / and sqrt, which IEEE
rounds correctly), so that every machine draws the same bytes. Angles are therefore given as
fixed constants instead of calls to sin and cos.
"""

import argparse
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# ---------------------------------------------------------------------------------------------
# Geometry helpers. Coordinates are floats, x to the right, y downwards.

def in_polygon(x, y, pts):
    """Even-odd rule; also right for the concave star outlines."""
    inside = False
    n = len(pts)
    j = n - 1
    for i in range(n):
        xi, yi = pts[i]
        xj, yj = pts[j]
        if (yi > y) != (yj > y):
            xc = xi + (y - yi) * (xj - xi) / (yj - yi)
            if x < xc:
                inside = not inside
        j = i
    return inside


def dist_to_segment(x, y, a, b):
    ax, ay = a
    bx, by = b
    dx, dy = bx - ax, by - ay
    length2 = dx * dx + dy * dy
    t = ((x - ax) * dx + (y - ay) * dy) / length2 if length2 else 0.0
    t = max(0.0, min(1.0, t))
    px, py = ax + t * dx - x, ay + t * dy - y
    return math.sqrt(px * px + py * py)


def dist_to_outline(x, y, pts):
    return min(dist_to_segment(x, y, pts[i - 1], pts[i]) for i in range(len(pts)))


def in_circle(x, y, cx, cy, r):
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r


# Unit vectors of a five-pointed star, first point straight up, then every 36 degrees
# clockwise: (sin a, -cos a) for a = 0, 36, 72 ... with the values of sin/cos 18 and 54.
_C18, _S18 = 0.9510565162951535, 0.3090169943749474
_C54, _S54 = 0.5877852522924731, 0.8090169943749475
_STAR_DIRS = [(0.0, -1.0), (_C54, -_S54), (_C18, -_S18), (_C18, _S18), (_C54, _S54),
              (0.0, 1.0), (-_C54, _S54), (-_C18, _S18), (-_C18, -_S18), (-_C54, -_S54)]
_STAR_INNER = 0.3819660112501051  # inner radius / outer radius of a regular star


def star(cx, cy, r, pointing=(0.0, -1.0)):
    """Polygon of a regular five-pointed star whose first point lies in direction `pointing`."""
    ux, uy = pointing          # rotate the "up" star so that (0, -1) maps onto (ux, uy)
    pts = []
    for k, (dx, dy) in enumerate(_STAR_DIRS):
        rr = r if k % 2 == 0 else r * _STAR_INNER
        rx = -dx * uy - dy * ux
        ry = dx * ux - dy * uy
        pts.append((cx + rr * rx, cy + rr * ry))
    return pts


def hexagram_triangles(cx, cy, r):
    h = r * 0.8660254037844386  # r * sin 60
    up = [(cx, cy - r), (cx + h, cy + r / 2), (cx - h, cy + r / 2)]
    down = [(cx, cy + r), (cx - h, cy - r / 2), (cx + h, cy - r / 2)]
    return up, down


def hexrgb(text):
    return (int(text[0:2], 16), int(text[2:4], 16), int(text[4:6], 16))


WHITE = (255, 255, 255)

# ---------------------------------------------------------------------------------------------
# Rendering: a picture is a function (x, y) -> (r, g, b, a) with a in 0..1, sampled on a
# regular sub-grid inside every pixel and averaged (premultiplied) for smooth edges.

def render(width, height, paint, grid=4, scale=1.0):
    """Returns rows of (r, g, b, a) tuples, a in 0..255. `scale` maps pixels to drawing units."""
    rows = []
    n = grid * grid
    for py in range(height):
        row = []
        for px in range(width):
            sr = sg = sb = sa = 0.0
            for sy in range(grid):
                y = (py + (sy + 0.5) / grid) * scale
                for sx in range(grid):
                    x = (px + (sx + 0.5) / grid) * scale
                    r, g, b, a = paint(x, y)
                    sr += r * a
                    sg += g * a
                    sb += b * a
                    sa += a
            if sa > 0:
                row.append((int(sr / sa + 0.5), int(sg / sa + 0.5), int(sb / sa + 0.5),
                            int(sa * 255 / n + 0.5)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------------------------
# The application motif: an open carton with a green arrow going into it. Drawn in a unit
# square; `edge` is the outline width in the same units.

MOTIF_OUTLINE = hexrgb("3A2410")
ARROW_FILL = hexrgb("2FA84F")
ARROW_LIGHT = hexrgb("6FD98A")
ARROW_OUTLINE = hexrgb("145C27")
BOX_FRONT = hexrgb("D39A55")
BOX_FRONT_LIGHT = hexrgb("E7B877")
BOX_INSIDE = hexrgb("6B4421")
BOX_TAPE = hexrgb("B57A3A")

# Shapes on a grid of sixteenths, so that the 16 and 32 pixel images stay crisp.
MOTIF_INSIDE = [(0.1875, 0.4375), (0.8125, 0.4375), (0.9375, 0.5625), (0.0625, 0.5625)]
MOTIF_FRONT = [(0.0625, 0.5625), (0.9375, 0.5625), (0.9375, 0.9375), (0.0625, 0.9375)]
MOTIF_ARROW = [(0.375, 0.0), (0.625, 0.0), (0.625, 0.3125), (0.8125, 0.3125), (0.5, 0.6875),
               (0.1875, 0.3125), (0.375, 0.3125)]


def motif_layers():
    """Layers from back to front: (polygon, fill function, outline colour)."""
    def inside_fill(x, y):
        return BOX_INSIDE

    def front_fill(x, y):
        # A lighter upper band and the tape strip down the middle.
        if 0.4375 <= x < 0.5625 and y < 0.75:
            return BOX_TAPE
        return BOX_FRONT_LIGHT if y < 0.6875 else BOX_FRONT

    def arrow_fill(x, y):
        return ARROW_LIGHT if x < 0.5 and y < 0.3125 else ARROW_FILL

    return [
        (MOTIF_INSIDE, inside_fill, MOTIF_OUTLINE),
        (MOTIF_ARROW, arrow_fill, ARROW_OUTLINE),
        (MOTIF_FRONT, front_fill, MOTIF_OUTLINE),
    ]


def motif_paint(edge, arrow_edge):
    """`edge` and `arrow_edge`: outline widths of the carton and of the arrow."""
    layers = motif_layers()

    def paint(x, y):
        for pts, fill, outline in reversed(layers):
            if in_polygon(x, y, pts):
                width = arrow_edge if pts is MOTIF_ARROW else edge
                if dist_to_outline(x, y, pts) < width:
                    return outline + (1.0,)
                return fill(x, y) + (1.0,)
        return (0, 0, 0, 0.0)
    return paint


def draw_app_icon(size):
    # At 16 pixels an outlined arrow turns to mush: there the arrow has none.
    edge, arrow_edge = {16: (1.0, 0.0), 32: (1.0, 1.0), 48: (1.5, 1.5)}[size]
    return render(size, size, motif_paint(edge / size, arrow_edge / size), grid=6,
                  scale=1.0 / size)


# ---------------------------------------------------------------------------------------------
# Flags, 18 x 12 pixels, drawn in pixel units. Each function returns the colour at (x, y).

FLAG_W, FLAG_H = 18, 12


def horizontal(*colours):
    def paint(x, y):
        return colours[min(int(y * len(colours) / FLAG_H), len(colours) - 1)]
    return paint


def vertical(*colours):
    def paint(x, y):
        return colours[min(int(x * len(colours) / FLAG_W), len(colours) - 1)]
    return paint


def flag_germany():
    return horizontal(hexrgb("000000"), hexrgb("DD0000"), hexrgb("FFCE00"))


def nordic_cross(field, cross, inner=None):
    """Cross with its upright towards the hoist; `inner` is a narrower cross inside it."""
    def paint(x, y):
        if inner and (5 <= x < 7 or 5 <= y < 7):
            return inner
        if inner and (4 <= x < 8 or 4 <= y < 8):
            return cross
        if not inner and (5 <= x < 7 or 5 <= y < 7):
            return cross
        return field
    return paint


def flag_denmark():
    return nordic_cross(hexrgb("C8102E"), WHITE)


def flag_spain():
    red, yellow = hexrgb("AA151B"), hexrgb("F1BF00")
    emblem_red, emblem_gold = hexrgb("AD1519"), hexrgb("C8A000")

    def paint(x, y):
        if y < 3 or y >= 9:
            return red
        # A small simplified coat of arms towards the hoist.
        if 4 <= x < 7 and 4 <= y < 8:
            if 4.5 <= x < 6.5 and 4.5 <= y < 7.5:
                return emblem_red
            return emblem_gold
        return yellow
    return paint


def flag_france():
    return vertical(hexrgb("0055A4"), WHITE, hexrgb("EF4135"))


def flag_united_kingdom():
    blue, red = hexrgb("012169"), hexrgb("C8102E")
    diag_len = math.sqrt(FLAG_W * FLAG_W + FLAG_H * FLAG_H)

    def paint(x, y):
        cx, cy = FLAG_W / 2, FLAG_H / 2
        if abs(y - cy) < 1.0 or abs(x - cx) < 1.0:
            return red
        if abs(y - cy) < 2.0 or abs(x - cx) < 2.0:
            return WHITE
        d1 = abs(FLAG_H * x - FLAG_W * y) / diag_len              # distance to the falling diagonal
        d2 = abs(FLAG_H * (FLAG_W - x) - FLAG_W * y) / diag_len   # distance to the rising diagonal
        d = min(d1, d2)
        if d < 0.5:
            return red
        if d < 1.3:
            return WHITE
        return blue
    return paint


def flag_italy():
    return vertical(hexrgb("009246"), WHITE, hexrgb("CE2B37"))


def flag_netherlands():
    return horizontal(hexrgb("AE1C28"), WHITE, hexrgb("21468B"))


def flag_portugal():
    green, red, yellow = hexrgb("046A38"), hexrgb("DA291C"), hexrgb("FFE900")
    split = 7.2

    def paint(x, y):
        cx, cy = split, 6.0
        # Shield (white with a red border) on the yellow sphere.
        if 6.0 <= x < 8.4 and 4.4 <= y < 7.8:
            if 6.6 <= x < 7.8 and 5.0 <= y < 7.2:
                return WHITE
            return red
        if in_circle(x, y, cx, cy, 3.0):
            return yellow
        return green if x < split else red
    return paint


def flag_turkey():
    red = hexrgb("E30A17")
    star_pts = star(11.9, 6.0, 2.4, pointing=(-1.0, 0.0))

    def paint(x, y):
        if in_circle(x, y, 6.4, 6.0, 3.8) and not in_circle(x, y, 7.5, 6.0, 3.0):
            return WHITE
        if in_polygon(x, y, star_pts):
            return WHITE
        return red
    return paint


def flag_bulgaria():
    return horizontal(WHITE, hexrgb("00966E"), hexrgb("D62612"))


def flag_romania():
    return vertical(hexrgb("002B7F"), hexrgb("FCD116"), hexrgb("CE1126"))


def flag_china():
    red, yellow = hexrgb("EE1C25"), hexrgb("FFDE00")
    stars = [star(3.3, 3.3, 2.6)] + [star(cx, cy, 0.95) for cx, cy in
                                     ((6.6, 1.2), (7.8, 2.6), (7.8, 4.4), (6.6, 5.8))]

    def paint(x, y):
        if any(in_polygon(x, y, s) for s in stars):
            return yellow
        return red
    return paint


def flag_czech():
    blue, red = hexrgb("11457E"), hexrgb("D7141A")
    wedge = [(0.0, 0.0), (9.0, 6.0), (0.0, 12.0)]

    def paint(x, y):
        if in_polygon(x, y, wedge):
            return blue
        return WHITE if y < 6 else red
    return paint


def flag_norway():
    return nordic_cross(hexrgb("BA0C2F"), WHITE, inner=hexrgb("00205B"))


def flag_greece():
    blue = hexrgb("0D5EAF")
    # Nine stripes on twelve rows: heights 1 2 1 1 2 1 1 2 1, blue first and last.
    bounds = [0, 1, 3, 4, 5, 7, 8, 9, 11, 12]

    def paint(x, y):
        if x < 7 and y < 7:   # canton: white cross on blue
            return WHITE if (3 <= x < 4 or 3 <= y < 4) else blue
        for k in range(9):
            if bounds[k] <= y < bounds[k + 1]:
                return blue if k % 2 == 0 else WHITE
        return blue
    return paint


def flag_poland():
    return horizontal(WHITE, hexrgb("DC143C"))


def flag_israel():
    blue = hexrgb("0038B8")
    outer_up, outer_down = hexagram_triangles(9.0, 6.0, 3.4)
    inner_up, inner_down = hexagram_triangles(9.0, 6.0, 3.4 - 1.5)

    def paint(x, y):
        if 1 <= y < 2.5 or 9.5 <= y < 11:
            return blue
        if (in_polygon(x, y, outer_up) and not in_polygon(x, y, inner_up)) or \
           (in_polygon(x, y, outer_down) and not in_polygon(x, y, inner_down)):
            return blue
        return WHITE
    return paint


def flag_vietnam():
    red, yellow = hexrgb("DA251D"), hexrgb("FFFF00")
    pts = star(9.0, 6.2, 4.4)

    def paint(x, y):
        return yellow if in_polygon(x, y, pts) else red
    return paint


# Icon id, file name, drawing; the ids follow the catalogue's flag table.
FLAGS = [
    (141, "germany", flag_germany),
    (142, "denmark", flag_denmark),
    (143, "spain", flag_spain),
    (144, "france", flag_france),
    (145, "united_kingdom", flag_united_kingdom),
    (146, "italy", flag_italy),
    (147, "netherlands", flag_netherlands),
    (148, "portugal", flag_portugal),
    (149, "turkey", flag_turkey),
    (150, "bulgaria", flag_bulgaria),
    (151, "romania", flag_romania),
    (152, "china", flag_china),
    (153, "czechia", flag_czech),
    (154, "norway", flag_norway),
    (155, "greece", flag_greece),
    (156, "poland", flag_poland),
    (157, "israel", flag_israel),
    (158, "vietnam", flag_vietnam),
]


# Flags drawn one sample per pixel: their thin diagonals read better hard-edged than blurred.
HARD_EDGED_FLAGS = {"united_kingdom"}


def draw_flag(name, maker):
    colour_at = maker()
    grid = 1 if name in HARD_EDGED_FLAGS else 4
    return render(FLAG_W, FLAG_H, lambda x, y: colour_at(x, y) + (1.0,), grid=grid)


# ---------------------------------------------------------------------------------------------
# The frame's side picture: a blue gradient with soft circles and light ribbons, and the
# application motif at its foot.

PANEL_W, PANEL_H = 87, 171


def panel_paint():
    top, bottom = hexrgb("0F2A5C"), hexrgb("2383B8")
    circles = [  # centre x, centre y, radius, whiteness
        (72.0, 28.0, 44.0, 0.08), (8.0, 92.0, 36.0, 0.07), (66.0, 98.0, 20.0, 0.06),
        (30.0, 40.0, 14.0, 0.10),
    ]
    rings = [(72.0, 28.0, 30.0, 1.2, 0.18), (8.0, 92.0, 24.0, 1.0, 0.14)]
    motif = motif_paint(1.6 / 60.0, 1.6 / 60.0)
    motif_x, motif_y, motif_size = 13.5, 104.0, 60.0

    def blend(colour, over, amount):
        return tuple(c + (o - c) * amount for c, o in zip(colour, over))

    def paint(x, y):
        t = y / PANEL_H
        colour = blend(top, bottom, t)
        for cx, cy, r, a in circles:
            if in_circle(x, y, cx, cy, r):
                colour = blend(colour, WHITE, a)
        for cx, cy, r, w, a in rings:
            d = math.sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy))
            if abs(d - r) < w:
                colour = blend(colour, WHITE, a)
        # Two diagonal ribbons rising to the right.
        s = y + 0.55 * x
        if 120.0 <= s < 128.0:
            colour = blend(colour, hexrgb("8FE3F0"), 0.22)
        if 131.0 <= s < 134.0:
            colour = blend(colour, hexrgb("8FE3F0"), 0.16)
        mr, mg, mb, ma = motif((x - motif_x) / motif_size, (y - motif_y) / motif_size)
        if ma > 0:
            colour = (mr, mg, mb)
        return colour + (1.0,)
    return paint


def draw_panel():
    return render(PANEL_W, PANEL_H, panel_paint(), grid=3)


def median_cut(counts, n_colours):
    """Deterministic median cut: returns a palette (<= n_colours) and colour -> index."""
    boxes = [sorted(counts)]
    while len(boxes) < n_colours:
        best, best_range, best_channel = None, 0, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for ch in range(3):
                lo = min(c[ch] for c in box)
                hi = max(c[ch] for c in box)
                if hi - lo > best_range:
                    best, best_range, best_channel = i, hi - lo, ch
        if best is None:
            break
        box = sorted(boxes[best], key=lambda c: (c[best_channel], c))
        total = sum(counts[c] for c in box)
        acc, cut = 0, 1
        for k, c in enumerate(box):
            acc += counts[c]
            if acc * 2 >= total:
                cut = max(1, min(len(box) - 1, k + 1))
                break
        boxes[best:best + 1] = [box[:cut], box[cut:]]
    palette = []
    for box in boxes:
        total = sum(counts[c] for c in box)
        palette.append(tuple((sum(c[ch] * counts[c] for c in box) * 2 + total) // (2 * total)
                             for ch in range(3)))
    lookup = {}
    for colour in counts:
        lookup[colour] = min(range(len(palette)), key=lambda i: (
            sum((colour[ch] - palette[i][ch]) ** 2 for ch in range(3)), i))
    return palette, lookup


# ---------------------------------------------------------------------------------------------
# File writers.

def bitmap_info_header(width, height, bits, image_size, colours_used=0):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 0, 0,
                       colours_used, 0)


def and_mask(rows, width):
    """1-bit mask rows, bottom-up, each padded to 4 bytes; bit set = transparent."""
    stride = ((width + 31) // 32) * 4
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, px in enumerate(row):
            if px[3] == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def icon_image(rows, bits):
    """One icon image as stored in an .ico file: header, colour rows (bottom-up), mask."""
    height, width = len(rows), len(rows[0])
    stride = ((width * bits // 8) + 3) & ~3
    colour = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, a in row:
            line += bytes((b, g, r, a)) if bits == 32 else bytes((b, g, r))
        line += bytes(stride - len(line))
        colour += line
    mask = and_mask(rows, width)
    header = bitmap_info_header(width, height * 2, bits, len(colour) + len(mask))
    return header + bytes(colour) + mask


def ico_file(images):
    """images: list of (rows, bits)."""
    blobs = [(rows, bits, icon_image(rows, bits)) for rows, bits in images]
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for rows, bits, blob in blobs:
        width, height = len(rows[0]), len(rows)
        out += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, bits, len(blob),
                           offset)
        offset += len(blob)
    return out + b"".join(blob for _, _, blob in blobs)


def bmp8_file(rows):
    height, width = len(rows), len(rows[0])
    counts = {}
    for row in rows:
        for px in row:
            counts[px[:3]] = counts.get(px[:3], 0) + 1
    palette, lookup = median_cut(counts, 256)
    palette = palette + [(0, 0, 0)] * (256 - len(palette))
    stride = (width + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray(lookup[px[:3]] for px in row)
        line += bytes(stride - width)
        pixels += line
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    header = bitmap_info_header(width, height, 8, len(pixels), 256)
    offset = 14 + len(header) + len(table)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return file_header + header + table + bytes(pixels)


def png_file(rows, zoom, background=(255, 255, 255)):
    """An enlarged preview, alpha composed over `background`."""
    raw = bytearray()
    for row in rows:
        line = bytearray()
        for r, g, b, a in row:
            px = bytes(int((c * a + bg * (255 - a)) / 255 + 0.5)
                       for c, bg in zip((r, g, b), background))
            line += px * zoom
        for _ in range(zoom):
            raw += b"\x00" + line

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    width, height = len(rows[0]) * zoom, len(rows) * zoom
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2,
                                                              0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def bmp8_rows(data):
    """Reads back an 8-bit BMP written by bmp8_file, for the preview."""
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    table = data[54:54 + 1024]
    stride = (width + 3) & ~3
    rows = []
    for y in range(height):
        line = data[offset + (height - 1 - y) * stride:][:width]
        rows.append([(table[4 * i + 2], table[4 * i + 1], table[4 * i], 255) for i in line])
    return rows


# ---------------------------------------------------------------------------------------------

def build():
    """All artwork: file name -> (bytes, preview rows list)."""
    files = {}
    icon_sizes = (16, 32, 48)
    icon_rows = [draw_app_icon(s) for s in icon_sizes]
    files["setup.ico"] = (ico_file([(rows, 32) for rows in icon_rows]), icon_rows)
    for _, name, maker in FLAGS:
        rows = draw_flag(name, maker)
        files["flag_%s.ico" % name] = (ico_file([(rows, 24)]), [rows])
    panel = bmp8_file(draw_panel())
    files["panel.bmp"] = (panel, [bmp8_rows(panel)])
    return files


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare a fresh drawing with the files, write nothing")
    parser.add_argument("--preview", metavar="DIR", help="write enlarged PNG previews to DIR")
    args = parser.parse_args()

    files = build()
    if args.check:
        stale = []
        for name, (data, _) in sorted(files.items()):
            path = os.path.join(HERE, name)
            try:
                with open(path, "rb") as f:
                    same = f.read() == data
            except OSError:
                same = False
            if not same:
                stale.append(name)
        if stale:
            print("artwork differs from a fresh drawing: " + ", ".join(stale), file=sys.stderr)
            return 1
        print("artwork reproduced byte for byte (%d files)" % len(files))
        return 0

    for name, (data, _) in sorted(files.items()):
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)
    if args.preview:
        os.makedirs(args.preview, exist_ok=True)
        for name, (_, images) in sorted(files.items()):
            base = os.path.splitext(name)[0]
            for k, rows in enumerate(images):
                zoom = max(1, 192 // max(len(rows), len(rows[0])))
                if name == "panel.bmp":
                    zoom = 3
                suffix = "_%d" % len(rows) if len(images) > 1 else ""
                with open(os.path.join(args.preview, base + suffix + ".png"), "wb") as f:
                    f.write(png_file(rows, zoom))
    return 0


if __name__ == "__main__":
    sys.exit(main())
