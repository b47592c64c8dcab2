#!/usr/bin/env python3
"""Remakes the seed corpus of the zip_member fuzz target in
fuzz/corpus/zip_member: archives holding the members a.bin, sub/b.bin and
data.rw, stored and deflated, members named in other letter case, members
whose data has an rw2 header (plain and zlib-packed) or the native stream
header, an empty member, zip64 records, and archives cut short."""
import io
import os
import struct
import zipfile
import zlib

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "zip_member")
os.makedirs(out, exist_ok=True)

# Bytes that look different at every position, so a read from a wrong
# position is seen.
body = bytes((i * 7 + (i >> 8) * 13) & 0xFF for i in range(5000))
picture = b"BM" + bytes(range(52)) + body[:300]


def rw2(data, packed):
    stored = zlib.compress(data) if packed else data
    return b"rw2\0" + struct.pack("<5I", 1 if packed else 0, 1, 0, len(stored), len(data)) + stored


native = b"talvo::io::Stream" + struct.pack("<I", 0) + body[:200]


def archive(members, compression=zipfile.ZIP_DEFLATED, force_zip64=False, comment=b""):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", compression) as z:
        for name, data in members:
            info = zipfile.ZipInfo(name, date_time=(2001, 2, 3, 4, 5, 6))
            info.compress_type = compression
            with z.open(info, "w", force_zip64=force_zip64) as f:
                f.write(data)
        z.comment = comment
    return buf.getvalue()


seeds = {
    "deflated": archive([("a.bin", body), ("sub/b.bin", picture), ("data.rw", rw2(body[:900], True))]),
    "stored": archive([("a.bin", body[:2500]), ("sub/b.bin", b""), ("data.rw", rw2(body[:300], False))],
                      zipfile.ZIP_STORED),
    "case": archive([("A.BIN", body[:700]), ("SUB/B.Bin", picture), ("Data.RW", native)]),
    "zip64": archive([("a.bin", body[:1500]), ("data.rw", native)], force_zip64=True, comment=b"zip64"),
    "backslash": archive([("sub\\b.bin", body[:100]), ("a.bin", b"x")]),
}
seeds["cut_central"] = seeds["deflated"][:-30]
seeds["cut_data"] = seeds["deflated"][:400]
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
