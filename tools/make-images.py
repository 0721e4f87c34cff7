#!/usr/bin/env python3
"""Draws the program's images and writes them as Windows files, with plain Python only.

    tools/make-images.py [OUT_DIR]        (default: res/ beside this script's folder)

Writes:
  toolbar.bmp    the toolbar strip: eight 16 x 15 images side by side, 4 bits per pixel in the
                 16-colour VGA palette. The silver background is the colour the toolbar turns
                 into the button face, so the images sit on any theme.
  tarnwick2.ico  the program icon: 16, 32 and 48 pixel images, 32-bit with alpha.

The output is committed; run this again only after changing a drawing.
"""
import os
import struct
import sys

# --- Toolbar ---------------------------------------------------------------------------------

VGA = {  # character -> (r, g, b); the order is the palette order
    'k': (0, 0, 0), 'R': (128, 0, 0), 'G': (0, 128, 0), 'o': (128, 128, 0),
    'B': (0, 0, 128), 'M': (128, 0, 128), 'C': (0, 128, 128), '.': (192, 192, 192),
    'g': (128, 128, 128), 'r': (255, 0, 0), 'l': (0, 255, 0), 'y': (255, 255, 0),
    'b': (0, 0, 255), 'm': (255, 0, 255), 'c': (0, 255, 255), 'w': (255, 255, 255),
}
PALETTE = list(VGA)

# Each image: 15 rows of 16 characters, top row first.
LOG_ON = [  # a golden key: log on with the current account
    "................",
    "................",
    "..kkkk..........",
    ".koyyok.........",
    "koyyyyok........",
    "kyyk.yyk........",
    "kyy..yykkkkkkkk.",
    "kyy..yyyyyyyyyyk",
    "kyyk.yykkkyykyyk",
    "koyyyyok..kkkkk.",
    ".koyyok.........",
    "..kkkk..........",
    "................",
    "................",
    "................",
]
CLOSE = [  # a plug pulled out of its wall socket: close the connection
    "................",
    "................",
    "................",
    "...kkkkk....kkkk",
    "...kwwwk..r.kggg",
    "...kwwwkkk..kkgg",
    "...kwwwk.r..kggg",
    "gggkwwwk....kggg",
    "...kwwwk.r..kggg",
    "...kwwwkkk..kkgg",
    "...kwwwk..r.kggg",
    "...kkkkk....kkkk",
    "................",
    "................",
    "................",
]
SEND = [  # a page with a green arrow going up: send to the server
    "......GG........",
    ".....GllG.......",
    "....GllllG......",
    "...GllllllG.....",
    "..GGGllllGGG....",
    "....GllllGkkkk..",
    "....GllllGwwwkk.",
    "....GllllGwwwwk.",
    "...kGGGGGGwwwwk.",
    "...kwwwwwwwwwwk.",
    "...kwggggggggwk.",
    "...kwwwwwwwwwwk.",
    "...kwggggggggwk.",
    "...kwwwwwwwwwwk.",
    "...kkkkkkkkkkkk.",
]
RETRIEVE = [  # a blue arrow coming down into a page: retrieve from the server
    "....BbbbbB......",
    "....BbbbbB......",
    "....BbbbbB......",
    "....BbbbbBkkkk..",
    "..BBBbbbbBBBkkk.",
    "...BbbbbbbBwwwk.",
    "...kBbbbbBwwwwk.",
    "...kwBbbBwwwwwk.",
    "...kwwBBwwwwwwk.",
    "...kwggggggggwk.",
    "...kwwwwwwwwwwk.",
    "...kwggggggggwk.",
    "...kwwwwwwwwwwk.",
    "...kwwwwwwwwwwk.",
    "...kkkkkkkkkkkk.",
]
CREATE_FOLDER = [  # a yellow folder with a green plus: create a remote folder
    "...........GG...",
    "...........GG...",
    ".........GGGGGG.",
    ".........GGGGGG.",
    "...........GG...",
    ".kkkkk.....GG...",
    "kyyyyyk.........",
    "kyyyyyykkkkkkk..",
    "kwwwwwwwwwwwwwk.",
    "kwyyyyyyyyyyyok.",
    "kwyyyyyyyyyyyok.",
    "kwyyyyyyyyyyyok.",
    "kwyyyyyyyyyyyok.",
    "koooooooooooook.",
    "kkkkkkkkkkkkkkk.",
]
DELETE_FOLDER = [  # a yellow folder with a red cross: delete a remote folder
    "................",
    "................",
    ".kkkkk..........",
    "kyyyyyk.........",
    "kyyyyyykkkkkkk..",
    "kwwwwwwwwwwwwwk.",
    "kwyyyyyyyyyyyok.",
    "kwyyyyyyrr...rr.",
    "kwyyyyyyrrr.rrr.",
    "kwyyyyyyyrrrrr..",
    "kwyyyyyyyyrrr...",
    "kwyyyyyyyrrrrr..",
    "kooooooorrr.rrr.",
    "kkkkkkkkrr...rr.",
    "................",
]
DELETE_FILE = [  # a page with a red cross: delete remote files
    ".kkkkkkk........",
    ".kwwwwwkk.......",
    ".kwwwwwkwk......",
    ".kwggggkkkk.....",
    ".kwwwwwwwwk.....",
    ".kwggggggwk.....",
    ".kwwwwwwwwk.....",
    ".kwgggggrr...rr.",
    ".kwwwwwwrrr.rrr.",
    ".kwgggggwrrrrr..",
    ".kwwwwwwwwrrr...",
    ".kwgggggwrrrrr..",
    ".kwwwwwwrrr.rrr.",
    ".kkkkkkkrr...rr.",
    "................",
]
ABORT = [  # a red stop sign: abort what is running
    "................",
    ".....RRRRRR.....",
    "....RrrrrrrR....",
    "...RrrrrrrrrR...",
    "..RrrrrrrrrrrR..",
    "..RrrrrrrrrrrR..",
    "..RrwwwwwwwwrR..",
    "..RrwwwwwwwwrR..",
    "..RrwwwwwwwwrR..",
    "..RrrrrrrrrrrR..",
    "..RrrrrrrrrrrR..",
    "...RrrrrrrrrR...",
    "....RrrrrrrR....",
    ".....RRRRRR.....",
    "................",
]
TOOLBAR = [LOG_ON, CLOSE, SEND, RETRIEVE, CREATE_FOLDER, DELETE_FOLDER, DELETE_FILE, ABORT]
IMAGE_W, IMAGE_H = 16, 15


