#!/usr/bin/env python3
"""Checks the built program file itself: a 64-bit Windows GUI program that
imports only DLLs shipped with Windows, and carries its icon, version
information, manifest and the seven theme packages as resources.

    check_program.py PROGRAM PACKAGES_DIR
"""

import struct
import subprocess
import sys
from pathlib import Path

WINDOWS_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "gdiplus.dll", "kernel32.dll",
    "msvcrt.dll", "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
    "wininet.dll", "ws2_32.dll", "version.dll", "uxtheme.dll",
}
RT_ICON, RT_RCDATA, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 10, 14, 16, 24
PACKAGES = ["_JDDTB2.zip", "_ZdjjUI.zip", "_HKUI5.2.zip", "_MNUI.zip", "_ZS2UI.zip",
            "_ZQUI.zip", "_ZQ2UI.zip"]


def sections(pe):
    header = struct.unpack_from("<I", pe, 0x3C)[0]
    assert pe[header:header + 4] == b"PE\0\0", "no PE signature"
    machine, count = struct.unpack_from("<HH", pe, header + 4)
    optional_size = struct.unpack_from("<H", pe, header + 20)[0]
    optional = header + 24
    magic = struct.unpack_from("<H", pe, optional)[0]
    subsystem = struct.unpack_from("<H", pe, optional + 68)[0]
    table = optional + optional_size
    found = {}
    for i in range(count):
        name, vsize, vaddr, rsize, raw = struct.unpack_from("<8sIIII", pe, table + 40 * i)
        found[name.rstrip(b"\0").decode()] = (vaddr, vsize, raw, rsize)
    return machine, magic, subsystem, found


def resources(pe, rsrc):
    """{(type, id): bytes} of the resource tree (first language of each)."""
    vaddr, _, raw, _ = rsrc
    out = {}

    def directory(offset):
        named, ids = struct.unpack_from("<HH", pe, raw + offset + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", pe, raw + offset + 16 + 8 * i)
            yield name, target

    for type_id, type_target in directory(0):
        for res_id, res_target in directory(type_target & 0x7FFFFFFF):
            for _, lang_target in directory(res_target & 0x7FFFFFFF):
                data_rva, size = struct.unpack_from("<II", pe, raw + lang_target)
                start = raw + data_rva - vaddr
                out[(type_id, res_id)] = pe[start:start + size]
                break
    return out


def main():
    program, packages = Path(sys.argv[1]), Path(sys.argv[2])
    pe = program.read_bytes()
    problems = []
    machine, magic, subsystem, found = sections(pe)
    if machine != 0x8664 or magic != 0x20B:
        problems.append("not a 64-bit (x86-64, PE32+) program")
    if subsystem != 2:
        problems.append(f"subsystem {subsystem}, not Windows GUI (2)")

    dump = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", str(program)],
                          capture_output=True, text=True, check=True).stdout
    imported = {line.split(":", 1)[1].strip().lower() for line in dump.splitlines()
                if "DLL Name:" in line}
    foreign = imported - WINDOWS_DLLS
    if foreign:
        problems.append(f"imports DLLs that do not ship with Windows: {sorted(foreign)}")

    found_resources = resources(pe, found[".rsrc"]) if ".rsrc" in found else {}
    types = {t for t, _ in found_resources}
    for kind, name in ((RT_GROUP_ICON, "icon"), (RT_ICON, "icon image"), (RT_VERSION, "version"),
                       (RT_MANIFEST, "manifest")):
        if kind not in types:
            problems.append(f"no {name} resource")
    version = next((v for (t, _), v in found_resources.items() if t == RT_VERSION), b"")
    if "Quorvel".encode("utf-16-le") not in version:
        problems.append("version information does not name the product")
    manifest = next((v for (t, _), v in found_resources.items() if t == RT_MANIFEST), b"")
    if b"asInvoker" not in manifest:
        problems.append("manifest does not ask for the invoker's rights")
    for number, name in enumerate(PACKAGES, start=1):
        embedded = found_resources.get((RT_RCDATA, 100 + number))
        if embedded != (packages / name).read_bytes():
            problems.append(f"RCDATA {100 + number} is not {name}")

    for problem in problems:
        print("FAIL:", problem)
    print(f"imports: {', '.join(sorted(imported))}")
    print(f"{0 if problems else 1} passed, {1 if problems else 0} failed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
