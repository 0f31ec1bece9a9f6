#!/usr/bin/env python3
"""Builds the seven HUD theme packages that the program carries as resources.

Usage: make_packages.py OUTPUT_FOLDER

Writes _JDDTB2.zip ... _ZQ2UI.zip and theme_packages.rc (the RCDATA lines
101..107 that name them) into OUTPUT_FOLDER. Everything is generated from
this script alone: HUD element layouts as INI text, TGA texture atlases and
DDS textures, each file exactly the size the theme's file list gives. The
output depends on nothing but this script (and zlib's deflate), so two runs
give the same bytes.

Each texture is a theme-tinted pattern with bands of fine grain; how much
grain goes into a package decides how well it compresses, and it is set so
that every package lands near its intended packed size.
"""

import hashlib
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------------------
# The packages: file name, intended packed size, look, dates, entries.
# An entry is a folder "X/" or (file name, unpacked size).

T1_ELEMENTS = [
    ("CenterHUD_AbilitiesSpell0.INI", 3943), ("CenterHUD_AbilitiesSpell1.INI", 3969),
    ("CenterHUD_AbilitiesSpell2.INI", 3965), ("CenterHUD_AbilitiesSpell3.INI", 3999),
    ("CenterHUD_AbilitiesSpellPassive.INI", 1661), ("CenterHUD_AbilitiesSpellRecall.INI", 1594),
    ("CenterHUD_AbilitiesSpellSummoner0.INI", 3345), ("CenterHUD_AbilitiesSpellSummoner1.INI", 3347),
    ("CenterHUD_BG.INI", 1571), ("CenterHUD_Buffs.INI", 46523), ("CenterHUD_LevelUpBar.INI", 6750),
    ("ChampionLeft.ini", 20914), ("ChampionLeft_Stats.ini", 8342), ("ChampionRight_Stats.ini", 5060),
    ("MinimapLeft.INI", 8319), ("MinimapRight.INI", 8354), ("VisionSlot.ini", 3112),
]


def foundry_textures(last_name):
    return [
        ("FoundryItemShop_I1.dds", 2796368), ("FoundryItemShop_I112.dds", 43856),
        ("FoundryItemShop_I4.dds", 349840), ("FoundryItemShop_I42.dds", 174928),
        ("FoundryItemShop_I66.dds", 174928), ("FoundryItemShop_I7.dds", 1398256),
        ("FoundryItemShop_I7B.dds", 5616), ("FoundryItemShop_IB4.dds", 5616),
        ("FoundryOptions_I1.dds", 1398256), ("FoundryOptions_I13.dds", 2796368),
        ("FoundryOptions_I6.dds", 1398256), ("Scoreboard_I3E.dds", 87696),
        ("Scoreboard_I3F.dds", 1048704), (last_name, 1398256),
    ]


SMALL_ELEMENTS = [("CenterHUD_BG.ini", 1115), ("ChampionLeft.ini", 20914),
                  ("ChampionLeft_Stats.ini", 8192)]

CHARACTER_INFO = ["characterinfo_i72.dds", "characterinfo_i73.dds", "characterinfo_i75.dds",
                  "characterinfo_i76.dds", "characterinfo_i78.dds", "characterinfo_i79.dds",
                  "characterinfo_i7e.dds", "characterinfo_i7f.dds"]


def zs2_textures():
    return ([(name, 8320) for name in CHARACTER_INFO] + [
        ("characterinfo_i94.dds", 262272), ("foundryitemshop_i1.dds", 1048704),
        ("foundryitemshop_i4.dds", 131200), ("foundryitemshop_i7.dds", 524416),
        ("foundryoptions_i1.dds", 524416), ("foundryoptions_i13.dds", 1048704),
        ("foundryoptions_i6.dds", 524416), ("messagebox.dds", 65664)])