def check_drawings():
    for n, image in enumerate(TOOLBAR):
        assert len(image) == IMAGE_H, f"image {n}: {len(image)} rows"
        for r, row in enumerate(image):
            assert len(row) == IMAGE_W, f"image {n} row {r}: {len(row)} columns"
            assert all(ch in VGA for ch in row), f"image {n} row {r}: unknown colour"


def bmp_4bit(width, height, pixel):
    """A bottom-up 4-bit BMP; pixel(x, y) gives the palette index, y counted from the top."""
    stride = ((width * 4 + 31) // 32) * 4
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray(stride)
        for x in range(width):
            shift = 4 if x % 2 == 0 else 0
            row[x // 2] |= pixel(x, y) << shift
        rows.append(bytes(row))
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in VGA.values())
    data = b"".join(rows)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, len(data), 2835, 2835, 16, 0)
    return header + info + palette + data


def toolbar_bmp():
    check_drawings()

    def pixel(x, y):
        return PALETTE.index(TOOLBAR[x // IMAGE_W][y][x % IMAGE_W])

    return bmp_4bit(IMAGE_W * len(TOOLBAR), IMAGE_H, pixel)


# --- Icon ------------------------------------------------------------------------------------
# Two panes, the local one and the server's, with a golden double arrow between them, on a
# rounded blue tile. Drawn as shapes with 4 x 4 supersampling so that every size is smooth.

def inside_round_rect(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def inside_arrow(x, y):
    """A horizontal double-headed arrow across the middle, in unit coordinates."""
    if abs(y - 0.5) <= 0.055 and 0.28 <= x <= 0.72:
        return True
    for tip, direction in ((0.14, 1), (0.86, -1)):
        depth = (x - tip) * direction
        if 0 <= depth <= 0.2 and abs(y - 0.5) <= depth * 0.9:
            return True
    return False


def icon_colour(x, y):
    """(r, g, b, a) of the point (x, y) of the unit square, or None for transparent."""
    if inside_arrow(x, y):
        return (255, 200, 40, 255) if y <= 0.5 else (220, 150, 20, 255)
    if not inside_round_rect(x, y, 0.03, 0.03, 0.97, 0.97, 0.16):
        return None
    for left in (0.12, 0.54):
        if inside_round_rect(x, y, left, 0.17, left + 0.34, 0.83, 0.04):
            if y < 0.27:
                return (60, 110, 200, 255)  # the pane's title strip
            return (250, 250, 250, 255)
    shade = int(40 + 60 * (1 - y))
    return (20, shade, 150 + int(50 * (1 - y)), 255)


def render_icon(size):
    """Rows of (r, g, b, a), top row first."""
    samples = 4
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    c = icon_colour((px + (sx + 0.5) / samples) / size,
                                    (py + (sy + 0.5) / samples) / size)
                    if c:
                        for i in range(3):
                            acc[i] += c[i] * c[3]
                        acc[3] += c[3]
            n = samples * samples
            a = acc[3] // n
            if acc[3]:
                row.append(tuple(acc[i] // acc[3] for i in range(3)) + (a,))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def icon_image(size):
    """One icon directory entry's data: a 32-bit BMP without file header, plus its AND mask."""
    rows = render_icon(size)
    xor = b"".join(b"".join(struct.pack("<BBBB", b, g, r, a) for r, g, b, a in row)
                   for row in reversed(rows))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask),
                       0, 0, 0, 0)
    return info + xor + bytes(mask)


def ico(sizes):
    images = [icon_image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "res")
    with open(os.path.join(out, "toolbar.bmp"), "wb") as f:
        f.write(toolbar_bmp())
    with open(os.path.join(out, "tarnwick2.ico"), "wb") as f:
        f.write(ico([16, 32, 48]))


if __name__ == "__main__":
    main()
