#!/usr/bin/env python3
"""Reads an X window dump (xwd) on standard input; exits 0 when its centre pixel is white, 1 otherwise."""
import struct
import sys

data = sys.stdin.buffer.read()
if len(data) < 100:
    sys.exit(1)
fields = struct.unpack(">25I", data[:100])
header_size, width, height = fields[0], fields[4], fields[5]
byte_order, bits_per_pixel, bytes_per_line, colours = fields[7], fields[11], fields[12], fields[19]
if bits_per_pixel != 32:
    sys.exit(1)
offset = header_size + 12 * colours + (height // 2) * bytes_per_line + (width // 2) * 4
if offset + 4 > len(data):
    sys.exit(1)
pixel = struct.unpack("<I" if byte_order == 0 else ">I", data[offset:offset + 4])[0]
sys.exit(0 if pixel & 0xFFFFFF == 0xFFFFFF else 1)
