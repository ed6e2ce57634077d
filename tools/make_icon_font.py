#!/usr/bin/env python3
"""Makes the fallback icon font "Quillet Icons" from Material Icons.

Keeps only the glyphs the program draws, puts each at the code point the
program draws it at (theme/icon_glyphs.txt: code point, Material icon name),
and renames the family. The output is the same bytes for the same inputs.

Usage: make_icon_font.py --font MaterialIcons-Regular.ttf
                         --names _variables.scss --map icon_glyphs.txt
                         --out quillet-icons.ttf [--family "Quillet Icons"]

Needs fontTools (Debian: python3-fonttools).
"""
import argparse
import re
import sys

from fontTools import subset
from fontTools.ttLib import TTFont, newTable
from fontTools.ttLib.tables._c_m_a_p import CmapSubtable


def read_map(path):
    """[(code point, icon name)] from the lines "HEX name [meaning]"."""
    entries = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            parts = line.split()
            if len(parts) < 2:
                sys.exit(f"{path}:{number}: expected a code point and an icon name")
            entries.append((int(parts[0], 16), parts[1]))
    code_points = [cp for cp, _ in entries]
    if len(set(code_points)) != len(code_points):
        sys.exit(f"{path}: a code point is listed twice")
    return entries


def read_names(path):
    """{icon name: Material code point} from the lines '"name": hex,'."""
    names = {}
    with open(path, encoding="utf-8") as f:
        for m in re.finditer(r'"([a-z0-9_]+)"\s*:\s*([0-9a-fA-F]+)', f.read()):
            names[m.group(1)] = int(m.group(2), 16)
    return names


def cmap_subtable(fmt, platform, encoding, mapping):
    t = CmapSubtable.newSubtable(fmt)
    t.platformID, t.platEncID, t.language = platform, encoding, 0
    t.cmap = dict(mapping)
    return t


def set_names(font, family):
    """Family, style, full and PostScript names; the copyright stays."""
    postscript = family.replace(" ", "") + "-Regular"
    values = {1: family, 2: "Regular", 3: postscript, 4: family, 6: postscript}
    name = font["name"]
    keep = [r for r in name.names if r.nameID not in values and r.nameID not in (16, 17, 21, 22)]
    name.names = keep
    for name_id, text in values.items():
        name.setName(text, name_id, 3, 1, 0x409)
        name.setName(text, name_id, 1, 0, 0)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--font", required=True)
    ap.add_argument("--names", required=True)
    ap.add_argument("--map", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--family", default="Quillet Icons")
    args = ap.parse_args()

    entries = read_map(args.map)
    names = read_names(args.names)
    font = TTFont(args.font, recalcTimestamp=False)
    source_cmap = font.getBestCmap()

    glyph_of = {}
    for cp, icon in entries:
        if icon not in names:
            sys.exit(f"{args.map}: {icon} is no Material icon")
        glyph = source_cmap.get(names[icon])
        if glyph is None:
            sys.exit(f"{args.font}: no glyph for {icon} (U+{names[icon]:04X})")
        glyph_of[cp] = glyph

    options = subset.Options()
    options.layout_features = []        # no ligatures: the names are not typed
    options.name_IDs = ["*"]
    options.name_legacy = True
    options.name_languages = ["*"]
    options.notdef_outline = False      # a code point without a glyph draws nothing
    options.recalc_timestamp = False
    options.glyph_names = True
    subsetter = subset.Subsetter(options)
    subsetter.populate(glyphs=sorted(set(glyph_of.values())))
    subsetter.subset(font)

    for tag in ("GSUB", "GPOS", "GDEF"):
        if tag in font:
            del font[tag]

    bmp = {cp: g for cp, g in glyph_of.items() if cp <= 0xFFFF}
    cmap = newTable("cmap")
    cmap.tableVersion = 0
    cmap.tables = [cmap_subtable(4, 3, 1, bmp), cmap_subtable(12, 3, 10, glyph_of)]
    font["cmap"] = cmap

    os2 = font["OS/2"]
    os2.usFirstCharIndex = min(min(glyph_of), 0xFFFF)
    os2.usLastCharIndex = min(max(glyph_of), 0xFFFF)
    os2.recalcUnicodeRanges(font)
    os2.ulCodePageRange1 = 1           # Latin 1: GDI offers the face for DEFAULT_CHARSET
    os2.ulCodePageRange2 = 0
    set_names(font, args.family)
    font.save(args.out)


if __name__ == "__main__":
    main()
