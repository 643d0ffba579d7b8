#!/usr/bin/env python3
"""Draws the program's pictures from simple shapes and writes them as the
resource compiler wants them: the model picture as a 24-bit bitmap (its white
is masked by the image list), the connection and wait-window pictures as
run-length encoded 8-bit bitmaps (flat shapes compress to a few kilobytes),
and one icon with 16, 32 and 48 pixel images at 16 and at 256 colours.

    make_artwork.py OUTPUT_FOLDER
"""
import os
import struct
import sys

WHITE = (255, 255, 255)
BODY = (58, 64, 74)
BODY_LIGHT = (96, 104, 118)
SLOT = (24, 26, 30)
PAPER = (250, 250, 244)
INK = (120, 120, 120)
LED = (40, 200, 70)
ACCENT = (0, 102, 170)
SCREEN = (170, 210, 240)
CABLE = (70, 70, 70)
SAND = (220, 170, 60)


class Canvas:
    def __init__(self, width, height, background=WHITE):
        self.width, self.height = width, height
        self.pixels = [[background] * width for _ in range(height)]

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(max(0, y0), min(self.height, y1)):
            row = self.pixels[y]
            for x in range(max(0, x0), min(self.width, x1)):
                row[x] = colour

    def frame(self, x0, y0, x1, y1, colour, width=1):
        self.rect(x0, y0, x1, y0 + width, colour)
        self.rect(x0, y1 - width, x1, y1, colour)
        self.rect(x0, y0, x0 + width, y1, colour)
        self.rect(x1 - width, y0, x1, y1, colour)

    def disc(self, cx, cy, r, colour):
        for y in range(cy - r, cy + r + 1):
            for x in range(cx - r, cx + r + 1):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r and 0 <= x < self.width and 0 <= y < self.height:
                    self.pixels[y][x] = colour

    def triangle(self, x0, x1, y0, y1, colour, downward=True):
        """An isosceles triangle between x0 and x1, apex at y1."""
        for y in range(y0, y1):
            t = (y - y0) / max(1, y1 - y0)
            inset = int(t * (x1 - x0) / 2) if downward else int((1 - t) * (x1 - x0) / 2)
            self.rect(x0 + inset, y, x1 - inset, y + 1, colour)


