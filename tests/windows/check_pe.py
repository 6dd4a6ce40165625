#!/usr/bin/env python3
"""check_pe.py - what the Windows build's files export and import, read with objdump -p.
   usage: check_pe.py <objdump> <7-zip32.dll> <program.exe>...
The DLL exports exactly `SevenZip`, undecorated (GetProcAddress(h, "SevenZip") finds it on both
architectures); the DLL and the programs import only DLLs every Windows system has: a missing
libstdc++-6.dll or zlib1.dll keeps them from loading at all. The programs may import the DLL itself. Runs for i686 too, which cannot run here."""
import os
import re
import subprocess
import sys

SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "advapi32.dll", "user32.dll", "shell32.dll", "gdi32.dll",
               "comctl32.dll", "version.dll", "ole32.dll", "oleaut32.dll", "shlwapi.dll", "ntdll.dll",
               "bcrypt.dll"}


def pe_tables(objdump, path):
    text = subprocess.run([objdump, "-p", path], check=True, capture_output=True, text=True).stdout
    imports = [m.lower() for m in re.findall(r"^\s*DLL Name: (\S+)", text, re.M)]
    table = text.split("[Ordinal/Name Pointer] Table", 1)
    exports = re.findall(r"^\s*\[\s*\d+\] (\S+)", table[1].split("\n\n", 1)[0], re.M) if len(table) > 1 else []
    return exports, imports


def main(objdump, dll, *programs):
    faults = []
    exports, _ = pe_tables(objdump, dll)
    if exports != ["SevenZip"]:
        faults.append(f"{dll} exports {exports or 'nothing'}, not exactly SevenZip")
    for path in (dll, *programs):
        _, imports = pe_tables(objdump, path)
        foreign = sorted(set(imports) - SYSTEM_DLLS - {os.path.basename(dll).lower()})
        if foreign or not imports:
            faults.append(f"{path} imports {foreign or 'nothing'} beyond the system DLLs")
    for fault in faults:
        print("check_pe: " + fault)
    print(f"check_pe: {1 + len(programs)} files, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]) if len(sys.argv) >= 3 else "usage: check_pe.py <objdump> <dll> <exe>...")
