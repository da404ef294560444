#!/usr/bin/env python3
"""Runs the hostile end-to-end cases and prints, for each, its outcome, wall time and peak memory.

Usage: scripts/measure-hostile.py [path/to/pibgen]   (default: build/pibgen)
Every case must end within 2 s and 200 MB; the last column says whether it did. The exit status is
1 if any case failed its checks or went over either bound.
"""
import os
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), '..'))
sys.path.insert(0, os.path.join(ROOT, 'tests', 'e2e'))
from run_case import run_case  # noqa: E402

CASES_DIR = os.path.join(ROOT, 'tests', 'e2e', 'cases')
# Hostile inputs and destinations that are not named hostile-*.
OTHERS = [
    'external-entity', 'external-dtd-not-read', 'source-truncated', 'source-malformed',
    'source-directory', 'source-missing', 'negative-size-byte-array', 'negative-size-fill',
    'destination-directory', 'destination-dangling-symlink', 'destination-missing-folder',
    'destination-dev-full', 'destination-is-source', 'destination-symlink-to-source',
]
MAX_SECONDS = 2.0
MAX_MB = 200


def main():
    binary = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, 'build', 'pibgen'))
    names = sorted(n for n in os.listdir(CASES_DIR) if n.startswith('hostile-')) + OTHERS
    failed = False
    print('| case | exit | checks | time (s) | peak (MB) | within 2 s and 200 MB |')
    print('|---|---|---|---|---|---|')
    for name in names:
        result = run_case(binary, os.path.join(CASES_DIR, name))
        if result is None:
            print('| %s | | skipped (root reads anything) | | | |' % name)
            continue
        problems, status, seconds, peak_kb = result
        peak_mb = peak_kb / 1024.0
        within = seconds <= MAX_SECONDS and peak_mb <= MAX_MB
        failed = failed or bool(problems) or not within
        print('| %s | %d | %s | %.3f | %.1f | %s |' % (name, status, 'pass' if not problems else 'FAIL',
                                                   seconds, peak_mb, 'yes' if within else 'NO'))
        for problem in problems:
            print('    ' + problem.replace('\n', '\n    '), file=sys.stderr)
    sys.exit(1 if failed else 0)


if __name__ == '__main__':
    main()
