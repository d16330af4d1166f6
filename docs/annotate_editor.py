#!/usr/bin/env python3
"""Draws docs/manual-editor.png: the editor with numbered call-outs, for the manual.

    python3 docs/annotate_editor.py [--snapshot FILE] [--out FILE] [--build DIR]

Without --snapshot it first draws the editor with tesk-snapshot from the
release build (program 8, "Ping pong", host tempo 120), so run it after a
build; with --snapshot it annotates a picture tesk-snapshot made earlier.
The numbers match the legend in docs/manual.md: 1-15 the controls of a line
panel (marked on line 1; every line has the same), 16-23 the info panel's
fields (in an enlargement above the editor), 24 the dry level, 25 the logo.

The control rectangles come from one place, resources/draw_artwork.py (the
artwork is painted around them); before drawing, they are checked against the
layout in src/editor/delay_editor.cpp, and the script stops if the two
disagree. The info panel's fields and what each shows are read from that
file's info-label table. Needs Pillow (Debian: python3-pil) and the
Liberation fonts; the same snapshot always gives the same picture.
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SYSTEM_PYTHON = "/usr/bin/python3"

try:
    from PIL import Image, ImageDraw, ImageFont
except ImportError:
    # Debian's Pillow lives with the system interpreter; a python3 earlier on
    # PATH (pyenv, a virtualenv) may not have it.
    if os.path.realpath(sys.executable) != os.path.realpath(SYSTEM_PYTHON) and \
            os.path.exists(SYSTEM_PYTHON):
        os.execv(SYSTEM_PYTHON, [SYSTEM_PYTHON] + sys.argv)
    sys.exit("annotate_editor: needs Pillow (Debian: python3-pil)")

sys.path.insert(0, os.path.join(ROOT, "resources"))
sys.dont_write_bytecode = True  # no __pycache__ left in resources/
import draw_artwork as art  # noqa: E402  (the rectangles, fonts and colours)

EDITOR_SOURCE = os.path.join(ROOT, "src", "editor", "delay_editor.cpp")

SCALE = 2          # the editor is shown at twice its size
INSET_SCALE = 4    # the info panel at four times
SS = 4             # supersampling of the call-out discs
RADIUS = 11        # call-out disc radius, output pixels
GAP = 3            # between a control's edge and its call-out, output pixels
MARGIN = 16

CANVAS = (34, 37, 42)
BADGE = (255, 196, 0)
BADGE_RIM = (20, 20, 20)
BADGE_TEXT = (20, 20, 20)
GUIDE = (255, 196, 0)
LABEL = (206, 212, 220)

# The controls of a line panel in legend order: the rectangle's name in
# draw_artwork.py, the name of the same position in delay_editor.cpp, and the
# side of the control the call-out sits on.
LINE_CONTROLS = [
    (1, "ON_BUTTON", "kOnOffButton", "below"),
    (2, "INPUT_SWITCH", "kInputSwitch", "above"),
    (3, "TYPE_BUTTON", "kDelayTypeButton", "above"),
    (4, "KNOB_FEEDBACK", "kFeedbackKnob", "below"),
    (5, "OUTPUT_SWITCH", "kOutputSwitch", "above"),
    (6, "KNOB_SATURATION", "kSaturationKnob", "left"),
    (7, "TEMPO_FIELD", "kTempoField", "left"),
    (8, "SYNC_BUTTON", "kSyncButton", "left"),
    (9, "NUMERATOR", "kNumeratorSwitch", "above"),
    (10, "DENOMINATOR", "kDenominatorSwitch", "above"),
    (11, "KNOB_HP", "kHighPassKnob", "below"),
    (12, "KNOB_CROSS", "kCrossKnob", "below"),
    (13, "KNOB_LP", "kLowPassKnob", "right"),
    (14, "PAN_SLIDER", "kPanSlider", "left"),
    (15, "KNOB_VOLUME", "kVolumeKnob", "right"),
]
OTHER_CONTROLS = [
    (24, "DRY_SLIDER", "kDrySlider", "right"),
    (25, "LOGO", "kLogo", "inside right"),
]
# The info panel's fields by the value-to-text function the editor gives each
# label, in legend order.
INFO_FIELDS = [
    (16, "formatLineLabel"),
    (17, "formatVolumeDb"),
    (18, "formatFeedbackDb"),
    (19, "formatPan"),
    (20, "formatSaturation"),
    (21, "formatHighPassHz"),
    (22, "formatCrossHz"),
    (23, "formatLowPassKHz"),
]


def editor_layout():
    """The positions delay_editor.cpp declares: name -> (left, top[, right, bottom]),
    and its info labels: value-to-text function -> rectangle."""
    with open(EDITOR_SOURCE, encoding="utf-8") as f:
        text = f.read()
    places = {}
    for kind, name, numbers in re.findall(
            r"constexpr\s+(Rect|Point)\s+(k\w+)\s*\{([-\d,\s]+)\}", text):
        places[name] = tuple(int(v) for v in numbers.split(","))
    info = {}
    for numbers, function in re.findall(
            r"\{\{([-\d,\s]+)\},\s*k\w+,\s*(format\w+)\}", text):
        info[function] = tuple(int(v) for v in numbers.split(","))
    return places, info


def checked_rectangles():
    """draw_artwork.py's rectangles, after checking them against the editor."""
    places, info = editor_layout()
    rects = {}
    for _, art_name, editor_name, _ in LINE_CONTROLS + OTHER_CONTROLS:
        rect = getattr(art, art_name)
        if editor_name not in places:
            sys.exit("annotate_editor: %s declares no %s" % (EDITOR_SOURCE, editor_name))
        place = places[editor_name]
        # A Point gives the top-left corner; the size comes from the bitmap.
        if tuple(rect[:len(place)]) != place:
            sys.exit("annotate_editor: %s is %s in draw_artwork.py but %s in delay_editor.cpp"
                     % (art_name, rect, place))
        rects[art_name] = rect
    cells = {}
    for _, function in INFO_FIELDS:
        if function not in info:
            sys.exit("annotate_editor: the editor's info labels have no %s" % function)
        left, top, right, bottom = info[function]
        if left not in art.INFO_COLUMNS or top not in art.INFO_ROWS or \
                (right - left, bottom - top) != art.INFO_CELL:
            sys.exit("annotate_editor: info label %s at %s is not a cell of draw_artwork.py's grid"
                     % (function, info[function]))
        cells[function] = info[function]
    return rects, cells


