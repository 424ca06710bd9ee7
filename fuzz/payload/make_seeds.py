#!/usr/bin/env python3
"""Writes the seed corpus of the payload fuzz targets, deterministically.

seeds/archive/*: one chunk-size byte, then a decompressed archive.
seeds/compressed/*: the same archives as bzip2 streams (900 k blocks).
Run from anywhere: python3 fuzz/payload/make_seeds.py
"""
import bz2
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def utf16(text):
    units = text.encode("utf-16-le")
    return struct.pack("<I", len(units) // 2) + units


def archive(entries, filler=b""):
    """entries: (source, destination, kind, data[, crc])"""
    table = struct.pack("<I", len(entries))
    for entry in entries:
        source, destination, kind, data = entry[:4]
        crc = entry[4] if len(entry) > 4 else zlib.crc32(data)
        table += utf16(source) + utf16(destination)
        table += struct.pack("<IQI", kind, len(data), crc)
    header = struct.pack("<Q", 8 + len(table) + len(filler)) + table + filler
    return header + b"".join(entry[3] for entry in entries)


SEEDS = {
    "empty": archive([]),
    "one_file": archive([("C:\\src\\a.txt", "<InstallPath>", 0, b"hello")]),
    "product": archive([
        ("pics\\Donn\u00e9es.png", "<CommonData>\\Orvane & Drey\\Textures\\Vestrilo", 0, bytes(range(256)) * 3),
        ("Vestrilo.exe", "<InstallPath>", 1, b"MZ" + b"\0" * 62),
        ("Uninstall.exe", "<InstallPath>", 2, b"MZ"),
        ("\u65e5\u672c.txt", "<SamplePath>", 4, b"sample"),
        ("shared.dat", "<CommonData>\\Modules", 3, b""),
    ], filler=b"\xab" * 5),
    "empty_entries": archive([
        ("z1", "<InstallPath>\\d", 0, b""),
        ("a", "<InstallPath>\\d", 0, b"a" * 100),
        ("z2", "<Temporary>", 5, b""),
        ("z3", "<Temporary>", 5, b""),
    ]),
    "bad_crc": archive([("x.bin", "<InstallPath>\\x", 0, b"data", 1)]),
    "placeholders": archive([
        ("1", "<ProgramFiles>", 0, b"1"), ("2", "<ProgramCommon>", 0, b"2"),
        ("3", "<UserData>", 0, b"3"), ("4", "<CommonDocuments>", 0, b"4"),
        ("5", "<Documents>", 0, b"5"), ("6", "<CommonDesktop>", 0, b"6"),
        ("7", "<Desktop>", 0, b"7"), ("8", "<WinDir>", 0, b"8"),
        ("9", "<System>", 0, b"9"), ("10", "<Unknown>", 0, b"10"),
    ]),
}


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    for i, (name, raw) in enumerate(sorted(SEEDS.items())):
        write(os.path.join(HERE, "seeds", "archive", name), bytes([i * 7 % 64]) + raw)
        write(os.path.join(HERE, "seeds", "compressed", name + ".bz2"), bz2.compress(raw, 9))


if __name__ == "__main__":
    main()
