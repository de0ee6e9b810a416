"""Draw the tool's button bitmap: a dark eye-shaped ring outline on button-face grey.

The picture is an almond (eye) outline, pointed at left and right, with a round
iris ring in the middle, drawn with light anti-aliasing on RGB 192,192,192.
Output: button.bmp next to this script, 22 x 26 pixels, 8 bits per pixel with a
4-colour palette, uncompressed.  The output is deterministic.

Run:  python3 resources/draw_button.py
"""
import math
import os
import struct

WIDTH, HEIGHT = 22, 26
# Palette index -> (R, G, B): background, light and dark anti-aliasing, ink.
PALETTE = [(192, 192, 192), (144, 144, 144), (80, 80, 80), (0, 0, 0)]

CX, CY = WIDTH / 2, HEIGHT / 2    # centre of the picture
HALF_W, HALF_H = 9.5, 6.5         # half width / half height of the eye
STROKE = 1.2                      # outline thickness in pixels
IRIS_R = 3.5                      # radius of the iris ring (centre line)
SUB = 4                           # supersamples per pixel along each axis


def eye_outline(steps=80):
    """Points along the eye: two parabolic lids meeting in sharp corners."""
    points = []
    for i in range(steps + 1):
        u = -1 + 2 * i / steps                # -1 (left corner) .. 1 (right)
        lid = HALF_H * (1 - u * u)
        points += [(CX + u * HALF_W, CY - lid), (CX + u * HALF_W, CY + lid)]
    return points


OUTLINE = eye_outline()


def is_ink(x, y):
    """True if the point is on the eye outline or on the iris ring."""
    half = STROKE / 2
    if abs(math.hypot(x - CX, y - CY) - IRIS_R) <= half:
        return True
    return any((x - ox) ** 2 + (y - oy) ** 2 <= half * half for ox, oy in OUTLINE)


def pixel_index(px, py):
    """Palette index of a pixel, from the share of its samples that are ink."""
    hits = sum(is_ink(px + (i + 0.5) / SUB, py + (j + 0.5) / SUB)
               for i in range(SUB) for j in range(SUB))
    cover = hits / (SUB * SUB)
    if cover < 0.25:
        return 0
    if cover < 0.5:
        return 1
    if cover < 0.75:
        return 2
    return 3


def build_bmp():
    stride = (WIDTH + 3) // 4 * 4            # rows are padded to 4 bytes
    rows = []
    for py in reversed(range(HEIGHT)):       # BMP rows are stored bottom-up
        row = bytes(pixel_index(px, py) for px in range(WIDTH))
        rows.append(row + b"\0" * (stride - WIDTH))
    pixels = b"".join(rows)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    offset = 14 + 40 + len(palette)
    file_header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info_header = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 8, 0,
                              len(pixels), 2835, 2835, len(PALETTE), len(PALETTE))
    return file_header + info_header + palette + pixels


if __name__ == "__main__":
    out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "button.bmp")
    with open(out, "wb") as f:
        f.write(build_bmp())
