#!/usr/bin/env python3
"""Draws the TeskDelay editor artwork: the bitmaps 128 to 143.

Every picture is painted from code so that the artwork can be changed with a
diff and regenerated identically on any machine:

    python3 resources/draw_artwork.py [--scale 1|1.5|2] [--out DIR] [--preview FILE]
    python3 resources/draw_artwork.py --icon FILE      (teskdelay's 128 x 128 icon)

At --scale 2 every picture is drawn again at twice the size for high-resolution
screens: the same shapes at the finer resolution, text from the outlines at the
doubled size, lines and frames two pixels wide, so nothing is a magnified copy.
At --scale 1.5 the pictures are the scale-2 ones reduced, picture by picture.

Needs Pillow (Debian: python3-pil) and the Liberation fonts (fonts-liberation,
which also carries the Narrow cut). No randomness without a fixed seed, so two
runs write byte-identical files.

Conventions the editor relies on:
  * pure white (255, 255, 255) is the transparent colour of every bitmap, so it
    appears only where a picture must let the background through (the round
    corners of the handle dots, the slider handle and the spare knob picture);
  * strips stack their pictures vertically, first picture on top;
  * the knobs repaint their rectangle from the background 128 and then draw a
    4 x 4 dot on a circle, so the knob bodies are painted into 128 itself;
  * the sliders compose 128 and the handle 129 in an offscreen of their own
    size; the handle hangs 2 pixels below the slider's top edge.
"""

import argparse
import math
import os
import random
import re

from PIL import Image, ImageDraw, ImageFilter, ImageFont

FONT_DIR = "/usr/share/fonts/truetype/liberation"

WIDTH, HEIGHT = 384, 530
LINE_DX, LINE_DY = 192, 219          # offset of lines 2/4 and 3/4 from line 1

# Colours the editor draws itself; the artwork has to agree with them.
PANEL_TEAL = (77, 184, 183)          # info-panel label fill and frame
INFO_TEXT = (194, 222, 230)
HIGHLIGHT_TEXT = (250, 222, 194)
WHITE = (255, 255, 255)              # transparent

# Our own palette: dark anodised aluminium with a teal accent.
BASE_TOP = (30, 33, 38)
BASE_BOTTOM = (19, 21, 25)
PANEL_TOP = (62, 67, 75)
PANEL_BOTTOM = (43, 47, 54)
PANEL_LIGHT = (96, 103, 113)
PANEL_DARK = (14, 16, 19)
CAPTION = (206, 212, 220)
CAPTION_DIM = (146, 154, 165)
ACCENT = (104, 214, 211)
ACCENT_DIM = (58, 128, 128)
LCD_BACK_TOP = (14, 22, 24)
LCD_BACK_BOTTOM = (8, 13, 15)
LCD_TEXT = (118, 232, 226)
LCD_TEXT_DIM = (40, 86, 86)
NEAR_WHITE = (250, 250, 248)

# Control rectangles of line 1 (left, top, right, bottom); the other lines
# repeat them at +192 / +219.
KNOB_FEEDBACK = (114, 92, 138, 116)
KNOB_VOLUME = (143, 246, 171, 274)
KNOB_HP = (97, 201, 121, 225)
KNOB_CROSS = (121, 201, 145, 225)
KNOB_LP = (146, 201, 170, 225)
KNOB_SATURATION = (126, 142, 150, 166)
PAN_SLIDER = (21, 253, 127, 273)
ON_BUTTON = (18, 100, 34, 116)
INPUT_SWITCH = (45, 96, 73, 114)
TYPE_BUTTON = (78, 96, 106, 114)
OUTPUT_SWITCH = (144, 96, 172, 114)
TEMPO_FIELD = (33, 158, 62, 173)
NUMERATOR = (23, 209, 39, 225)
DENOMINATOR = (56, 209, 72, 225)
SYNC_BUTTON = (42, 181, 54, 191)
LINE_PANEL = (6, 67, 186, 280)       # our plate around line 1's controls
TIME_GROUP = (12, 141, 94, 240)      # sunken plate behind tempo, sync and note length

DRY_SLIDER = (164, 501, 300, 521)
LOGO = (0, 0, 186, 66)
INFO_BOX = (204, 4, 359, 63)
INFO_COLUMNS = (214, 260, 306)
INFO_ROWS = (12, 27, 42)
INFO_CELL = (43, 14)
ABOUT_AT = (51, 100)

HANDLE_SIZE = (10, 19)
HANDLE_OFFSET = (1, 2)               # setOffsetHandle of both sliders

CAPTION_TRACKING = 0.3              # letter spacing of captions, pixels
SS = 4                               # supersampling factor for round shapes and text
S = 1                                # picture pixels per editor pixel (1 or 2; see --scale)

_fonts = {}
_text_boxes = None     # while drawing the background: (text, ink box) of every text


def release():
    """The project's major and minor version, as CMakeLists.txt gives it."""
    top = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "CMakeLists.txt")
    with open(top) as f:
        found = re.search(r"project\(TeskDelay VERSION (\d+)\.(\d+)", f.read())
    return "%s.%s" % found.groups()


def font(name, size):
    key = (name, size)
    if key not in _fonts:
        _fonts[key] = ImageFont.truetype(os.path.join(FONT_DIR, name + ".ttf"), size)
    return _fonts[key]


def sans(size):
    return font("LiberationSans-Regular", size)


def sans_bold(size):
    return font("LiberationSans-Bold", size)


def narrow_bold(size):
    return font("LiberationSansNarrow-Bold", size)


def caption_font():
    return narrow_bold(9)


def sp(v):
    """An editor position or length as picture pixels at scale S."""
    return v * S


def ssize(size):
    return (sp(size[0]), sp(size[1]))


def sbox(box):
    """A half-open box (left, top, right, bottom) in picture pixels."""
    return tuple(sp(v) for v in box)