def receipt_printer(c, x, y, w, h):
    """A receipt printer seen from the front, its receipt coming out on top."""
    paper_w = w * 5 // 10
    px = x + (w - paper_w) // 2
    c.rect(px, y, px + paper_w, y + h * 4 // 10, PAPER)
    c.frame(px, y, px + paper_w, y + h * 4 // 10, INK)
    for line in range(3):
        ly = y + h * (1 + line) // 12
        c.rect(px + paper_w // 6, ly, px + paper_w * 5 // 6 - line * paper_w // 8, ly + max(1, h // 48), INK)
    top = y + h * 3 // 10
    c.rect(x, top, x + w, y + h, BODY)
    c.rect(x, top, x + w, top + (h - (top - y)) // 3, BODY_LIGHT)
    c.rect(px - w // 20, top + h // 30, px + paper_w + w // 20, top + h // 30 + max(1, h // 24), SLOT)
    c.disc(x + w * 8 // 10, y + h * 8 // 10, max(1, w // 20), LED)
    c.rect(x + w // 10, y + h * 8 // 10, x + w // 2, y + h * 8 // 10 + max(1, h // 24), ACCENT)


def model_picture():
    c = Canvas(96, 96)
    receipt_printer(c, 12, 10, 72, 76)
    return c


def connection_picture():
    c = Canvas(425, 160)
    # The computer: a monitor on a stand.
    c.rect(40, 20, 170, 110, BODY)
    c.rect(48, 28, 162, 102, SCREEN)
    c.rect(95, 110, 115, 130, BODY_LIGHT)
    c.rect(70, 130, 140, 138, BODY)
    # The cable, with a USB plug at each end.
    c.rect(170, 92, 270, 96, CABLE)
    c.rect(262, 88, 278, 100, BODY_LIGHT)
    c.rect(160, 88, 176, 100, BODY_LIGHT)
    # The printer.
    receipt_printer(c, 278, 30, 110, 110)
    return c


def wait_picture():
    c = Canvas(112, 128)
    receipt_printer(c, 16, 44, 80, 76)
    # An hourglass above it.
    c.rect(40, 4, 72, 8, BODY)
    c.rect(40, 40, 72, 44, BODY)
    c.triangle(42, 70, 8, 24, SAND, downward=True)
    c.triangle(42, 70, 24, 40, SAND, downward=False)
    return c


def icon_picture(size):
    c = Canvas(size, size)
    receipt_printer(c, size // 16, size // 16, size - size // 8, size - size // 8)
    return c


def bitmap_24(canvas):
    row_bytes = (canvas.width * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(canvas.pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (row_bytes - len(line))
        pixels += line
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    return header + info + pixels


def bitmap_rle8(canvas):
    """A bottom-up BI_RLE8 bitmap with the canvas's own colours as its palette."""
    colours = sorted({colour for row in canvas.pixels for colour in row})
    if len(colours) > 256:
        raise ValueError("a picture for RLE8 may have 256 colours at most")
    index = {colour: i for i, colour in enumerate(colours)}
    data = bytearray()
    for row in reversed(canvas.pixels):
        x = 0
        while x < len(row):
            run = 1
            while x + run < len(row) and run < 255 and row[x + run] == row[x]:
                run += 1
            data += bytes((run, index[row[x]]))
            x += run
        data += b"\0\0"  # end of line
    data[-2:] = b"\0\1"  # end of bitmap
    table = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 8, 1, len(data), 2835, 2835,
                       len(colours), 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(table) + len(data), 0, 0,
                         14 + len(info) + len(table))
    return header + info + table + bytes(data)


def palette(colours):
    if colours == 16:
        levels = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
                  (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
                  (255, 0, 255), (0, 255, 255), (255, 255, 255)]
        return levels
    cube = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    greys = [(v, v, v) for v in range(8, 248, 6)][: 256 - len(cube)]
    return (cube + greys + [(0, 0, 0)] * 256)[:256]


def nearest(colour, table):
    return min(range(len(table)), key=lambda i: sum((a - b) ** 2 for a, b in zip(colour, table[i])))


def icon_image(canvas, colours):
    """One icon image: a palette bitmap of double height, then the AND mask
    (white is transparent)."""
    bits = 4 if colours == 16 else 8
    table = palette(colours)
    size = canvas.width
    xor_row = ((size * bits + 31) // 32) * 4
    and_row = ((size + 31) // 32) * 4
    cache = {}
    xor = bytearray()
    mask = bytearray()
    for row in reversed(canvas.pixels):
        indices = []
        mask_bits = []
        for colour in row:
            if colour not in cache:
                cache[colour] = nearest(colour, table)
            transparent = colour == WHITE
            indices.append(0 if transparent else cache[colour])
            mask_bits.append(1 if transparent else 0)
        line = bytearray()
        if bits == 8:
            line += bytes(indices)
        else:
            for i in range(0, len(indices), 2):
                second = indices[i + 1] if i + 1 < len(indices) else 0
                line.append((indices[i] << 4) | second)
        line += b"\0" * (xor_row - len(line))
        xor += line
        mline = bytearray()
        for i in range(0, size, 8):
            byte = 0
            for j, bit in enumerate(mask_bits[i:i + 8]):
                byte |= bit << (7 - j)
            mline.append(byte)
        mline += b"\0" * (and_row - len(mline))
        mask += mline
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(xor) + len(mask), 0, 0, colours, 0)
    rgbquads = b"".join(bytes((b, g, r, 0)) for r, g, b in table)
    return info + rgbquads + xor + mask


def icon_file(images):
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = bytearray()
    data = bytearray()
    for size, colours, blob in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, colours % 256, 0, 1,
                               4 if colours == 16 else 8, len(blob), offset + len(data))
        data += blob
    return header + bytes(entries) + bytes(data)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(out, exist_ok=True)
    for name, canvas, encode in (("Model.bmp", model_picture(), bitmap_24),
                                 ("Connection.bmp", connection_picture(), bitmap_rle8),
                                 ("Wait.bmp", wait_picture(), bitmap_rle8)):
        with open(os.path.join(out, name), "wb") as f:
            f.write(encode(canvas))
    images = []
    for size in (16, 32, 48):
        canvas = icon_picture(size)
        for colours in (16, 256):
            images.append((size, colours, icon_image(canvas, colours)))
    with open(os.path.join(out, "Setup.ico"), "wb") as f:
        f.write(icon_file(images))


if __name__ == "__main__":
    main()
