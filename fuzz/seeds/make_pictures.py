#!/usr/bin/env python3
"""Writes small PCX, BMP and TGA pictures (every layout the decoders read) as fuzz seeds.

The game's content has no PCX or BMP files and only large TGA files, so the seeds of those
decoders come from here:  make_pictures.py <output folder>  (subfolders pcx/, bmp/, tga/).
"""
import os
import struct
import sys


def pixels(w, h):
    return [((x * 37 + y * 11) & 0xFF, (x * 5 + y * 53) & 0xFF, (x * y * 3) & 0xFF, 0xFF if (x + y) % 3 else 0x40)
            for y in range(h) for x in range(w)]


def pcx_rle(line):
    out, i = bytearray(), 0
    while i < len(line):
        run = 1
        while i + run < len(line) and line[i + run] == line[i] and run < 63:
            run += 1
        if run > 1 or line[i] >= 0xC0:
            out += bytes([0xC0 | run, line[i]])
        else:
            out.append(line[i])
        i += run
    return out


def pcx(w, h, planes):
    bpl = (w + 1) & ~1
    head = bytearray(128)
    head[0:4] = bytes([0x0A, 5, 1, 8])
    struct.pack_into('<HHHHHH', head, 4, 0, 0, w - 1, h - 1, 72, 72)
    head[65] = planes
    struct.pack_into('<HH', head, 66, bpl, 1)
    body = bytearray()
    px = pixels(w, h)
    for y in range(h):
        row = px[y * w:(y + 1) * w]
        if planes == 1:
            body += pcx_rle(bytes([(r ^ g) & 0xFF for r, g, b, a in row]) + bytes(bpl - w))
        else:
            for c in range(3):
                body += pcx_rle(bytes(p[c] for p in row) + bytes(bpl - w))
    if planes == 1:
        body += b'\x0c' + bytes((i * 7 + k * 85) & 0xFF for i in range(256) for k in range(3))
    return bytes(head + body)


def bmp(w, h, bpp, top_down=False, core=False):
    stride = (w * bpp + 31) // 32 * 4
    palette = b''
    if bpp == 8:
        palette = bytes(v for i in range(16) for v in ((i * 16, 255 - i * 16, i * 8) + (() if core else (0,))))
    rows = []
    px = pixels(w, h)
    for y in range(h):
        row = bytearray()
        for (r, g, b, a) in px[y * w:(y + 1) * w]:
            if bpp == 8:
                row.append((r ^ b) & 15)
            elif bpp == 16:
                row += struct.pack('<H', (r >> 3) << 10 | (g >> 3) << 5 | b >> 3)
            elif bpp == 24:
                row += bytes([b, g, r])
            else:
                row += bytes([b, g, r, a])
        rows.append(bytes(row) + bytes(stride - len(row)))
    if not top_down:
        rows.reverse()
    info = (struct.pack('<IHHHH', 12, w, h, 1, bpp) if core else
            struct.pack('<IiiHHIIiiII', 40, w, -h if top_down else h, 1, bpp, 0, stride * h, 2835, 2835,
                        16 if bpp == 8 else 0, 0))
    off = 14 + len(info) + len(palette)
    data = b''.join(rows)
    return b'BM' + struct.pack('<IHHI', off + len(data), 0, 0, off) + info + palette + data


def tga_rle(units):
    out, i = bytearray(), 0
    while i < len(units):
        run = 1
        while i + run < len(units) and units[i + run] == units[i] and run < 128:
            run += 1
        if run > 1:
            out += bytes([0x80 | (run - 1)]) + units[i]
            i += run
        else:
            j = i
            while j < len(units) and j - i < 128 and (j + 1 >= len(units) or units[j + 1] != units[j]):
                j += 1
            j = max(j, i + 1)
            out += bytes([j - i - 1]) + b''.join(units[i:j])
            i = j
    return bytes(out)


def tga(w, h, kind, depth, top_down=False, ident=b''):
    mapped = kind in (1, 9)
    colour_map = b''
    if mapped:
        colour_map = b''.join(bytes([i * 16, 255 - i * 16, i * 8]) for i in range(16))
    head = struct.pack('<BBBHHBHHHHBB', len(ident), 1 if mapped else 0, kind, 0, 16 if mapped else 0,
                       24 if mapped else 0, 0, 0, w, h, 8 if mapped else depth,
                       (0x20 if top_down else 0) | (8 if depth == 32 else 0))
    units = []
    for (r, g, b, a) in pixels(w, h):
        if mapped:
            units.append(bytes([(r ^ g) & 15]))
        elif depth == 16:
            units.append(struct.pack('<H', 0x8000 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3))
        elif depth == 24:
            units.append(bytes([b, g, r]))
        else:
            units.append(bytes([b, g, r, a]))
    body = tga_rle(units) if kind in (9, 10) else b''.join(units)
    return head + ident + colour_map + body


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else '.'
    files = {
        'pcx/gray8.pcx': pcx(13, 7, 1),
        'pcx/rgb24.pcx': pcx(9, 6, 3),
        'bmp/pal8.bmp': bmp(7, 5, 8),
        'bmp/core8.bmp': bmp(6, 4, 8, core=True),
        'bmp/rgb16.bmp': bmp(5, 4, 16),
        'bmp/rgb24.bmp': bmp(7, 3, 24),
        'bmp/rgba32-topdown.bmp': bmp(4, 4, 32, top_down=True),
        'tga/rgba32.tga': tga(8, 6, 2, 32),
        'tga/rgb24-topdown.tga': tga(5, 5, 2, 24, top_down=True),
        'tga/rgb16.tga': tga(6, 4, 2, 16),
        'tga/rle32.tga': tga(16, 8, 10, 32),
        'tga/mapped.tga': tga(7, 5, 1, 8, ident=b'parlorix'),
        'tga/mapped-rle.tga': tga(12, 6, 9, 8),
    }
    for name, data in files.items():
        path = os.path.join(out, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
