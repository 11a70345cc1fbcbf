#!/usr/bin/python3
"""Draws the editor artwork of Oriv and Malvoree and writes it into their resource folders.

    scripts/draw-artwork.py                  rewrite every image (run from the repository root)
    scripts/draw-artwork.py --check          verify that the committed images are exactly what
                                             this script draws, and that their formats are right
    scripts/draw-artwork.py --preview DIR    also write composites with the controls drawn on
                                             the backgrounds at several values (not committed)

Everything is drawn at its final size, pixel by pixel: round shapes and slanted strokes get
their edge coverage computed per pixel, straight strokes sit on whole pixels, and text is
rendered by FreeType at its final size. No image is scaled. The only randomness (the brushed
metal grain) comes from a fixed-seed generator of our own, so two runs write identical bytes.

The BMP files are compiled into the DLLs as bitmap resources. They are written by this script
itself (not by an image library) so that their layout is fixed: BITMAPFILEHEADER plus a
40-byte BITMAPINFOHEADER, bottom-up rows padded to four bytes, no compression, 24 bits per
pixel or 8 bits with a full 256-entry colour table.

Needs Debian's python3-pil and the font packages named below.
"""
import argparse
import io
import math
import os
import struct
import sys

from PIL import Image, ImageDraw, ImageFont

# --------------------------------------------------------------------------------------------
# Fonts (fixed paths from Debian packages)
# --------------------------------------------------------------------------------------------
DEJAVU = "/usr/share/fonts/truetype/dejavu/"
LIBERATION = "/usr/share/fonts/truetype/liberation/"
FONT_FILES = {
    "sans-bold": DEJAVU + "DejaVuSans-Bold.ttf",  # fonts-dejavu-core
    "cond-bold": DEJAVU + "DejaVuSansCondensed-Bold.ttf",  # fonts-dejavu-extra
    "serif-bold-italic": DEJAVU + "DejaVuSerif-BoldItalic.ttf",  # fonts-dejavu-extra
    # Metric twin of Arial, the face the delay editor's value displays use (previews only).
    "arial-like": LIBERATION + "LiberationSans-Regular.ttf",  # fonts-liberation
}
_font_cache = {}


def font(name, size):
    key = (name, size)
    if key not in _font_cache:
        _font_cache[key] = ImageFont.truetype(FONT_FILES[name], size)
    return _font_cache[key]


# --------------------------------------------------------------------------------------------
# Where the editors put their controls. The two layout tables have the rows of the editors'
# placement tables, in the same order: (tag, kind, x, y), knobs by centre, everything else by
# top-left corner, in pixels of the background bitmap. The view sizes follow from how the
# editors build each kind of control.
# --------------------------------------------------------------------------------------------
KNOB, BUTTON, DISPLAY, SLIDER = "knob", "button", "display", "slider"

ORIV_DIR = "synth/resources"
ORIV_SIZE = (500, 170)
ORIV_LAYOUT = [
    (14, BUTTON, 61, 44),  # range 16'
    (15, BUTTON, 80, 44),  # range 8'
    (16, BUTTON, 99, 44),  # range 4'
    (17, BUTTON, 123, 44),  # waveform, first
    (18, BUTTON, 142, 44),  # waveform, second
    (19, BUTTON, 161, 44),  # waveform, third
    (2, KNOB, 149, 109),  # Osc2Det
    (3, KNOB, 86, 109),  # LfoFreq
    (4, KNOB, 215, 58),  # VcfCut
    (5, KNOB, 215, 109),  # VcfReso
    (6, KNOB, 272, 58),  # VcfAtt
    (7, KNOB, 330, 58),  # VcfDec
    (8, KNOB, 385, 58),  # VcfSus
    (9, KNOB, 443, 58),  # VcfRel
    (10, KNOB, 272, 109),  # VcaAtt
    (11, KNOB, 330, 109),  # VcaDec
    (12, KNOB, 385, 109),  # VcaSus
    (13, KNOB, 443, 109),  # VcaRel
]
ORIV_KNOB_VIEW = 30  # 30 x 30, centred on the knob centre
ORIV_DOT_SIZE = 7  # bmp00129.png
ORIV_BUTTON_VIEW = (15, 28)  # the buttons show a 15 x 28 rectangle of buttonface.bmp
ORIV_BUTTON_BITMAP = (16, 58)  # off state from row 0, on state from row 29 (half the height)

# What the panel prints at each control: knobs (parameter, caption, scale), buttons a caption
ORIV_LABELS = {
    2: ("Osc2Det", "Detune", "detune"),
    3: ("LfoFreq", "LFO", "lfo"),
    4: ("VcfCut", "Cutoff", "ticks"),
    5: ("VcfReso", "Reso", "ticks"),
    6: ("VcfAtt", "Attack", "ticks"),
    7: ("VcfDec", "Decay", "ticks"),
    8: ("VcfSus", "Sustain", "ticks"),
    9: ("VcfRel", "Release", "ticks"),
    10: ("VcaAtt", "Attack", "ticks"),
    11: ("VcaDec", "Decay", "ticks"),
    12: ("VcaSus", "Sustain", "ticks"),
    13: ("VcaRel", "Release", "ticks"),
    14: "16",
    15: "8",
    16: "4",
    17: "wave:triangle",  # value 0.0
    18: "wave:saw",  # value 0.5
    19: "wave:square",  # value 1.0
}
# (tag, parameter, x, y, caption, scale) and (tag, x, y, caption), in layout order
ORIV_KNOBS = [(t, ORIV_LABELS[t][0], x, y) + ORIV_LABELS[t][1:]
              for t, k, x, y in ORIV_LAYOUT if k == KNOB]
ORIV_BUTTONS = [(t, x, y, ORIV_LABELS[t]) for t, k, x, y in ORIV_LAYOUT if k == BUTTON]

MALVOREE_DIR = "delay/resources"
MALVOREE_SIZE = (463, 334)
MALVOREE_LAYOUT = [
    (3, KNOB, 43, 215), (2, KNOB, 86, 215), (4, KNOB, 43, 278), (1, KNOB, 86, 278),
    (8, KNOB, 147, 215), (7, KNOB, 190, 215), (9, KNOB, 147, 278), (6, KNOB, 190, 278),
    (13, KNOB, 259, 215), (12, KNOB, 302, 215), (14, KNOB, 259, 278), (11, KNOB, 302, 278),
    (18, KNOB, 365, 215), (17, KNOB, 408, 215), (19, KNOB, 365, 278), (16, KNOB, 408, 278),
    (0, KNOB, 109, 114), (5, KNOB, 187, 114), (10, KNOB, 265, 114), (15, KNOB, 338, 114),
    (20, BUTTON, 33, 42),
    (3, DISPLAY, 26, 238), (2, DISPLAY, 69, 238), (4, DISPLAY, 26, 300), (1, DISPLAY, 69, 300),
    (8, DISPLAY, 132, 238), (7, DISPLAY, 174, 238), (9, DISPLAY, 132, 300),
    (6, DISPLAY, 174, 300),
    (13, DISPLAY, 242, 238), (12, DISPLAY, 286, 238), (14, DISPLAY, 242, 300),
    (11, DISPLAY, 286, 300),
    (18, DISPLAY, 348, 238), (17, DISPLAY, 392, 238), (19, DISPLAY, 348, 300),
    (16, DISPLAY, 392, 300),
    (0, DISPLAY, 90, 135), (5, DISPLAY, 166, 135), (10, DISPLAY, 246, 135),
    (15, DISPLAY, 318, 135),
    (21, SLIDER, 408, 36),
]
MALVOREE_KNOB_VIEW = 20  # 20 x 20, centred on the knob centre
MALVOREE_DOT_SIZE = 9  # bmp01002.png
MALVOREE_DISPLAY = (32, 10)  # value displays; the editor writes black Arial 11 into them
MALVOREE_SYNC_SIZE = (39, 14)  # shows rows 0..13 (off) or 15..28 (on) of syncbutton.bmp
MALVOREE_SYNC_BITMAP = (40, 30)
MALVOREE_SLIDER_SIZE = (26, 53)
MALVOREE_SLIDER_HANDLE = (27, 10)  # top edge from the view's top (wet) to 43 lower (dry)


def malvoree_place(kind, tag):
    (x, y), = [(x, y) for t, k, x, y in MALVOREE_LAYOUT if (t, k) == (tag, kind)]
    return x, y


