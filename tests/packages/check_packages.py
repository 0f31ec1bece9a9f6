#!/usr/bin/env python3
"""Checks the generated theme packages with standard zip readers.

  check_packages.py contents FOLDER
      Every package against the theme list: entry names and order, folder
      entries, versions, flags, methods, attributes, dates, CRCs, unpacked
      sizes and totals, file kinds, packed size. Uses Python's zipfile and,
      when installed, unzip -t; nothing from the generator.
  check_packages.py determinism FOLDER --tool make_packages.py
      Runs the generator again (other hash seed, other folder) and compares
      every output byte for byte with FOLDER.
"""

import argparse
import datetime
import filecmp
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

# ---------------------------------------------------------------------------
# The expected packages: name, listed packed size, entry count, unpacked
# total, and the entries in archive order (folders end in "/").

T1_ELEMENTS = """CenterHUD_AbilitiesSpell0.INI 3943
CenterHUD_AbilitiesSpell1.INI 3969
CenterHUD_AbilitiesSpell2.INI 3965
CenterHUD_AbilitiesSpell3.INI 3999
CenterHUD_AbilitiesSpellPassive.INI 1661
CenterHUD_AbilitiesSpellRecall.INI 1594
CenterHUD_AbilitiesSpellSummoner0.INI 3345
CenterHUD_AbilitiesSpellSummoner1.INI 3347
CenterHUD_BG.INI 1571
CenterHUD_Buffs.INI 46523
CenterHUD_LevelUpBar.INI 6750
ChampionLeft.ini 20914
ChampionLeft_Stats.ini 8342
ChampionRight_Stats.ini 5060
MinimapLeft.INI 8319
MinimapRight.INI 8354
VisionSlot.ini 3112"""

FOUNDRY = """FoundryItemShop_I1.dds 2796368
FoundryItemShop_I112.dds 43856
FoundryItemShop_I4.dds 349840
FoundryItemShop_I42.dds 174928
FoundryItemShop_I66.dds 174928
FoundryItemShop_I7.dds 1398256
FoundryItemShop_I7B.dds 5616
FoundryItemShop_IB4.dds 5616
FoundryOptions_I1.dds 1398256
FoundryOptions_I13.dds 2796368
FoundryOptions_I6.dds 1398256
Scoreboard_I3E.dds 87696
Scoreboard_I3F.dds 1048704"""

SMALL_ELEMENTS = """CenterHUD_BG.ini 1115
ChampionLeft.ini 20914
ChampionLeft_Stats.ini 8192"""

CHARACTER_INFO = ["characterinfo_i72.dds", "characterinfo_i73.dds", "characterinfo_i75.dds",
                  "characterinfo_i76.dds", "characterinfo_i78.dds", "characterinfo_i79.dds",
                  "characterinfo_i7e.dds", "characterinfo_i7f.dds"]


def files(folder, listing):
    out = []
    for line in listing.strip().splitlines():
        name, size = line.rsplit(" ", 1)
        out.append((folder + name, int(size)))
    return out


def zq(atlas, messagebox):
    return (["DATA/Menu/", "DATA/Menu/HUD/", "DATA/Menu/HUD/Elements/"] +
            files("DATA/Menu/HUD/Elements/", SMALL_ELEMENTS) +
            ["DATA/Menu/textures/", ("DATA/Menu/textures/hudatlas.tga", atlas),
             ("DATA/Menu/textures/messagebox.tga", messagebox), "DATA/Menu_SC4/"] +
            [("DATA/Menu_SC4/" + n, 65664) for n in CHARACTER_INFO] +
            files("DATA/Menu_SC4/", """characterinfo_i94.dds 2097280
foundryitemshop_i1.dds 8388736
foundryitemshop_i4.dds 1048704
foundryitemshop_i7.dds 4194432
foundryoptions_i1.dds 4194432
foundryoptions_i13.dds 8388736
foundryoptions_i6.dds 4194432"""))


