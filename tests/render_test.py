#!/usr/bin/env python3
"""Runs the example job, renders its files with tools/render.sh (gerbv) and
checks the pictures at known board coordinates.

usage: render_test.py QUORLAN_BINARY WORK_DIR

Exits 77, which CTest reports as skipped, when gerbv is not installed.
"""
import os
import shutil
import struct
import subprocess
import sys
import zlib

SKIPPED = 77
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Plain colours, so that every kind of spot has its own colour; the mask
# covers half of what is under it.
BACKGROUND = (255, 255, 255)
BOARD = (64, 32, 0)
COPPER = (224, 160, 0)
MASK = (0, 192, 0)
MASK_ALPHA = 0x80
TOLERANCE = 8
DPI = 200


def hex_colour(rgb, alpha=None):
    return "#" + "".join("%02x" % c for c in rgb) + ("" if alpha is None else "%02x" % alpha)


def under_mask(rgb):
    a = MASK_ALPHA / 255.0
    return tuple(round(a * m + (1 - a) * c) for m, c in zip(MASK, rgb))


# ---------------------------------------------------------------- PNG reading

def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_png(path):
    """Returns (width, height, rows of RGB tuples) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(path + " is not a PNG file")
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour_type, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
    if depth != 8 or colour_type not in (2, 6) or interlace != 0:
        raise ValueError("%s: unexpected PNG format (depth %d, colour type %d, interlace %d)"
                         % (path, depth, colour_type, interlace))
    bpp = 3 if colour_type == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * bpp
    rows, prev, at = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[at], bytearray(raw[at + 1:at + 1 + stride])
        at += 1 + stride
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            line[i] = (line[i] + (0, a, b, (a + b) // 2, paeth(a, b, c))[kind]) & 255
        rows.append([tuple(line[x * bpp:x * bpp + 3]) for x in range(width)])
        prev = line
    return width, height, rows


# ---------------------------------------------------------------- rendering

def render(job_dir, name, origin, size, options):
    """Renders with tools/render.sh into name; returns a pixel lookup by inches."""
    picture = os.path.join(job_dir, name)
    env = dict(os.environ, RENDER_BACKGROUND=hex_colour(BACKGROUND), RENDER_BOARD=hex_colour(BOARD),
               RENDER_COPPER=hex_colour(COPPER), RENDER_MASK=hex_colour(MASK, MASK_ALPHA))
    subprocess.run([os.path.join(ROOT, "tools", "render.sh"), "-o", picture] + options +
                   [job_dir, "--", "--dpi=%d" % DPI, "--border=0",
                    "--origin=%gx%g" % origin, "--window_inch=%gx%g" % size],
                   env=env, check=True, stdout=subprocess.DEVNULL)
    width, height, rows = read_png(picture)
    expected = (round(size[0] * DPI), round(size[1] * DPI))
    if (width, height) != expected:
        raise ValueError("%s is %dx%d pixels, not %dx%d" % (name, width, height, *expected))

    def pixel(x, y):
        return rows[int((origin[1] + size[1] - y) * DPI)][int((x - origin[0]) * DPI)]
    return pixel


def check(picture, name, cases):
    """cases: (what, x, y, colour, wanted) with wanted True for "is this colour"."""
    failures = 0
    for what, x, y, colour, wanted in cases:
        got = picture(x, y)
        near = all(abs(g - c) <= TOLERANCE for g, c in zip(got, colour))
        if near != wanted:
            failures += 1
            print("FAIL %s: %s at (%.3f in, %.3f in) is %s, expected %s%s" % (
                name, what, x, y, hex_colour(got), "" if wanted else "anything but ",
                hex_colour(colour)))
    return failures


def main():
    quorlan, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    if shutil.which("gerbv") is None:
        print("SKIPPED: gerbv is not installed (apt-get install gerbv), so the example board "
              "is not rendered and checked")
        return SKIPPED

    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(os.path.join(ROOT, "examples", "board"), work)
    job = subprocess.run([quorlan, "Cjob"], cwd=work, stdout=subprocess.PIPE, text=True)
    if job.returncode != 0 or "Done, 6 files created" not in job.stdout:
        print(job.stdout)
        print("FAIL: the example job did not end with its six files (exit status %d)"
              % job.returncode)
        return 1

    board = (-0.1, -0.1)
    frame = (2.2, 1.7)
    failures = 0

    # The finished board: every layer, as tools/run_example.sh shows it.
    picture = render(work, "board.png", board, frame, [])
    failures += check(picture, "board.png", [
        ("bare board under the mask", 1.00, 1.35, under_mask(BOARD), True),
        ("bare sensor strip under the mask", 1.78, 0.30, under_mask(BOARD), True),
        ("power trace under the mask", 1.45, 0.90, under_mask(COPPER), True),
        ("R1 pad in its mask opening", 0.30, 1.00, COPPER, True),
        ("U2 pad on the sensor strip", 1.85, 1.15, COPPER, True),
        ("hole of U1 pin 2", 0.65, 0.60, BACKGROUND, True),
        ("hole of J1 pin 3", 1.30, 0.70, BACKGROUND, True),
        ("via hole", 0.35, 0.45, BACKGROUND, True),
        ("suppressed mounting hole", 0.15, 0.15, BACKGROUND, False),
        ("mounting pad around the suppressed hole", 0.15, 0.15, COPPER, True),
        ("suppressed hole on the sensor strip", 1.85, 1.35, COPPER, True),
        ("connector notch", 0.80, 0.10, BACKGROUND, True),
        ("gap between board and sensor strip", 1.65, 0.75, BACKGROUND, True),
        ("outside the board", -0.05, -0.05, BACKGROUND, True),
        ("outside the board", 2.05, 1.55, BACKGROUND, True),
    ])

    # Without the holes layer, the drilled copper alone shows the board through
    # the hole of a pad whose mask is open.
    picture = render(work, "no_holes.png", board, frame, ["-d", ""])
    failures += check(picture, "no_holes.png", [
        ("hole of U1 pin 2 in the drilled copy", 0.65, 0.60, BOARD, True),
        ("ring of U1 pin 2", 0.65 + 0.024, 0.60, COPPER, True),
    ])

    # The second copy, alone: moved 2.1 in to the right, holes and all.
    picture = render(work, "offset_copy.png", board, (4.3, 1.7),
                     ["-c", "top_copper_drilledOf1.grb", "-b", "", "-m", "", "-d", ""])
    failures += check(picture, "offset_copy.png", [
        ("moved R1 pad", 2.40, 1.00, COPPER, True),
        ("moved hole of U1 pin 2", 2.75, 0.60, BACKGROUND, True),
        ("moved ring of U1 pin 2", 2.75 + 0.024, 0.60, COPPER, True),
        ("moved mounting pad", 2.25, 0.15, COPPER, True),
        ("where R1 was", 0.30, 1.00, BACKGROUND, True),
    ])

    if failures:
        print("%d check(s) failed; the pictures are in %s" % (failures, work))
        return 1
    print("The rendered example board looks right (pictures in %s)" % work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
