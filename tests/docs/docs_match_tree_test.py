#!/usr/bin/env python3
"""The guides in docs/ say nothing the tree contradicts: every script is listed in the
developers' guide, every source file of the product is placed in its layout, and every path a
guide names exists, and so does every constant (`kName`) it names. Usage: docs_match_tree_test.py SOURCE_DIR"""
import glob
import os
import re
import sys

root = sys.argv[1]
guide = open(os.path.join(root, "docs/developers.md"), encoding="utf-8").read()
faults = []

scripts = sorted(os.listdir(os.path.join(root, "scripts")))
listed = re.findall(r"^\s{4}scripts/(\S+)", guide, re.M)
for script in scripts:
    if script not in listed:
        faults.append(f"scripts/{script} is not listed in the developers' guide")
for script in listed:
    if script not in scripts:
        faults.append(f"the developers' guide lists scripts/{script}, which the tree does not have")

for folder in ("app", "client", "platform"):
    for path in sorted(glob.glob(os.path.join(root, folder, "*.*"))):
        stem = os.path.splitext(os.path.basename(path))[0]
        if not re.search(r"`" + re.escape(stem) + r"[`.]", guide):
            faults.append(f"{folder}/{os.path.basename(path)} has no place in the guide's layout")

# A path in backticks: a folder of the tree, a slash, and more; a * stands for any name, and so
# does a <placeholder> ("res/lang/<code>.txt").
named = re.compile(r"`((?:app|client|platform|res|tests|scripts|cmake|docs)/[^`\s]*)`")
for name in sorted(os.listdir(os.path.join(root, "docs"))):
    if not name.endswith(".md"):
        continue
    text = open(os.path.join(root, "docs", name), encoding="utf-8").read()
    for path in sorted(set(named.findall(text))):
        pattern = re.sub(r"<[^>]*>", "*", path.rstrip("/"))
        if not glob.glob(os.path.join(root, pattern)):
            faults.append(f"docs/{name} names {path}, which the tree does not have")

code = "".join(open(path, encoding="utf-8").read()
               for folder in ("app", "client", "platform") for path in glob.glob(os.path.join(root, folder, "*.*")))
for name in sorted(os.listdir(os.path.join(root, "docs"))):
    if name.endswith(".md"):
        text = open(os.path.join(root, "docs", name), encoding="utf-8").read()
        for constant in sorted(set(re.findall(r"`(k[A-Z]\w+)`", text))):
            if not re.search(r"\b" + constant + r"\b\s*[={]", code):
                faults.append(f"docs/{name} names {constant}, which the code does not define")

for fault in faults:
    print(fault)
sys.exit(1 if faults else 0)
