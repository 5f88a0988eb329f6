#!/usr/bin/env python3
"""Packs the application icon's PNG sizes into one .ico for the Windows build.

    png2ico.py OUT.ico IN-16.png IN-32.png ...

Sizes below 256 become 32-bit DIB entries (every Windows and Wine read
them); 256 stays PNG-compressed, as the format allows only there. Only what
the artwork generator writes is read: 8-bit RGB or RGBA, not interlaced.
"""
import struct
import sys
import zlib


def read_png(data):
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise ValueError('not a PNG file')
    pos, idat, header = 8, b'', None
    while pos < len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b'IHDR':
            header = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            idat += body
        elif kind == b'IEND':
            break
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError('unsupported PNG layout')
    channels = 4 if colour == 6 else 3
    stride = width * channels
    raw = zlib.decompress(idat)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                pred = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                line[i] = (line[i] + pred) & 255
        rows.append(line)
        previous = line
    pixels = []  # RGBA rows, top first
    for line in rows:
        if channels == 4:
            pixels.append(bytes(line))
        else:
            pixels.append(b''.join(bytes(line[i:i + 3]) + b'\xff' for i in range(0, stride, 3)))
    return width, height, pixels


def dib_entry(width, height, pixels):
    # BITMAPINFOHEADER of twice the height (colour, then the AND mask), rows bottom first.
    out = struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    for row in reversed(pixels):
        out += b''.join(bytes((row[i + 2], row[i + 1], row[i], row[i + 3])) for i in range(0, len(row), 4))
    mask_stride = ((width + 31) // 32) * 4
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x in range(width):
            if row[4 * x + 3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bytes(bits)
    return out


def main(argv):
    entries = []
    for path in argv[2:]:
        with open(path, 'rb') as f:
            data = f.read()
        width, height, pixels = read_png(data)
        body = data if width >= 256 else dib_entry(width, height, pixels)
        entries.append((width, height, body))
    entries.sort(key=lambda e: e[0])
    out = struct.pack('<HHH', 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for width, height, body in entries:
        out += struct.pack('<BBBBHHII', width % 256, height % 256, 0, 0, 1, 32, len(body), offset)
        offset += len(body)
    out += b''.join(body for _, _, body in entries)
    with open(argv[1], 'wb') as f:
        f.write(out)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