def snapshot(build, path):
    tool = os.path.join(build, "tools", "snapshot", "tesk-snapshot")
    if not os.access(tool, os.X_OK):
        sys.exit("annotate_editor: no %s; build the release preset first, or give --snapshot" % tool)
    subprocess.run([tool, "--program", "8", "--tempo", "120", path], check=True,
                   stdout=subprocess.DEVNULL)


def badge(number):
    """A numbered disc with its alpha, RADIUS in output pixels."""
    size = 2 * RADIUS + 2
    big = Image.new("RGBA", (size * SS, size * SS), (0, 0, 0, 0))
    d = ImageDraw.Draw(big)
    c = size * SS / 2.0
    r = RADIUS * SS
    d.ellipse([c - r, c - r, c + r, c + r], fill=BADGE_RIM + (255,))
    r -= int(1.5 * SS)
    d.ellipse([c - r, c - r, c + r, c + r], fill=BADGE + (255,))
    f = ImageFont.truetype(os.path.join(art.FONT_DIR, "LiberationSans-Bold.ttf"),
                           (13 if number < 10 else 12) * SS)
    d.text((c, c + 0.5 * SS), str(number), font=f, fill=BADGE_TEXT + (255,), anchor="mm")
    return big.resize((size, size), Image.LANCZOS)


def put_badge(canvas, number, centre):
    disc = badge(number)
    x = int(round(centre[0] - disc.width / 2.0))
    y = int(round(centre[1] - disc.height / 2.0))
    canvas.paste(disc, (x, y), disc)


def beside(rect, side, scale, origin):
    """The centre of a call-out on one side of rect (editor pixels), in output pixels."""
    left, top, right, bottom = (v * scale for v in rect)
    ox, oy = origin
    d = RADIUS + GAP
    if side == "left":
        return ox + left - d, oy + (top + bottom) / 2.0
    if side == "right":
        return ox + right + d, oy + (top + bottom) / 2.0
    if side == "inside right":
        return ox + right - d, oy + (top + bottom) / 2.0
    if side == "above":
        return ox + (left + right) / 2.0, oy + top - d
    return ox + (left + right) / 2.0, oy + bottom + d


