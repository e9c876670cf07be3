#!/usr/bin/env python3
"""Writes zip archives made to cost the update archive stand-in
(packaging/tools/ditto) the most time in its checks, each within its caps
(1.4 GiB in all). Each passes every check but the last: its last entry
states one byte fewer than it unpacks to, so the stand-in refuses it after
all its checks and unpacks nothing. Time them with

    hostile_archives.py FOLDER
    for z in FOLDER/*.zip; do
        /usr/bin/time -f "%e s $z" packaging/tools/ditto -x -k "$z" FOLDER/into
    done
"""

import os
import struct
import sys
import zlib


def entry(name, data=b"", mode=0o100644, extra=b"", comment=b"", deflate=False, local_extra=None):
    packed = data
    if deflate:
        packer = zlib.compressobj(9, zlib.DEFLATED, -15)
        packed = packer.compress(data) + packer.flush()
    return dict(name=name, data=data, packed=packed, mode=mode, extra=extra, comment=comment,
                method=8 if deflate else 0, stated=len(data),
                local_extra=extra if local_extra is None else local_extra)


def write(path, entries):
    entries[-1]["stated"] -= 1
    with open(path, "wb") as out:
        directory = bytearray()
        at = 0
        for e in entries:
            crc, name, extra = zlib.crc32(e["data"]), e["name"], e["extra"]
            sizes = (crc, len(e["packed"]), e["stated"], len(name))
            local = struct.pack("<IHHHI", 0x04034b50, 20, 0, e["method"], 0) + struct.pack("<IIIH", *sizes)
            local += struct.pack("<H", len(e["local_extra"])) + name + e["local_extra"] + e["packed"]
            out.write(local)
            directory += struct.pack("<IHHHHI", 0x02014b50, 0x031e, 20, 0, e["method"], 0)
            directory += struct.pack("<IIIHH", *sizes, len(extra))
            directory += struct.pack("<HHHII", len(e["comment"]), 0, 0, e["mode"] << 16, at)
            directory += name + extra + e["comment"]
            at += len(local)
        out.write(directory)
        n = len(entries)
        out.write(struct.pack("<IHHHHIIH", 0x06054b50, 0, 0, n, n, len(directory), at, 0))


def main(folder):
    os.makedirs(folder, exist_ok=True)
    last = lambda: entry(b"last", b"ab")
    # The most entries, each with the longest name allowed.
    write(f"{folder}/names.zip", [entry(b"%05d" % i + b"a" * 1019) for i in range(49999)] + [last()])
    # Extra fields of 65,535 bytes in both records, of one record each or of 16,383 empty ones.
    field = b"\xfe\xca\xfb\xff" + b"x" * 65531
    write(f"{folder}/extras.zip", [entry(b"%04d" % i, extra=field) for i in range(1000)] + [last()])
    empties = b"\xfe\xca\x00\x00" * 16383
    write(f"{folder}/extra-records.zip", [entry(b"%04d" % i, extra=empties) for i in range(1000)] + [last()])
    # A directory near 1 GiB: names, extra fields and comments at their longest (the local
    # headers' extra fields empty: the download itself is capped at 1 GiB).
    write(f"{folder}/directory.zip",
          [entry(b"%04d" % i + b"a" * 1020, extra=field, comment=b"c" * 65535, local_extra=b"")
           for i in range(8000)] + [last()])
    # The most links, each with the longest target allowed, stored or deflated, alone or among
    # the most entries.
    target = b"a/" * 2047 + b"a"
    links = lambda deflate: [entry(b"l%04d" % i, target, 0o120777, deflate=deflate) for i in range(1000)]
    write(f"{folder}/links.zip", links(False) + [last()])
    write(f"{folder}/deflated-links.zip", links(True) + [last()])
    write(f"{folder}/links-among-names.zip",
          links(True) + [entry(b"%05d" % i + b"a" * 1019) for i in range(48999)] + [last()])


if __name__ == "__main__":
    main(sys.argv[1])