# Parameters of head h: delay time 5h, feedback 5h + 1, damping 5h + 2, volume 5h + 3, pan
# 5h + 4. Each head block shows volume, damp, pan and feedback, in that order.
MALVOREE_HEAD_CAPTIONS = ["Volume", "Damp", "Pan", "Feedback"]
MALVOREE_BLOCK_TAGS = [[5 * h + 3, 5 * h + 2, 5 * h + 4, 5 * h + 1] for h in range(4)]
MALVOREE_DELAY_KNOBS = [malvoree_place(KNOB, 5 * h) for h in range(4)]
MALVOREE_DELAY_DISPLAYS = [malvoree_place(DISPLAY, 5 * h) for h in range(4)]
MALVOREE_HEAD_KNOBS = [[malvoree_place(KNOB, t) for t in tags] for tags in MALVOREE_BLOCK_TAGS]
MALVOREE_HEAD_DISPLAYS = [[malvoree_place(DISPLAY, t) for t in tags]
                          for tags in MALVOREE_BLOCK_TAGS]
MALVOREE_SYNC_VIEW = malvoree_place(BUTTON, 20) + MALVOREE_SYNC_SIZE  # x, y, width, height
MALVOREE_SLIDER_VIEW = malvoree_place(SLIDER, 21) + MALVOREE_SLIDER_SIZE


def knob_handle_centre(cx, cy, view, dot, value):
    """Pixel on which the knob centres its dot image for a value, the way the toolkit does it:
    radius = view / 2, inset = int(dot / 2 + 2.5), angle 225 degrees at 0 running clockwise
    through 270 degrees, point truncated to whole pixels, image placed at point - dot / 2."""
    radius = view * 0.5
    inset = int(dot * 0.5 + 2.5)
    angle = math.radians(225.0) - value * math.radians(270.0)
    x = int(math.cos(angle) * (radius - inset) + radius + 0.5)
    y = int(radius - math.sin(angle) * (radius - inset) + 0.5)
    left, top = cx - view // 2, cy - view // 2
    return left + x, top + y  # the dot image's centre pixel (dot // 2, dot // 2) lands here


# --------------------------------------------------------------------------------------------
# Drawing helpers. Coordinates of pixel (i, j) cover [i, i+1) x [j, j+1); a shape "centred on
# pixel (x, y)" has its continuous centre at (x + 0.5, y + 0.5).
# --------------------------------------------------------------------------------------------
def clamp01(v):
    return 0.0 if v < 0.0 else 1.0 if v > 1.0 else v


def mix(a, b, t):
    """Colour between a and b (t = 0 gives a)."""
    return tuple(int(a[i] + (b[i] - a[i]) * t + 0.5) for i in range(3))


def shade(c, k):
    """Colour c made lighter (k > 0) or darker (k < 0), k in -1..1."""
    return mix(c, (255, 255, 255), k) if k >= 0 else mix(c, (0, 0, 0), -k)


def blend(px, x, y, rgb, alpha):
    if alpha <= 0.0:
        return
    if alpha >= 1.0:
        px[x, y] = tuple(rgb)
        return
    r, g, b = px[x, y][:3]
    px[x, y] = (
        int(r + (rgb[0] - r) * alpha + 0.5),
        int(g + (rgb[1] - g) * alpha + 0.5),
        int(b + (rgb[2] - b) * alpha + 0.5),
    )


def paint(img, box, fn):
    """Calls fn(x, y) with the centre of every pixel in box (x0, y0, x1, y1; x1, y1 exclusive);
    fn answers (rgb, alpha) or None, and the colour is laid over the pixel."""
    px = img.load()
    x0, y0, x1, y1 = box
    x0, y0 = max(0, int(x0)), max(0, int(y0))
    x1, y1 = min(img.width, int(math.ceil(x1))), min(img.height, int(math.ceil(y1)))
    for y in range(y0, y1):
        for x in range(x0, x1):
            r = fn(x + 0.5, y + 0.5)
            if r is not None:
                blend(px, x, y, r[0], r[1])


def disc(img, cx, cy, r, colour, alpha=1.0, soft=1.0):
    """Filled circle around the continuous point (cx, cy); edge coverage over `soft` pixels."""

    def fn(x, y):
        d = math.hypot(x - cx, y - cy)
        a = clamp01((r - d) / soft + 0.5)
        return (colour, a * alpha) if a > 0 else None

    paint(img, (cx - r - soft, cy - r - soft, cx + r + soft + 1, cy + r + soft + 1), fn)


def shaded_disc(img, cx, cy, r, colour_at, alpha=1.0):
    """Filled circle whose colour comes from colour_at(dx, dy, d) (offsets from the centre)."""

    def fn(x, y):
        dx, dy = x - cx, y - cy
        d = math.hypot(dx, dy)
        a = clamp01(r - d + 0.5)
        return (colour_at(dx, dy, d), a * alpha) if a > 0 else None

    paint(img, (cx - r - 1, cy - r - 1, cx + r + 2, cy + r + 2), fn)


def ring(img, cx, cy, r_in, r_out, colour_at, alpha=1.0):
    """Annulus r_in..r_out; colour_at(dx, dy, d) gives the colour."""

    def fn(x, y):
        dx, dy = x - cx, y - cy
        d = math.hypot(dx, dy)
        a = clamp01(r_out - d + 0.5) * clamp01(d - r_in + 0.5)
        return (colour_at(dx, dy, d), a * alpha) if a > 0 else None

    paint(img, (cx - r_out - 1, cy - r_out - 1, cx + r_out + 2, cy + r_out + 2), fn)


def segment(img, p0, p1, width, colour, alpha=1.0):
    """Anti-aliased straight stroke with round ends between continuous points p0 and p1."""
    (ax, ay), (bx, by) = p0, p1
    vx, vy = bx - ax, by - ay
    ll = vx * vx + vy * vy or 1e-9
    hw = width * 0.5

    def fn(x, y):
        t = max(0.0, min(1.0, ((x - ax) * vx + (y - ay) * vy) / ll))
        d = math.hypot(x - (ax + t * vx), y - (ay + t * vy))
        a = clamp01(hw - d + 0.5)
        return (colour, a * alpha) if a > 0 else None

    paint(img, (min(ax, bx) - hw - 1, min(ay, by) - hw - 1, max(ax, bx) + hw + 2,
                max(ay, by) + hw + 2), fn)


def polyline(img, points, width, colour, alpha=1.0):
    for p0, p1 in zip(points, points[1:]):
        segment(img, p0, p1, width, colour, alpha)


def rect(img, x0, y0, x1, y1, colour):
    """Solid rectangle on whole pixels, x1 and y1 inclusive."""
    ImageDraw.Draw(img).rectangle((x0, y0, x1, y1), fill=tuple(colour))


def frame(img, x0, y0, x1, y1, colour):
    """One-pixel outline on whole pixels, x1 and y1 inclusive."""
    ImageDraw.Draw(img).rectangle((x0, y0, x1, y1), outline=tuple(colour))


def bevel(img, x0, y0, x1, y1, light, dark):
    """One-pixel bevel: light on top and left, dark on bottom and right (x1, y1 inclusive)."""
    d = ImageDraw.Draw(img)
    d.line((x0, y0, x1 - 1, y0), fill=tuple(light))
    d.line((x0, y0, x0, y1 - 1), fill=tuple(light))
    d.line((x0 + 1, y1, x1, y1), fill=tuple(dark))
    d.line((x1, y0 + 1, x1, y1), fill=tuple(dark))


def vgradient(img, x0, y0, x1, y1, top, bottom):
    """Rectangle (x1, y1 inclusive) shaded from top to bottom."""
    d = ImageDraw.Draw(img)
    n = max(1, y1 - y0)
    for y in range(y0, y1 + 1):
        d.line((x0, y, x1, y), fill=mix(top, bottom, (y - y0) / n))


def text_width(s, f, tracking=None):
    if tracking is None:
        return f.getlength(s)
    return sum(int(f.getlength(c) + 0.5) for c in s) + tracking * (len(s) - 1)


def text(img, x, y, s, f, colour, align="centre", tracking=None, shadow=None):
    """Draws s with the top of its capitals on row y. align: 'left' (x = left edge), 'centre'
    (x = centre, may be fractional: x + 0.5 centres on pixel x) or 'right'. With tracking
    (pixels, may be 0) the letters are set one by one on whole-pixel advances plus that many
    pixels, which keeps spaced capitals evenly spaced; without it the font's own layout is
    used. shadow = (colour, dx, dy) draws an offset copy behind first. Answers the left and
    right pixel edges of the text."""
    w = text_width(s, f, tracking)
    if align == "centre":
        left = int(math.floor(x - w / 2.0 + 0.5))
    elif align == "right":
        left = int(round(x - w))
    else:
        left = int(x)
    # the bbox of "H" gives the offset from the drawing origin to the top of capitals
    cap_top = f.getbbox("H")[1]
    top = int(y) - cap_top
    d = ImageDraw.Draw(img)
    passes = []
    if shadow:
        passes.append((shadow[0], shadow[1], shadow[2]))
    passes.append((colour, 0, 0))
    for c, dx, dy in passes:
        c = tuple(c) if len(c) > 1 else c[0]
        if tracking is None:
            d.text((left + dx, top + dy), s, font=f, fill=c)
        else:
            cx = left
            for ch in s:
                d.text((cx + dx, top + dy), ch, font=f, fill=c)
                cx += int(f.getlength(ch) + 0.5) + tracking
    return left, left + int(math.ceil(w))


