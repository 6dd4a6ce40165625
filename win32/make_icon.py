#!/usr/bin/env python3
"""make_icon.py - writes the window icon as a Windows .ico from the hand-drawn XPM the Qt window uses.

    usage: make_icon.py pakuto.xpm pakuto.ico

The XPM is 32x32 and uses colours of the classic 16-colour palette (None is transparent); the icon is
one 32x32 image at 4 bits per pixel with that palette and a 1-bit transparency mask.
"""
import re
import struct
import sys

# The classic 16-colour palette, in its usual order.
PALETTE = [
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
]


def read_xpm(path):
    """The XPM's rows as lists of palette indexes, None where transparent."""
    strings = re.findall(r'"((?:[^"\\]|\\.)*)"', open(path, encoding="ascii").read())
    width, height, colours, per_pixel = (int(n) for n in strings[0].split()[:4])
    table = {}
    for entry in strings[1:1 + colours]:
        key, rest = entry[:per_pixel], entry[per_pixel:].split()
        value = rest[rest.index("c") + 1]
        if value.lower() == "none":
            table[key] = None
        else:
            rgb = int(value.lstrip("#"), 16)
            if rgb not in PALETTE:
                sys.exit(f"{path}: colour {value} is not in the 16-colour palette")
            table[key] = PALETTE.index(rgb)
    rows = strings[1 + colours:1 + colours + height]
    return width, height, [[table[row[x:x + per_pixel]] for x in range(0, width * per_pixel, per_pixel)]
                           for row in rows]


def ico(width, height, pixels):
    """One-image ICO: header, directory entry, BITMAPINFOHEADER, palette, XOR and AND bitmaps."""
    def padded(row):
        return row + b"\0" * (-len(row) % 4)

    xor = b""
    mask = b""
    for row in reversed(pixels):  # bottom-up
        nibbles = [0 if p is None else p for p in row]
        xor += padded(bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, width, 2)))
        bits = 0
        out = bytearray()
        for x, p in enumerate(row):
            bits = (bits << 1) | (p is None)
            if x % 8 == 7:
                out.append(bits)
                bits = 0
        mask += padded(bytes(out))
    palette = b"".join(struct.pack("<BBBB", c & 0xFF, (c >> 8) & 0xFF, c >> 16, 0) for c in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + xor + mask
    return (struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", width, height, 16, 0, 1, 4, len(image), 22)
            + image)


def main():
    source, target = sys.argv[1:3]
    width, height, pixels = read_xpm(source)
    with open(target, "wb") as out:
        out.write(ico(width, height, pixels))


if __name__ == "__main__":
    main()