def dashed_line(d, a, b, fill, dash=6, width=1):
    (x0, y0), (x1, y1) = a, b
    length = ((x1 - x0) ** 2 + (y1 - y0) ** 2) ** 0.5
    steps = max(1, int(length // dash))
    for i in range(0, steps, 2):
        t0, t1 = i / steps, min(1.0, (i + 1) / steps)
        d.line([(x0 + (x1 - x0) * t0, y0 + (y1 - y0) * t0),
                (x0 + (x1 - x0) * t1, y0 + (y1 - y0) * t1)], fill=fill, width=width)


def annotate(editor, rects, cells):
    if editor.size != (art.WIDTH, art.HEIGHT):
        sys.exit("annotate_editor: the snapshot is %dx%d, not the editor's %dx%d"
                 % (editor.size + (art.WIDTH, art.HEIGHT)))
    editor = editor.convert("RGB")
    box_l, box_t, box_r, box_b = art.INFO_BOX
    inset_w = (box_r - box_l) * INSET_SCALE
    inset_h = (box_b - box_t) * INSET_SCALE
    width = art.WIDTH * SCALE + 2 * MARGIN
    inset_top = MARGIN
    editor_top = inset_top + inset_h + 3 * MARGIN
    height = editor_top + art.HEIGHT * SCALE + MARGIN
    canvas = Image.new("RGB", (width, height), CANVAS)
    origin = (MARGIN, editor_top)
    canvas.paste(editor.resize((art.WIDTH * SCALE, art.HEIGHT * SCALE), Image.NEAREST), origin)

    # The info panel, enlarged above the editor and tied to it by guide lines.
    inset = editor.crop(art.INFO_BOX).resize((inset_w, inset_h), Image.NEAREST)
    inset_left = width - MARGIN - inset_w
    canvas.paste(inset, (inset_left, inset_top))
    d = ImageDraw.Draw(canvas)
    box = [origin[0] + box_l * SCALE, origin[1] + box_t * SCALE,
           origin[0] + box_r * SCALE, origin[1] + box_b * SCALE]
    d.rectangle([box[0] - 2, box[1] - 2, box[2] + 1, box[3] + 1], outline=GUIDE)
    d.rectangle([inset_left - 2, inset_top - 2, inset_left + inset_w + 1, inset_top + inset_h + 1],
                outline=GUIDE)
    dashed_line(d, (inset_left - 2, inset_top + inset_h + 1), (box[0] - 2, box[1] - 2), GUIDE)
    dashed_line(d, (inset_left + inset_w + 1, inset_top + inset_h + 1), (box[2] + 1, box[1] - 2),
                GUIDE)
    f = ImageFont.truetype(os.path.join(art.FONT_DIR, "LiberationSans-Bold.ttf"), 15)
    d.text((MARGIN, inset_top + 4), "Info panel,", font=f, fill=LABEL)
    d.text((MARGIN, inset_top + 24), "enlarged", font=f, fill=LABEL)

    for number, function in INFO_FIELDS:
        left, top, _, bottom = cells[function]
        # On the cell's left edge: the values are right-aligned, and the
        # column to the left ends well before it.
        x = inset_left + (left - box_l) * INSET_SCALE + 4
        y = inset_top + (top - box_t) * INSET_SCALE + (bottom - top) * INSET_SCALE / 2.0
        put_badge(canvas, number, (x, y))
    for number, art_name, _, side in LINE_CONTROLS + OTHER_CONTROLS:
        put_badge(canvas, number, beside(rects[art_name], side, SCALE, origin))
    return canvas


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--snapshot", metavar="FILE",
                    help="a PNG tesk-snapshot wrote (default: make one with the release build)")
    ap.add_argument("--build", default=os.path.join(ROOT, "build", "release"),
                    help="the build folder whose tesk-snapshot draws the editor")
    ap.add_argument("--out", default=os.path.join(HERE, "manual-editor.png"),
                    help="the annotated picture (default: docs/manual-editor.png)")
    args = ap.parse_args()
    rects, cells = checked_rectangles()
    if args.snapshot:
        editor = Image.open(args.snapshot)
    else:
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "editor.png")
            snapshot(args.build, path)
            editor = Image.open(path)
            editor.load()
    annotate(editor, rects, cells).save(args.out, optimize=True)
    print("annotate_editor: wrote %s" % args.out)


if __name__ == "__main__":
    main()