EXPECTED = [
    ("_JDDTB2.zip", 680959, 37, 17406060,
     ["Data/Menu/", "Data/Menu/HUD/", "Data/Menu/HUD/Elements/"] +
     files("Data/Menu/HUD/Elements/", T1_ELEMENTS) +
     ["Data/Menu/Textures/", ("Data/Menu/Textures/HUDAtlas.tga", 4194348), "Data/Menu_SC4/"] +
     files("Data/Menu_SC4/", FOUNDRY) + [("Data/Menu_SC4/Scoreboard_I6.DDS", 1398256)]),
    ("_ZdjjUI.zip", 880166, 3, 4194348,
     ["Data/Menu/", "Data/Menu/Textures/", ("Data/Menu/Textures/hudatlas.tga", 4194348)]),
    ("_HKUI5.2.zip", 920955, 25, 17310291,
     ["DATA/Menu/", "DATA/Menu/HUD/", "DATA/Menu/HUD/Elements/"] +
     files("DATA/Menu/HUD/Elements/", """CenterHUD_BG.ini 1571
ChampionLeft.ini 20914
ChampionLeft_Stats.ini 8342
ChampionRight_Stats.ini 5060
VisionSlot.ini 3112""") +
     ["DATA/Menu/Textures/", ("DATA/Menu/Textures/HUDAtlas.tga", 4194348), "DATA/Menu_SC4/"] +
     files("DATA/Menu_SC4/", FOUNDRY) + [("DATA/Menu_SC4/Scoreboard_I6.dds", 1398256)]),
    ("_MNUI.zip", 1158071, 8, 4224569,
     ["Data/Menu/", "Data/Menu/HUD/", "Data/Menu/HUD/Elements/"] +
     files("Data/Menu/HUD/Elements/", SMALL_ELEMENTS) +
     ["Data/Menu/Textures/", ("Data/Menu/Textures/HUDAtlas.tga", 4194348)]),
    ("_ZS2UI.zip", 1477208, 25, 5817062,
     ["Data/Menu/", "Data/Menu/HUD/", "Data/Menu/HUD/Elements/"] +
     files("Data/Menu/HUD/Elements/", SMALL_ELEMENTS) +
     ["Data/Menu/Textures/", ("Data/Menu/Textures/HUDAtlas.tga", 1590489), "Data/Menu_SC4/"] +
     [("Data/Menu_SC4/" + n, 8320) for n in CHARACTER_INFO] +
     files("Data/Menu_SC4/", """characterinfo_i94.dds 262272
foundryitemshop_i1.dds 1048704
foundryitemshop_i4.dds 131200
foundryitemshop_i7.dds 524416
foundryoptions_i1.dds 524416
foundryoptions_i13.dds 1048704
foundryoptions_i6.dds 524416
messagebox.dds 65664""")),
    ("_ZQUI.zip", 1800219, 25, 34477078, zq(1323119, 91674)),
    ("_ZQ2UI.zip", 1679363, 25, 34440419, zq(1302512, 75622)),
]

ALL_PACKAGES_LIMIT = 10 * 1000 * 1000


# ---------------------------------------------------------------------------
# File kinds.

def check_tga(name, data, problems):
    """Header, pixel data that fills exactly the stated surface, footer.
    Returns the mean (B, G, R) of the opaque pixels looked at, for the
    themes-differ check."""
    if data[-18:] != b"TRUEVISION-XFILE.\0":
        problems.append("%s: no TGA 2.0 footer" % name)
        return None
    id_length, colour_map, image_type = data[0], data[1], data[2]
    width, height, depth, descriptor = struct.unpack_from("<HHBB", data, 12)
    if colour_map != 0 or depth != 32 or descriptor & 0x0F != 8 or width == 0 or height == 0:
        problems.append("%s: unexpected TGA header %r" % (name, data[:18]))
        return None
    image_end = len(data) - 26
    at = 18 + id_length
    pixels = bytearray()
    if image_type == 2:
        if at + width * height * 4 != image_end:
            problems.append("%s: plain TGA of %dx%d does not fill the file" % (name, width, height))
            return None
        pixels = data[at:image_end]
    elif image_type == 10:
        count = 0
        while count < width * height and at < image_end:
            head = data[at]
            n = (head & 0x7F) + 1
            if head & 0x80:
                pixels += data[at + 1:at + 5] * n
                at += 5
            else:
                pixels += data[at + 1:at + 1 + 4 * n]
                at += 1 + 4 * n
            count += n
        if count != width * height or at != image_end:
            problems.append("%s: RLE stream covers %d of %d pixels, ends at %d of %d"
                            % (name, count, width * height, at, image_end))
            return None
    else:
        problems.append("%s: TGA image type %d" % (name, image_type))
        return None
    sums, seen = [0, 0, 0], 0
    for i in range(0, len(pixels) - 3, 4 * 997):
        if pixels[i + 3]:
            sums = [s + pixels[i + k] for k, s in enumerate(sums)]
            seen += 1
    return tuple(s / max(seen, 1) for s in sums)


