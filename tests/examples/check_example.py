#!/usr/bin/env python3
"""Converts one bundled example and compares the image with the bytes it must give, then
reads the image back with the example as layout: --verify --layout must find it matching, and
--decode must print a description that converts to the same image.

Usage: check_example.py PIBGEN DESCRIPTION.xml EXPECTED.hex

EXPECTED.hex holds hexadecimal bytes separated by white space; a "#" starts a comment that
runs to the end of the line. The run must exit 0, print nothing on standard error, end its
trace without a failure message, and leave exactly those bytes.
"""
import os
import shlex
import subprocess
import sys
import tempfile

# A cross-built program runs under the emulator CMake names in PIBGEN_EMULATOR (Wine for a
# Windows build); a native one runs as it is.
EMULATOR = shlex.split(os.environ.get('PIBGEN_EMULATOR', ''))


def read_annotated_hex(path):
    with open(path) as f:
        return bytes.fromhex(' '.join(line.split('#', 1)[0] for line in f))


def read_back(binary, description, image, expected, work):
    problems = []
    verify = subprocess.run(EMULATOR + [binary, '--verify=' + image, '--layout=' + description],
                            capture_output=True, timeout=15)
    if verify.returncode != 0 or b': matches ' not in verify.stdout:
        problems.append('--verify --layout: %r' % verify.stdout[:500])
    decode = subprocess.run(EMULATOR + [binary, '--decode=' + image, '--layout=' + description],
                            capture_output=True, timeout=15)
    if decode.returncode != 0 or decode.stderr:
        problems.append('--decode: exit status %d: %r' % (decode.returncode, decode.stdout[:500]))
        return problems
    decoded = os.path.join(work, 'decoded.xml')
    rebuilt = os.path.join(work, 'rebuilt.bin')
    with open(decoded, 'wb') as f:
        f.write(decode.stdout)
    subprocess.run(EMULATOR + [binary, '-S' + decoded, '-D' + rebuilt], capture_output=True,
                   timeout=15)
    with open(rebuilt, 'rb') as f:
        if f.read() != expected:
            problems.append('the decoded description converts to another image')
    return problems


def main():
    binary, description, expected_path = (os.path.abspath(a) for a in sys.argv[1:4])
    expected = read_annotated_hex(expected_path)
    problems = []
    with tempfile.TemporaryDirectory(prefix='pibgen-example-') as work:
        image = os.path.join(work, 'image.bin')
        run = subprocess.run(EMULATOR + [binary, '-S' + description, '-D' + image],
                             capture_output=True, timeout=15)
        if run.returncode != 0:
            problems.append('exit status %d' % run.returncode)
        if run.stderr:
            problems.append('standard error is not empty: %r' % run.stderr[:500])
        if b'fail' in run.stdout:
            problems.append('the trace reports a failure:\n' + run.stdout.decode(errors='replace'))
        actual = None
        if os.path.isfile(image):
            with open(image, 'rb') as f:
                actual = f.read()
        if actual != expected:
            if actual is None:
                problems.append('no image was written')
            else:
                first = next((i for i in range(min(len(actual), len(expected)))
                              if actual[i] != expected[i]), min(len(actual), len(expected)))
                problems.append('image differs: %d bytes, expected %d; first difference at '
                                'offset %d' % (len(actual), len(expected), first))
        if actual == expected:
            problems += read_back(binary, description, image, expected, work)
    if problems:
        print('FAIL %s\n%s' % (os.path.basename(description), '\n'.join(problems)))
        sys.exit(1)
    print('ok %s (%d bytes)' % (os.path.basename(description), len(expected)))


if __name__ == '__main__':
    main()
