#!/usr/bin/env python3
# zip_report.py - an independent reader for the archive tests: opens a ZIP with Python's zipfile, reads
# every entry (zipfile checks each CRC as it reads) and prints one line per entry, then one summary line.
#
#   entry <name-hex> <flag_bits> <create_system> <external_attr> <compress_type> <file_size>
#         <crc32-of-content-read> <extra-ids,comma-separated|-> <dos Y-M-D-h-m-s> <ut-mtime|->
#   end <entry-count> <zip64-end-record 0|1>
#
# Names are printed as the bytes stored in the archive (zipfile decodes them as UTF-8 when bit 11 is
# set, else as code page 437; both are undone here). Exit status 1 when zipfile refuses the archive.
import struct
import sys
import zipfile
import zlib


def stored_name(info):
    if info.flag_bits & 0x800:
        return info.filename.encode("utf-8")
    return info.orig_filename.encode("cp437")


def extra_fields(extra):
    ids, ut = [], "-"
    at = 0
    while at + 4 <= len(extra):
        ident, size = struct.unpack_from("<HH", extra, at)
        ids.append("%04x" % ident)
        if ident == 0x5455 and size >= 5 and extra[at + 4] & 1:
            ut = str(struct.unpack_from("<i", extra, at + 5)[0])
        at += 4 + size
    return ",".join(ids) or "-", ut


def main(path):
    try:
        with zipfile.ZipFile(path) as archive:
            infos = archive.infolist()
            for info in infos:
                crc = 0
                with archive.open(info) as data:
                    while True:
                        chunk = data.read(1 << 20)
                        if not chunk:
                            break
                        crc = zlib.crc32(chunk, crc)
                ids, ut = extra_fields(info.extra)
                print("entry", stored_name(info).hex(), info.flag_bits, info.create_system,
                      info.external_attr, info.compress_type, info.file_size, crc, ids,
                      "-".join(str(v) for v in info.date_time), ut)
        # No archive comment is written, so the end record is the last 22 bytes and a ZIP64 end
        # locator, when present, the 20 bytes before it.
        with open(path, "rb") as raw:
            raw.seek(0, 2)
            size = raw.tell()
            raw.seek(max(0, size - 42))
            tail = raw.read()
        zip64 = len(tail) == 42 and tail[:4] == b"PK\x06\x07" and tail[20:24] == b"PK\x05\x06"
        print("end", len(infos), 1 if zip64 else 0)
    except (zipfile.BadZipFile, OSError, EOFError) as error:
        print("bad", error)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
