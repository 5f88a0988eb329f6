#!/usr/bin/env python3
"""The windows of orn.exe under Wine, each against the Linux window's own
picture (orn-skin-sample --grab, offscreen): the same size; the same shape
(the window region holds exactly the mask bitmap's non-black pixels, and all
pixels beyond the mask); the same bitmaps over the background and the
buttons, and the same frame of a closed drop-down list showing no item (few
pixels may differ), and close over the controls that draw text, whose fonts
differ. The pictures stay in OUT_DIR.

  screenshots_test.py LINUX_SAMPLE WINDOWS_SAMPLE_EXE ART_DIR OUT_DIR
"""

import os
import struct
import subprocess
import sys

WINE = os.environ.get("ORN_WINE", "/usr/lib/wine/wine64")

# name, template, --hex, mask bitmap
WINDOWS = [("main", 102, False, 133), ("filters", 129, False, 191), ("filter-entry", 130, False, 189),
           ("host-browser", 134, False, 189), ("about", 100, False, 189), ("details", 132, False, 191),
           ("details-hex", 132, True, 191)]
# A channel further apart than this is a differing pixel; at most these
# shares of the bitmap, the drop-down frame and the text areas' pixels may
# differ.
CHANNEL = 48
BITMAP_SHARE = 0.02
FRAME_SHARE = 0.02
TEXT_SHARE = 0.35


def read_bmp(path):
    """(width, height, [0xRRGGBB per pixel, top row first])."""
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    size, width, height, _, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    if compression not in (0, 3):
        raise ValueError("%s: compressed" % path)
    colours = struct.unpack_from("<I", data, 46)[0] or (1 << bits if bits <= 8 else 0)
    palette = [struct.unpack_from("<I", data, 14 + size + 4 * i)[0] & 0xFFFFFF for i in range(colours)]
    stride = (width * bits + 31) // 32 * 4
    rows = []
    for y in range(abs(height)):
        line = offset + stride * (y if height < 0 else abs(height) - 1 - y)
        if bits == 32:
            row = [v & 0xFFFFFF for v in struct.unpack_from("<%dI" % width, data, line)]
        elif bits == 24:
            row = [int.from_bytes(data[line + 3 * x:line + 3 * x + 3], "little") for x in range(width)]
        elif bits in (1, 4, 8):
            per = 8 // bits
            row = [palette[(data[line + x // per] >> (8 - bits * (x % per + 1))) & ((1 << bits) - 1)]
                   for x in range(width)]
        else:
            raise ValueError("%s: %d bits" % (path, bits))
        rows.extend(row)
    return width, abs(height), rows


def differ(a, b):
    return any(abs(((a >> s) & 255) - ((b >> s) & 255)) > CHANNEL for s in (0, 8, 16))


def compare(name, linux, windows, area, mask):
    (lw, lh, lp), (ww, wh, wp), (_, _, ap), (mw, mh, mp) = linux, windows, area, mask
    if (lw, lh) != (ww, wh):
        return ["%s: %dx%d on Windows, %dx%d on Linux" % (name, ww, wh, lw, lh)]
    problems = []
    # The mask rule: its non-black pixels, and every pixel beyond it.
    shape = [x >= mw or y >= mh or mp[y * mw + x] != 0 for y in range(wh) for x in range(ww)]
    region = [p != 0 for p in ap]
    wrong = sum(1 for s, r in zip(shape, region) if s != r)
    if wrong:
        problems.append("%s: the region differs from the mask at %d pixels" % (name, wrong))
    counts = {0xFFFFFF: [0, 0], 0xC0C0C0: [0, 0], 0x808080: [0, 0]}
    for a, l, w in zip(ap, lp, wp):
        if a in counts:
            counts[a][0] += 1
            counts[a][1] += differ(l, w)
    for kind, share, what in ((0xFFFFFF, BITMAP_SHARE, "bitmaps"), (0xC0C0C0, FRAME_SHARE, "drop-down frames"),
                              (0x808080, TEXT_SHARE, "text areas")):
        total, bad = counts[kind]
        if total and bad > share * total:
            problems.append("%s: %d of %d pixels of the %s differ" % (name, bad, total, what))
        if total:
            print("%s: %s %d of %d pixels differ" % (name, what, bad, total))
    return problems


def main(linux_sample, windows_sample, art, out):
    if not os.environ.get("DISPLAY"):
        print("no display")
        return 1
    os.makedirs(out, exist_ok=True)
    for name in os.listdir(out):
        os.remove(os.path.join(out, name))
    arguments = []
    for name, template, hex_view, _ in WINDOWS:
        extra = ["--hex"] if hex_view else []
        subprocess.run([linux_sample, str(template)] + extra + ["--grab", os.path.join(out, name + "-linux.bmp")],
                       capture_output=True, timeout=60, env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        arguments += ["%d%s" % (template, ",hex" if hex_view else ""),
                      "Z:" + os.path.join(out, name + "-windows").replace("/", "\\")]
    p = subprocess.run([WINE, windows_sample] + arguments, capture_output=True, timeout=300)
    problems = [] if p.returncode == 0 else ["the Windows sample ended with %d: %s"
                                             % (p.returncode, p.stderr.decode(errors="replace").strip()[-300:])]
    for name, template, hex_view, mask in WINDOWS:
        linux, windows = os.path.join(out, name + "-linux.bmp"), os.path.join(out, name + "-windows")
        if not all(os.path.exists(f) for f in (linux, windows + ".bmp", windows + "-area.bmp")):
            problems.append("%s: no pictures" % name)
            continue
        problems += compare(name, read_bmp(linux), read_bmp(windows + ".bmp"), read_bmp(windows + "-area.bmp"),
                            read_bmp(os.path.join(art, "%d.bmp" % mask)))
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:5]))
