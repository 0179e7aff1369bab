#!/usr/bin/python3
"""Prints where something is drawn on a plain panel in a screenshot of it: the
box (x y width height, in the screenshot's pixels) around every pixel that
differs from the top-left one, the panel's colour, by more than a trace.
Prints nothing when the panel is empty.

    convert panel.png txt:- | item_box.py
"""
import re
import sys

pixels = [tuple(int(v) for v in m.groups())
          for m in re.finditer(r"^(\d+),(\d+): \((\d+),(\d+),(\d+)", sys.stdin.read(), re.M)]
panel = pixels[0][2:]
drawn = [(x, y) for x, y, *rgb in pixels if max(abs(a - b) for a, b in zip(rgb, panel)) > 48]
if drawn:
    xs = [x for x, _ in drawn]
    ys = [y for _, y in drawn]
    print(min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)
