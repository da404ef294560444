#!/usr/bin/env python3
"""The trace on standard output and the image never share a file.

Usage: check_standard_output_destination.py PIBGEN

Closed standard descriptors get /dev/null, so neither the description nor the image lands on
descriptor 1; a destination that is where standard output already goes is refused, and so is a
description that standard output is appended to, before it is read: the trace never lands in
the description, and the image stays as it was. /dev/null as both stays allowed.
"""
import os
import shlex
import subprocess
import sys
import tempfile
import zlib

FIELDS = 3000  # the trace outgrows the output buffer: it is written during the conversion
REFUSED = b'create pib file fail\nFatal Error: ReadXMLToPIBFile failed \n'
NOT_LOADED = b'load xml file fail\nFatal Error: ReadXMLToPIBFile failed \n'
DESCRIPTION = '<p>' + '<f><type>System.UInt16</type><value>1</value></f>' * FIELDS + '</p>'
# A cross-built program runs under the emulator CMake names in PIBGEN_EMULATOR (Wine for a
# Windows build); a native one runs as it is.
EMULATOR = shlex.split(os.environ.get('PIBGEN_EMULATOR', ''))

# name, descriptors closed in the child, destination, where standard output goes
CASES = [
    ('standard output closed', (1,), 'image.bin', None),
    ('all three closed', (0, 1, 2), 'image.bin', None),
    ('output redirected to the image', (), 'image.bin', 'image.bin'),
    ('image is /dev/stdout', (), '/dev/stdout', 'image.bin'),
    ('image is /dev/fd/1', (), '/dev/fd/1', 'image.bin'),
    ('image and output are /dev/null', (), '/dev/null', '/dev/null'),
    ('output appended to the description', (), 'image.bin', 'fields.xml'),
]


def expected_image():
    image = bytearray((1).to_bytes(2, 'little') * FIELDS)
    image[2] = zlib.crc32(bytes(image[3:])) >> 24
    return bytes(image)


def run(binary, work, closed, destination, output):
    description = os.path.join(work, 'fields.xml')
    image = os.path.join(work, 'image.bin')
    with open(image, 'wb') as f:
        f.write(b'an older image')
    stdout = open(os.path.join(work, output), 'ab') if output else subprocess.DEVNULL

    def close_descriptors():
        for fd in closed:
            os.close(fd)

    status = subprocess.run(EMULATOR + [binary, '-S' + description, '-D' + destination],
                            cwd=work, stdout=stdout, stderr=subprocess.DEVNULL,
                            preexec_fn=close_descriptors, timeout=60).returncode
    if output:
        stdout.close()
    with open(image, 'rb') as f, open(description, 'rb') as g:
        return status, f.read(), g.read()


def main():
    binary = os.path.abspath(sys.argv[1])
    problems = []
    with tempfile.TemporaryDirectory(prefix='pibgen-stdout-') as work:
        for name, closed, destination, output in CASES:
            with open(os.path.join(work, 'fields.xml'), 'w') as f:
                f.write(DESCRIPTION)
            status, image, description = run(binary, work, closed, destination, output)
            if output == 'fields.xml':
                # Only the switch lines and the refusal, no trace, follow the description.
                ok = (status == 1 and image == b'an older image' and
                      description.startswith(DESCRIPTION.encode() + b'1: S') and
                      description.endswith(b'image.bin\n' + NOT_LOADED))
            elif output == 'image.bin':
                # Refused before truncating: the old bytes stay, the trace follows them.
                ok = status == 1 and image.startswith(b'an older image1: S') and image.endswith(
                    REFUSED)
            elif destination == 'image.bin':
                ok = status == 0 and image == expected_image()
            else:
                ok = status == 0 and image == b'an older image'
            if not ok:
                problems.append('%s: exit status %d, image.bin %r...' % (name, status, image[:40]))
    if problems:
        print('FAIL standard output and the image\n' + '\n'.join(problems))
        sys.exit(1)
    print('ok standard output and the image: %d cases' % len(CASES))


if __name__ == '__main__':
    main()