def dds_surface_size(fourcc, rgb_bits, width, height, levels):
    total = 0
    for _ in range(levels):
        if fourcc in (b"DXT1", b"DXT5"):
            block = 8 if fourcc == b"DXT1" else 16
            total += max(1, (width + 3) // 4) * max(1, (height + 3) // 4) * block
        else:
            total += width * height * rgb_bits // 8
        width, height = max(1, width // 2), max(1, height // 2)
    return total


def check_dds(name, data, problems):
    if data[:4] != b"DDS " or len(data) < 128:
        problems.append("%s: no DDS magic" % name)
        return
    size, flags, height, width, _pitch, _depth, mips = struct.unpack_from("<7I", data, 4)
    pf_size, pf_flags, fourcc, rgb_bits = struct.unpack_from("<II4sI", data, 76)
    caps = struct.unpack_from("<I", data, 108)[0]
    if size != 124 or pf_size != 32 or not caps & 0x1000 or not flags & 0x1007 == 0x1007:
        problems.append("%s: DDS header fields %d %d %#x %#x" % (name, size, pf_size, flags, caps))
        return
    levels = mips if flags & 0x20000 else 1
    if pf_flags & 0x4:
        if fourcc not in (b"DXT1", b"DXT5"):
            problems.append("%s: unknown FourCC %r" % (name, fourcc))
            return
    elif not pf_flags & 0x40 or rgb_bits != 32:
        problems.append("%s: unexpected pixel format" % name)
        return
    if levels > 1 and not caps & 0x400000:
        problems.append("%s: mip levels without the mipmap cap" % name)
    expected = dds_surface_size(fourcc if pf_flags & 0x4 else None, rgb_bits, width, height, levels)
    if 128 + expected != len(data):
        problems.append("%s: %dx%d %r with %d levels needs %d bytes, file has %d"
                        % (name, width, height, fourcc, levels, 128 + expected, len(data)))


def check_ini(name, data, problems):
    try:
        text = data.decode("ascii")
    except UnicodeDecodeError:
        problems.append("%s: INI text is not ASCII" % name)
        return
    if "\n" in text.replace("\r\n", "") or not text.endswith("\r\n"):
        problems.append("%s: lines are not CR LF" % name)
    sections = [line for line in text.split("\r\n") if line.startswith("[") and line.endswith("]")]
    keys = [line for line in text.split("\r\n") if "=" in line and not line.startswith(";")]
    if not sections or len(keys) < 2 * len(sections):
        problems.append("%s: does not read like a layout (%d sections, %d keys)"
                        % (name, len(sections), len(keys)))


# ---------------------------------------------------------------------------

def check_package(folder, expected, problems):
    file_name, listed, entry_count, unpacked_total, entries = expected
    path = os.path.join(folder, file_name)
    raw = open(path, "rb").read()
    size = len(raw)
    if not 0.5 * listed <= size <= 1.5 * listed:
        problems.append("%s: %d bytes, outside 0.5..1.5 x %d" % (file_name, size, listed))
    if raw[:4] != b"PK\x03\x04":
        problems.append("%s: does not start with a local header" % file_name)
    if raw[-22:-18] != b"PK\x05\x06" or raw[-2:] != b"\0\0":
        problems.append("%s: does not end with an end record without comment" % file_name)

    names = [e if isinstance(e, str) else e[0] for e in entries]
    if len(entries) != entry_count:
        problems.append("%s: expectation table has %d entries" % (file_name, len(entries)))
    if sum(e[1] for e in entries if not isinstance(e, str)) != unpacked_total:
        problems.append("%s: expectation table does not add up" % file_name)

    mean_colour = None
    with zipfile.ZipFile(path) as archive:
        infos = archive.infolist()
        if [i.filename for i in infos] != names:
            problems.append("%s: entries %r" % (file_name, [i.filename for i in infos]))
            return None
        bad = archive.testzip()
        if bad is not None:
            problems.append("%s: CRC or data error in %s" % (file_name, bad))
        total = 0
        for info, entry in zip(infos, entries):
            where = "%s: %s" % (file_name, info.filename)
            folder_entry = isinstance(entry, str)
            if (info.create_system, info.create_version, info.extract_version, info.flag_bits) != \
                    (0, 20, 20, 0):
                problems.append("%s: made by %d/%d, needs %d, flags %#x" % (
                    where, info.create_system, info.create_version, info.extract_version,
                    info.flag_bits))
            if info.extra or info.comment or info.internal_attr not in (0, 1):
                problems.append("%s: extra field, comment or internal attributes" % where)
            stamp = datetime.datetime(*info.date_time)
            if not datetime.datetime(2012, 12, 1) <= stamp < datetime.datetime(2014, 4, 1):
                problems.append("%s: dated %s" % (where, stamp))
            if folder_entry:
                if (info.compress_type, info.external_attr, info.CRC, info.compress_size,
                        info.file_size) != (0, 0x10, 0, 0, 0):
                    problems.append("%s: folder entry %d %#x %d %d %d" % (
                        where, info.compress_type, info.external_attr, info.CRC,
                        info.compress_size, info.file_size))
                continue
            if info.compress_type != 8 or info.external_attr != 0x20:
                problems.append("%s: method %d, attributes %#x" % (
                    where, info.compress_type, info.external_attr))
            if info.file_size != entry[1]:
                problems.append("%s: %d bytes, listed %d" % (where, info.file_size, entry[1]))
            total += info.file_size
            try:
                data = archive.read(info)
            except (zipfile.BadZipFile, zlib.error) as error:
                problems.append("%s: %s" % (where, error))
                continue
            lower = info.filename.lower()
            if lower.endswith(".tga"):
                colour = check_tga(where, data, problems)
                if "hudatlas" in lower:
                    mean_colour = colour
            elif lower.endswith(".dds"):
                check_dds(where, data, problems)
            elif lower.endswith(".ini"):
                check_ini(where, data, problems)
            else:
                problems.append("%s: unexpected kind of file" % where)
        if total != unpacked_total:
            problems.append("%s: unpacked total %d, listed %d" % (file_name, total, unpacked_total))
    if shutil.which("unzip"):
        result = subprocess.run(["unzip", "-tq", path], stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT)
        if result.returncode != 0:
            problems.append("%s: unzip -t: %s" % (file_name, result.stdout.decode(errors="replace")))
    return size, mean_colour


def contents(folder):
    problems = []
    total = 0
    colours = []
    for expected in EXPECTED:
        result = check_package(folder, expected, problems)
        if result:
            total += result[0]
            colours.append((expected[0], result[1]))
            print("%-14s %8d bytes (%.3f x listed)" % (expected[0], result[0],
                                                         result[0] / expected[1]))
    print("all packages   %8d bytes" % total)
    if total > ALL_PACKAGES_LIMIT:
        problems.append("all packages together %d bytes, over %d" % (total, ALL_PACKAGES_LIMIT))
    # Each theme's atlas has its own tint.
    for i, (a, ca) in enumerate(colours):
        for b, cb in colours[i + 1:]:
            if ca is None or cb is None or max(abs(x - y) for x, y in zip(ca, cb)) < 20:
                problems.append("atlases of %s and %s look alike: %r %r" % (a, b, ca, cb))
    rc = open(os.path.join(folder, "theme_packages.rc")).read()
    for number, expected in enumerate(EXPECTED, start=101):
        line = '%d RCDATA "%s"' % (number, os.path.join(folder, expected[0]).replace("\\", "/"))
        if line not in rc.splitlines():
            problems.append("theme_packages.rc lacks %s" % line)
    return problems


def determinism(folder, tool):
    problems = []
    with tempfile.TemporaryDirectory() as again:
        env = dict(os.environ, PYTHONHASHSEED="12345")
        subprocess.run([sys.executable, tool, again], check=True, env=env)
        for expected in EXPECTED:
            a = os.path.join(folder, expected[0])
            b = os.path.join(again, expected[0])
            if not filecmp.cmp(a, b, shallow=False):
                problems.append("%s differs between two runs" % expected[0])
    return problems


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["contents", "determinism"])
    parser.add_argument("folder")
    parser.add_argument("--tool")
    args = parser.parse_args()
    folder = os.path.abspath(args.folder)
    problems = contents(folder) if args.mode == "contents" else determinism(folder, args.tool)
    for problem in problems:
        print("FAIL:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
