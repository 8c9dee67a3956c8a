#!/usr/bin/env python3
"""Packs PNG images into one icon file (the PNG-in-icon form the system
reads since its sixth version): png_icon.py OUT.ico IN.png [IN.png ...]."""
import struct
import sys


def main():
    out, sources = sys.argv[1], sys.argv[2:]
    images = [open(path, "rb").read() for path in sources]
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries = b""
    for image in images:
        # Width and height from the PNG's header chunk; 256 is written as 0.
        width, height = struct.unpack(">II", image[16:24])
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32,
                               len(image), offset)
        offset += len(image)
    with open(out, "wb") as icon:
        icon.write(header + entries + b"".join(images))


if __name__ == "__main__":
    main()
