#!/usr/bin/env python3
"""scripts/package.sh lays out a build's release under the version that build was made with:
DIST/ARCH/Kestrane.exe, its SHA-256 beside it, and Kestrane-VERSION-ARCH.zip holding the one
file, dated to the commit, so that two packings of one build are the same bytes.
Usage: package_test.py SOURCE_DIR"""
import hashlib
import os
import subprocess
import sys
import tempfile
import zipfile

root = sys.argv[1]
faults = []
with tempfile.TemporaryDirectory() as scratch:
    build = os.path.join(scratch, "build")
    os.makedirs(os.path.join(build, "bin"))
    program = b"MZ a stand-in for the program"
    with open(os.path.join(build, "bin", "Kestrane.exe"), "wb") as out:
        out.write(program)
    with open(os.path.join(build, "version.txt"), "w") as out:
        out.write("7.05.0102\n")
    zips = []
    for dist in ("dist-a", "dist-b"):
        named = subprocess.run(["bash", os.path.join(root, "scripts/package.sh"), build, os.path.join(scratch, dist), "win64"],
                               check=True, capture_output=True, text=True).stdout.strip()
        if named != "Kestrane-7.05.0102-win64.zip":
            faults.append(f"the zip is named {named!r}, not by the build's version")
        path = os.path.join(scratch, dist, named)
        zips.append(open(path, "rb").read())
        with zipfile.ZipFile(path) as packed:
            if packed.namelist() != ["Kestrane.exe"] or packed.read("Kestrane.exe") != program:
                faults.append(f"{named} does not hold the program alone: {packed.namelist()}")
        checksum = open(os.path.join(scratch, dist, "win64", "Kestrane.exe.sha256")).read().split()[0]
        if checksum != hashlib.sha256(program).hexdigest():
            faults.append("the .sha256 beside the program is not its sum")
    if zips[0] != zips[1]:
        faults.append("two packings of one build differ")

for fault in faults:
    print(fault)
sys.exit(1 if faults else 0)