def zq_textures():
    return ([(name, 65664) for name in CHARACTER_INFO] + [
        ("characterinfo_i94.dds", 2097280), ("foundryitemshop_i1.dds", 8388736),
        ("foundryitemshop_i4.dds", 1048704), ("foundryitemshop_i7.dds", 4194432),
        ("foundryoptions_i1.dds", 4194432), ("foundryoptions_i13.dds", 8388736),
        ("foundryoptions_i6.dds", 4194432)])


def zq_entries(atlas_size, messagebox_size):
    return (["DATA/Menu/", "DATA/Menu/HUD/", "DATA/Menu/HUD/Elements/"] + SMALL_ELEMENTS +
            ["DATA/Menu/textures/", ("hudatlas.tga", atlas_size), ("messagebox.tga", messagebox_size),
             "DATA/Menu_SC4/"] + zq_textures())


# tint (R, G, B), pattern, pattern period, first date (y, m, d, h, min)
THEMES = [
    ("_JDDTB2.zip", 680959, (212, 170, 60), "checker", 32, (2013, 4, 18, 21, 7),
     ["Data/Menu/", "Data/Menu/HUD/", "Data/Menu/HUD/Elements/"] + T1_ELEMENTS +
     ["Data/Menu/Textures/", ("HUDAtlas.tga", 4194348), "Data/Menu_SC4/"] +
     foundry_textures("Scoreboard_I6.DDS")),
    ("_ZdjjUI.zip", 880166, (70, 140, 220), "diagonal", 48, (2012, 12, 9, 14, 32),
     ["Data/Menu/", "Data/Menu/Textures/", ("hudatlas.tga", 4194348)]),
    ("_HKUI5.2.zip", 920955, (150, 60, 200), "frames", 64, (2013, 9, 27, 23, 41),
     ["DATA/Menu/", "DATA/Menu/HUD/", "DATA/Menu/HUD/Elements/",
      ("CenterHUD_BG.ini", 1571), ("ChampionLeft.ini", 20914), ("ChampionLeft_Stats.ini", 8342),
      ("ChampionRight_Stats.ini", 5060), ("VisionSlot.ini", 3112),
      "DATA/Menu/Textures/", ("HUDAtlas.tga", 4194348), "DATA/Menu_SC4/"] +
     foundry_textures("Scoreboard_I6.dds")),
    ("_MNUI.zip", 1158071, (200, 40, 35), "stripes", 24, (2014, 1, 26, 10, 15),
     ["Data/Menu/", "Data/Menu/HUD/", "Data/Menu/HUD/Elements/"] + SMALL_ELEMENTS +
     ["Data/Menu/Textures/", ("HUDAtlas.tga", 4194348)]),
    ("_ZS2UI.zip", 1477208, (60, 170, 90), "grid", 40, (2014, 2, 21, 16, 52),
     ["Data/Menu/", "Data/Menu/HUD/", "Data/Menu/HUD/Elements/"] + SMALL_ELEMENTS +
     ["Data/Menu/Textures/", ("HUDAtlas.tga", 1590489), "Data/Menu_SC4/"] + zs2_textures()),
    ("_ZQUI.zip", 1800219, (230, 190, 120), "diamonds", 56, (2014, 3, 8, 19, 3),
     zq_entries(1323119, 91674)),
    ("_ZQ2UI.zip", 1679363, (40, 200, 210), "waves", 36, (2014, 3, 22, 9, 28),
     zq_entries(1302512, 75622)),
]

RC_FIRST_ID = 101  # IDR_THEME_PACKAGE_BASE + 1


# ---------------------------------------------------------------------------
# Deterministic randomness: a small xorshift for layout numbers, SHAKE-256
# for bulk grain bytes.

class Numbers:
    def __init__(self, seed):
        self.state = (seed * 0x9E3779B97F4A7C15 + 0x632BE59BD9B4E019) & (2**64 - 1) or 1

    def below(self, n):
        x = self.state
        x ^= (x << 13) & (2**64 - 1)
        x ^= x >> 7
        x ^= (x << 17) & (2**64 - 1)
        self.state = x
        return x % n

    def pick(self, items):
        return items[self.below(len(items))]


def grain_bytes(label, count):
    return hashlib.shake_256(label.encode("ascii")).digest(count)


