#!/usr/bin/env python3
"""Writes the demo product's content and its payload manifest, deterministically.

usage: generate_demo.py OUTDIR

OUTDIR receives manifest.txt and the generated files (pictures, language libraries, shared
modules, sample documents). The manifest also names program/Vestrilo.exe and
program/Uninstall.exe, which the build places there. The same input always gives the same
bytes: every "random" byte comes from SHA-256 in counter mode over a fixed seed.
"""
import hashlib
import os
import struct
import sys

TEXTURES = "<CommonData>\\Orvane & Drey\\Textures\\Vestrilo"
LANG = "<InstallPath>\\Lang"
MODULES = "<CommonData>\\Orvane & Drey\\Modules\\Vestrilo"
SAMPLES = "<SamplePath>"
INSTALL = "<InstallPath>"


def noise(seed, size):
    """size pseudo-random bytes, a pure function of seed."""
    out = bytearray()
    counter = 0
    while len(out) < size:
        out += hashlib.sha256(b"%s:%d" % (seed.encode(), counter)).digest()
        counter += 1
    return bytes(out[:size])


def bitmap(name, width, height, style):
    """A 24-bit BMP; style decides how well it compresses."""
    rng = noise("bmp:" + name, width * height)
    stride = (width * 3 + 3) & ~3
    rows = bytearray()
    for y in range(height):
        row = bytearray()
        for x in range(width):
            r = rng[y * width + x]
            if style == "tiles":         # flat tiles: compresses very well
                pixel = ((x // 16) * 40 & 0xFF, (y // 8) * 30 & 0xFF, 0x80)
            elif style == "grain":       # gradient with noisy low bits: compresses moderately
                pixel = ((x * 2 + (r & 7)) & 0xFF, (y * 2 + (r >> 5)) & 0xFF, (x ^ y) & 0xFF)
            else:                        # photographic noise: hardly compresses
                pixel = (r, rng[(y * width + x * 7) % len(rng)], (r * 31 + x) & 0xFF)
            row += bytes(pixel)
        row += b"\0" * (stride - width * 3)
        rows += row
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    header = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    return header + info + bytes(rows)


def language_library(code, language, size):
    """A stand-in for a resource-only language library: a PE-like head, a UTF-16 string table
    (compressible text) and a block of noise (like code and compressed artwork)."""
    head = b"MZ" + b"\0" * 58 + struct.pack("<I", 64) + b"PE\0\0" + noise("pe:" + code, 188)
    strings = []
    for n in range(400):
        strings.append("%s %04d: Vestrilo 1.22 text number %d for the %s interface." % (code, n, n, language))
    table = "\n".join(strings).encode("utf-16-le")
    body = head + table
    return body + noise("lang:" + code, max(0, size - len(body)))


def module(name, size):
    """A shared module: a text manifest followed by records, half structured, half noise."""
    text = "".join("%s.entry%03d = value %d; weight %d\n" % (name, i, i * 7, (i * 13) % 101) for i in range(300))
    data = bytearray(text.encode("ascii"))
    block = 0
    while len(data) < size:
        data += struct.pack("<IHH", block, block % 17, 0xBEEF) + noise("mod:%s:%d" % (name, block), 56)
        data += bytes(range(64))
        block += 1
    return bytes(data[:size])


def sample(title, paragraphs):
    """A sample document: plain XML, compresses well."""
    lines = ['<?xml version="1.0" encoding="UTF-8"?>', '<vestrilo-document version="1.22">',
             "  <title>%s</title>" % title]
    for p in range(paragraphs):
        lines.append('  <layer id="%d" texture="Vestrilo/%02d.bmp" opacity="%d">' % (p, p % 21, (p * 37) % 100))
        lines.append("    <note>Layer %d of %s, drawn with brush %d.</note>" % (p, title, p % 9))
        lines.append("  </layer>")
    lines.append("</vestrilo-document>")
    return ("\n".join(lines) + "\n").encode("utf-8")


TEXTURE_NAMES = ["Basalt", "Birch", "Brick", "Canvas", "Clay", "Copper", "Granite", "Gravel", "Ivory",
                 "Jade", "Linen", "Marble", "Moss", "Oak", "Parchment", "Rust", "Sand", "Slate", "Steel",
                 "Terracotta", "Walnut"]
LANGUAGES = [("ENU", "English"), ("FRA", "French"), ("DEU", "German"), ("ESN", "Spanish"),
             ("ITA", "Italian"), ("NLD", "Dutch"), ("PTB", "Brazilian Portuguese"), ("PTG", "Portuguese"),
             ("SVE", "Swedish"), ("DAN", "Danish"), ("NOR", "Norwegian"), ("FIN", "Finnish"),
             ("PLK", "Polish"), ("CSY", "Czech"), ("HUN", "Hungarian"), ("RUS", "Russian"),
             ("JPN", "Japanese"), ("CHS", "Chinese (Simplified)")]
MODULE_NAMES = ["Brushes", "Filters", "Fonts", "Palettes", "Presets", "Scripts", "Shapes"]
SAMPLE_TITLES = ["Harbour", "Lighthouse", "Orchard", "Rue du Café", "Skyline", "Windmill"]
STYLES = ["tiles", "grain", "noise"]


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: generate_demo.py OUTDIR")
    out = sys.argv[1]
    lines = ["# The demo product Vestrilo 1.22: KIND<TAB>DESTINATION<TAB>SOURCE (generated by generate_demo.py)"]

    def emit(kind, destination, relative, content):
        if content is not None:
            path = os.path.join(out, *relative.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            old = None
            if os.path.exists(path):
                with open(path, "rb") as f:
                    old = f.read()
            if old != content:  # unchanged files keep their time stamps
                with open(path, "wb") as f:
                    f.write(content)
        lines.append("%d\t%s\t%s" % (kind, destination, relative))

    emit(1, INSTALL, "program/Vestrilo.exe", None)
    emit(2, INSTALL, "program/Uninstall.exe", None)
    for i, name in enumerate(TEXTURE_NAMES):
        width, height = 80 + (i * 37) % 128, 72 + (i * 53) % 96
        emit(0, TEXTURES, "textures/%s.bmp" % name, bitmap(name, width, height, STYLES[i % 3]))
    for i, (code, language) in enumerate(LANGUAGES):
        emit(0, LANG, "lang/Vestrilo%s.dll" % code, language_library(code, language, 42000 + i * 1300))
    for i, name in enumerate(MODULE_NAMES):
        emit(3, MODULES, "modules/%s.ovm" % name, module(name, 70000 + i * 14000))
    for i, title in enumerate(SAMPLE_TITLES):
        emit(4, SAMPLES, "samples/%s.vestrilo" % title, sample(title, 120 + i * 90))

    manifest = ("\n".join(lines) + "\n").encode("utf-8")
    # Always rewritten: the build takes the manifest's time as the time of the whole content.
    with open(os.path.join(out, "manifest.txt"), "wb") as f:
        f.write(manifest)


if __name__ == "__main__":
    main()
