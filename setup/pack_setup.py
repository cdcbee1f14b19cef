#!/usr/bin/env python3
"""Packs the shipped setup file: the setup program's image followed by its
archive, "<Setup Data Header>", the records (name, zero byte, 32-bit
little-endian length, data) and "<Setup Data End>". Run by the build.

pack_setup.py OUT IMAGE NAME=FILE [NAME=FILE ...]

The records keep the order given. The packer refuses (exit code 1, nothing
written) what setup could not read back: a first record other than
"Uninstall.qsc" (the uninstaller copy ends with the first record), two
names equal without case, names that are no plain file names, a record that
holds the header text (the reader searches it from the end) or a script
(".qsc") with a zero byte. Scripts get CR LF line ends: setup ends a
statement only at CR.
"""
import os
import struct
import sys

HEADER = b"<Setup Data Header>"
TRAILER = b"<Setup Data End>"
BAD_NAME_CHARS = set('<>:"/\\|?*')


class PackError(Exception):
    pass


def crlf(text):
    """LF and CR line ends become CR LF; CR LF stays."""
    return text.replace(b"\r\n", b"\n").replace(b"\r", b"\n").replace(b"\n", b"\r\n")


def check_name(name):
    if not name or len(name.encode("latin-1")) >= 260:
        raise PackError("record name %r: empty or 260 characters or more" % name)
    if any(c in BAD_NAME_CHARS or ord(c) < 32 for c in name) or name.endswith((" ", ".")):
        raise PackError("record name %r: not a plain file name" % name)


def record_data(name, path):
    with open(path, "rb") as f:
        data = f.read()
    if name.lower().endswith(".qsc"):
        if b"\0" in data:
            raise PackError("script %s: holds a zero byte, where setup would stop reading" % name)
        data = crlf(data)
    if HEADER in data:
        raise PackError("record %s: holds the text %s, which would be taken for the archive" % (name, HEADER.decode()))
    if len(data) >= 1 << 32:
        raise PackError("record %s: 4 GB or more" % name)
    return data


def archive(records):
    """The archive bytes of (name, data) pairs, after the checks."""
    if not records or records[0][0].lower() != "uninstall.qsc":
        raise PackError('the first record must be "Uninstall.qsc"')
    seen = set()
    out = HEADER
    for name, data in records:
        check_name(name)
        if name.lower() in seen:
            raise PackError("record name %s: given twice (names compare without case)" % name)
        seen.add(name.lower())
        out += name.encode("latin-1") + b"\0" + struct.pack("<I", len(data)) + data
    return out + TRAILER


def main(argv):
    if len(argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    out, image = argv[1], argv[2]
    try:
        records = []
        for arg in argv[3:]:
            name, sep, path = arg.partition("=")
            if not sep:
                raise PackError("%r: expected NAME=FILE" % arg)
            records.append((name, record_data(name, path)))
        packed = archive(records)
        with open(image, "rb") as f:
            program = f.read()
    except (PackError, OSError) as e:
        print("pack_setup.py: %s" % e, file=sys.stderr)
        return 1
    tmp = out + ".tmp"
    with open(tmp, "wb") as f:
        f.write(program + packed)
    os.chmod(tmp, 0o755)
    os.replace(tmp, out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
