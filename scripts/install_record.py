#!/usr/bin/env python3
"""Prints the install settings record that setup writes for a product, as
the hex text that `reg add /t REG_BINARY /d` takes: 1,328 bytes, validity
word 1, version, the three folder flags, install folder, custom data folder
and the two web addresses.

install_record.py INSTALL_FOLDER [CUSTOM_DATA_FOLDER [PER_USER]]
"""
import struct
import sys


def text(s, width=260):
    b = s.encode("latin-1")[: width - 1]
    return b + b"\0" * (width - len(b))


def record(install, custom="", per_user=False, version=(4, 13)):
    r = struct.pack("<H8shhhhh", 1, b"\0" * 8, version[0], version[1], 1, 1 if custom else 0, 1 if per_user else 0)
    r += text(install) + text(custom) + b"\0" * 260
    r += text("http://www.tarnwick.example/vellumor/version.txt") + text("http://www.tarnwick.example/vellumor/")
    r += struct.pack("<hhhh", 0, 0, 0, 0)
    assert len(r) == 1328
    return r


if __name__ == "__main__":
    args = sys.argv[1:]
    rec = record(args[0], args[1] if len(args) > 1 else "", len(args) > 2 and args[2] == "1")
    print(rec.hex().upper())
