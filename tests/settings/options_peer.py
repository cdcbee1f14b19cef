#!/usr/bin/python3
"""Python's zipfile as an independent reader of option archives.

read ARCHIVE PASSWORD
    Prints the entry names, then one line "entry KEY=VALUE" per entry of
    the first entry's text (entries end with the bytes 00 0D 0A). Exits 3
    when the password is refused, 4 when the text is not a sequence of
    terminated entries.
empty ARCHIVE
    Writes a zip archive without entries.
"""
import sys
import zipfile


def read(archive, password):
    with zipfile.ZipFile(archive) as zf:
        infos = zf.infolist()
        print("names=" + ",".join(i.filename for i in infos))
        print("encrypted=" + ",".join(str(i.flag_bits & 1) for i in infos))
        zf.setpassword(password.encode())
        try:
            data = zf.read(infos[0])
        except RuntimeError as e:  # bad password
            print("refused: %s" % e)
            sys.exit(3)
    if data and not data.endswith(b"\x00\r\n"):
        sys.exit(4)
    for entry in data.split(b"\x00\r\n")[:-1]:
        if b"=" not in entry or b"\x00" in entry:
            sys.exit(4)
        print("entry " + entry.decode("latin-1"))
    print("size=%d" % len(data))


def empty(archive):
    zipfile.ZipFile(archive, "w").close()


if __name__ == "__main__":
    if sys.argv[1] == "read":
        read(sys.argv[2], sys.argv[3])
    elif sys.argv[1] == "empty":
        empty(sys.argv[2])
    else:
        sys.exit(2)
