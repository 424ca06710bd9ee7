#!/usr/bin/env python3
"""An independent check of the archive format that `ovpack build` writes.

usage: format_check.py OVPACK SCRATCH

Builds an archive from a manifest of chosen files with the real ovpack, decompresses it with
the `bzip2` command, and parses the result with `struct`: header_size, entry count, every
entry's strings (UTF-16LE), kind, size and CRC-32 (zlib.crc32), and the data area, all
compared with the manifest's files. Exits non-zero and says why on the first difference.
"""
import os
import shutil
import struct
import subprocess
import sys
import zlib


def fail(message):
    sys.exit("format check failed: " + message)


def main():
    ovpack, scratch = sys.argv[1], sys.argv[2]
    work = os.path.join(scratch, "format-check")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

    # (kind, destination, source as written, source as stored, bytes)
    noise = bytes((i * 2654435761 >> 13) & 0xFF for i in range(1200000))
    text = b"".join(b"row %d of a compressible file\n" % i for i in range(60000))
    entries = [
        (0, "<InstallPath>", "empty.txt", "empty.txt", b""),
        (1, "<InstallPath>", "bin/Vestrilo.exe", "bin/Vestrilo.exe", noise),
        (0, "<InstallPath>\\Données", "日本/テキスト.txt", "日本/テキスト.txt", "日本語とDonnées\n".encode("utf-8")),
        (3, "<CommonData>\\Orvane & Drey\\Modules\\Vestrilo", "mods\\shared.ovm", "mods/shared.ovm", text),
        (4, "<SamplePath>", "\U0001F600 sample.vestrilo", "\U0001F600 sample.vestrilo", b"<doc/>\n"),
        (5, "<Temporary>", "last-empty.tmp", "last-empty.tmp", b""),
    ]
    lines = ["# format check"]
    for kind, destination, written, stored, data in entries:
        path = os.path.join(work, *stored.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        lines.append("%d\t%s\t%s" % (kind, destination, written))
    manifest = os.path.join(work, "manifest.txt")
    with open(manifest, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")

    archive = os.path.join(work, "check.payload")
    subprocess.run([ovpack, "build", manifest, archive], check=True, stdout=subprocess.DEVNULL)
    compressed = open(archive, "rb").read()
    if compressed[:4] != b"BZh9":
        fail("not a bzip2 stream with 900 k blocks: %r" % compressed[:4])
    raw = subprocess.run(["bzip2", "-dc", archive], check=True, stdout=subprocess.PIPE).stdout
    # One stream: bzip2 would also accept concatenated streams, so count stream headers.
    if compressed.count(b"BZh9\x31\x41\x59\x26\x53\x59") != 1:
        fail("expected exactly one bzip2 stream")

    header_size, count = struct.unpack_from("<QI", raw, 0)
    if count != len(entries):
        fail("entry count %d, expected %d" % (count, len(entries)))
    offset = 12
    for index, (kind, destination, written, stored, data) in enumerate(entries):
        (length,) = struct.unpack_from("<I", raw, offset)
        source = raw[offset + 4:offset + 4 + 2 * length].decode("utf-16-le")
        offset += 4 + 2 * length
        (length,) = struct.unpack_from("<I", raw, offset)
        dest = raw[offset + 4:offset + 4 + 2 * length].decode("utf-16-le")
        offset += 4 + 2 * length
        got_kind, size, crc = struct.unpack_from("<IQI", raw, offset)
        offset += 16
        expected = (stored, destination, kind, len(data), zlib.crc32(data))
        if (source, dest, got_kind, size, crc) != expected:
            fail("entry %d is %r, expected %r" % (index, (source, dest, got_kind, size, crc), expected))
    if offset != header_size:
        fail("the entry table ends at %d, header_size is %d" % (offset, header_size))
    data_area = b"".join(e[4] for e in entries)
    if len(raw) != header_size + len(data_area):
        fail("archive of %d bytes, expected %d" % (len(raw), header_size + len(data_area)))
    if raw[header_size:] != data_area:
        fail("the data area differs from the files' bytes")

    # The listing shows the same header.
    listing = subprocess.run([ovpack, "list", archive], check=True, stdout=subprocess.PIPE).stdout.decode("utf-8")
    expected_listing = "".join("%d\t%d\t%08x\t%s\t%s\n" % (k, len(d), zlib.crc32(d), dst, s)
                               for k, dst, w, s, d in entries)
    if listing != expected_listing:
        fail("listing differs:\n%s\nexpected:\n%s" % (listing, expected_listing))
    shutil.rmtree(work)
    print("format check passed: %d entries, header %d bytes, %d bytes" % (count, header_size, len(raw)))


if __name__ == "__main__":
    main()