def seed_of(text):
    return int.from_bytes(hashlib.sha256(text.encode("ascii")).digest()[:8], "little")


# ---------------------------------------------------------------------------
# HUD element layouts (INI text, CR LF lines).

ELEMENT_KINDS = ["Icon", "Frame", "Text", "Bar", "Button", "Backdrop", "Cooldown", "Border"]
ANCHORS = ["TopLeft", "TopCenter", "TopRight", "CenterLeft", "Center", "CenterRight",
           "BottomLeft", "BottomCenter", "BottomRight"]
FONTS = ["Arial_12", "Arial_14_Bold", "Tahoma_10", "Tahoma_11_Shadow", "Verdana_9"]


def layout_text(theme_index, name, size, tint):
    stem = name.rsplit(".", 1)[0]
    numbers = Numbers(seed_of("%d/%s" % (theme_index, name)))
    lines = ["; %s - HUD element layout" % stem,
             "; theme %d, tint %d,%d,%d" % (theme_index + 1, tint[0], tint[1], tint[2]),
             "",
             "[Layout]",
             "Name=%s" % stem,
             "Version=%d" % (3 + theme_index % 2),
             "ReferenceResolution=1024,768",
             "Atlas=HUDAtlas.tga",
             ""]
    body = "\r\n".join(lines) + "\r\n"
    element = 0
    # Leave room for the closing comment line, which takes up the rest.
    while True:
        kind = numbers.pick(ELEMENT_KINDS)
        w, h = 8 + numbers.below(15) * 8, 8 + numbers.below(9) * 8
        u, v = numbers.below((1024 - w) // 16) * 16, numbers.below((1024 - h) // 16) * 16
        section = [
            "[%s_%s%d]" % (stem, kind, element),
            "Type=%s" % kind,
            "Anchor=%s" % numbers.pick(ANCHORS),
            "Position=%d,%d" % (numbers.below(512) - 256, numbers.below(384) - 192),
            "Size=%d,%d" % (w, h),
            "TextureRect=%d,%d,%d,%d" % (u, v, u + w, v + h),
            "Color=%d,%d,%d,%d" % (tint[0], tint[1], tint[2], 160 + numbers.below(96)),
            "Layer=%d" % numbers.below(8),
        ]
        if kind == "Text":
            section.append("Font=%s" % numbers.pick(FONTS))
            section.append("Align=%s" % numbers.pick(["Left", "Center", "Right"]))
        elif kind in ("Bar", "Cooldown"):
            section.append("FillDirection=%s" % numbers.pick(["LeftToRight", "BottomToTop", "Radial"]))
            section.append("FillColor=%d,%d,%d,255" % (tint[2], tint[0], tint[1]))
        elif kind == "Button":
            section.append("HoverRect=%d,%d,%d,%d" % (u + w, v, u + 2 * w, v + h))
            section.append("PressedRect=%d,%d,%d,%d" % (u + 2 * w, v, u + 3 * w, v + h))
        section.append("Visible=%d" % (1 if numbers.below(6) else 0))
        text = "\r\n".join(section) + "\r\n\r\n"
        if len(body) + len(text) > size - 48:
            break
        body += text
        element += 1
    closing = "; end of %s, %d elements" % (stem, element)
    remaining = size - len(body) - 2  # the closing line's CR LF
    closing = (closing + " " + "-" * remaining)[:remaining]
    body += closing + "\r\n"
    data = body.encode("ascii")
    assert len(data) == size, (name, len(data), size)
    return data


# ---------------------------------------------------------------------------
# Pixel patterns. A row of an image is a small tile repeated; tiles depend on
# the row's phase within the pattern's period.

def clamp(value):
    return 0 if value < 0 else 255 if value > 255 else value


def pattern_level(kind, period, x, y):
    """Brightness 0..255 of the theme's pattern at (x, y)."""
    half = period // 2
    if kind == "checker":
        on = ((x // half) + (y // half)) % 2 == 0
        return 220 if on else 90
    if kind == "diagonal":
        return 80 + ((x + y) % period) * 160 // period
    if kind == "frames":
        d = min(x % period, y % period, period - 1 - x % period, period - 1 - y % period)
        return 230 if d < 3 else 110 + d * 4
    if kind == "stripes":
        return 210 if (x // 4) % (period // 4) < 2 else 100
    if kind == "grid":
        return 235 if x % period < 2 or y % period < 2 else 95 + (x % period)
    if kind == "diamonds":
        d = abs(x % period - half) + abs(y % period - half)
        return 240 - d * 150 // period
    if kind == "waves":
        offset = (y * 3) % period
        return 90 + abs(((x + offset) % period) - half) * 280 // period
    raise ValueError(kind)


class Look:
    def __init__(self, tint, kind, period):
        self.tint, self.kind, self.period = tint, kind, period
        self._bgra = {}
        self._blocks = {}

    def bgra_tile(self, y, alpha):
        """`period` pixels of B, G, R, A for row phase y."""
        key = (y % self.period, alpha)
        tile = self._bgra.get(key)
        if tile is None:
            out = bytearray()
            for x in range(self.period):
                level = pattern_level(self.kind, self.period, x, key[0])
                r, g, b = (clamp(c * level // 200) for c in self.tint)
                out += bytes((b, g, r, alpha))
            tile = self._bgra[key] = bytes(out)
        return tile

    def block_tile(self, by, block_size):
        """`period` DXT blocks (8 bytes DXT1, 16 bytes DXT5) for block row by."""
        key = (by % self.period, block_size)
        tile = self._blocks.get(key)
        if tile is None:
            out = bytearray()
            for bx in range(self.period):
                level = pattern_level(self.kind, self.period, bx * 4, key[0] * 4)
                r, g, b = (clamp(c * level // 200) for c in self.tint)
                c0 = ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)
                r2, g2, b2 = (clamp(c * 7 // 8) for c in (r, g, b))
                c1 = ((r2 >> 3) << 11) | ((g2 >> 2) << 5) | (b2 >> 3)
                if c0 <= c1:
                    c0, c1 = max(c0, c1), min(c0, c1)
                    if c0 == c1:
                        c1 = c0 - 1 if c0 else 0
                colour = struct.pack("<HH", c0, c1) + b"\x00\x50\xa0\xf0"
                if block_size == 16:
                    out += bytes((255, 208)) + b"\x00" * 6 + colour
                else:
                    out += colour
            tile = self._blocks[key] = bytes(out)
        return tile


def repeat_to(tile, length):
    return (tile * (length // len(tile) + 1))[:length]


def grain_rows(rows, lane_mask, budget, label):
    """XORs grain into evenly spread rows until about `budget` grain bytes.

    `lane_mask` is one row's mask: which bits of which bytes take grain."""
    if not rows or budget <= 0:
        return rows
    row_len = len(rows[0])
    per_row = sum(bin(b).count("1") for b in lane_mask) / 8.0
    count = min(len(rows), int(round(budget / per_row)))
    if count <= 0:
        return rows
    noise = grain_bytes(label, count * row_len)
    mask = int.from_bytes(lane_mask, "little")
    total = len(rows)
    out = list(rows)
    for k in range(count):
        j = (2 * k + 1) * total // (2 * count)
        chunk = int.from_bytes(noise[k * row_len:(k + 1) * row_len], "little")
        value = int.from_bytes(out[j], "little") ^ (chunk & mask)
        out[j] = value.to_bytes(row_len, "little")
    return out


BGRA_GRAIN = b"\x1f\x1f\x1f\x00"
DXT1_GRAIN = b"\x00\x00\x00\x00\xff\xff\xff\xff"
DXT5_GRAIN = b"\x00\x00\xff\xff\xff\xff\xff\xff\x00\x00\x00\x00\xff\xff\xff\xff"


def bgra_image(look, width, height, budget, label, alpha=255):
    rows = [repeat_to(look.bgra_tile(y, alpha), width * 4) for y in range(height)]
    return grain_rows(rows, repeat_to(BGRA_GRAIN, width * 4), budget, label)


def block_image(look, width, height, block_size, budget, label):
    bw, bh = max(1, (width + 3) // 4), max(1, (height + 3) // 4)
    rows = [repeat_to(look.block_tile(by, block_size), bw * block_size) for by in range(bh)]
    lane = DXT5_GRAIN if block_size == 16 else DXT1_GRAIN
    return grain_rows(rows, repeat_to(lane, bw * block_size), budget, label)


# ---------------------------------------------------------------------------
# DDS: a 128-byte header and the surface with its mip levels.

DDSD_CAPS, DDSD_HEIGHT, DDSD_WIDTH, DDSD_PITCH = 0x1, 0x2, 0x4, 0x8
DDSD_PIXELFORMAT, DDSD_MIPMAPCOUNT, DDSD_LINEARSIZE = 0x1000, 0x20000, 0x80000
DDPF_ALPHAPIXELS, DDPF_FOURCC, DDPF_RGB = 0x1, 0x4, 0x40
DDSCAPS_COMPLEX, DDSCAPS_TEXTURE, DDSCAPS_MIPMAP = 0x8, 0x1000, 0x400000
DDS_FORMATS = {"DXT5": 16, "A8R8G8B8": 4, "DXT1": 8}  # block bytes, or bytes per pixel


def level_size(fmt, width, height):
    if fmt == "A8R8G8B8":
        return width * height * 4
    return max(1, (width + 3) // 4) * max(1, (height + 3) // 4) * DDS_FORMATS[fmt]


def full_chain(width, height):
    levels = 1
    while width > 1 or height > 1:
        width, height, levels = max(1, width // 2), max(1, height // 2), levels + 1
    return levels


def chain_size(fmt, width, height, levels):
    total = 0
    for _ in range(levels):
        total += level_size(fmt, width, height)
        width, height = max(1, width // 2), max(1, height // 2)
    return total


def dds_layout(payload):
    """Format, width, height and mip count whose surface is exactly `payload` bytes.

    Prefers a full mip chain, then the squarest surface, then DXT5, A8R8G8B8, DXT1."""
    best = None
    for rank, fmt in enumerate(DDS_FORMATS):
        for a in range(13):
            for b in range(13):
                width, height = 1 << a, 1 << b
                full = full_chain(width, height)
                for levels in range(1, full + 1):
                    if chain_size(fmt, width, height, levels) != payload:
                        continue
                    key = (levels != full, abs(a - b), rank, -a)
                    if best is None or key < best[0]:
                        best = (key, fmt, width, height, levels)
    if best is None:
        raise ValueError("no DDS surface of %d bytes" % payload)
    return best[1:]


def dds_file(look, size, budget, label):
    fmt, width, height, levels = dds_layout(size - 128)
    flags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT
    caps = DDSCAPS_TEXTURE
    if levels > 1:
        flags |= DDSD_MIPMAPCOUNT
        caps |= DDSCAPS_COMPLEX | DDSCAPS_MIPMAP
    if fmt == "A8R8G8B8":
        flags |= DDSD_PITCH
        pitch = width * 4
        pixel_format = struct.pack("<II4sIIIII", 32, DDPF_RGB | DDPF_ALPHAPIXELS, b"\0\0\0\0",
                                   32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)
    else:
        flags |= DDSD_LINEARSIZE
        pitch = level_size(fmt, width, height)
        pixel_format = struct.pack("<II4sIIIII", 32, DDPF_FOURCC, fmt.encode("ascii"), 0, 0, 0, 0, 0)
    header = (b"DDS " + struct.pack("<IIIIIII", 124, flags, height, width, pitch, 0, levels) +
              b"\0" * 44 + pixel_format + struct.pack("<IIIII", caps, 0, 0, 0, 0))
    assert len(header) == 128
    parts = [header]
    w, h = width, height
    total = chain_size(fmt, width, height, levels)
    for level in range(levels):
        share = budget * level_size(fmt, w, h) / total
        tag = "%s#%d" % (label, level)
        if fmt == "A8R8G8B8":
            parts += bgra_image(look, w, h, share, tag)
        else:
            parts += block_image(look, w, h, DDS_FORMATS[fmt], share, tag)
        w, h = max(1, w // 2), max(1, h // 2)
    data = b"".join(parts)
    assert len(data) == size, (label, len(data), size)
    return data


# ---------------------------------------------------------------------------
# TGA: 18-byte header, image, 26-byte version 2 footer. A 32-bit image whose
# exact size fits is stored plainly; otherwise the atlas is run-length coded
# (sprite rows as raw packets, empty rows as runs) to the exact size.

TGA_FOOTER = struct.pack("<II", 0, 0) + b"TRUEVISION-XFILE.\0"


def tga_header(image_type, width, height):
    # no colour map, 32 bits per pixel, 8 alpha bits, top-left origin
    return struct.pack("<BBBHHBHHHHBB", 0, 0, image_type, 0, 0, 0, 0, 0, width, height, 32, 0x28)


def rle_row(pixels, raw_count, splits, background):
    """One row: `raw_count` pixels as raw packets (split into extra packets
    `splits` times), the rest of the row as runs of `background`."""
    width = len(pixels) // 4
    out = bytearray()
    # raw packets of at most 128 pixels; each extra split adds one header byte
    sizes = []
    left = raw_count
    while left > 0:
        n = min(128, left)
        sizes.append(n)
        left -= n
    while splits > 0:
        i = max(range(len(sizes)), key=lambda k: sizes[k])
        n = sizes[i]
        take = min(splits, n - 1)
        if take <= 0:
            raise ValueError("cannot split raw packets further")
        sizes[i:i + 1] = [n - take] + [1] * take
        splits -= take
    at = 0
    for n in sizes:
        out.append(n - 1)
        out += pixels[at * 4:(at + n) * 4]
        at += n
    left = width - raw_count
    while left > 0:
        n = min(128, left)
        out.append(0x80 | (n - 1))
        out += background
        left -= n
    return bytes(out)


def rle_row_size(width, raw_count):
    runs = width - raw_count
    return 4 * raw_count + (raw_count + 127) // 128 + 5 * ((runs + 127) // 128)


def tga_file(look, size, budget, label):
    stream = size - 18 - 26
    if stream == 1024 * 1024 * 4:
        rows = bgra_image(look, 1024, 1024, budget, label)
        data = tga_header(2, 1024, 1024) + b"".join(rows) + TGA_FOOTER
        assert len(data) == size
        return data
    # Run-length coded: the smallest power-of-two surface that can hold the stream.
    width, height = 64, 64
    while rle_row_size(width, width) * height < stream:
        if width <= height:
            width *= 2
        else:
            height *= 2
    full_row = rle_row_size(width, width)
    empty_row = rle_row_size(width, 0)
    # Sprite rows (all raw) and empty rows (all runs), then one partial row
    # that takes up the remainder exactly.
    sprite_rows = (stream - height * empty_row) // (full_row - empty_row)
    sprite_rows = min(sprite_rows, height - 1)
    rest = stream - sprite_rows * full_row - (height - sprite_rows - 1) * empty_row
    partial = None
    for raw_count in range(width, -1, -1):
        base = rle_row_size(width, raw_count)
        headroom = raw_count - (raw_count + 127) // 128
        if base <= rest <= base + headroom:
            partial = (raw_count, rest - base)
            break
    if partial is None:
        raise ValueError("cannot code %s to %d bytes" % (label, size))
    pixels = bgra_image(look, width, sprite_rows + 1, budget, label)
    background = bytes((look.tint[2] // 6, look.tint[1] // 6, look.tint[0] // 6, 0))
    # Sprite rows spread evenly over the atlas; the partial row comes last.
    parts = [tga_header(10, width, height)]
    empty = b"\x00" * (width * 4)
    taken = 0
    for y in range(height - 1):
        want = (y + 1) * sprite_rows // (height - 1)
        if want > taken:
            parts.append(rle_row(pixels[taken], width, 0, background))
            taken += 1
        else:
            parts.append(rle_row(empty, 0, 0, background))
    parts.append(rle_row(pixels[sprite_rows], partial[0], partial[1], background))
    parts.append(TGA_FOOTER)
    data = b"".join(parts)
    assert taken == sprite_rows and len(data) == size, (label, len(data), size, taken, sprite_rows)
    return data


# ---------------------------------------------------------------------------
# Zip archive (PKWARE 2.0 features only).

def dos_stamp(y, mo, d, h, mi, s):
    return (h << 11) | (mi << 5) | (s // 2), ((y - 1980) << 9) | (mo << 5) | d


def entry_stamp(first, index):
    y, mo, d, h, mi = first
    minutes = h * 60 + mi + index * 3
    d += minutes // (24 * 60)
    minutes %= 24 * 60
    return dos_stamp(y, mo, d, minutes // 60, minutes % 60, (index * 14) % 60)


def deflate(data):
    packer = zlib.compressobj(6, zlib.DEFLATED, -15, 9)
    return packer.compress(data) + packer.flush()


def zip_archive(members):
    """members: (name, data or None for a folder, dos time, dos date, text flag)."""
    local, central = [], []
    offset = 0
    for name, data, time, date, text in members:
        raw_name = name.encode("ascii")
        if data is None:
            method, crc, packed, size, external = 0, 0, b"", 0, 0x10
        else:
            method, crc, packed, size, external = 8, zlib.crc32(data), deflate(data), len(data), 0x20
        head = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, method, time, date, crc,
                           len(packed), size, len(raw_name), 0)
        local += [head, raw_name, packed]
        central.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, method, time, date,
                                   crc, len(packed), size, len(raw_name), 0, 0, 0,
                                   1 if text else 0, external, offset) + raw_name)
        offset += len(head) + len(raw_name) + len(packed)
    directory = b"".join(central)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(members), len(members),
                      len(directory), offset, 0)
    return b"".join(local) + directory + end


# ---------------------------------------------------------------------------

# Grain bytes per texture byte for each package, found by measuring the
# packed sizes: the packed size is mostly grain, so these set it.
GRAIN_SHARE = [0.0239, 0.1152, 0.0322, 0.1702, 0.1761, 0.0331, 0.0314]


def package(index):
    file_name, _, tint, kind, period, first_date, entries = THEMES[index]
    look = Look(tint, kind, period)
    members = []
    folder = ""
    for number, entry in enumerate(entries):
        time, date = entry_stamp(first_date, number)
        if isinstance(entry, str):
            folder = entry
            members.append((entry, None, time, date, False))
            continue
        name, size = entry
        label = "%s/%s" % (file_name, name)
        lower = name.lower()
        budget = size * GRAIN_SHARE[index]
        if lower.endswith(".ini"):
            data = layout_text(index, name, size, tint)
        elif lower.endswith(".tga"):
            data = tga_file(look, size, budget, label)
        else:
            data = dds_file(look, size, budget, label)
        members.append((folder + name, data, time, date, lower.endswith(".ini")))
    return zip_archive(members)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_packages.py OUTPUT_FOLDER\n")
        return 2
    out_dir = os.path.abspath(argv[1])
    os.makedirs(out_dir, exist_ok=True)
    rc_lines = ["// Theme packages 1..7 as RCDATA; generated by tools/make_packages.py"]
    for index, theme in enumerate(THEMES):
        data = package(index)
        path = os.path.join(out_dir, theme[0])
        temp = path + ".tmp"
        with open(temp, "wb") as f:
            f.write(data)
        os.replace(temp, path)
        rc_lines.append('%d RCDATA "%s"' % (RC_FIRST_ID + index, path.replace("\\", "/")))
    rc_text = "\n".join(rc_lines) + "\n"
    rc_path = os.path.join(out_dir, "theme_packages.rc")
    with open(rc_path + ".tmp", "w", newline="\n") as f:
        f.write(rc_text)
    os.replace(rc_path + ".tmp", rc_path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
