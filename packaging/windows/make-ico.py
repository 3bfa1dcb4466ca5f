#!/usr/bin/env python3
"""Writes a Windows icon file from PNG images (one per size): make-ico.py OUT.ico A.png B.png ..."""
import struct
import sys


def main():
    out, pngs = sys.argv[1], sys.argv[2:]
    images = [open(path, 'rb').read() for path in pngs]
    header = struct.pack('<HHH', 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, data = b'', b''
    for image in images:
        # The PNG header gives the size; 256 is written as 0.
        width, height = struct.unpack('>II', image[16:24])
        entries += struct.pack('<BBBBHHII', width % 256, height % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
        data += image
    with open(out, 'wb') as f:
        f.write(header + entries + data)


if __name__ == '__main__':
    main()
