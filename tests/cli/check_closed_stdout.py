#!/usr/bin/env python3
"""A conversion whose standard output is a pipe nobody reads must still finish its image.

Usage: check_closed_stdout.py PIBGEN

The description is large enough that the trace fills the sink's buffer many times over, so
the program writes to the closed pipe long before the conversion ends.
"""
import os
import shlex
import subprocess
import sys
import tempfile
import zlib

FIELDS = 100000
# A cross-built program runs under the emulator CMake names in PIBGEN_EMULATOR (Wine for a
# Windows build); a native one runs as it is.
EMULATOR = shlex.split(os.environ.get('PIBGEN_EMULATOR', ''))


def main():
    binary = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory(prefix='pibgen-closed-stdout-') as work:
        description = os.path.join(work, 'fields.xml')
        with open(description, 'w') as f:
            f.write('<pib>')
            for i in range(FIELDS):
                f.write('<f><type>System.UInt32</type><value>%d</value></f>' % i)
            f.write('</pib>')
        image = os.path.join(work, 'image.bin')
        read_end, write_end = os.pipe()
        os.close(read_end)  # the reader is gone before the program starts
        run = subprocess.run(EMULATOR + [binary, '-S' + description, '-D' + image],
                             stdout=write_end, stderr=subprocess.PIPE, timeout=60)
        os.close(write_end)
        expected = bytearray(b''.join(i.to_bytes(4, 'little') for i in range(FIELDS)))
        expected[2] = zlib.crc32(bytes(expected[3:])) >> 24
        with open(image, 'rb') as f:
            actual = f.read()
        problems = []
        if run.returncode != 0:
            problems.append('exit status %d' % run.returncode)
        if run.stderr:
            problems.append('standard error is not empty: %r' % run.stderr[:500])
        if actual != bytes(expected):
            problems.append('image of %d bytes differs from the expected %d bytes'
                            % (len(actual), len(expected)))
    if problems:
        print('FAIL closed standard output\n' + '\n'.join(problems))
        sys.exit(1)
    print('ok closed standard output: %d-byte image finished' % len(expected))


if __name__ == '__main__':
    main()