class Draw:
    """ImageDraw taking editor coordinates. At scale S a line or a square-cornered
    rectangle covers exactly the picture pixels of the editor pixels it covers at
    scale 1, so its edges stay on pixel boundaries and it is S pixels wide;
    rounded rectangles are drawn at the picture's own resolution."""

    def __init__(self, img):
        self.img = img
        self.draw = ImageDraw.Draw(img)

    def line(self, xy, **kw):
        if S == 1:
            return self.draw.line(xy, **kw)
        self._cover(lambda d: d.line(xy, fill=255, width=kw.get("width", 0)), kw["fill"])

    def rectangle(self, xy, fill=None, outline=None):
        if S == 1:
            return self.draw.rectangle(xy, fill=fill, outline=outline)
        left, top, right, bottom = xy
        if fill is not None:
            self._cover(lambda d: d.rectangle(xy, fill=255), fill)
        if outline is not None:
            for side in ([left, top, right, top], [left, bottom, right, bottom],
                         [left, top, left, bottom], [right, top, right, bottom]):
                self._cover(lambda d, side=side: d.rectangle(side, fill=255), outline)

    def rounded_rectangle(self, xy, radius, fill):
        if S == 1:
            return self.draw.rounded_rectangle(xy, radius=radius, fill=fill)
        left, top, right, bottom = xy
        self.draw.rounded_rectangle([sp(left), sp(top), sp(right + 1) - 1, sp(bottom + 1) - 1],
                                    radius=radius * S, fill=fill)

    def _cover(self, shape, fill):
        """Fills the picture pixels of what `shape` draws at scale 1, which must be
        a rectangle of pixels (an upright line or rectangle)."""
        w, h = self.img.size
        mask = Image.new("L", (w // S + 1, h // S + 1), 0)
        shape(ImageDraw.Draw(mask))
        box = mask.getbbox()
        if box is None:
            return
        left, top, right, bottom = box
        covered = mask.crop(box).histogram()[255]
        assert covered == (right - left) * (bottom - top), "only upright shapes scale exactly"
        self.draw.rectangle([sp(left), sp(top), sp(right) - 1, sp(bottom) - 1], fill=fill)


def put(img, x, y, colour):
    """Sets editor pixel (x, y) of a small picture: S x S picture pixels."""
    if S == 1:
        img.load()[x, y] = colour
    else:
        img.paste(colour, sbox((x, y, x + 1, y + 1)))


def offset(rect, dx, dy):
    left, top, right, bottom = rect
    return (left + dx, top + dy, right + dx, bottom + dy)


def lerp(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


# ---------------------------------------------------------------- primitives

def vgradient(size, top, bottom):
    """A picture of `size` editor pixels shading from `top` to `bottom`."""
    w, h = ssize(size)
    img = Image.new("RGB", (w, h))
    d = ImageDraw.Draw(img)
    for y in range(h):
        d.line([(0, y), (w - 1, y)], fill=lerp(top, bottom, y / max(1, h - 1)))
    return img


def rounded_mask(size, radius):
    """An antialiased rounded-rectangle mask of `size` editor pixels."""
    w, h = ssize(size)
    big = Image.new("L", (w * SS, h * SS), 0)
    ImageDraw.Draw(big).rounded_rectangle(
        [0, 0, w * SS - 1, h * SS - 1], radius=radius * S * SS, fill=255)
    return big.resize((w, h), Image.LANCZOS)


def circle_mask(size, cx, cy, r):
    """Antialiased disc of radius r around the continuous point (cx, cy)."""
    w, h = ssize(size)
    big = Image.new("L", (w * SS, h * SS), 0)
    k = S * SS
    ImageDraw.Draw(big).ellipse(
        [(cx - r) * k, (cy - r) * k, (cx + r) * k - 1, (cy + r) * k - 1], fill=255)
    return big.resize((w, h), Image.BOX)


def ring_mask(size, cx, cy, r_outer, r_inner):
    outer = circle_mask(size, cx, cy, r_outer)
    inner = circle_mask(size, cx, cy, r_inner)
    return Image.composite(Image.new("L", ssize(size), 0), outer, inner)


def blurred(mask, radius):
    """A Gaussian blur of `radius` editor pixels."""
    return mask.filter(ImageFilter.GaussianBlur(radius * S))


def paint(img, mask, colour_or_image, at=(0, 0)):
    """Paints a colour or picture through an L mask onto img at `at` (editor pixels)."""
    if isinstance(colour_or_image, tuple):
        src = Image.new("RGB", mask.size, colour_or_image)
    else:
        src = colour_or_image
    img.paste(src, ssize(at), mask)


def text_width(s, f, tracking=0):
    """Width as draw_text lays the text out: unhinted advances plus tracking."""
    if not s:
        return 0
    big = _big(f)
    return sum(big.getlength(c) for c in s) / (SS * S) + tracking * (len(s) - 1)


def _big(f):
    """The same face at SS times the size at scale S, for drawing text supersampled."""
    return font(os.path.splitext(os.path.basename(f.path))[0], f.size * SS * S)


def _metrics(f):
    """Ascent and descent in picture pixels: the hinted ones of the size drawn
    at scale 1, the outlines' own at larger scales."""
    if S == 1:
        return f.getmetrics()
    ascent, descent = _big(f).getmetrics()
    return int(math.ceil(ascent / SS)), int(math.ceil(descent / SS))


def draw_text(img, x, y, s, f, fill, anchor="la", tracking=0, weight=0.85):
    """Text drawn at SS times the size and scaled down, so that letters keep
    their true (fractional) advances instead of the hinted, uneven ones that
    small sizes get. anchor as Pillow's: l/m/r, then a (top), s (baseline) or
    m (middle). weight < 1 thickens the strokes a little to keep them crisp."""
    big = _big(f)
    w = text_width(s, f, tracking)
    if anchor[0] == "m":
        x -= w / 2.0
    elif anchor[0] == "r":
        x -= w
    # From here on in picture pixels.
    x, y, w, tracking = x * S, y * S, w * S, tracking * S
    ascent, descent = _metrics(f)
    pad = 2
    box_w = int(math.ceil(w)) + 2 * pad + 2
    box_h = ascent + descent + 2 * pad + 2
    # Where the baseline and the left edge fall inside the box, kept fractional.
    ox = int(math.floor(x)) - pad
    if anchor[1] == "s":
        base = y
    elif anchor[1] == "a":
        base = y + ascent
    else:
        base = y + (ascent - descent) / 2.0
    oy = int(math.floor(base)) - ascent - pad
    mask = Image.new("L", (box_w * SS, box_h * SS), 0)
    md = ImageDraw.Draw(mask)
    cx = (x - ox) * SS
    by = (base - oy) * SS
    for c in s:
        md.text((cx, by), c, font=big, fill=255, anchor="ls")
        cx += big.getlength(c) + tracking * SS
    mask = mask.resize((box_w, box_h), Image.LANCZOS)
    if weight != 1.0:
        mask = mask.point(lambda v: int(255 * (v / 255.0) ** weight + 0.5))
    if _text_boxes is not None and S == 1:
        ink = mask.point(lambda v: 255 if v > 48 else 0).getbbox()
        if ink:
            _text_boxes.append((s, (ox + ink[0], oy + ink[1], ox + ink[2], oy + ink[3])))
    if isinstance(fill, int):
        fill = (fill,)
    src = Image.new(img.mode, mask.size, fill if img.mode != "L" else fill[0])
    img.paste(src, (ox, oy), mask)


def caption(img, cx, baseline, s, fill=CAPTION, f=None, tracking=CAPTION_TRACKING):
    """An engraved caption centred on cx: a dark shadow one pixel below."""
    f = f or caption_font()
    draw_text(img, cx, baseline + 1, s, f, PANEL_DARK, "ms", tracking)
    draw_text(img, cx, baseline, s, f, fill, "ms", tracking)


def noise_texture(size, seed, streak, strength):
    """Brushed-metal streaks: random grey stretched horizontally."""
    w, h = size
    rnd = random.Random(seed)
    small_w = max(2, w // streak)
    data = bytes(rnd.randrange(256) for _ in range(small_w * h))
    small = Image.frombytes("L", (small_w, h), data)
    # The same streaks at every scale: a texture has no edges to sharpen.
    tex = small.resize(ssize((w, h)), Image.BICUBIC)
    # Centre on mid grey and scale to +-strength.
    return tex.point(lambda v: int(128 + (v - 128) * strength / 128))


def apply_texture(img, box, tex):
    """Lightens/darkens img inside box by the texture (128 = unchanged)."""
    box = sbox(box)
    region = img.crop(box)
    px = region.load()
    tx = tex.load()
    w, h = region.size
    for y in range(h):
        for x in range(w):
            delta = tx[x % tex.size[0], y % tex.size[1]] - 128
            r, g, b = px[x, y]
            px[x, y] = (clamp(r + delta), clamp(g + delta), clamp(b + delta))
    img.paste(region, box[:2])


def clamp(v, lo=0, hi=254):
    # 254, not 255: visible pixels never turn into the transparent colour.
    return lo if v < lo else hi if v > hi else v


# ---------------------------------------------------------------- knob bodies

def knob_body(img, rect, with_scale=True, scale_skip=()):
    """Paints a knob into img under rect: a soft shadow, a machined skirt and a
    dark cap. The knob's handle dot runs on a circle (width/2 - 4) from the
    centre, so the cap reaches beyond that circle and the dot always sits on it."""
    left, top, right, bottom = rect
    size = right - left
    pad = 6
    box = (left - pad, top - pad, right + pad, bottom + pad)
    bw, bh = box[2] - box[0], box[3] - box[1]
    cx = cy = pad + size / 2.0
    r = size / 2.0 - 0.6                      # skirt
    r_cap = r - 1.6                           # cap
    region = img.crop(sbox(box))

    # Recess in the panel and a drop shadow, so the knob stands up from it.
    shadow = circle_mask((bw, bh), cx + 0.4, cy + 1.2, r + 0.9)
    shadow = blurred(shadow, 0.9)
    paint(region, shadow.point(lambda v: v * 200 // 255), (6, 7, 9))
    ring = ring_mask((bw, bh), cx, cy, r + 1.3, r + 0.3)
    paint(region, ring.point(lambda v: v * 70 // 255), (120, 128, 138))

    # Skirt: bright at the top, dark at the bottom, like a turned metal edge.
    skirt = Image.new("RGB", ssize((bw, bh)))
    sk = ImageDraw.Draw(skirt)
    for y in range(sp(bh)):
        t = (y / S - (cy - r)) / (2 * r)
        sk.line([(0, y), (sp(bw), y)], fill=lerp((168, 174, 182), (34, 37, 42), min(1, max(0, t))))
    paint(region, circle_mask((bw, bh), cx, cy, r), skirt)

    # Cap: darker, with the gradient turned the other way (slightly concave).
    cap = Image.new("RGB", ssize((bw, bh)))
    cd = ImageDraw.Draw(cap)
    for y in range(sp(bh)):
        t = (y / S - (cy - r_cap)) / (2 * r_cap)
        cd.line([(0, y), (sp(bw), y)], fill=lerp((46, 50, 56), (82, 88, 96), min(1, max(0, t))))
    paint(region, circle_mask((bw, bh), cx, cy, r_cap), cap)
    # A soft specular glint at the upper left of the cap.
    glint = circle_mask((bw, bh), cx - r_cap * 0.35, cy - r_cap * 0.45, r_cap * 0.45)
    glint = blurred(glint, 1.2)
    paint(region, glint.point(lambda v: v * 45 // 255), (200, 208, 218))

    img.paste(region, ssize(box[:2]))

    if with_scale:
        ccx, ccy = left + size / 2.0, top + size / 2.0
        rt = size / 2.0 + 1.6
        for i in range(11):
            if i in scale_skip:
                continue
            a = math.radians(225 - 27 * i)
            x = ccx + math.cos(a) * rt
            y = ccy - math.sin(a) * rt
            colour = CAPTION if i in (0, 5, 10) else CAPTION_DIM
            dot(img, x, y, 0.75 if i in (0, 5, 10) else 0.6, colour)


def dot(img, x, y, r, colour):
    """An antialiased dot at continuous (x, y)."""
    ix, iy = int(math.floor(x)) - 2, int(math.floor(y)) - 2
    box = (ix, iy, ix + 5, iy + 5)
    region = img.crop(sbox(box))
    paint(region, circle_mask((5, 5), x - ix, y - iy, r), colour)
    img.paste(region, ssize(box[:2]))


# ---------------------------------------------------------------- background 128

def draw_panel_plate(img, rect):
    """A raised anodised plate with rounded corners and a bevelled edge."""
    left, top, right, bottom = rect
    w, h = right - left, bottom - top
    plate = vgradient((w, h), PANEL_TOP, PANEL_BOTTOM)
    apply_texture(plate, (0, 0, w, h), noise_texture((w, h), seed=left * 7 + top, streak=24, strength=3))
    mask = rounded_mask((w, h), 5)
    # Drop shadow under the plate.
    shadow = Image.new("L", ssize((w + 8, h + 8)), 0)
    shadow.paste(mask, ssize((4, 5)))
    shadow = blurred(shadow, 2.5)
    paint(img, shadow.point(lambda v: v * 170 // 255), (4, 5, 6), (left - 4, top - 4))
    # Edge: a lighter rim on top, a darker one at the bottom.
    rim = vgradient((w, h), PANEL_LIGHT, (24, 27, 31))
    paint(img, mask, rim, (left, top))
    inner = rounded_mask((w - 2, h - 2), 4)
    paint(img, inner, plate.crop(sbox((1, 1, w - 1, h - 1))), (left + 1, top + 1))


def recess(img, rect):
    """A shallow sunken plate: darker face, shadowed top edge, lit bottom edge."""
    left, top, right, bottom = rect
    w, h = right - left, bottom - top
    region = img.crop(sbox(rect))
    shade = Image.new("RGB", ssize((w, h)), (12, 14, 17))
    region = Image.composite(shade, region, rounded_mask((w, h), 4).point(lambda v: v * 60 // 255))
    img.paste(region, ssize(rect[:2]))
    outer = rounded_mask((w, h), 4)
    inner = Image.new("L", ssize((w, h)), 0)
    inner.paste(rounded_mask((w, h - 1), 4), ssize((0, 1)))
    top_edge = Image.composite(Image.new("L", ssize((w, h)), 0), outer, inner)
    paint(img, top_edge.point(lambda v: v * 150 // 255), (14, 16, 19), rect[:2])
    inner = Image.new("L", ssize((w, h)), 0)
    inner.paste(rounded_mask((w, h - 1), 4), (0, 0))
    bottom_edge = Image.composite(Image.new("L", ssize((w, h)), 0), outer, inner)
    paint(img, bottom_edge.point(lambda v: v * 120 // 255), (100, 107, 117), rect[:2])


def engraved_hline(d, x0, x1, y):
    d.line([(x0, y), (x1, y)], fill=(28, 31, 36))
    d.line([(x0, y + 1), (x1, y + 1)], fill=(78, 84, 93))


def slot(d, rect):
    """The recess an opaque switch picture sits in: a dark frame with a lit lower edge."""
    left, top, right, bottom = rect
    d.rectangle([left - 2, top - 2, right + 1, bottom + 1], fill=(22, 24, 28))
    d.line([(left - 2, bottom + 1), (right + 1, bottom + 1)], fill=(92, 99, 109))
    d.line([(right + 1, top - 1), (right + 1, bottom + 1)], fill=(74, 80, 89))
    d.rectangle([left - 1, top - 1, right, bottom], fill=(10, 12, 14))


def slider_track(img, rect, handle_span, ticks, center_mark):
    """The groove the slider handle runs in, painted inside the slider's rectangle.
    handle_span: the first and last frame x of the handle's centre."""
    d = Draw(img)
    left, top, right, bottom = rect
    y = top + HANDLE_OFFSET[1] + HANDLE_SIZE[1] // 2        # handle's centre row
    x0, x1 = handle_span
    # Groove: 4 pixels deep, shaded like a cut in the plate.
    d.rounded_rectangle([x0 - 3, y - 2, x1 + 3, y + 2], radius=2, fill=(8, 9, 11))
    d.line([(x0 - 2, y + 2), (x1 + 2, y + 2)], fill=(34, 38, 43))
    d.line([(x0 - 1, y + 3), (x1 + 1, y + 3)], fill=(92, 99, 109))
    d.line([(x0 - 1, y - 3), (x1 + 1, y - 3)], fill=(24, 26, 30))
    # Scale ticks under the groove.
    for i in range(ticks):
        x = round(x0 + (x1 - x0) * i / (ticks - 1))
        major = i in (0, ticks - 1) or (center_mark and i == ticks // 2)
        d.line([(x, y + 6), (x, y + (9 if major else 7))], fill=CAPTION if major else CAPTION_DIM)
    return y


def handle_centres(slider):
    """First and last frame x of the slider handle's centre. Both sliders let
    the handle travel from their left edge to right - handle width - 1."""
    left, right = slider[0], slider[2]
    range_handle = (right - HANDLE_SIZE[0] - 1) - left
    first = left + HANDLE_OFFSET[0] + HANDLE_SIZE[0] // 2
    return first, first + range_handle


def draw_line_panel(img, n):
    dx = LINE_DX * (n % 2)
    dy = LINE_DY * (n // 2)

    def at(rect):
        return offset(rect, dx, dy)

    draw_panel_plate(img, at(LINE_PANEL))
    d = Draw(img)

    # Header: the line's name and an accent rule.
    px0, py0, px1, _ = at(LINE_PANEL)
    title = "DELAY %d" % (n + 1)
    tf = sans_bold(9)
    draw_text(img, px0 + 9, py0 + 12, title, tf, PANEL_DARK, "ls", 1.0)
    draw_text(img, px0 + 9, py0 + 11, title, tf, ACCENT, "ls", 1.0)
    tw = text_width(title, tf, 1.0)
    d.line([(px0 + 9 + tw + 6, py0 + 7), (px1 - 10, py0 + 7)], fill=ACCENT_DIM)
    d.line([(px0 + 9 + tw + 6, py0 + 8), (px1 - 10, py0 + 8)], fill=(30, 33, 38))

    # The timing controls (tempo, sync, note length) share a sunken plate of
    # their own, which also gives the left half of the panel some structure.
    recess(img, at(TIME_GROUP))
    d = Draw(img)

    # Switch recesses (the pictures are opaque and cover the inside).
    for rect in (ON_BUTTON, INPUT_SWITCH, TYPE_BUTTON, OUTPUT_SWITCH, NUMERATOR, DENOMINATOR,
                 SYNC_BUTTON):
        slot(d, at(rect))
    # The tempo field fills itself black; give it the same recess.
    slot(d, at(TEMPO_FIELD))

    # Knobs.
    knob_body(img, at(KNOB_FEEDBACK))
    knob_body(img, at(KNOB_SATURATION))
    knob_body(img, at(KNOB_HP), scale_skip=(3, 4, 5, 6, 7))
    knob_body(img, at(KNOB_CROSS), scale_skip=(3, 4, 5, 6, 7))
    knob_body(img, at(KNOB_LP), scale_skip=(3, 4, 5, 6, 7))
    knob_body(img, at(KNOB_VOLUME))

    # Pan track with L / R.
    lo, hi = handle_centres(at(PAN_SLIDER))
    slider_track(img, at(PAN_SLIDER), (lo, hi), 11, True)

    d = Draw(img)

    def cap_above(rect, s, gap=3, **kw):
        left, top, right, _ = at(rect)
        caption(img, (left + right) / 2.0, top - gap, s, **kw)

    def cap_below(rect, s, gap=9, **kw):
        left, _, right, bottom = at(rect)
        caption(img, (left + right) / 2.0, bottom + gap, s, **kw)

    cap_above(KNOB_FEEDBACK, "FEEDBACK", gap=3)
    cap_above(KNOB_SATURATION, "SATURATION", gap=3)
    cap_above(KNOB_HP, "HP", gap=3)
    cap_above(KNOB_CROSS, "CROSS", gap=3)
    cap_above(KNOB_LP, "LP", gap=3)
    cap_above(KNOB_VOLUME, "VOLUME", gap=3)
    cap_above(TEMPO_FIELD, "TEMPO", gap=4)

    # The on/off lamp is captioned above, level with FEEDBACK: below it there
    # is no room beside INPUT.
    cap_above(ON_BUTTON, "ON/OFF", gap=11)
    cap_below(INPUT_SWITCH, "INPUT", gap=11)
    cap_below(TYPE_BUTTON, "TYPE", gap=11)
    cap_below(OUTPUT_SWITCH, "OUTPUT", gap=11)

    # Note length: numerator / denominator.
    nl, nt, _, nb = at(NUMERATOR)
    dl, _, dr, _ = at(DENOMINATOR)
    caption(img, (nl + dr) / 2.0, nb + 10, "NOTE LENGTH")
    draw_text(img, (nl + 16 + dl) / 2.0 + 0.5, nb - 2, "/", sans_bold(14), CAPTION, "ms")

    # bpm beside the tempo field; SYNC beside its lamp.
    tl, tt, tr, tb = at(TEMPO_FIELD)
    draw_text(img, tr + 5, tb - 3, "bpm", sans(9), CAPTION_DIM, "ls")
    sl, st, sr, sb = at(SYNC_BUTTON)
    caption(img, sr + 5 + text_width("SYNC", caption_font(), CAPTION_TRACKING) / 2, sb - 1, "SYNC")

    # Pan: caption in the middle, L and R over the ends of the travel.
    pl, pt, pr, pb = at(PAN_SLIDER)
    caption(img, (lo + hi) / 2.0, pt - 3, "PAN")
    caption(img, lo, pt - 3, "L", fill=CAPTION_DIM)
    caption(img, hi, pt - 3, "R", fill=CAPTION_DIM)


def draw_logo(img):
    d = Draw(img)
    # Echo mark: four bars fading out, one for each delay line.
    x = 12
    for i, h in enumerate((26, 20, 14, 9)):
        colour = lerp(ACCENT, (44, 70, 74), i / 3.5)
        y0 = 33 - h // 2
        d.rounded_rectangle([x, y0, x + 3, y0 + h], radius=1, fill=colour)
        x += 7
    name_font = sans_bold(24)
    x0 = 44
    base = 36
    draw_text(img, x0, base + 1, "Tesk", name_font, (6, 7, 9), "ls")
    draw_text(img, x0, base, "Tesk", name_font, (234, 238, 242), "ls")
    w = text_width("Tesk", name_font)
    draw_text(img, x0 + w, base + 1, "Delay", name_font, (6, 7, 9), "ls")
    draw_text(img, x0 + w, base, "Delay", name_font, ACCENT, "ls")
    sub = "FOUR-LINE STEREO DELAY"
    draw_text(img, x0 + 1, base + 14, sub, sans_bold(7), CAPTION_DIM, "ls", 1.1)
    engraved_hline(d, 12, 178, 60)


def draw_info_box(img):
    left, top, right, bottom = INFO_BOX
    w, h = right - left, bottom - top
    # Shadow, dark teal rim, then the teal face the labels blend into.
    shadow = Image.new("L", ssize((w + 8, h + 8)), 0)
    shadow.paste(rounded_mask((w, h), 5), ssize((4, 5)))
    shadow = blurred(shadow, 2.5)
    paint(img, shadow.point(lambda v: v * 190 // 255), (2, 3, 4), (left - 4, top - 4))
    paint(img, rounded_mask((w, h), 5), (30, 92, 92), (left, top))
    paint(img, rounded_mask((w - 2, h - 2), 4), (122, 212, 210), (left + 1, top + 1))
    paint(img, rounded_mask((w - 4, h - 4), 3), PANEL_TEAL, (left + 2, top + 2))
    d = Draw(img)
    # Faint rules between the columns; the labels fill their own cells.
    for cx in (INFO_COLUMNS[1] - 2, INFO_COLUMNS[2] - 2):
        d.line([(cx, INFO_ROWS[0] + 2), (cx, INFO_ROWS[2] + INFO_CELL[1] - 2)], fill=(62, 160, 160))
    # The empty middle cell of the top row: a small heading for the panel.
    mid_x = INFO_COLUMNS[1] + INFO_CELL[0] / 2.0
    draw_text(img, mid_x, INFO_ROWS[0] + 10, "VALUES", sans_bold(7), (40, 120, 120), "ms", 0.8)


def draw_bottom_bar(img):
    lo, hi = handle_centres(DRY_SLIDER)
    slider_track(img, DRY_SLIDER, (lo, hi), 11, False)
    y = DRY_SLIDER[1] + HANDLE_OFFSET[1] + HANDLE_SIZE[1] // 2
    f = caption_font()
    draw_text(img, DRY_SLIDER[0] - 10, y + 4, "DRY LEVEL", f, PANEL_DARK, "rs", CAPTION_TRACKING)
    draw_text(img, DRY_SLIDER[0] - 10, y + 3, "DRY LEVEL", f, CAPTION, "rs", CAPTION_TRACKING)
    draw_text(img, 10, y + 3, "Velmora", sans_bold(9), CAPTION_DIM, "ls", 0.4)
    draw_text(img, WIDTH - 10, y + 3, "v" + release(), sans(9), CAPTION_DIM, "rs")


def control_rects():
    """Every rectangle the editor draws a control or label into."""
    line = (KNOB_FEEDBACK, KNOB_VOLUME, KNOB_HP, KNOB_CROSS, KNOB_LP, KNOB_SATURATION, PAN_SLIDER,
            ON_BUTTON, INPUT_SWITCH, TYPE_BUTTON, OUTPUT_SWITCH, TEMPO_FIELD, NUMERATOR,
            DENOMINATOR, SYNC_BUTTON)
    rects = [offset(r, LINE_DX * (n % 2), LINE_DY * (n // 2)) for n in range(4) for r in line]
    rects.append(DRY_SLIDER)
    for row, y in enumerate(INFO_ROWS):
        for col, x in enumerate(INFO_COLUMNS):
            if (row, col) != (0, 1):
                rects.append((x, y, x + INFO_CELL[0], y + INFO_CELL[1]))
    return rects


def overlaps(a, b, gap=0):
    return (a[0] < b[2] + gap and b[0] < a[2] + gap and
            a[1] < b[3] + gap and b[1] < a[3] + gap)


def check_captions(boxes):
    """No caption may reach into a control (the control would paint over it, or
    it over the control), and different captions keep apart from each other."""
    inside_logo = lambda box: (box[0] >= LOGO[0] and box[1] >= LOGO[1] and
                               box[2] <= LOGO[2] and box[3] <= LOGO[3])
    boxes = [(text, box) for text, box in boxes if not inside_logo(box)]
    for text, box in boxes:
        for rect in control_rects():
            assert not overlaps(box, rect), "caption %r %s runs into control %s" % (text, box, rect)
    for i, (t1, b1) in enumerate(boxes):
        for t2, b2 in boxes[i + 1:]:
            if t1 != t2:
                assert not overlaps(b1, b2, gap=2), "captions %r and %r touch" % (t1, t2)


def draw_background():
    global _text_boxes
    _text_boxes = []
    try:
        img = draw_background_layers()
        if S == 1:
            check_captions(_text_boxes)
    finally:
        _text_boxes = None
    return img


def draw_background_layers():
    img = vgradient((WIDTH, HEIGHT), BASE_TOP, BASE_BOTTOM)
    apply_texture(img, (0, 0, WIDTH, HEIGHT), noise_texture((WIDTH, HEIGHT), seed=128, streak=32, strength=3))
    draw_logo(img)
    draw_info_box(img)
    for n in range(4):
        draw_line_panel(img, n)
    draw_bottom_bar(img)
    return img


# ---------------------------------------------------------------- small pictures

def lcd(size, top=LCD_BACK_TOP, bottom=LCD_BACK_BOTTOM):
    """A small dark readout window with a glassy top edge."""
    w, h = size
    img = vgradient(size, top, bottom)
    d = Draw(img)
    d.rectangle([0, 0, w - 1, h - 1], outline=(2, 3, 4))
    d.line([(1, 1), (w - 2, 1)], fill=(30, 44, 46))
    return img


def lcd_text(img, s, f, colour=LCD_TEXT, dy=0, tracking=0):
    w, h = img.size[0] // S, img.size[1] // S
    glow = Image.new("L", img.size, 0)
    draw_text(glow, w / 2.0, h / 2.0 + dy, s, f, 255, "mm", tracking)
    glow = blurred(glow, 1.2)
    paint(img, glow.point(lambda v: v * 60 // 255), colour)
    draw_text(img, w / 2.0, h / 2.0 + dy, s, f, colour, "mm", tracking)


def strip(pictures):
    w, h = pictures[0].size
    out = Image.new("RGB", (w, h * len(pictures)))
    for i, p in enumerate(pictures):
        out.paste(p, (0, i * h))
    return out


def input_strip():
    pics = []
    for s in ("Main", "D1", "D2", "D3"):
        p = lcd((28, 18))
        lcd_text(p, s, sans_bold(9))
        pics.append(p)
    return strip(pics)


def output_strip():
    pics = []
    for i in range(1, 5):
        p = lcd((28, 18))
        # Small pair marks either side of the number say "stereo pair".
        lcd_text(p, str(i), sans_bold(11))
        d = Draw(p)
        for x in (5, 21):
            d.rectangle([x, 8, x + 1, 9], fill=LCD_TEXT_DIM)
        pics.append(p)
    return strip(pics)


def type_strip():
    pics = []
    # Single echo: one tick. Recirculating: a decaying train of ticks.
    for ticks in ([(0, 10)], [(0, 10), (1, 8), (2, 6), (3, 4), (4, 3)]):
        p = lcd((28, 18))
        d = Draw(p)
        base = 14
        d.line([(4, base), (23, base)], fill=LCD_TEXT_DIM)
        glow = Image.new("L", p.size, 0)
        gd = Draw(glow)
        for i, h in ticks:
            x = 7 + i * 4
            gd.rectangle([x, base - h, x + 1, base - 1], fill=255)
        paint(p, blurred(glow, 1.1).point(lambda v: v * 70 // 255), LCD_TEXT)
        for i, h in ticks:
            x = 7 + i * 4
            colour = lerp(LCD_TEXT, LCD_TEXT_DIM, i / 6.0)
            d.rectangle([x, base - h, x + 1, base - 1], fill=colour)
        pics.append(p)
    return strip(pics)


def digit_strip(labels):
    pics = []
    for s in labels:
        p = lcd((16, 16))
        f = sans_bold(10) if len(s) == 1 else narrow_bold(10)
        lcd_text(p, s, f, dy=0)
        pics.append(p)
    return strip(pics)


def on_lamp():
    """16 x 16 push button with an LED in it: dark when off, glowing red when on."""
    pics = []
    for on in (False, True):
        size = (16, 16)
        p = vgradient(size, (70, 75, 83), (30, 33, 38))
        d = Draw(p)
        d.rectangle([0, 0, 15, 15], outline=(8, 9, 11))
        d.line([(1, 1), (14, 1)], fill=(112, 119, 129))
        d.line([(1, 14), (14, 14)], fill=(22, 24, 28))
        cx = cy = 8.0
        paint(p, circle_mask(size, cx, cy, 5.2), (12, 12, 14))
        if on:
            glow = blurred(circle_mask(size, cx, cy, 5.6), 1.3)
            paint(p, glow.point(lambda v: v * 150 // 255), (255, 70, 40))
            paint(p, circle_mask(size, cx, cy, 4.2), (226, 52, 30))
            paint(p, circle_mask(size, cx - 0.6, cy - 0.8, 2.4), (255, 150, 110))
            paint(p, circle_mask(size, cx - 1.2, cy - 1.6, 1.0), (254, 226, 210))
        else:
            paint(p, circle_mask(size, cx, cy, 4.2), (72, 26, 24))
            paint(p, circle_mask(size, cx - 1.0, cy - 1.4, 1.6), (112, 60, 56))
        pics.append(p)
    return strip(pics)


def sync_lamp():
    """12 x 10 rectangular LED: amber when the line follows the host's tempo."""
    pics = []
    for on in (False, True):
        p = Image.new("RGB", ssize((12, 10)), (10, 11, 13))
        d = Draw(p)
        if on:
            d.rectangle([1, 1, 10, 8], fill=(250, 176, 40))
            d.rectangle([2, 2, 9, 4], fill=(254, 224, 130))
            d.line([(2, 7), (9, 7)], fill=(214, 132, 20))
        else:
            d.rectangle([1, 1, 10, 8], fill=(66, 48, 20))
            d.rectangle([2, 2, 9, 3], fill=(86, 66, 32))
        d.rectangle([0, 0, 11, 9], outline=(4, 4, 5))
        pics.append(p)
    return strip(pics)


def handle_dot(core, rim):
    """4 x 4 dot; the white corners let the knob show through, so it reads as round."""
    p = Image.new("RGB", ssize((4, 4)), rim)
    for x, y in ((0, 0), (3, 0), (0, 3), (3, 3)):
        put(p, x, y, WHITE)
    for x, y in ((1, 1), (2, 1), (1, 2), (2, 2)):
        put(p, x, y, core)
    put(p, 1, 1, lerp(core, (254, 254, 254), 0.35))
    return p


def slider_handle():
    """10 x 19 fader cap. The slider shows rows 0 to 17 (its offscreen ends there),
    so the cap is drawn in those rows and the last row is a soft shadow."""
    w, h = HANDLE_SIZE
    p = Image.new("RGB", ssize((w, h)), WHITE)
    body = vgradient((w, 18), (214, 219, 226), (112, 118, 128))
    mask = rounded_mask((w, 18), 2)
    paint(p, mask, (20, 22, 26))
    inner = rounded_mask((w - 2, 16), 1)
    paint(p, inner, body.crop(sbox((1, 1, w - 1, 17))), (1, 1))
    d = Draw(p)
    # Grip: a dark centre line with a light edge beside it.
    d.line([(4, 3), (4, 14)], fill=(40, 43, 48))
    d.line([(5, 3), (5, 14)], fill=(236, 240, 244))
    d.line([(1, 17), (8, 17)], fill=(20, 22, 26))
    for x in range(1, w - 1):
        put(p, x, 18, (40, 42, 46))
    put(p, 0, 18, WHITE)
    put(p, w - 1, 18, WHITE)
    return p


def spare_knob():
    """22 x 22 knob with a pointer line, in the editor's style (white corners)."""
    size = 22
    p = Image.new("RGB", ssize((size + 12, size + 12)), (50, 54, 60))
    knob_body(p, (6, 6, 6 + size, 6 + size), with_scale=False)
    p = p.crop(sbox((6, 6, 6 + size, 6 + size)))
    mask = circle_mask((size, size), 11, 11, 10.6)
    out = Image.new("RGB", ssize((size, size)), WHITE)
    # Edge pixels keep their blend with panel grey; only the pixels wholly
    # outside the knob become transparent white.
    out.paste(p, (0, 0), mask.point(lambda v: 255 if v > 0 else 0))
    d = Draw(out)
    d.line([(11, 4), (11, 10)], fill=(226, 52, 30), width=2)
    return out


# ---------------------------------------------------------------- about and notice

def about_picture():
    w, h = 284, 295
    img = vgradient((w, h), (48, 53, 60), (26, 29, 34))
    apply_texture(img, (0, 0, w, h), noise_texture((w, h), seed=130, streak=28, strength=3))
    d = Draw(img)
    d.rectangle([0, 0, w - 1, h - 1], outline=(8, 9, 11))
    d.rectangle([1, 1, w - 2, h - 2], outline=(98, 106, 116))
    # Teal header band.
    band = vgradient((w - 4, 62), (92, 198, 196), (58, 150, 150))
    img.paste(band, ssize((2, 2)))
    d.line([(2, 64), (w - 3, 64)], fill=(20, 70, 70))
    x = 22
    for i, bh in enumerate((30, 23, 16, 10)):
        colour = lerp((246, 250, 250), (120, 196, 196), i / 3.2)
        y0 = 33 - bh // 2
        d.rounded_rectangle([x, y0, x + 4, y0 + bh], radius=1, fill=colour)
        x += 8
    nf = sans_bold(28)
    draw_text(img, 62, 44, "Tesk", nf, (20, 60, 62), "ls")
    draw_text(img, 62 + text_width("Tesk", nf), 44, "Delay", nf, NEAR_WHITE, "ls")
    draw_text(img, 63, 57, "VERSION " + release(), sans_bold(8), (22, 72, 74), "ls", 1.2)

    draw_text(img, w / 2, 88, "Four-line stereo delay", sans_bold(11), (226, 230, 236), "ms")
    draw_text(img, w / 2, 104, "VST 2 effect by Velmora", sans(10), CAPTION_DIM, "ms")
    engraved_hline(d, 24, w - 25, 116)

    hints = [
        ("Knobs", "drag up/down, shift for fine"),
        ("Reset", "ctrl+click a control"),
        ("Tempo", "type a tempo and press Return"),
        ("Sync", "lit: the line follows the host's tempo"),
        ("Switches", "click to step to the next value"),
        ("Lines", "chain delays with the input switch"),
        ("Info", "values of the line last touched"),
    ]
    y = 136
    for head, text in hints:
        draw_text(img, 86, y, head, sans_bold(10), ACCENT, "rs")
        draw_text(img, 94, y, text, sans(10), (214, 219, 226), "ls")
        y += 17
    engraved_hline(d, 24, w - 25, y - 4)
    # While this page is up it takes every click on itself, and only those:
    # the logo lies outside it, so the page is what closes it.
    draw_text(img, w / 2, y + 14, "Click this page to close it", sans_bold(10), HIGHLIGHT_TEXT, "ms")
    draw_text(img, w / 2, h - 12, "\u00a9 Velmora. All rights reserved.", sans(9), (120, 128, 138), "ms")
    return to_palette(img)


def notice_picture():
    w, h = 300, 83
    img = vgradient((w, h), (52, 57, 64), (28, 31, 36))
    d = Draw(img)
    d.rectangle([0, 0, w - 1, h - 1], outline=(8, 9, 11))
    d.rectangle([1, 1, w - 2, h - 2], outline=(96, 104, 114))
    # A warning mark: amber triangle with an exclamation point.
    k = S * SS
    big = Image.new("L", (44 * k, 40 * k), 0)
    ImageDraw.Draw(big).polygon([(22 * k, 2 * k), (42 * k, 37 * k), (2 * k, 37 * k)], fill=255)
    paint(img, big.resize(ssize((44, 40)), Image.LANCZOS), (240, 172, 40), (14, 20))
    draw_text(img, 36, 54, "!", sans_bold(20), (28, 24, 12), "ms")
    draw_text(img, 68, 27, "TeskDelay", sans_bold(14), ACCENT, "ls")
    draw_text(img, 68, 45, "SSE vector instructions required", sans_bold(11), (230, 234, 240), "ls")
    draw_text(img, 68, 60, "This processor lacks them, so the effect", sans(10), CAPTION, "ls")
    draw_text(img, 68, 73, "passes the input through unchanged.", sans(10), CAPTION, "ls")
    return to_palette(img)


def to_palette(img):
    """8-bit palette picture; no dithering so the output is stable and clean."""
    return img.quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)


# ---------------------------------------------------------------- output

# id: (builder, size, mode, may contain transparent white)
BITMAPS = {
    128: (draw_background, (384, 530), "RGB", False),
    129: (slider_handle, (10, 19), "RGB", True),
    130: (about_picture, (284, 295), "P", False),
    131: (on_lamp, (16, 32), "RGB", False),
    132: (type_strip, (28, 36), "RGB", False),
    133: (input_strip, (28, 72), "RGB", False),
    134: (output_strip, (28, 72), "RGB", False),
    135: (lambda: handle_dot((232, 40, 28), (160, 22, 16)), (4, 4), "RGB", True),
    136: (spare_knob, (22, 22), "RGB", True),
    137: (lambda: digit_strip(["1", "2", "3", "4"]), (16, 64), "RGB", False),
    138: (lambda: digit_strip(["1", "2", "3", "4", "6", "8", "16", "32", "64"]), (16, 144), "RGB", False),
    139: (lambda: handle_dot((118, 22, 18), (80, 14, 12)), (4, 4), "RGB", True),
    140: (sync_lamp, (12, 20), "RGB", False),
    141: (lambda: handle_dot((248, 236, 150), (196, 180, 90)), (4, 4), "RGB", True),
    142: (lambda: handle_dot((112, 110, 40), (80, 78, 28)), (4, 4), "RGB", True),
    143: (notice_picture, (300, 83), "P", False),
}


def has_white(img):
    rgb = img.convert("RGB")
    return any(c == WHITE for _, c in rgb.getcolors(1 << 20))


def scaled_size(size, scale):
    """A picture's size at `scale`: the toolkit gives editor pixel v the picture
    pixels from floor(v x scale) on."""
    return tuple(int(math.floor(v * scale)) for v in size)


def check(bitmap_id, img, scale):
    _, size, mode, white_ok = BITMAPS[bitmap_id]
    want = scaled_size(size, scale)
    assert img.size == want, "%d: size %s, want %s" % (bitmap_id, img.size, want)
    assert img.mode == mode, "%d: mode %s, want %s" % (bitmap_id, img.mode, mode)
    if not white_ok:
        assert not has_white(img), "%d: pure white would show as a hole" % bitmap_id


def build_all():
    images = {}
    for bitmap_id, (builder, _, _, _) in sorted(BITMAPS.items()):
        img = builder()
        check(bitmap_id, img, S)
        images[bitmap_id] = img
    return images


# Pictures stacked in each strip; a reduced strip is reduced picture by picture,
# so that no picture bleeds into its neighbour.
STRIP_PICTURES = {131: 2, 132: 2, 133: 4, 134: 4, 137: 4, 138: 9, 140: 2}


def reduce_picture(img, size, white_ok):
    """img reduced to size. Where white is the transparent colour it takes no part
    in the mix: a pixel stays transparent when most of what it covers was, and a
    visible one never becomes pure white."""
    if not white_ok:
        return img.resize(size, Image.LANCZOS)
    rgba = img.convert("RGBA")
    px = rgba.load()
    for y in range(rgba.size[1]):
        for x in range(rgba.size[0]):
            if px[x, y][:3] == WHITE:
                px[x, y] = (0, 0, 0, 0)
    small = rgba.convert("RGBa").resize(size, Image.LANCZOS).convert("RGBA")
    out = Image.new("RGB", size, WHITE)
    opaque = small.getchannel("A").point(lambda v: 255 if v >= 128 else 0)
    out.paste(small.convert("RGB").point(lambda v: min(v, 254)), (0, 0), opaque)
    return out


def reduced(bitmap_id, drawn, from_scale, scale):
    """The picture `drawn` at from_scale, reduced to scale."""
    _, size, mode, white_ok = BITMAPS[bitmap_id]
    count = STRIP_PICTURES.get(bitmap_id, 1)
    cell = size[1] // count
    rgb = drawn.convert("RGB")
    out = Image.new("RGB", scaled_size(size, scale))
    for i in range(count):
        top, bottom = (int(math.floor(cell * k * scale)) for k in (i, i + 1))
        piece = rgb.crop((0, cell * i * from_scale, rgb.size[0], cell * (i + 1) * from_scale))
        out.paste(reduce_picture(piece, (out.size[0], bottom - top), white_ok), (0, top))
    return to_palette(out) if mode == "P" else out


def paste_transparent(dst, src, at):
    """Draws src at `at` skipping white, as the editor does."""
    rgb = src.convert("RGB")
    mask = Image.eval(rgb.convert("L"), lambda v: 255)
    px, mk = rgb.load(), mask.load()
    for y in range(rgb.size[1]):
        for x in range(rgb.size[0]):
            if px[x, y] == WHITE:
                mk[x, y] = 0
    dst.paste(rgb, at, mask)


def picture(strip_img, index, height):
    return strip_img.crop((0, index * height, strip_img.size[0], (index + 1) * height))


def knob_point(rect, value, handle_w=4):
    """Where the knob puts its handle for a value (its own arithmetic)."""
    radius = (rect[2] - rect[0]) * 0.5
    inset = int(handle_w * 0.5 + 2.5)
    angle = 5 * math.pi / 4 + (-3 * math.pi / 2) * value
    px = int(radius + math.cos(angle) * (radius - inset) + 0.5)
    py = int(radius - math.sin(angle) * (radius - inset) + 0.5)
    return rect[0] + px - handle_w // 2, rect[1] + py - handle_w // 2


def preview(images, path):
    """The whole editor as it looks when open, for judging the artwork."""
    img = images[128].copy()
    d = Draw(img)
    label_font = font("LiberationSans-Regular", 10)
    values = [
        dict(on=True, fb=0.55, vol=0.5, hp=0.1, cross=0.4, lp=0.8, sat=0.2, pan=0.3, inp=0, typ=1,
             out=0, num=0, den=3, sync=True, tempo="120.00"),
        dict(on=True, fb=0.3, vol=0.7, hp=0.0, cross=0.5, lp=1.0, sat=0.0, pan=0.8, inp=1, typ=0,
             out=1, num=2, den=5, sync=False, tempo="96.50"),
        dict(on=False, fb=0.7, vol=0.4, hp=0.3, cross=0.6, lp=0.6, sat=0.5, pan=0.5, inp=2, typ=1,
             out=2, num=1, den=8, sync=False, tempo=""),
        dict(on=True, fb=0.9, vol=1.0, hp=0.5, cross=0.2, lp=0.3, sat=1.0, pan=0.0, inp=3, typ=0,
             out=3, num=3, den=6, sync=True, tempo="999.00"),
    ]
    for n, v in enumerate(values):
        dx, dy = LINE_DX * (n % 2), LINE_DY * (n // 2)

        def at(rect):
            return offset(rect, dx, dy)

        on_h = images[135] if v["on"] else images[139]
        sat_h = images[141] if v["on"] else images[142]
        for rect, key in ((KNOB_FEEDBACK, "fb"), (KNOB_VOLUME, "vol"), (KNOB_HP, "hp"),
                          (KNOB_CROSS, "cross"), (KNOB_LP, "lp")):
            paste_transparent(img, on_h, knob_point(at(rect), v[key]))
        paste_transparent(img, sat_h, knob_point(at(KNOB_SATURATION), v["sat"]))
        img.paste(picture(images[131], int(v["on"]), 16), at(ON_BUTTON)[:2])
        img.paste(picture(images[133], v["inp"], 18), at(INPUT_SWITCH)[:2])
        img.paste(picture(images[132], v["typ"], 18), at(TYPE_BUTTON)[:2])
        img.paste(picture(images[134], v["out"], 18), at(OUTPUT_SWITCH)[:2])
        img.paste(picture(images[137], v["num"], 16), at(NUMERATOR)[:2])
        img.paste(picture(images[138], v["den"], 16), at(DENOMINATOR)[:2])
        img.paste(picture(images[140], int(v["sync"] and v["on"]), 10), at(SYNC_BUTTON)[:2])
        tl, tt, tr, tb = at(TEMPO_FIELD)
        d.rectangle([tl, tt, tr - 1, tb - 1], fill=(0, 0, 0))
        d.text((tl + 2, tt + 2), v["tempo"], font=label_font, fill=INFO_TEXT)
        pl, pt, pr, pb = at(PAN_SLIDER)
        x = int((pr - pl - HANDLE_SIZE[0] - 1) * v["pan"]) + HANDLE_OFFSET[0]
        handle = images[129].crop((0, 0, 10, pb - pt - HANDLE_OFFSET[1]))
        paste_transparent(img, handle, (pl + x, pt + HANDLE_OFFSET[1]))
    x = int((DRY_SLIDER[2] - DRY_SLIDER[0] - HANDLE_SIZE[0] - 1) * 0.8) + HANDLE_OFFSET[0]
    handle = images[129].crop((0, 0, 10, 18))
    paste_transparent(img, handle, (DRY_SLIDER[0] + x, DRY_SLIDER[1] + HANDLE_OFFSET[1]))
    labels = [("Delay 1", 0, 0, WHITE), ("0.0 db", 2, 0, INFO_TEXT), ("-5.2 db", 0, 1, HIGHLIGHT_TEXT),
              ("39 L", 1, 1, INFO_TEXT), ("20%", 2, 1, INFO_TEXT), ("280Hz", 0, 2, INFO_TEXT),
              ("2300Hz", 1, 2, INFO_TEXT), ("18.1KHz", 2, 2, INFO_TEXT)]
    for text, col, row, colour in labels:
        x0, y0 = INFO_COLUMNS[col], INFO_ROWS[row]
        d.rectangle([x0, y0, x0 + INFO_CELL[0] - 1, y0 + INFO_CELL[1] - 1], fill=PANEL_TEAL)
        d.text((x0 + INFO_CELL[0] - 2, y0 + 1), text, font=label_font, fill=colour, anchor="ra")
    img.save(path)
    if images.get(130) is not None:
        with_about = img.copy()
        with_about.paste(images[130].convert("RGB"), ABOUT_AT)
        root, ext = os.path.splitext(path)
        with_about.save(root + "-about" + ext)


# ---------------------------------------------------------------- program icon

ICON_SIZE = 128


def draw_icon():
    """teskdelay's icon for desktop menus: the logo's echo mark, four bars
    fading out, one for each delay line, on a dark plate with the panels'
    rim; transparent around the plate's round corners."""
    n = ICON_SIZE
    icon = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    inset = 4
    plate = n - 2 * inset
    rim = vgradient((plate, plate), PANEL_LIGHT, PANEL_DARK).convert("RGBA")
    icon.paste(rim, (inset, inset), rounded_mask((plate, plate), 22))
    face = vgradient((plate - 4, plate - 4), PANEL_TOP, BASE_BOTTOM).convert("RGBA")
    icon.paste(face, (inset + 2, inset + 2), rounded_mask((plate - 4, plate - 4), 20))
    bar_width, pitch, middle = 14, 22, n // 2
    x = (n - 3 * pitch - bar_width) // 2
    for i, h in enumerate((80, 62, 44, 28)):
        colour = lerp(ACCENT, (44, 70, 74), i / 3.5)
        bar = Image.new("RGBA", (bar_width, h), colour + (255,))
        icon.paste(bar, (x, middle - h // 2), rounded_mask((bar_width, h), 4))
        x += pitch
    return icon


def draw_at(scale):
    """Every picture for `scale` (1, 1.5 or 2)."""
    global S
    S = 2 if scale == 1.5 else int(scale)
    try:
        images = build_all()
    finally:
        S = 1
    if scale == 1.5:
        images = {i: reduced(i, img, 2, 1.5) for i, img in images.items()}
    return images


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--scale", type=float, choices=(1, 1.5, 2), default=1,
                    help="draw for this scale (default 1)")
    ap.add_argument("--out", help="directory for 128.png ... 143.png (default: resources/, "
                    "or resources/1.5x or resources/2x for those scales)")
    ap.add_argument("--preview", metavar="FILE",
                    help="also write the editor as it looks when open (and FILE-about); scale 1 only")
    ap.add_argument("--icon", metavar="FILE",
                    help="write teskdelay's %dx%d icon to FILE instead of the bitmaps" %
                    (ICON_SIZE, ICON_SIZE))
    args = ap.parse_args()
    if args.icon:
        draw_icon().save(args.icon, optimize=True)
        print("draw_artwork: wrote the icon to %s" % args.icon)
        return
    if args.preview and args.scale != 1:
        ap.error("--preview draws the scale-1 editor")
    out = args.out or (here if args.scale == 1 else os.path.join(here, "%gx" % args.scale))
    images = draw_at(args.scale)
    os.makedirs(out, exist_ok=True)
    for bitmap_id, img in images.items():
        img.save(os.path.join(out, "%d.png" % bitmap_id), optimize=True)
    # Read back what was written: size and colour type are what the editor loads.
    for bitmap_id in images:
        with Image.open(os.path.join(out, "%d.png" % bitmap_id)) as back:
            back.load()
            check(bitmap_id, back, args.scale)
    if args.preview:
        preview(images, args.preview)
    print("draw_artwork: wrote %d bitmaps to %s" % (len(images), out))


if __name__ == "__main__":
    main()
