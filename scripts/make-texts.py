#!/usr/bin/env python3
"""Every text a Kestrane box shows, from res/lang/*.txt into C++ for the build.

usage: make-texts.py LANG_DIR OUT_DIR

res/lang/en.txt holds the English, the source; every other file one language, each entry
with the English it translates. The build fails, naming each fault, when a language misses
an entry or has one the English lacks, when an entry's English changed since it was
translated, or when its placeholders differ from the English. Each language is packed as
raw DEFLATE (Python's zlib, the format's reference encoder), English too, so that only the
language a box speaks is ever decoded.
"""
import os
import re
import sys
import zlib

KEY = re.compile(r'^\[([A-Za-z][\w.]*)\]$')
FIELD = re.compile(r'^([A-Za-z][\w-]*): ?(.*)$')
PLACEHOLDER = re.compile(r'\{\w+\}')
# Written without spaces between words: a box is measured in characters there.
CHARACTER_COUNTED = {'zh-Hant', 'zh-Hans', 'ja', 'th'}


def read(path):
    head, entries, key = {}, {}, None
    with open(path, encoding='utf-8') as source:
        for number, line in enumerate(source, 1):
            line = line.rstrip('\n')
            if not line.strip() or line.startswith('#'):
                continue
            match = KEY.match(line)
            if match:
                key = match.group(1)
                if key in entries:
                    raise SystemExit(f'{path}:{number}: [{key}] twice')
                entries[key] = {}
                continue
            match = FIELD.match(line)
            if not match:
                raise SystemExit(f'{path}:{number}: neither [key] nor "name: text": {line}')
            (entries[key] if key else head)[match.group(1)] = match.group(2)
    return head, entries


def faults_of(code, entries, english):
    faults = []
    for key, source in english.items():
        entry = entries.get(key)
        if entry is None:
            faults.append(f'[{key}] is missing')
            continue
        if entry.get('en') != source['en']:
            faults.append(f'[{key}] translates an English that changed since: now "{source["en"]}"')
        text = entry.get(code)
        if not text:
            faults.append(f'[{key}] has no "{code}:" text')
        elif sorted(PLACEHOLDER.findall(text)) != sorted(PLACEHOLDER.findall(source['en'])):
            faults.append(f'[{key}] has placeholders {sorted(PLACEHOLDER.findall(text))}, '
                          f'the English {sorted(PLACEHOLDER.findall(source["en"]))}')
    faults += [f'[{key}] is not in the English' for key in entries if key not in english]
    return faults


def identifier(key):
    return key.replace('.', '_')


def c_string(text):
    out = []
    for byte in text.encode('utf-8'):
        char = chr(byte)
        if char in '\\"':
            out.append('\\' + char)
        elif 32 <= byte < 127:
            out.append(char)
        else:
            out.append(f'\\{byte:03o}')
    return '"' + ''.join(out) + '"'


def main():
    lang_dir, out_dir = sys.argv[1], sys.argv[2]
    _, english = read(os.path.join(lang_dir, 'en.txt'))
    keys = list(english)
    # English is packed too, first: it is decoded only where a box speaks it.
    languages, faults = [('en', ['en'], '\0'.join(english[key]['en'] for key in keys).encode('utf-8'))], []
    for name in sorted(os.listdir(lang_dir)):
        if not name.endswith('.txt') or name == 'en.txt':
            continue
        path = os.path.join(lang_dir, name)
        head, entries = read(path)
        code = head.get('language', '')
        if code + '.txt' != name or not head.get('name') or not head.get('windows'):
            faults.append(f'{path}: the header needs "language: {name[:-4]}", "name:" and "windows:"')
            continue
        faults += [f'{path}: {fault}' for fault in faults_of(code, entries, english)]
        texts = '\0'.join(entries[key][code] for key in keys if key in entries and entries[key].get(code))
        languages.append((code, head['windows'].split(), texts.encode('utf-8')))
    if faults:
        print('\n'.join(faults), file=sys.stderr)
        print(f'make-texts: {len(faults)} faults in the translations; see docs/translating.md', file=sys.stderr)
        return 1

    os.makedirs(os.path.join(out_dir, 'app'), exist_ok=True)
    header = ['// Made by scripts/make-texts.py from res/lang/*.txt at build time: edit those, not this.',
              '#pragma once', '', 'namespace kestrane {', '',
              'enum class TextId : unsigned short {']
    header += [f'  {identifier(key)},' for key in keys]
    header += ['};', f'inline constexpr int kTextCount = {len(keys)};', '', '}  // namespace kestrane', '']
    packed, table = bytearray(), []
    for code, windows, raw in languages:
        compressor = zlib.compressobj(9, zlib.DEFLATED, -15, 9)
        data = compressor.compress(raw) + compressor.flush()
        table.append(f'    {{{c_string(code)}, {c_string(" ".join(windows))}, {str(code in CHARACTER_COUNTED).lower()}, '
                     f'{len(packed)}, {len(data)}, {len(raw)}}},')
        packed += data
    source = ['// Made by scripts/make-texts.py from res/lang/*.txt at build time: edit those, not this.',
              '#include "app/texts.h"', '', 'namespace kestrane::generated {', '',
              f'const LanguageData kLanguages[{len(table)}] = {{'] + table + ['};',
               f'const int kLanguageCount = {len(languages)};', '',
               f'const unsigned char kPacked[{max(len(packed), 1)}] = {{']
    source += ['    ' + ', '.join(str(b) for b in packed[i:i + 24]) + ',' for i in range(0, len(packed), 24)]
    source += ['};', '', '}  // namespace kestrane::generated', '']
    for name, lines in (('app/texts_generated.h', header), ('app/texts_generated.cpp', source)):
        with open(os.path.join(out_dir, name), 'w', encoding='utf-8') as out:
            out.write('\n'.join(lines))
    print(f'make-texts: {len(keys)} texts, {len(languages) - 1} languages besides English, {len(packed)} bytes packed')
    return 0


if __name__ == '__main__':
    sys.exit(main())
