#!/usr/bin/env python3
"""Every mode fails when its standard output is lost, and only then.

Usage: check_lost_output.py PIBGEN

Each mode runs three ways: with standard output on /dev/full, where every write fails (exit
status 1, 2 for --diff, and a conversion leaves its destination as it was); into a pipe whose
reader left before the run; and, for the modes that print a lot, into a pipe whose reader
leaves after the first line. A reader that leaves chose to stop reading: the run keeps its own exit status and
a conversion still puts its whole image in place. The description is large enough that the
trace and the decoded text fill the program's buffer many times over.
"""
import os
import shlex
import subprocess
import sys
import tempfile
import zlib

FIELDS = 100000
OLD = b'old image bytes'
# A cross-built program runs under the emulator CMake names in PIBGEN_EMULATOR (Wine for a
# Windows build); a native one runs as it is.
EMULATOR = shlex.split(os.environ.get('PIBGEN_EMULATOR', ''))

# (name, arguments, whether it prints far more than a pipe holds)
MODES = [
    ('convert', ['-Sfields.xml', '-Dimage.bin'], True),
    ('--check', ['--check=fields.xml'], False),
    ('--verify', ['--verify=good.bin'], False),
    ('--verify --layout', ['--verify=good.bin', '--layout=fields.xml'], False),
    ('--decode', ['--decode=good.bin', '--layout=fields.xml'], True),
    ('--diff', ['--diff=good.bin', '--with=good.bin', '--layout=fields.xml'], False),
    ('--help', ['--help'], False),
]


# Two bytes, then the one that keeps the checksum's place, then the numbers: a description
# --check finds nothing in.
HEAD = ('<f><type>System.UInt16</type><value>0</value></f>'
        '<f><type>System.Byte</type><value>0</value></f>')


def expected_image():
    image = bytearray(3) + b''.join(i.to_bytes(4, 'little') for i in range(FIELDS))
    image[2] = zlib.crc32(bytes(image[3:])) >> 24
    return bytes(image)


def run(binary, arguments, work, output):
    """Runs pibgen with standard output on 'full', 'gone' (a pipe already without reader) or
    'first-line' (a pipe read up to its first line), and returns its status and standard error."""
    command = EMULATOR + [binary] + arguments
    if output == 'full':
        with open('/dev/full', 'wb') as full:
            done = subprocess.run(command, cwd=work, stdout=full, stderr=subprocess.PIPE,
                                  timeout=60)
        return done.returncode, done.stderr
    if output == 'gone':
        read_end, write_end = os.pipe()
        os.close(read_end)
        done = subprocess.run(command, cwd=work, stdout=write_end, stderr=subprocess.PIPE,
                              timeout=60)
        os.close(write_end)
        return done.returncode, done.stderr
    process = subprocess.Popen(command, cwd=work, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    first = process.stdout.readline()
    process.stdout.close()
    status = process.wait(timeout=60)
    error = process.stderr.read()
    process.stderr.close()
    return status, error + (b'' if first else b'(no first line)')


def main():
    binary = os.path.abspath(sys.argv[1])
    image = expected_image()
    problems = []
    runs = 0
    with tempfile.TemporaryDirectory(prefix='pibgen-lost-output-') as work:
        with open(os.path.join(work, 'fields.xml'), 'w') as f:
            f.write('<pib>' + HEAD)
            for i in range(FIELDS):
                f.write('<f><type>System.UInt32</type><value>%d</value></f>' % i)
            f.write('</pib>')
        with open(os.path.join(work, 'good.bin'), 'wb') as f:
            f.write(image)
        destination = os.path.join(work, 'image.bin')
        for name, arguments, prints_a_lot in MODES:
            outputs = ['gone'] + (['first-line'] if prints_a_lot else [])
            if os.path.exists('/dev/full'):
                outputs.insert(0, 'full')
            for output in outputs:
                with open(destination, 'wb') as f:
                    f.write(OLD)
                status, error = run(binary, arguments, work, output)
                runs += 1
                with open(destination, 'rb') as f:
                    left = f.read()
                # --diff says it could not compare as cmp does, with 2.
                want_status = (2 if name == '--diff' else 1) if output == 'full' else 0
                want_image = image if name == 'convert' and output != 'full' else OLD
                case = '%s, output %s' % (name, output)
                if status != want_status:
                    problems.append('%s: exit status %d, expected %d' % (case, status, want_status))
                if error:
                    problems.append('%s: standard error %r' % (case, error[:300]))
                if left != want_image:
                    problems.append('%s: destination of %d bytes, expected %s' %
                                    (case, len(left), 'the old bytes' if want_image == OLD
                                     else 'the %d-byte image' % len(image)))
    if problems:
        print('FAIL lost output\n' + '\n'.join(problems))
        sys.exit(1)
    print('ok lost output: %d runs' % runs)


if __name__ == '__main__':
    main()
