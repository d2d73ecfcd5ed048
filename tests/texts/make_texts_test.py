#!/usr/bin/env python3
"""The build refuses a partial or stale language: make-texts.py, run on a copy of the
English and one translation, fails naming the fault for a missing entry, an entry the
English lacks, an English changed since the translation, and a placeholder changed; the
copy as it is passes."""
import os
import shutil
import subprocess
import sys
import tempfile

root = sys.argv[1]
script = os.path.join(root, 'scripts', 'make-texts.py')
languages = os.path.join(root, 'res', 'lang')
translation = next(name for name in sorted(os.listdir(languages)) if name not in ('en.txt',) and name.endswith('.txt'))
code = translation[:-4]


def run(change):
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, 'lang')
        os.makedirs(source)
        for name in ('en.txt', translation):
            shutil.copy(os.path.join(languages, name), source)
        change(source)
        done = subprocess.run([sys.executable, script, source, os.path.join(work, 'out')], capture_output=True, text=True)
        return done.returncode, done.stderr


def edit(name, old, new):
    def change(source):
        path = os.path.join(source, name)
        text = open(path, encoding='utf-8').read()
        assert old in text, f'{old!r} not in {name}'
        with open(path, 'w', encoding='utf-8') as out:
            out.write(text.replace(old, new, 1))
    return change


def append(name, text):
    def change(source):
        with open(os.path.join(source, name), 'a', encoding='utf-8') as out:
            out.write(text)
    return change


english = open(os.path.join(languages, 'en.txt'), encoding='utf-8').read()
line = next(l for l in english.splitlines() if l.startswith('en: ') and '{settings}' in l)
translated = open(os.path.join(languages, translation), encoding='utf-8').read()
said = next(l for l in translated.splitlines() if l.startswith(code + ': ') and '{settings}' in l)
cases = [
    ('as it is', lambda source: None, None),
    ('an entry missing', edit(translation, '[box.DiskFull.first]', '[box.DiskFull.gone]'), 'is missing'),
    ('an entry the English lacks', append(translation, f'\n[box.NoSuchBox.first]\nen: x\n{code}: x\n'), 'not in the English'),
    ('an English changed', edit('en.txt', line, line.replace('{settings}', '{settings} now')), 'changed since'),
    ('a placeholder changed', edit(translation, said, said.replace('{settings}', '{setings}', 1)), 'placeholders'),
]
failed = 0
for what, change, fault in cases:
    status, errors = run(change)
    ok = status == 0 if fault is None else status != 0 and fault in errors
    print(f'{"ok  " if ok else "FAIL"} {what}: exit {status}' + ('' if ok else f'\n{errors}'))
    failed += not ok
sys.exit(1 if failed else 0)
