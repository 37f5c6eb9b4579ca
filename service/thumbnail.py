"""Thumbnails: a small, valid baseline JFIF image of plain grey.

The image is built from its parts rather than encoded from pixels: one grey
component whose every 8x8 block has a zero DC difference and no AC
coefficients, so the whole scan is two one-bit Huffman codes per block. A
comment segment names the file, so thumbnails of different files differ.
"""

import struct

SIDE = 96


def _segment(marker, payload):
    return struct.pack(">BBH", 0xFF, marker, len(payload) + 2) + payload


def _huffman_table(table_class_and_id, value):
    # One code of length 1 ("0") standing for `value`.
    counts = bytes([1] + [0] * 15)
    return bytes([table_class_and_id]) + counts + bytes([value])


def thumbnail(comment):
    blocks = (SIDE // 8) ** 2
    # Per block: DC category 0 ("0") then end of block ("0"); pad with ones.
    scan = bytes(blocks * 2 // 8) + (b"" if blocks * 2 % 8 == 0 else b"\x3f")
    parts = [
        b"\xff\xd8",
        _segment(0xE0, b"JFIF\0" + struct.pack(">BBBHHBB", 1, 1, 0, 1, 1, 0, 0)),
        _segment(0xFE, comment.encode("utf-8")[:200]),
        _segment(0xDB, bytes([0]) + bytes([1] * 64)),
        _segment(0xC0, struct.pack(">BHHB", 8, SIDE, SIDE, 1) + bytes([1, 0x11, 0])),
        _segment(0xC4, _huffman_table(0x00, 0x00) + _huffman_table(0x10, 0x00)),
        _segment(0xDA, bytes([1, 1, 0x00, 0, 63, 0])),
        scan,
        b"\xff\xd9",
    ]
    return b"".join(parts)
