#!/usr/bin/python3
"""Writes the test image packs into a directory.

Usage: make_packs.py DIRECTORY

Every pack has the palette entry i = (red 255 - i, green i, blue i * 7 & 255)
and a size word equal to its file size. Rows are listed as code bytes.

  two_items.pak   two 8 x 3 items:
                  item 0 at offsets (2, 1):
                    85 01 02 03 04 05 C3 06   1 2 3 4 5 6 6 6
                    02 C2 07 84 08 09 0A 0B   . . 7 7 8 9 10 11
                    84 0C 0D 0E 0F 10         12 13 14 15 . . . .  (the skip
                                              of 16 reaches past the edge)
                  item 1 at offsets (-3, 4):
                    C8 11                     17 x 8
                    81 12 00 80 C0 13 87 14 15 16 17 18 19 1A
                                              18 20 21 22 23 24 25 26
                    7F                        all transparent

  far_offsets.pak one item: item 0 of two_items.pak at offsets
                  (-2147483648, -2147483648)

The hostile packs, each a change of two_items.pak or a pack of one item:
  cut_header      the first 1051 bytes
  header_only     the 1052 header bytes: no items
  small_first     the first item offset is 16: no items
  count_past_file the first item offset is 0xFFFFFF00: as many items as the
                  file has room for, most of them offsets made of item bytes
  offset_past_file  item 1 lies at 0xFFFFFFF0
  item_cut        item 1 lies 20 bytes before the end of the file
  row_past_file   row 1 of item 0 starts at 0x7FFFFFFF
  row_at_end      row 2 of item 1 starts at the end of the file
  short_rows      one 8 x 2 item, offsets 0: 83 01 02 03 (3 pels; the next
                  row's codes follow), then 85 04 05 cut by the end of the file
  zero_codes      one 8 x 1 item: 00 80 C0 07 and zeros to the end of the file
  huge_width      one 0x7FFFFFFF x 1 item: 85 01 02 03 04 05 ending the file
  huge_height     one 8 x 0x7FFFFFFF item with one row entry
  height_wraps    one 8 x 0x40000001 item (4 x height wraps to 4 in 32 bits)
  negative_width  one -1 x 1 item
"""
import os
import struct
import sys

OUT = sys.argv[1]
HEADER = 1052
PALETTE = b"".join(struct.pack("<4B", 255 - i, i, i * 7 & 255, 0) for i in range(256))


def item(x, y, width, height, rows, table=None):
    """An item's bytes: header, row table (the rows' starts unless given), rows."""
    starts, data = [], b""
    for r in rows:
        starts.append(len(data))
        data += bytes(r)
    table = starts if table is None else table
    return struct.pack("<8xiiii24x", x, y, width, height) + struct.pack("<%dI" % len(table), *table) + data


def pack(items, offsets=None):
    """A pack of the items, laid out after the offset table."""
    at = HEADER + 4 * len(items)
    starts = []
    for it in items:
        starts.append(at)
        at += len(it)
    offsets = starts if offsets is None else offsets
    body = PALETTE + bytes(12) + struct.pack("<%dI" % len(offsets), *offsets) + b"".join(items)
    head = struct.pack("<I12x", 16 + len(body))
    return head + body


def save(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


ITEM0 = [[0x85, 1, 2, 3, 4, 5, 0xC3, 6],
         [0x02, 0xC2, 7, 0x84, 8, 9, 10, 11],
         [0x84, 12, 13, 14, 15, 0x10]]
ITEM1 = [[0xC8, 17],
         [0x81, 18, 0x00, 0x80, 0xC0, 19, 0x87, 20, 21, 22, 23, 24, 25, 26],
         [0x7F]]
item0 = item(2, 1, 8, 3, ITEM0)
item1 = item(-3, 4, 8, 3, ITEM1)
two = pack([item0, item1])
save("two_items.pak", two)
save("far_offsets.pak", pack([item(-0x80000000, -0x80000000, 8, 3, ITEM0)]))

item1At = HEADER + 8 + len(item0)


def patched(at, value):
    return two[:at] + struct.pack("<I", value) + two[at + 4:]


save("cut_header", two[:HEADER - 1])
save("header_only", two[:HEADER])
save("small_first", patched(HEADER, 16))
save("count_past_file", patched(HEADER, 0xFFFFFF00))
save("offset_past_file", patched(HEADER + 4, 0xFFFFFFF0))
save("item_cut", patched(HEADER + 4, len(two) - 20))
save("row_past_file", patched(HEADER + 8 + 48 + 4, 0x7FFFFFFF))
rows1At = item1At + 48 + 12
save("row_at_end", patched(item1At + 48 + 8, len(two) - rows1At))
save("short_rows", pack([item(0, 0, 8, 2, [[0x83, 1, 2, 3], [0x85, 4, 5]])]))
save("zero_codes", pack([item(0, 0, 8, 1, [[0x00, 0x80, 0xC0, 7] + [0] * 40])]))
save("huge_width", pack([item(0, 0, 0x7FFFFFFF, 1, [[0x85, 1, 2, 3, 4, 5]])]))
save("huge_height", pack([item(0, 0, 8, 0x7FFFFFFF, [[0x88, 1, 2, 3, 4, 5, 6, 7, 8]])]))
save("height_wraps", pack([item(0, 0, 8, 0x40000001, [[0xC8, 9]])]))
save("negative_width", pack([item(0, 0, -1, 1, [[0xC8, 9]])]))
