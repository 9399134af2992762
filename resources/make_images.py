#!/usr/bin/env python3
"""Draws the program's icon (909) and the tick button's three bitmaps
(1115 normal, 3115 pressed, 5115 focused) as 16-colour images.

The images are kept in this directory beside the script; run it again after
changing a drawing:  python3 resources/make_images.py
"""
import math
import os
import struct

# The 16 colours of the standard Windows palette, as (red, green, blue).
PALETTE = [
    (0, 0, 0), (0, 0, 128), (0, 128, 0), (0, 128, 128), (128, 0, 0), (128, 0, 128),
    (128, 128, 0), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, DARK_RED, DARK_GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GRAY, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)


def packed_rows(pixels, width, bits):
    """Bottom-up rows of `bits` per pixel, each padded to four bytes."""
    out = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        if bits == 4:
            for x in range(0, width, 2):
                hi = row[x]
                lo = row[x + 1] if x + 1 < width else 0
                line.append((hi << 4) | lo)
        else:
            for x in range(0, width, 8):
                byte = 0
                for i in range(8):
                    if x + i < width and row[x + i]:
                        byte |= 0x80 >> i
                line.append(byte)
        while len(line) % 4:
            line.append(0)
        out += line
    return bytes(out)


def info_header(width, height, image_size):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, 4, 0, image_size, 0, 0, 16, 0)


def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)


def write_bmp(path, pixels):
    height, width = len(pixels), len(pixels[0])
    bits = packed_rows(pixels, width, 4)
    header_size = 14 + 40 + 64
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", header_size + len(bits), 0, 0, header_size))
        f.write(info_header(width, height, len(bits)))
        f.write(palette_bytes())
        f.write(bits)


def write_ico(path, pixels, transparent):
    height, width = len(pixels), len(pixels[0])
    xor = packed_rows(pixels, width, 4)
    mask = packed_rows([[1 if (x, y) in transparent else 0 for x in range(width)]
                        for y in range(height)], width, 1)
    image = info_header(width, 2 * height, len(xor) + len(mask)) + palette_bytes() + xor + mask
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1))
        f.write(struct.pack("<BBBBHHII", width, height, 16, 0, 1, 4, len(image), 6 + 16))
        f.write(image)


def clock_icon():
    """A clock face at ten past ten, with a red radio wave in its corner."""
    size = 32
    pixels = [[BLACK] * size for _ in range(size)]
    transparent = set()
    cx = cy = 15.5
    for y in range(size):
        for x in range(size):
            d = math.hypot(x - cx, y - cy)
            if d > 15.5:
                transparent.add((x, y))
            elif d > 13.5:
                pixels[y][x] = NAVY
            else:
                pixels[y][x] = WHITE
    for hour in range(12):
        a = hour * math.pi / 6
        for r in (11.0, 12.0):
            pixels[round(cy - r * math.cos(a))][round(cx + r * math.sin(a))] = BLACK

    def hand(angle, length, colour):
        for i in range(int(length * 4)):
            r = i / 4
            pixels[round(cy - r * math.cos(angle))][round(cx + r * math.sin(angle))] = colour

    hand(math.radians(305), 7, BLACK)   # hour hand near ten
    hand(math.radians(60), 11, BLACK)   # minute hand at ten past
    hand(math.radians(180), 11, RED)    # seconds
    for r in (3, 5, 7):                 # the signal arriving
        for deg in range(200, 251, 4):
            a = math.radians(deg)
            x, y = round(29 + r * math.cos(a)), round(29 + r * math.sin(a))
            if 0 <= x < size and 0 <= y < size:
                pixels[y][x] = RED
                transparent.discard((x, y))
    return pixels, transparent


TICK = [(2, 9), (3, 10), (4, 11), (5, 12), (6, 11), (7, 10), (8, 9), (9, 8), (9, 7), (10, 6)]


def tick_button(pressed, focused):
    """A raised 14 x 18 face with a green tick; pressed: sunk and shifted."""
    w, h = 14, 18
    pixels = [[SILVER] * w for _ in range(h)]
    light, dark = (GRAY, WHITE) if pressed else (WHITE, GRAY)
    for x in range(w):
        pixels[0][x], pixels[h - 1][x] = light, BLACK
        pixels[h - 2][x] = dark
    for y in range(h):
        pixels[y][0], pixels[y][w - 1] = light, BLACK
        pixels[y][w - 2] = dark
    shift = 1 if pressed else 0
    for x, y in TICK:
        for dy in (0, 1):
            pixels[y + dy + shift][x + shift] = DARK_GREEN if dy else GREEN
    if focused:
        for x in range(2, w - 3, 2):
            pixels[2][x] = pixels[h - 4][x] = BLACK
        for y in range(2, h - 3, 2):
            pixels[y][2] = pixels[y][w - 4] = BLACK
    return pixels


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    icon, transparent = clock_icon()
    write_ico(os.path.join(here, "chronvk.ico"), icon, transparent)
    write_bmp(os.path.join(here, "tick.bmp"), tick_button(False, False))
    write_bmp(os.path.join(here, "tick_pressed.bmp"), tick_button(True, False))
    write_bmp(os.path.join(here, "tick_focused.bmp"), tick_button(False, True))


if __name__ == "__main__":
    main()
