#!/usr/bin/python3
"""Python's zipfile as an independent peer of the zip tests.

inspect ARCHIVE OUTDIR [PASSWORD]
    One line per entry with the fields of both headers; each entry's data,
    read and CRC-checked by zipfile, is written to OUTDIR/<index>.
make DIR
    Writes the archives that the reader tests expect from another tool.
"""
import io
import os
import struct
import sys
import time
import zipfile


def inspect(archive, outdir, password=None):
    raw = open(archive, "rb").read()
    with zipfile.ZipFile(archive) as zf:
        if password:
            zf.setpassword(os.fsencode(password))
        print("count=%d" % len(zf.infolist()))
        for i, info in enumerate(zf.infolist()):
            off = info.header_offset
            (sig, _ver, lflags, lmethod, _t, _d, lcrc, lcsize, lusize, nlen, elen) = struct.unpack(
                "<IHHHHHIIIHH", raw[off:off + 30])
            assert sig == 0x04034B50
            lextra = raw[off + 30 + nlen: off + 30 + nlen + elen]
            data_end = off + 30 + nlen + elen + info.compress_size
            descriptor = raw[data_end:data_end + 16] if lflags & 8 else b""
            data = zf.read(info)
            with open(os.path.join(outdir, str(i)), "wb") as f:
                f.write(data)
            fields = {
                "name": info.filename, "method": info.compress_type, "flags": info.flag_bits,
                "lflags": lflags, "lmethod": lmethod, "crc": "%08x" % info.CRC, "lcrc": "%08x" % lcrc,
                "csize": info.compress_size, "usize": info.file_size, "lcsize": lcsize, "lusize": lusize,
                "made": "%04x" % (info.create_system << 8 | info.create_version),
                "needed": info.extract_version, "ext": "%08x" % info.external_attr,
                "int": info.internal_attr, "cextra": info.extra.hex(), "lextra": lextra.hex(),
                "desc": descriptor.hex(), "dostime": "%04d-%02d-%02dT%02d:%02d:%02d" % info.date_time,
            }
            print("entry " + " ".join("%s=%s" % kv for kv in fields.items()))


def make(folder):
    def path(name):
        return os.path.join(folder, name)

    blob = bytes((i * 7 + 3) % 251 for i in range(5000))
    text = b"gOpt.Key=Value\r\n" * 300

    def entries(zf):
        zf.writestr(zipfile.ZipInfo("deflated.txt", (2020, 5, 6, 7, 8, 10)), text, zipfile.ZIP_DEFLATED)
        zf.writestr(zipfile.ZipInfo("stored.bin", (2020, 5, 6, 7, 8, 12)), blob, zipfile.ZIP_STORED)
        ro = zipfile.ZipInfo("readonly.txt", (1999, 12, 31, 23, 59, 58))
        ro.create_system = 3
        ro.external_attr = 0o100444 << 16
        zf.writestr(ro, b"read only\n", zipfile.ZIP_DEFLATED)
        rw = zipfile.ZipInfo("writable.txt", (1999, 12, 31, 23, 59, 58))
        rw.create_system = 3
        rw.external_attr = 0o100644 << 16
        zf.writestr(rw, b"writable\n", zipfile.ZIP_DEFLATED)
        for name in ("C:\\dir\\..\\x.txt", "/etc/y", "a/../b", "a/../../b", "..\\evil5.txt",
                     "a\\..\\..\\evil6.txt", "x/..\\..\\evil7.txt"):
            zf.writestr(zipfile.ZipInfo(name, (2020, 1, 1, 0, 0, 0)), name.encode("latin-1"))

    with zipfile.ZipFile(path("python.zip"), "w") as zf:
        entries(zf)
    with zipfile.ZipFile(path("comment.zip"), "w") as zf:
        entries(zf)
        # A comment that holds an end-record signature of its own.
        zf.comment = (b"c" * 1000 + b"PK\x05\x06" + b"\xff" * 18 + b"c" * 978)[:2000]
    plain = open(path("python.zip"), "rb").read()
    with open(path("prefixed.zip"), "wb") as f:
        f.write(bytes(range(100)) + plain)
    # DOS times read as local time: the expected UTC seconds of the fixtures.
    print("local1999=%d" % int(time.mktime((1999, 12, 31, 23, 59, 58, 0, 0, -1))))
    print("local2020=%d" % int(time.mktime((2020, 5, 6, 7, 8, 10, 0, 0, -1))))


if __name__ == "__main__":
    if sys.argv[1] == "inspect":
        inspect(sys.argv[2], sys.argv[3], sys.argv[4] if len(sys.argv) > 4 else None)
    elif sys.argv[1] == "make":
        make(sys.argv[2])
    else:
        sys.exit("unknown command " + sys.argv[1])
