"""zip_read.py ARCHIVE - an archive as Python's zipfile reads it: a first line OK (every CRC checked) or
BAD, then one line per entry: name bytes in hex, uncompressed size, Unix mode, data of entries up to
64 bytes in hex (or '-')."""
import sys
import zipfile

try:
    with zipfile.ZipFile(sys.argv[1]) as z:
        bad = z.testzip()
        print("OK" if bad is None else "BAD " + bad)
        for info in z.infolist():
            raw = info.orig_filename.encode("utf-8" if info.flag_bits & 0x800 else "cp437")
            data = z.read(info).hex() if info.file_size <= 64 else "-"
            print(raw.hex() or "-", info.file_size, info.external_attr >> 16, data or "-")
except Exception as error:  # a damaged archive is a finding, not a crash
    print("BAD", type(error).__name__, error)
