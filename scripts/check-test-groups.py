#!/usr/bin/env python3
"""Every end-to-end test runs in exactly one group of the test command.

The groups are given as gtest filters, one per line ("name<TAB>filter"); the tests are read
from the sources (TEST, TEST_F, TEST_P with its INSTANTIATE_TEST_SUITE_P). A test that no
group's filter takes would run nowhere; one that two take would run twice, beside itself.
"""
import fnmatch
import re
import sys

TEST = re.compile(r'^\s*TEST(_F|_P)?\(\s*(\w+)\s*,\s*(\w+)\s*\)', re.M)
INSTANTIATE = re.compile(r'INSTANTIATE_TEST_SUITE_P\(\s*(\w+)\s*,\s*(\w+)\s*,', re.M)


def test_names(sources):
    names = []
    for path in sources:
        text = open(path, encoding='utf-8').read()
        prefixes = {}
        for prefix, suite in INSTANTIATE.findall(text):
            prefixes.setdefault(suite, []).append(prefix)
        for kind, suite, name in TEST.findall(text):
            if kind == '_P':
                names += [f'{prefix}/{suite}.{name}/0' for prefix in prefixes.get(suite, [])]
            else:
                names.append(f'{suite}.{name}')
    return names


def matches(name, gtest_filter):
    positive, _, negative = gtest_filter.partition('-')
    def any_of(patterns):
        return any(fnmatch.fnmatchcase(name, p) for p in patterns.split(':') if p)
    return any_of(positive or '*') and not any_of(negative)


def main():
    groups = [line.rstrip('\n').split('\t', 1) for line in open(sys.argv[1], encoding='utf-8') if line.strip()]
    names = test_names(sys.argv[2:])
    if not names:
        print('check-test-groups: no tests found in the sources given')
        return 1
    bad = 0
    for name in names:
        taken = [group for group, gtest_filter in groups if matches(name, gtest_filter)]
        if len(taken) != 1:
            bad += 1
            where = ', '.join(taken) if taken else 'no group'
            print(f'{name}: runs in {where}; add its suite to one group in cmake/windows.cmake')
    print(f'check-test-groups: {len(names)} tests, {len(groups)} groups, {bad} not in exactly one group')
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main())