def rotated_lines(img, cx, cy, lines, gap, colour):
    """Lines of text, centred on each other and set `gap` pixels apart, turned a quarter turn
    counter-clockwise (reading upwards) and centred on pixel (cx, cy). The quarter turn moves
    whole pixels, so the glyphs stay as crisp as when set horizontally."""
    heights = [cap_height(f) for _, f, _ in lines]
    width = int(max(text_width(s, f, t) for s, f, t in lines)) + 4
    height = sum(heights) + gap * (len(lines) - 1) + 4
    mask = Image.new("L", (width, height), 0)
    y = 2
    for (s, f, t), hgt in zip(lines, heights):
        text(mask, width / 2.0, y, s, f, (255,), tracking=t)
        y += hgt + gap
    mask = mask.transpose(Image.Transpose.ROTATE_90)
    img.paste(tuple(colour), (cx - mask.width // 2, cy - mask.height // 2), mask)


def cap_height(f):
    b = f.getbbox("H")
    return b[3] - b[1]


class Grain:
    """Deterministic pseudo-random numbers (xorshift32), the same on every Python."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF or 1

    def next(self):
        s = self.state
        s ^= (s << 13) & 0xFFFFFFFF
        s ^= s >> 17
        s ^= (s << 5) & 0xFFFFFFFF
        self.state = s
        return s / 4294967296.0  # 0 <= v < 1


def brushed(img, x0, y0, x1, y1, base, depth, seed, streak=18):
    """Horizontally brushed metal over the rectangle (x1, y1 inclusive): each row gets its own
    brightness, plus grain smeared along the row. depth is the largest change in levels."""
    g = Grain(seed)
    px = img.load()
    w = x1 - x0 + 1
    for y in range(y0, y1 + 1):
        row = (g.next() - 0.5) * depth * 0.4
        noise = [g.next() - 0.5 for _ in range(w + streak)]
        acc = sum(noise[:streak])
        for i in range(w):
            v = row + acc / streak * depth * 1.6
            acc += noise[i + streak] - noise[i]
            px[x0 + i, y] = tuple(max(0, min(255, int(base[k] + v + 0.5))) for k in range(3))


# --------------------------------------------------------------------------------------------
# Palette conversion and file writing
# --------------------------------------------------------------------------------------------
def to_palette(rgb, reserved=()):
    """8-bit palette image from an RGB drawing. Small images keep their colours exactly; larger
    ones get an adaptive palette (median cut) plus the reserved colours, and every colour is
    mapped to its nearest palette entry without dithering, so text edges stay clean and the
    reserved colours come out exactly where they were drawn."""
    colours = rgb.getcolors(256)
    if colours is not None:
        palette = sorted(c for _, c in colours)
    else:
        free = 256 - len(reserved)
        adaptive = rgb.quantize(colors=free, method=Image.Quantize.MEDIANCUT,
                                dither=Image.Dither.NONE)
        flat = adaptive.getpalette()[: free * 3]
        palette = sorted(set(tuple(reserved) + tuple(
            tuple(flat[i:i + 3]) for i in range(0, len(flat), 3))))
    assert len(palette) <= 256

    def nearest(c):
        return min(range(len(palette)), key=lambda i: (
            (c[0] - palette[i][0]) ** 2 + (c[1] - palette[i][1]) ** 2
            + (c[2] - palette[i][2]) ** 2, i))

    lut = {c: nearest(c) for _, c in rgb.getcolors(rgb.width * rgb.height)}
    out = Image.new("P", rgb.size)
    out.putdata([lut[c] for c in rgb.getdata()])
    out.putpalette([v for c in palette for v in c])
    return out


def bmp_bytes(img):
    """Plain Windows BMP: 24 bits for RGB images, 8 bits with a 256-entry table for P."""
    w, h = img.size
    if img.mode == "RGB":
        bits, table = 24, b""
        raw = img.tobytes("raw", "BGR")
        row = w * 3
    elif img.mode == "P":
        bits = 8
        pal = img.getpalette()
        pal += [0] * (768 - len(pal))
        table = b"".join(bytes((pal[i + 2], pal[i + 1], pal[i], 0)) for i in range(0, 768, 3))
        raw = img.tobytes()
        row = w
    else:
        raise ValueError("cannot write mode %s as BMP" % img.mode)
    stride = (row + 3) & ~3
    pad = b"\0" * (stride - row)
    pixels = b"".join(raw[y * row:(y + 1) * row] + pad for y in range(h - 1, -1, -1))
    offset = 14 + 40 + len(table)
    colours_used = len(table) // 4
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, 0, len(pixels), 3780, 3780,
                       colours_used, 0)
    return head + info + table + pixels


def png_bytes(img):
    out = io.BytesIO()
    img.save(out, format="PNG", optimize=False)
    return out.getvalue()


def bmp_info(data):
    """Parses and validates a BMP written for a bitmap resource; answers a dict or raises."""
    if len(data) < 54 or data[:2] != b"BM":
        raise ValueError("not a BMP file")
    size, _, _, offset = struct.unpack_from("<IHHI", data, 2)
    (hsize, w, h, planes, bits, comp, image, _, _, used,
     _) = struct.unpack_from("<IiiHHIIiiII", data, 14)
    if size != len(data):
        raise ValueError("file size field %d, file has %d bytes" % (size, len(data)))
    if hsize != 40:
        raise ValueError("info header of %d bytes, expected 40" % hsize)
    if w <= 0 or h <= 0:
        raise ValueError("width %d, height %d: expected positive (bottom-up rows)" % (w, h))
    if planes != 1 or comp != 0:
        raise ValueError("planes %d, compression %d: expected 1 and 0" % (planes, comp))
    if bits not in (8, 24):
        raise ValueError("%d bits per pixel" % bits)
    colours = (used or 256) if bits == 8 else used
    if bits == 8 and colours > 256:
        raise ValueError("%d colours in the table" % colours)
    if offset != 54 + 4 * colours:
        raise ValueError("pixel data at %d, expected %d" % (offset, 54 + 4 * colours))
    stride = (w * bits // 8 + 3) & ~3
    if image != stride * h or len(data) != offset + stride * h:
        raise ValueError("pixel data of %d bytes, expected %d" % (len(data) - offset,
                                                                   stride * h))
    if bits == 8:
        for y in range(h):
            rowdata = data[offset + y * stride: offset + y * stride + w]
            if max(rowdata) >= colours:
                raise ValueError("pixel index beyond the colour table")
    return {"width": w, "height": h, "bits": bits, "colours": colours}


def png_info(data):
    """Parses the PNG header; answers a dict or raises."""
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise ValueError("not a PNG file")
    w, h, depth, ctype, _, _, interlace = struct.unpack_from(">IIBBBBB", data, 16)
    if depth != 8 or ctype != 6 or interlace != 0:
        raise ValueError("bit depth %d, colour type %d, interlace %d: expected 8-bit RGBA"
                         % (depth, ctype, interlace))
    return {"width": w, "height": h}


# --------------------------------------------------------------------------------------------
# Oriv: slate-blue panel, black knobs with amber pointers, amber lamp buttons
# --------------------------------------------------------------------------------------------
class OrivColours:
    panel_top = (58, 66, 79)
    panel_bottom = (40, 46, 56)
    zone = (33, 38, 47)  # recessed section fields
    zone_line = (80, 92, 110)
    zone_shadow = (22, 26, 32)
    cheek = (20, 22, 27)  # logo panel
    text = (228, 232, 238)
    title = (255, 168, 64)  # amber
    scale = (150, 162, 180)
    knob = (28, 29, 33)
    insert = (176, 182, 192)
    dot = (255, 160, 40)
    key_top = (98, 104, 116)
    key_bottom = (56, 60, 69)
    key_edge = (12, 13, 16)
    recess = (8, 9, 12)  # one-pixel recess round each button
    lamp_off = (78, 44, 20)
    lamp_on = (255, 170, 52)
    lamp_core = (255, 236, 190)


def oriv_angle(value):
    return math.radians(225.0 - 270.0 * value)


def oriv_knob_body(img, cx, cy):
    c = OrivColours
    ox, oy = cx + 0.5, cy + 0.5
    disc(img, ox, oy + 1.5, 13.0, (0, 0, 0), alpha=0.55, soft=2.0)  # drop shadow

    def body(dx, dy, d):
        # the rim catches light from above; the face is a dark satin gradient
        if d > 11.2:
            k = 0.30 * (-dy / max(d, 1e-6))
            return shade((44, 46, 52), k)
        return shade(c.knob, 0.10 * (-dy / 12.5))

    shaded_disc(img, ox, oy, 12.5, body)
    ring(img, ox, oy, 11.0, 11.8, lambda dx, dy, d: (12, 12, 14), alpha=0.55)

    def insert(dx, dy, d):
        k = 0.25 * (-dy / 4.8) + 0.10 * math.cos(d * 2.2)
        return shade(c.insert, k) if k >= 0 else shade(c.insert, k * 0.8)

    disc(img, ox, oy + 0.6, 5.2, (6, 6, 8), alpha=0.7, soft=1.2)  # groove around the insert
    shaded_disc(img, ox, oy, 4.6, insert)


def oriv_scale_ticks(img, cx, cy, count, major=()):
    ox, oy = cx + 0.5, cy + 0.5
    for i in range(count):
        v = i / (count - 1)
        a = oriv_angle(v)
        r0, r1 = (14.6, 18.0) if i in major else (14.6, 16.6)
        p0 = (ox + r0 * math.cos(a), oy - r0 * math.sin(a))
        p1 = (ox + r1 * math.cos(a), oy - r1 * math.sin(a))
        segment(img, p0, p1, 1.1, OrivColours.scale)


def oriv_scale_numbers(img, cx, cy, labels, radius, f, colour):
    """Labels spread evenly along the knob's arc, each centred (by its ink) on the arc."""
    ox, oy = cx + 0.5, cy + 0.5
    d = ImageDraw.Draw(img)
    for i, s in enumerate(labels):
        a = oriv_angle(i / (len(labels) - 1))
        px, py = ox + radius * math.cos(a), oy - radius * math.sin(a)
        b = f.getbbox(s)
        left = int(math.floor(px - (b[0] + b[2]) / 2.0 + 0.5))
        top = int(math.floor(py - (b[1] + b[3]) / 2.0 + 0.5))
        d.text((left, top), s, font=f, fill=colour)


def oriv_wave_pictogram(img, cx, top, kind):
    """A 13 x 7 waveform stroke centred on the continuous x cx, top row `top`."""
    x0, x1 = cx - 6.0, cx + 6.0
    y0, y1 = top + 0.5, top + 6.5
    ym = (y0 + y1) / 2
    if kind == "triangle":
        pts = [(x0, ym), (x0 + 3, y0), (cx + 0.0, ym), (x1 - 3, y1), (x1, ym)]
    elif kind == "saw":
        pts = [(x0, y1), (cx, y0), (cx, y1), (x1, y0), (x1, y1)]
    else:  # square
        pts = [(x0, y1), (x0, y0), (cx, y0), (cx, y1), (x1, y1), (x1, y0)]
    polyline(img, pts, 1.2, OrivColours.text)


def oriv_zone(img, x0, y0, x1, y1):
    """A recessed field: darker fill, shadow on the upper edges, a light lip below."""
    c = OrivColours
    rect(img, x0, y0, x1, y1, c.zone)
    d = ImageDraw.Draw(img)
    d.line((x0, y0, x1, y0), fill=c.zone_shadow)
    d.line((x0, y0, x0, y1), fill=c.zone_shadow)
    d.line((x0, y1 + 1, x1 + 1, y1 + 1), fill=shade(c.panel_bottom, 0.12))
    d.line((x1 + 1, y0, x1 + 1, y1 + 1), fill=shade(c.panel_bottom, 0.12))


def oriv_title(img, x, y, s):
    """Section title in amber spaced capitals, left-aligned at x, capitals from row y."""
    f = font("sans-bold", 8)
    text(img, x, y, s, f, OrivColours.title, align="left", tracking=1)


def oriv_bracket(img, x0, x1, y, label, toward):
    """A group bracket: a rule from x0 to x1 (inclusive) on row y, broken by the label, with
    3-pixel ends pointing toward the group (toward = +1 down, -1 up)."""
    c = OrivColours
    f = font("cond-bold", 7)
    l, r = text(img, (x0 + x1 + 1) / 2.0, y - cap_height(f) // 2, label, f, c.scale, tracking=1)
    d = ImageDraw.Draw(img)
    d.line((x0, y, l - 4, y), fill=c.zone_line)
    d.line((r + 3, y, x1, y), fill=c.zone_line)
    d.line((x0, y, x0, y + 3 * toward), fill=c.zone_line)
    d.line((x1, y, x1, y + 3 * toward), fill=c.zone_line)


def draw_oriv_background():
    c = OrivColours
    w, h = ORIV_SIZE
    img = Image.new("RGB", ORIV_SIZE)
    vgradient(img, 0, 0, w - 1, h - 1, c.panel_top, c.panel_bottom)
    bevel(img, 0, 0, w - 1, h - 1, shade(c.panel_top, 0.25), shade(c.panel_bottom, -0.45))

    # logo cheek at the left edge
    rect(img, 0, 0, 47, h - 1, c.cheek)
    ImageDraw.Draw(img).line((48, 0, 48, h - 1), fill=(10, 11, 14))
    ImageDraw.Draw(img).line((49, 0, 49, h - 1), fill=shade(c.panel_top, 0.18))
    rect(img, 6, 12, 41, 13, c.title)
    text(img, 24, 20, "Oriv", font("sans-bold", 16), c.text)
    small = font("cond-bold", 8)
    text(img, 24, 43, "10-VOICE", small, c.scale)
    text(img, 24, 54, "SYNTH", small, c.scale)
    rect(img, 6, 67, 41, 67, shade(c.cheek, 0.25))
    # maker's mark, reading upwards
    rotated_lines(img, 24, 117, [("QUELLMARK", font("sans-bold", 9), 1),
                                 ("SOUND LABORATORIES", font("cond-bold", 8), 0)],
                  4, shade(c.scale, -0.1))

    # section fields
    oriv_zone(img, 55, 6, 181, 162)  # oscillator
    oriv_zone(img, 189, 6, 493, 85)  # filter: cut-off column and the envelope row
    oriv_zone(img, 189, 85, 244, 162)
    rect(img, 190, 85, 243, 86, c.zone)  # join the two filter fields into one L
    oriv_zone(img, 251, 91, 493, 162)  # amplifier
    oriv_title(img, 61, 11, "OSCILLATOR")
    oriv_title(img, 195, 11, "FILTER")
    oriv_title(img, 257, 152, "AMPLIFIER")

    # brackets naming the groups: the selectors and the two envelopes
    knob_x = {name: x for _, name, x, _, _, _ in ORIV_KNOBS}  # by parameter name
    bw = ORIV_BUTTON_VIEW[0]
    oriv_bracket(img, ORIV_BUTTONS[0][1], ORIV_BUTTONS[2][1] + bw - 1, 25, "RANGE", 1)
    oriv_bracket(img, ORIV_BUTTONS[3][1], ORIV_BUTTONS[5][1] + bw - 1, 25, "WAVE", 1)
    oriv_bracket(img, knob_x["VcfAtt"] - 14, knob_x["VcfRel"] + 14, 30, "ENVELOPE", 1)
    oriv_bracket(img, knob_x["VcaAtt"] - 14, knob_x["VcaRel"] + 14, 141, "ENVELOPE", -1)

    # selectors: a recess round each button, captions above
    for tag, x, y, caption in ORIV_BUTTONS:
        bw, bh = ORIV_BUTTON_VIEW
        frame(img, x - 1, y - 1, x + bw, y + bh, c.recess)
        if caption.startswith("wave:"):
            oriv_wave_pictogram(img, x + bw / 2.0, y - 11, caption[5:])
        else:
            text(img, x + bw / 2.0, y - 11, caption + "'", font("sans-bold", 9), c.text)

    # knobs, scales and captions
    cap = font("sans-bold", 9)
    digits = font("cond-bold", 7)
    for tag, name, x, y, caption, scale in ORIV_KNOBS:
        if scale == "ticks":
            oriv_scale_ticks(img, x, y, 11, major=(0, 5, 10))
            text(img, x + 0.5, y + 17, caption, cap, c.text, tracking=0)
        elif scale == "lfo":
            oriv_scale_ticks(img, x, y, 9)
            oriv_scale_numbers(img, x, y, [str(n) for n in range(1, 10)], 23.0, digits, c.text)
            text(img, x + 0.5, y + 26, caption, cap, c.text, tracking=0)
        elif scale == "detune":
            oriv_scale_ticks(img, x, y, 15, major=(7,))
            labels = [str(abs(7 - k)) for k in range(15)]
            oriv_scale_numbers(img, x, y, labels, 24.0, digits, c.text)
            text(img, x + 0.5, y + 26, caption, cap, c.text, tracking=0)
        oriv_knob_body(img, x, y)
    return img


def draw_oriv_dot():
    size = ORIV_DOT_SIZE
    img = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    px = img.load()
    o = size / 2.0
    for y in range(size):
        for x in range(size):
            dx, dy = x + 0.5 - o, y + 0.5 - o
            d = math.hypot(dx, dy)
            a = clamp01(2.9 - d + 0.5)
            if a <= 0:
                continue
            k = 0.45 * clamp01(1.0 - math.hypot(dx + 0.6, dy + 0.8) / 2.0)
            r, g, b = shade(OrivColours.dot, k)
            px[x, y] = (r, g, b, int(a * 255 + 0.5))
    return img


def draw_oriv_button_face():
    c = OrivColours
    bw, bh = ORIV_BUTTON_VIEW
    w, h = ORIV_BUTTON_BITMAP
    img = Image.new("RGB", (w, h), c.key_edge)
    for state, top in ((False, 0), (True, h // 2)):
        frame(img, 0, top, bw - 1, top + bh - 1, c.key_edge)
        vgradient(img, 1, top + 1, bw - 2, top + bh - 2, c.key_top, c.key_bottom)
        d = ImageDraw.Draw(img)
        d.line((1, top + 1, bw - 2, top + 1), fill=shade(c.key_top, 0.3))
        d.line((1, top + bh - 2, bw - 2, top + bh - 2), fill=shade(c.key_bottom, -0.3))
        # grip ridges on the lower half
        for ry in (17, 20, 23):
            d.line((4, top + ry, bw - 5, top + ry), fill=shade(c.key_bottom, -0.35))
            d.line((4, top + ry + 1, bw - 5, top + ry + 1), fill=shade(c.key_top, 0.1))
        # lamp window
        lx0, ly0, lx1, ly1 = 3, top + 4, bw - 4, top + 10
        frame(img, lx0 - 1, ly0 - 1, lx1 + 1, ly1 + 1, (20, 14, 10))
        if state:
            cx, cy = (lx0 + lx1 + 1) / 2.0, (ly0 + ly1 + 1) / 2.0

            def lamp(x, y):
                d2 = math.hypot((x - cx) / 1.4, y - cy)
                return mix(c.lamp_core, c.lamp_on, clamp01(d2 / 3.2)), 1.0

            paint(img, (lx0, ly0, lx1 + 1, ly1 + 1), lamp)
        else:
            rect(img, lx0, ly0, lx1, ly1, c.lamp_off)
            ImageDraw.Draw(img).line((lx0, ly0, lx1, ly0), fill=shade(c.lamp_off, 0.3))
    return img


# --------------------------------------------------------------------------------------------
# Malvoree: brushed bronze transport plate over a walnut-brown chassis, black knobs with
# polished skirts, amber-lit value windows
# --------------------------------------------------------------------------------------------
class MalvoreeColours:
    chassis = (54, 41, 32)
    plate = (186, 158, 116)  # brushed bronze
    plate_ink = (44, 30, 20)  # engraving on the plate
    plate_light = (206, 178, 132)
    block = (38, 29, 23)  # head blocks
    block_rim = (112, 88, 58)
    caption = (236, 222, 194)  # captions on the dark chassis
    brass = (222, 176, 98)  # titles on the dark chassis
    window = (246, 234, 192)  # value display field: black text goes on this
    window_frame = (24, 17, 12)
    bezel = (16, 12, 9)  # one-pixel recess round the SYNC button
    well = (30, 23, 18)  # slider well; also the handle bitmap's spare right column
    tape = (86, 52, 28)
    chrome = (196, 198, 202)
    knob = (20, 18, 17)
    pip = (255, 246, 220)
    lens_off = (58, 38, 22)
    lens_on = (242, 150, 44)


def malvoree_knob_body(img, cx, cy, on_plate):
    c = MalvoreeColours
    ox, oy = cx + 0.5, cy + 0.5
    disc(img, ox, oy + 1.2, 9.0, (0, 0, 0), alpha=0.5 if on_plate else 0.6, soft=1.6)

    def skirt(dx, dy, d):
        # polished skirt: bright towards the top, a darker band low down
        t = -dy / max(d, 1e-6)
        return shade(c.chrome, 0.25 * t) if t >= 0 else shade(c.chrome, 0.55 * t)

    shaded_disc(img, ox, oy, 8.5, skirt)
    ring(img, ox, oy, 7.6, 8.6, lambda dx, dy, d: (10, 9, 8), alpha=0.45)

    def cap(dx, dy, d):
        k = 0.16 * clamp01(1.0 - math.hypot(dx, dy + 2.5) / 6.0)
        return shade(c.knob, k)

    shaded_disc(img, ox, oy, 6.5, cap)


def malvoree_ticks(img, cx, cy, count, colour, r0=10.4, r1=12.4):
    ox, oy = cx + 0.5, cy + 0.5
    for i in range(count):
        a = math.radians(225.0 - 270.0 * i / (count - 1))
        segment(img, (ox + r0 * math.cos(a), oy - r0 * math.sin(a)),
                (ox + r1 * math.cos(a), oy - r1 * math.sin(a)), 1.0, colour)


def malvoree_window(img, x, y, on_plate):
    """A value window: the field exactly covers the display rectangle, with a dark frame just
    outside it and a light lip below and to the right."""
    c = MalvoreeColours
    w, h = MALVOREE_DISPLAY
    lip = shade(c.plate, 0.35) if on_plate else shade(c.block, 0.25)
    rect(img, x - 1, y - 1, x + w + 1, y + h + 1, lip)
    frame(img, x - 1, y - 1, x + w, y + h, c.window_frame)
    rect(img, x, y, x + w - 1, y + h - 1, c.window)


def malvoree_screw(img, cx, cy):
    ox, oy = cx + 0.5, cy + 0.5
    disc(img, ox + 0.3, oy + 0.8, 3.4, (0, 0, 0), alpha=0.45, soft=1.4)
    shaded_disc(img, ox, oy, 3.0, lambda dx, dy, d: shade((170, 164, 152), -0.35 * dy / 3.0))
    segment(img, (ox - 2.0, oy + 1.2), (ox + 2.0, oy - 1.2), 0.9, (60, 56, 50))


def malvoree_roller(img, cx, cy, r):
    c = MalvoreeColours
    ox, oy = cx + 0.5, cy + 0.5
    disc(img, ox, oy + 1.5, r + 1.0, (0, 0, 0), alpha=0.45, soft=2.0)
    shaded_disc(img, ox, oy, r, lambda dx, dy, d: shade((64, 62, 60), -0.4 * dy / r))
    ring(img, ox, oy, r - 2.2, r - 1.2, lambda dx, dy, d: shade(c.chrome, -0.35 * dy / r))
    shaded_disc(img, ox, oy, r * 0.45, lambda dx, dy, d: shade(c.chrome, -0.3 * dy / r))
    disc(img, ox, oy, 1.6, (30, 28, 26))


def malvoree_tape_head(img, hx, top, number):
    """A playback head seen from the side, its rounded chrome face touching the tape at row
    `top`, on a dark housing; its number engraved beside it."""
    c = MalvoreeColours
    ox = hx + 0.5

    def face(x, y):
        # a flattened half-disc: 15 wide, 6 high, crown on row `top`
        dx, dy = (x - ox) / 7.5, (y - (top + 6.0)) / 6.0
        d = math.hypot(dx, dy)
        if dy > 0:
            return None
        a = clamp01((1.0 - d) * 6.0 + 0.5)
        k = 0.35 * (1.0 - clamp01(d * 1.2)) - 0.25 * abs(dx)
        return (shade(c.chrome, k), a) if a > 0 else None

    paint(img, (hx - 8, top, hx + 9, top + 6), face)
    ImageDraw.Draw(img).line((hx, top, hx, top + 2), fill=(26, 24, 22))  # the gap
    vgradient(img, hx - 7, top + 6, hx + 7, top + 10, (84, 78, 72), (40, 36, 33))
    frame(img, hx - 7, top + 6, hx + 7, top + 10, (28, 24, 21))
    for sx in (hx - 4, hx + 4):
        ImageDraw.Draw(img).point((sx, top + 8), fill=(150, 146, 140))
    text(img, hx + 11, top + 2, str(number), font("cond-bold", 8), c.plate_ink, align="left",
         shadow=(c.plate_light, 0, 1))


def malvoree_tape_loop(img, left, right, cy, r):
    """The tape: two straight runs joined round two rollers (centres (left, cy), (right, cy)),
    a band of dark oxide with a lit upper edge."""
    c = MalvoreeColours
    ox0, ox1, oy = left + 0.5, right + 0.5, cy + 0.5

    def fn(x, y):
        if x < ox0:
            d = math.hypot(x - ox0, y - oy) - r
        elif x > ox1:
            d = math.hypot(x - ox1, y - oy) - r
        else:
            d = abs(y - oy) - r
        a = clamp01(1.6 - abs(d) + 0.5)
        if a <= 0:
            return None
        # d < 0 is the inside of the loop: keep that edge darker, the outside edge lit
        return shade(c.tape, clamp01(d / 1.6) * 0.35 - clamp01(-d / 1.6) * 0.3), a

    paint(img, (left - r - 3, cy - r - 3, right + r + 4, cy + r + 4), fn)


def draw_malvoree_background():
    c = MalvoreeColours
    w, h = MALVOREE_SIZE
    img = Image.new("RGB", MALVOREE_SIZE)
    brushed(img, 0, 0, w - 1, h - 1, c.chassis, 8, seed=0x4D616C76)
    bevel(img, 0, 0, w - 1, h - 1, shade(c.chassis, 0.3), shade(c.chassis, -0.5))

    # --- transport plate (upper part) ---
    px0, py0, px1, py1 = 6, 5, w - 7, 156
    rect(img, px0 + 1, py0 + 1, px1 + 1, py1 + 2, shade(c.chassis, -0.5))  # shadow
    brushed(img, px0, py0, px1, py1, c.plate, 10, seed=0x6272617A, streak=40)
    bevel(img, px0, py0, px1, py1, c.plate_light, shade(c.plate, -0.45))
    for sx, sy in ((px0 + 6, py0 + 6), (px1 - 6, py0 + 6), (px0 + 6, py1 - 6), (px1 - 6, py1 - 6)):
        malvoree_screw(img, sx, sy)

    # logo in the middle of the plate, engraved
    cx = w / 2.0
    logo = font("serif-bold-italic", 24)
    text(img, cx, 12, "Malvoree", logo, c.plate_ink, shadow=(c.plate_light, 0, 1))
    text(img, cx, 40, "FOUR-HEAD TAPE ECHO", font("sans-bold", 8), c.plate_ink, tracking=2,
         shadow=(c.plate_light, 0, 1))

    # tape path: a loop round two rollers, the four playback heads under its lower run
    loop_left, loop_right, loop_y, loop_r = 88, 375, 66, 12
    malvoree_tape_loop(img, loop_left, loop_right, loop_y, loop_r)
    malvoree_roller(img, loop_left, loop_y, loop_r - 1.5)
    malvoree_roller(img, loop_right, loop_y, loop_r - 1.5)
    for i, (kx, ky) in enumerate(MALVOREE_DELAY_KNOBS):
        malvoree_tape_head(img, kx, loop_y + loop_r + 1, i + 1)

    # tempo sync button: engraved caption and a bezel
    sx, sy, sw, sh = MALVOREE_SYNC_VIEW
    text(img, sx + sw / 2.0, sy - 11, "TEMPO", font("cond-bold", 8), c.plate_ink, tracking=1,
         shadow=(c.plate_light, 0, 1))
    rect(img, sx - 2, sy - 2, sx + sw + 1, sy + sh + 1, shade(c.plate, 0.35))
    frame(img, sx - 2, sy - 2, sx + sw, sy + sh, shade(c.plate, -0.5))
    frame(img, sx - 1, sy - 1, sx + sw, sy + sh, c.bezel)

    # mix slider: a dark well with a slot, Wet above and Dry below
    vx, vy, vw, vh = MALVOREE_SLIDER_VIEW
    hw, hh = MALVOREE_SLIDER_HANDLE
    rect(img, vx - 2, vy - 2, vx + hw + 1, vy + vh + 1, shade(c.plate, 0.35))
    frame(img, vx - 2, vy - 2, vx + hw, vy + vh, shade(c.plate, -0.5))
    rect(img, vx - 1, vy - 1, vx + hw - 1, vy + vh - 1, c.well)
    slot_x = vx + vw // 2 - 1  # two pixels wide, centred on the view
    rect(img, slot_x, vy + 3, slot_x + 1, vy + vh - 4, (6, 4, 3))
    for i in range(9):  # evenly every 5 pixels, centred on the handle's travel
        ty = vy + hh // 2 + 1 + 5 * i
        for tx in (vx + 3, vx + vw - 7):
            ImageDraw.Draw(img).line((tx, ty, tx + 3, ty), fill=(118, 100, 76))
    mcx = vx + vw / 2.0
    cap = font("cond-bold", 8)
    text(img, mcx, vy - 12, "WET", cap, c.plate_ink, tracking=1, shadow=(c.plate_light, 0, 1))
    text(img, mcx, vy + vh + 4, "DRY", cap, c.plate_ink, tracking=1,
         shadow=(c.plate_light, 0, 1))
    text(img, mcx, 12, "MIX", font("sans-bold", 8), c.plate_ink, tracking=1,
         shadow=(c.plate_light, 0, 1))

    # delay-time knobs with their windows
    for (kx, ky), (dx, dy) in zip(MALVOREE_DELAY_KNOBS, MALVOREE_DELAY_DISPLAYS):
        text(img, kx + 0.5, ky - 20, "DELAY", cap, c.plate_ink, tracking=1,
             shadow=(c.plate_light, 0, 1))
        malvoree_ticks(img, kx, ky, 11, c.plate_ink)
        malvoree_knob_body(img, kx, ky, True)
        malvoree_window(img, dx, dy, True)

    # --- head blocks (lower part) ---
    for head, (knobs, displays) in enumerate(zip(MALVOREE_HEAD_KNOBS, MALVOREE_HEAD_DISPLAYS)):
        centre = (knobs[0][0] + knobs[1][0]) / 2.0 + 0.5
        bx0, bx1 = int(centre - 48), int(centre + 47)
        by0, by1 = 164, 318
        rect(img, bx0, by0, bx1, by1, c.block)
        bevel(img, bx0, by0, bx1, by1, shade(c.block, -0.5), shade(c.chassis, 0.35))
        frame(img, bx0 + 1, by0 + 1, bx1 - 1, by1 - 1, shade(c.block_rim, -0.35))
        title = "HEAD %d" % (head + 1)
        l, r = text(img, centre, by0 + 7, title, font("sans-bold", 9), c.brass, tracking=1)
        d = ImageDraw.Draw(img)
        d.line((bx0 + 8, by0 + 10, l - 5, by0 + 10), fill=shade(c.block_rim, -0.2))
        d.line((r + 4, by0 + 10, bx1 - 8, by0 + 10), fill=shade(c.block_rim, -0.2))
        for (kx, ky), (dx, dy), caption in zip(knobs, displays, MALVOREE_HEAD_CAPTIONS):
            text(img, kx + 0.5, ky - 22, caption.upper(), cap, c.caption, tracking=0)
            malvoree_ticks(img, kx, ky, 11, shade(c.caption, -0.35))
            malvoree_knob_body(img, kx, ky, False)
            malvoree_window(img, dx, dy, False)

    text(img, w / 2.0, 323, "QUELLMARK SOUND LABORATORIES", font("sans-bold", 7),
         shade(c.caption, -0.3), tracking=2)
    return img


def draw_malvoree_dot():
    """A luminous pip: an ivory core with a soft warm edge that fades out."""
    size = MALVOREE_DOT_SIZE
    img = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    px = img.load()
    o = size / 2.0
    for y in range(size):
        for x in range(size):
            d = math.hypot(x + 0.5 - o, y + 0.5 - o)
            core = clamp01(1.9 - d + 0.5)
            glow = 0.55 * clamp01(1.0 - (d - 1.6) / 2.6) if d > 1.6 else 0.55
            a = core + (1.0 - core) * glow
            if a <= 0.004:
                continue
            colour = mix((255, 190, 90), MalvoreeColours.pip, core)
            px[x, y] = colour + (int(a * 255 + 0.5),)
    return img


def draw_malvoree_sync_button():
    c = MalvoreeColours
    w, h = MALVOREE_SYNC_BITMAP
    vw, vh = MALVOREE_SYNC_VIEW[2:]
    img = Image.new("RGB", (w, h), (16, 12, 9))
    f = font("sans-bold", 9)
    for on, top in ((False, 0), (True, h // 2)):
        cx, cy = vw / 2.0, top + vh / 2.0

        def lens(x, y, on=on, cx=cx, cy=cy):
            d = math.hypot((x - cx) / 2.6, y - cy)
            if on:
                return mix(shade(c.lens_on, 0.35), shade(c.lens_on, -0.35), clamp01(d / 8.0)), 1
            return mix(shade(c.lens_off, 0.15), shade(c.lens_off, -0.4), clamp01(d / 8.0)), 1

        paint(img, (0, top, vw, top + vh), lens)
        ImageDraw.Draw(img).line((1, top, vw - 2, top),
                                 fill=shade(c.lens_on if on else c.lens_off, 0.3 if on else 0.2))
        ink = (255, 250, 232) if on else shade(c.lens_off, 0.45)
        shadow = (shade(c.lens_on, -0.55), 0, 1) if on else ((14, 9, 6), 0, 1)
        text(img, vw / 2.0, top + 3, "SYNC", f, ink, tracking=1, shadow=shadow)
    return img


def draw_malvoree_slider_handle():
    """Fader cap: ivory plastic with a dark index line. Its last column is the well colour,
    so whether or not the editor draws that column, the panel looks the same."""
    c = MalvoreeColours
    w, h = MALVOREE_SLIDER_HANDLE
    img = Image.new("RGB", (w, h), c.well)
    cw = w - 1
    vgradient(img, 0, 0, cw - 1, h - 1, (240, 230, 206), (170, 156, 128))
    frame(img, 0, 0, cw - 1, h - 1, (22, 16, 12))
    d = ImageDraw.Draw(img)
    d.line((1, 1, cw - 2, 1), fill=(255, 250, 236))
    d.line((2, 4, cw - 3, 4), fill=(60, 24, 14))
    d.line((2, 5, cw - 3, 5), fill=(120, 44, 24))
    for x in (4, 7, cw - 8, cw - 5):  # grip ribs
        d.line((x, 2, x, 3), fill=(150, 136, 110))
        d.line((x, 6, x, 7), fill=(150, 136, 110))
    return img


# --------------------------------------------------------------------------------------------
# Outputs, checks and previews
# --------------------------------------------------------------------------------------------
def luminance(rgb):
    def lin(v):
        v /= 255.0
        return v / 12.92 if v <= 0.04045 else ((v + 0.055) / 1.055) ** 2.4

    r, g, b = (lin(v) for v in rgb[:3])
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)), reverse=True)
    return (la + 0.05) / (lb + 0.05)


def render_all():
    """Draws every image; answers {relative path: (file bytes, image)}."""
    images = {
        ORIV_DIR + "/background.bmp": draw_oriv_background(),
        ORIV_DIR + "/buttonface.bmp": to_palette(draw_oriv_button_face()),
        ORIV_DIR + "/bmp00129.png": draw_oriv_dot(),
        MALVOREE_DIR + "/background.bmp": to_palette(
            draw_malvoree_background(),
            reserved=(MalvoreeColours.window, MalvoreeColours.window_frame,
                      MalvoreeColours.well, MalvoreeColours.bezel)),
        MALVOREE_DIR + "/syncbutton.bmp": to_palette(draw_malvoree_sync_button()),
        MALVOREE_DIR + "/sliderhandle.bmp": to_palette(draw_malvoree_slider_handle()),
        MALVOREE_DIR + "/bmp01002.png": draw_malvoree_dot(),
    }
    out = {}
    for path, img in images.items():
        data = png_bytes(img) if path.endswith(".png") else bmp_bytes(img)
        out[path] = (data, img)
    return out


# (path, width, height, BMP bits per pixel or "RGBA" for the PNG dots)
EXPECTED_FORMATS = [
    (ORIV_DIR + "/background.bmp", 500, 170, 24),
    (ORIV_DIR + "/buttonface.bmp", 16, 58, 8),
    (ORIV_DIR + "/bmp00129.png", 7, 7, "RGBA"),
    (MALVOREE_DIR + "/background.bmp", 463, 334, 8),
    (MALVOREE_DIR + "/syncbutton.bmp", 40, 30, 8),
    (MALVOREE_DIR + "/sliderhandle.bmp", 27, 10, 8),
    (MALVOREE_DIR + "/bmp01002.png", 9, 9, "RGBA"),
]


def check_format(path, data, errors):
    """The file's bytes: right format, size and depth. Answers the decoded RGB(A) image."""
    exp = [e for e in EXPECTED_FORMATS if e[0] == path]
    if len(exp) != 1:
        errors.append("%s: not one of the expected outputs" % path)
        return None
    _, w, h, kind = exp[0]
    try:
        info = png_info(data) if kind == "RGBA" else bmp_info(data)
    except ValueError as e:
        errors.append("%s: %s" % (path, e))
        return None
    if (info["width"], info["height"]) != (w, h):
        errors.append("%s: %d x %d, expected %d x %d" % (path, info["width"], info["height"], w, h))
    if kind != "RGBA" and info["bits"] != kind:
        errors.append("%s: %d bits per pixel, expected %d" % (path, info["bits"], kind))
    img = Image.open(io.BytesIO(data))
    img.load()
    return img.convert("RGBA" if kind == "RGBA" else "RGB")


def check_content(imgs, errors):
    """What the editors rely on, read back from the decoded files."""
    ob = imgs.get(ORIV_DIR + "/background.bmp")
    mb = imgs.get(MALVOREE_DIR + "/background.bmp")
    if ob is None or mb is None:
        return

    # Knob bodies are centred on the knob centres: every knob is mirror-symmetric about the
    # column of its centre pixel (the panels are lit from straight above).
    def symmetric(img, x, y, r, what):
        px = img.load()
        for dy in range(-r, r + 1):
            for dx in range(1, r + 1):
                if dx * dx + dy * dy <= r * r and px[x - dx, y + dy] != px[x + dx, y + dy]:
                    errors.append("%s knob at (%d, %d) is not centred there" % (what, x, y))
                    return

    for _, name, x, y, _, _ in ORIV_KNOBS:
        symmetric(ob, x, y, 12, "Oriv " + name)
    for x, y in MALVOREE_DELAY_KNOBS + [k for h in MALVOREE_HEAD_KNOBS for k in h]:
        symmetric(mb, x, y, 7, "Malvoree")

    # Buttons sit in recesses drawn exactly round their rectangles.
    def ring_colours(img, x, y, w, h):
        p = img.load()
        return ({p[x + i, y - 1] for i in range(-1, w + 1)}
                | {p[x + i, y + h] for i in range(-1, w + 1)}
                | {p[x - 1, y + j] for j in range(h)} | {p[x + w, y + j] for j in range(h)})

    for _, x, y, _ in ORIV_BUTTONS:
        if ring_colours(ob, x, y, *ORIV_BUTTON_VIEW) != {OrivColours.recess}:
            errors.append("Oriv button at (%d, %d): no recess round it" % (x, y))
    sx, sy, sw, sh = MALVOREE_SYNC_VIEW
    if ring_colours(mb, sx, sy, sw, sh) != {MalvoreeColours.bezel}:
        errors.append("SYNC button at (%d, %d): no bezel round it" % (sx, sy))

    # Value windows: a plain light field exactly covering each 32 x 10 display, the frame colour
    # all round just outside it, and black text on the field readable.
    dw, dh = MALVOREE_DISPLAY
    px = mb.load()
    field = MalvoreeColours.window
    for x, y in MALVOREE_DELAY_DISPLAYS + [d for h in MALVOREE_HEAD_DISPLAYS for d in h]:
        inside = {px[x + i, y + j] for i in range(dw) for j in range(dh)}
        if inside != {field}:
            errors.append("Malvoree display at (%d, %d): field is not plain %s" % (x, y, field))
        ring_ = [px[x + i, y - 1] for i in range(-1, dw + 1)] + \
                [px[x + i, y + dh] for i in range(-1, dw + 1)] + \
                [px[x - 1, y + j] for j in range(dh)] + [px[x + dw, y + j] for j in range(dh)]
        if field in ring_:
            errors.append("Malvoree display at (%d, %d): field spills past the box" % (x, y))
    if contrast(field, (0, 0, 0)) < 12:
        errors.append("Malvoree display field too dark for black text")

    # Slider: the handle's spare right column has the well colour, and so has the background
    # column it would land on over the whole travel, so nothing shows if the editor paints it.
    vx, vy, vw, vh = MALVOREE_SLIDER_VIEW
    hw, hh = MALVOREE_SLIDER_HANDLE
    handle = imgs.get(MALVOREE_DIR + "/sliderhandle.bmp")
    if handle is not None:
        hpx = handle.load()
        col = {hpx[hw - 1, j] for j in range(hh)}
        under = {px[vx + hw - 1, y] for y in range(vy, vy + vh)}
        if len(col) != 1 or col != under:
            errors.append("slider handle's last column %s differs from the well %s"
                          % (sorted(col), sorted(under)))
        # the cap itself stands out from the well
        if contrast(hpx[hw // 2, 2], MalvoreeColours.well) < 4.5:
            errors.append("slider handle does not stand out from its well")

    # Two-state bitmaps: the lit state is clearly brighter than the dark one.
    def mean_luminance(img, box):
        return sum(luminance(img.getpixel((x, y))) for x in range(box[0], box[2])
                   for y in range(box[1], box[3])) / ((box[2] - box[0]) * (box[3] - box[1]))

    bf = imgs.get(ORIV_DIR + "/buttonface.bmp")
    if bf is not None:
        off = mean_luminance(bf, (3, 4, 12, 11))
        on = mean_luminance(bf, (3, 33, 12, 40))
        if on < 4 * off + 0.2:
            errors.append("Oriv button: lamp not clearly lit in the on state")
    sb = imgs.get(MALVOREE_DIR + "/syncbutton.bmp")
    if sb is not None:
        sw, sh = MALVOREE_SYNC_VIEW[2:]
        if mean_luminance(sb, (0, 15, sw, 15 + sh)) < 3 * mean_luminance(sb, (0, 0, sw, sh)):
            errors.append("SYNC button: on state not clearly lit")

    # Knob dots: round (transparent corners, opaque middle).
    for path, n in ((ORIV_DIR + "/bmp00129.png", ORIV_DOT_SIZE),
                    (MALVOREE_DIR + "/bmp01002.png", MALVOREE_DOT_SIZE)):
        dot = imgs.get(path)
        if dot is None:
            continue
        a = dot.getchannel("A")
        corners = [a.getpixel(p) for p in ((0, 0), (n - 1, 0), (0, n - 1), (n - 1, n - 1))]
        if max(corners) != 0 or a.getpixel((n // 2, n // 2)) != 255:
            errors.append("%s: not a round dot on a transparent ground" % path)

    # Captions read well against what they are printed on.
    o, m = OrivColours, MalvoreeColours
    pairs = [("Oriv captions", o.text, o.zone), ("Oriv titles", o.title, o.zone),
             ("Oriv scale", o.scale, o.zone), ("Oriv logo", o.text, o.cheek),
             ("Malvoree engraving", m.plate_ink, shade(m.plate, -0.1)),
             ("Malvoree captions", m.caption, m.block), ("Malvoree titles", m.brass, m.block)]
    for what, fg, bg in pairs:
        if contrast(fg, bg) < 4.5:
            errors.append("%s: contrast %.1f:1 is too low" % (what, contrast(fg, bg)))


def verify(rendered, errors):
    decoded = {}
    for path, (data, _) in rendered.items():
        img = check_format(path, data, errors)
        if img is not None:
            decoded[path] = img
    missing = {e[0] for e in EXPECTED_FORMATS} - set(rendered)
    for path in sorted(missing):
        errors.append("%s: not drawn" % path)
    check_content(decoded, errors)


def write_previews(rendered, out_dir):
    """Composites of the panels as the editors would show them, at 1x and 3x."""
    os.makedirs(out_dir, exist_ok=True)
    img = {p: Image.open(io.BytesIO(d)).convert("RGBA") for p, (d, _) in rendered.items()}
    values = [0.0, 0.125, 0.25, 0.5, 0.75, 0.875, 1.0]

    comp = img[ORIV_DIR + "/background.bmp"].copy()
    dot = img[ORIV_DIR + "/bmp00129.png"]
    for i, (_, _, x, y, _, _) in enumerate(ORIV_KNOBS):
        px, py = knob_handle_centre(x, y, ORIV_KNOB_VIEW, ORIV_DOT_SIZE, values[i % 7])
        comp.alpha_composite(dot, (px - ORIV_DOT_SIZE // 2, py - ORIV_DOT_SIZE // 2))
    bw, bh = ORIV_BUTTON_VIEW
    face = img[ORIV_DIR + "/buttonface.bmp"]
    for i, (_, x, y, _) in enumerate(ORIV_BUTTONS):
        top = ORIV_BUTTON_BITMAP[1] // 2 if i in (1, 3) else 0
        comp.paste(face.crop((0, top, bw, top + bh)), (x, y))
    comp.save(os.path.join(out_dir, "oriv.png"))
    comp.resize((comp.width * 3, comp.height * 3), Image.NEAREST).save(
        os.path.join(out_dir, "oriv-3x.png"))

    for variant in (0, 1):
        comp = img[MALVOREE_DIR + "/background.bmp"].copy()
        dot = img[MALVOREE_DIR + "/bmp01002.png"]
        knobs = MALVOREE_DELAY_KNOBS + [k for h in MALVOREE_HEAD_KNOBS for k in h]
        for i, (x, y) in enumerate(knobs):
            v = values[(i + 3 * variant) % 7]
            px, py = knob_handle_centre(x, y, MALVOREE_KNOB_VIEW, MALVOREE_DOT_SIZE, v)
            comp.alpha_composite(dot, (px - MALVOREE_DOT_SIZE // 2, py - MALVOREE_DOT_SIZE // 2))
        sx, sy, sw, sh = MALVOREE_SYNC_VIEW
        top = MALVOREE_SYNC_BITMAP[1] // 2 if variant else 0
        comp.paste(img[MALVOREE_DIR + "/syncbutton.bmp"].crop((0, top, sw, top + sh)), (sx, sy))
        vx, vy, vw, vh = MALVOREE_SLIDER_VIEW
        handle = img[MALVOREE_DIR + "/sliderhandle.bmp"]
        comp.paste(handle, (vx, vy + (vh - handle.height if variant else 0)))
        f = font("arial-like", 11)
        samples = ["1/8 *", "-oo", "< C >", " 1.000", "50.00", "R 64", "L  3", "0.000"]
        displays = MALVOREE_DELAY_DISPLAYS + [d for h in MALVOREE_HEAD_DISPLAYS for d in h]
        dw, dh = MALVOREE_DISPLAY
        for i, (x, y) in enumerate(displays):
            s = samples[(i + variant) % len(samples)]
            layer = Image.new("RGBA", (dw, dh), (0, 0, 0, 0))
            ImageDraw.Draw(layer).text((dw / 2.0, dh / 2.0), s, font=f, fill=(0, 0, 0, 255),
                                       anchor="mm")
            comp.alpha_composite(layer, (x, y))
        name = "malvoree-%d" % variant
        comp.save(os.path.join(out_dir, name + ".png"))
        comp.resize((comp.width * 3, comp.height * 3), Image.NEAREST).save(
            os.path.join(out_dir, name + "-3x.png"))

    for path in (ORIV_DIR + "/buttonface.bmp", MALVOREE_DIR + "/syncbutton.bmp",
                 MALVOREE_DIR + "/sliderhandle.bmp", ORIV_DIR + "/bmp00129.png",
                 MALVOREE_DIR + "/bmp01002.png"):
        im = img[path]
        big = im.resize((im.width * 8, im.height * 8), Image.NEAREST)
        ground = Image.new("RGBA", big.size, (128, 128, 128, 255))
        ground.alpha_composite(big)
        ground.save(os.path.join(out_dir, os.path.basename(path).split(".")[0] + "-8x.png"))


def main():
    ap = argparse.ArgumentParser(description="Draws the editor artwork of Oriv and Malvoree.")
    ap.add_argument("--check", action="store_true",
                    help="verify the committed images instead of writing them")
    ap.add_argument("--preview", metavar="DIR", help="also write preview composites into DIR")
    args = ap.parse_args()

    root = os.getcwd()
    if not os.path.isdir(os.path.join(root, "synth")) or not os.path.isdir(
            os.path.join(root, "delay")):
        sys.exit("draw-artwork: run me from the repository root")

    errors = []
    rendered = render_all()
    again = render_all()
    for path in rendered:
        if rendered[path][0] != again[path][0]:
            errors.append("%s: two drawings in one run differ" % path)
    verify(rendered, errors)

    if args.check:
        on_disk = {}
        for path, (data, _) in rendered.items():
            full = os.path.join(root, path)
            if not os.path.exists(full):
                errors.append("%s: missing" % path)
                continue
            with open(full, "rb") as fh:
                on_disk[path] = (fh.read(), None)
            if on_disk[path][0] != data:
                errors.append("%s: differs from what the script draws" % path)
        verify(on_disk, errors)
    if args.preview:
        write_previews(rendered, args.preview)
    if errors:
        for e in errors:
            print("draw-artwork: " + e, file=sys.stderr)
        sys.exit(1)
    if not args.check:
        for path, (data, _) in rendered.items():
            full = os.path.join(root, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "wb") as fh:
                fh.write(data)
            print("wrote %s (%d bytes)" % (path, len(data)))
    else:
        print("draw-artwork: %d images match and are well-formed" % len(rendered))


if __name__ == "__main__":
    main()
