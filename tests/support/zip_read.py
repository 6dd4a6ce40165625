"""zip_read.py ARCHIVE - an archive as Python's zipfile reads it: a first line OK (every CRC checked) or
BAD, then one line per entry: name bytes in hex, uncompressed size, Unix mode, data of entries up to
64 bytes in hex (or '-'), the year of the DOS time, the modification time of the extended-time
field ("UT", 0x5455) read as libarchive reads it, unsigned (or -1 when the entry has none), the
method, and 1 when the language-encoding flag (UTF-8 name) is set, else 0."""
import struct
import sys
import zipfile


def extended_mtime(extra):
    at = 0
    while at + 4 <= len(extra):
        tag, size = struct.unpack_from("<HH", extra, at)
        body = extra[at + 4:at + 4 + size]
        if tag == 0x5455 and len(body) >= 5 and body[0] & 1:
            return struct.unpack_from("<I", body, 1)[0]
        at += 4 + size
    return -1


try:
    with zipfile.ZipFile(sys.argv[1]) as z:
        bad = z.testzip()
        print("OK" if bad is None else "BAD " + bad)
        for info in z.infolist():
            raw = info.orig_filename.encode("utf-8" if info.flag_bits & 0x800 else "cp437")
            data = z.read(info).hex() if info.file_size <= 64 else "-"
            print(raw.hex() or "-", info.file_size, info.external_attr >> 16, data or "-",
                  info.date_time[0], extended_mtime(info.extra), info.compress_type,
                  1 if info.flag_bits & 0x800 else 0)
except Exception as error:  # a damaged archive is a finding, not a crash
    print("BAD", type(error).__name__, error)
