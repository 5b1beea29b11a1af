#!/usr/bin/env python3
"""Draws the library's 16-colour icons and writes them as .ico files.

search_box.ico: one 32x32 image, a magnifying glass over a line of text.
viewer.ico:     a 16x16 and a 32x32 image (in that order, so the resource compiler numbers them
                2 and 3), a page of text with a small magnifying glass.

Run it from this folder; the .ico files are committed, so the build does not need Python.
"""
import math
import struct

# The standard 16-colour palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_RED, DARK_GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER, GREY, RED, LIME, YELLOW, BLUE, \
    MAGENTA, CYAN, WHITE = range(16)
CLEAR = None


def canvas(n):
    return [[CLEAR] * n for _ in range(n)]


def fill_rect(img, x0, y0, x1, y1, colour):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            img[y][x] = colour


def disc(img, cx, cy, r, colour):
    for y in range(len(img)):
        for x in range(len(img)):
            if math.hypot(x + 0.5 - cx, y + 0.5 - cy) <= r:
                img[y][x] = colour


def ring(img, cx, cy, r_out, r_in, colour):
    for y in range(len(img)):
        for x in range(len(img)):
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            if r_in < d <= r_out:
                img[y][x] = colour


def thick_line(img, x0, y0, x1, y1, width, colour):
    n = len(img)
    for y in range(n):
        for x in range(n):
            px, py = x + 0.5, y + 0.5
            dx, dy = x1 - x0, y1 - y0
            t = max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / (dx * dx + dy * dy)))
            if math.hypot(px - (x0 + t * dx), py - (y0 + t * dy)) <= width / 2:
                img[y][x] = colour


def magnifier(img, cx, cy, r, handle_to, rim, handle_width):
    """A glass of radius r at (cx, cy), a rim, a glint and a handle down to the right."""
    k = r / math.sqrt(2)
    thick_line(img, cx + k, cy + k, handle_to, handle_to, handle_width, BLACK)
    thick_line(img, cx + k + 1, cy + k + 1, handle_to - 0.5, handle_to - 0.5,
               max(1.0, handle_width - 2), DARK_RED)
    disc(img, cx, cy, r, CYAN)
    disc(img, cx - r * 0.1, cy - r * 0.1, r * 0.75, WHITE)
    disc(img, cx, cy, r * 0.75, CYAN)
    ring(img, cx, cy, r, r - rim, NAVY)
    if r >= 6:
        thick_line(img, cx - r * 0.45, cy - r * 0.2, cx - r * 0.2, cy - r * 0.45, 1.6, WHITE)


def search_box_32():
    img = canvas(32)
    # A line of text behind the glass: the thing being searched.
    fill_rect(img, 1, 3, 30, 10, WHITE)
    for x0, x1 in ((3, 7), (9, 16), (18, 21), (23, 28)):
        fill_rect(img, x0, 6, x1, 7, GREY)
    fill_rect(img, 9, 5, 16, 8, YELLOW)  # the hit, highlighted
    fill_rect(img, 9, 6, 16, 7, BLACK)
    magnifier(img, 13, 13, 9.5, 30, 2.2, 5)
    return img


def page(img, x0, y0, x1, y1, fold, line_rows, line_step):
    fill_rect(img, x0, y0, x1, y1, WHITE)
    for x in range(x0, x1 + 1):
        img[y0][x] = GREY
        img[y1][x] = GREY
    for y in range(y0, y1 + 1):
        img[y][x0] = GREY
        img[y][x1] = GREY
    for i in range(fold):  # the dog-ear
        for j in range(fold - i):
            img[y0 + i][x1 - j] = CLEAR if j < fold - i - 1 else GREY
    y = y0 + line_rows
    while y < y1 - 1:
        fill_rect(img, x0 + 2, y, x1 - 2 - (fold if y < y0 + fold else 0), y, NAVY)
        y += line_step


# At 16x16 the glass is drawn by hand: N rim, C glass, W glint, B and R the handle.
SMALL_GLASS = [
    "..NNN....",
    ".NCCCN...",
    "NCWCCCN..",
    "NCCCCCN..",
    "NCCCCCN..",
    ".NCCCN...",
    "..NNNBB..",
    "......BRB",
    ".......BB",
]
SMALL_COLOURS = {'N': NAVY, 'C': CYAN, 'W': WHITE, 'B': BLACK, 'R': DARK_RED}


def viewer_16():
    img = canvas(16)
    page(img, 1, 0, 11, 14, 3, 3, 2)
    for dy, row in enumerate(SMALL_GLASS):
        for dx, c in enumerate(row):
            if c in SMALL_COLOURS:
                img[7 + dy][7 + dx] = SMALL_COLOURS[c]
    return img


def viewer_32():
    img = canvas(32)
    page(img, 3, 1, 23, 29, 6, 5, 3)
    magnifier(img, 19, 18, 7.5, 30.5, 1.8, 4)
    return img


def ico_image(img):
    n = len(img)
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    xor_rows, and_rows = [], []
    for row in reversed(img):  # bottom-up
        nibbles = [0 if c is CLEAR else c for c in row]
        xor = bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, n, 2))
        xor_rows.append(xor + b'\0' * (-len(xor) % 4))
        bits = 0
        mask = bytearray()
        for i, c in enumerate(row):
            bits = (bits << 1) | (1 if c is CLEAR else 0)
            if i % 8 == 7:
                mask.append(bits)
                bits = 0
        and_rows.append(bytes(mask) + b'\0' * (-len(mask) % 4))
    return header + palette + b''.join(xor_rows) + b''.join(and_rows)


def write_ico(name, images):
    data = [ico_image(img) for img in images]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for img, blob in zip(images, data):
        n = len(img)
        out += struct.pack('<BBBBHHII', n, n, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    with open(name, 'wb') as f:
        f.write(out + b''.join(data))


if __name__ == '__main__':
    write_ico('search_box.ico', [search_box_32()])
    write_ico('viewer.ico', [viewer_16(), viewer_32()])
