#!/usr/bin/env python3
"""Sums gcov's line and branch counts for the sources under one folder.

Usage: coverage_summary.py BUILD_DIR SOURCE_PREFIX
Runs gcov in JSON form on every .gcda file under BUILD_DIR, merges what several objects say about
the same line (a header compiled into many), and prints per-file and total figures. Branches that
only exist for exceptions thrown by called code are left out, as gcov's own -b summary does not.
"""
import gzip
import json
import os
import subprocess
import sys


def main():
    build, prefix = sys.argv[1], sys.argv[2]
    root = os.path.abspath(os.path.join(os.path.dirname(__file__), '..'))
    lines = {}     # (file, line) -> executed
    branches = {}  # (file, line, index) -> taken
    for folder, _, names in os.walk(build):
        for name in names:
            if not name.endswith('.gcda'):
                continue
            gcda = os.path.abspath(os.path.join(folder, name))
            out = subprocess.run(['gcov', '--json-format', '--stdout', '--branch-probabilities', gcda],
                                 cwd=folder, capture_output=True, check=True).stdout
            for chunk in out.splitlines():
                if not chunk.strip():
                    continue
                data = json.loads(chunk)
                for source in data.get('files', []):
                    path = os.path.normpath(os.path.join(data.get('current_working_directory', folder),
                                                         source['file']))
                    relative = os.path.relpath(path, root)
                    if not relative.startswith(prefix + os.sep):
                        continue
                    for line in source['lines']:
                        key = (relative, line['line_number'])
                        lines[key] = lines.get(key, False) or line['count'] > 0
                        index = 0
                        for branch in line.get('branches', []):
                            if branch.get('throw'):
                                continue
                            bkey = key + (index,)
                            branches[bkey] = branches.get(bkey, False) or branch['count'] > 0
                            index += 1

    files = sorted({key[0] for key in lines})
    print('%-58s %15s %17s' % ('file', 'lines', 'branches'))
    total = [0, 0, 0, 0]
    for name in files:
        l_all = [v for k, v in lines.items() if k[0] == name]
        b_all = [v for k, v in branches.items() if k[0] == name]
        counts = [sum(l_all), len(l_all), sum(b_all), len(b_all)]
        total = [a + b for a, b in zip(total, counts)]
        print('%-58s %6d/%-5d %3.0f%% %6d/%-5d %3.0f%%' % (
            name, counts[0], counts[1], 100.0 * counts[0] / max(counts[1], 1),
            counts[2], counts[3], 100.0 * counts[2] / max(counts[3], 1)))
    print('%-58s %6d/%-5d %5.1f%% %5d/%-5d %5.1f%%' % (
        'total', total[0], total[1], 100.0 * total[0] / max(total[1], 1),
        total[2], total[3], 100.0 * total[2] / max(total[3], 1)))


if __name__ == '__main__':
    main()
