#!/usr/bin/python3
"""Prints the contrast ratio (WCAG 2) of a mark against its panel in a
screenshot of the icon: the panel's colour is the top-left pixel, the mark's
the pixel that differs most from it in luminance.

    convert icon.png txt:- | contrast.py
"""
import re
import sys


def luminance(rgb):
    def linear(c):
        c /= 255.0
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (linear(c) for c in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


pixels = [tuple(int(v) for v in m.groups())
          for m in re.finditer(r"^\d+,\d+: \((\d+),(\d+),(\d+)", sys.stdin.read(), re.M)]
panel = luminance(pixels[0])
mark = max((luminance(p) for p in pixels), key=lambda l: abs(l - panel))
print("%.2f" % ((max(panel, mark) + 0.05) / (min(panel, mark) + 0.05)))
