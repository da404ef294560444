#!/usr/bin/env python3
"""A terminating signal during the write leaves the image empty and still ends the process.

Usage: check_signal_empties_image.py PIBGEN

For each of SIGINT, SIGTERM and SIGHUP a conversion of about a second is started; once the image
has started to grow the signal is sent. The trace goes to a pipe read here: the conversion cannot
finish before its trace has been read, and reading stops when the image grows, so the signal
always arrives mid-write however slow or loaded the machine is.
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

FIELDS = 1000000  # an 8 MB image; the first 1 MiB block reaches the file a quarter of the way
SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)


def default_signals():
    # A shell may start tests with SIGINT ignored; the program must see the default.
    for sig in SIGNALS:
        signal.signal(sig, signal.SIG_DFL)


def interrupt(binary, description, image, sig):
    with open(image, 'wb') as f:
        f.write(b'an older image')
    child = subprocess.Popen([binary, '-S' + description, '-D' + image], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, preexec_fn=default_signals)
    deadline = time.monotonic() + 120
    grew = False
    while time.monotonic() < deadline:
        if not child.stdout.read1(1 << 16):
            break  # the trace ended: the conversion finished before the image grew
        size = os.path.getsize(image)
        if size > 0 and size != len(b'an older image'):
            grew = True
            break
    if grew:
        child.send_signal(sig)
    child.stdout.read()
    status = child.wait()
    problems = []
    if not grew:
        problems.append('the image never grew')
    if status != -sig:
        problems.append('exit status %d, expected death by signal %d' % (status, sig))
    if os.path.getsize(image) != 0:
        problems.append('%d bytes left in the image' % os.path.getsize(image))
    return ['%s: %s' % (sig.name, p) for p in problems]


def main():
    binary = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory(prefix='pibgen-signal-') as work:
        description = os.path.join(work, 'fields.xml')
        with open(description, 'w') as f:
            f.write('<pib>')
            f.write(''.join('<f><type>System.UInt32</type><value>%d</value></f>' % i
                            for i in range(FIELDS)))
            f.write('</pib>')
        problems = []
        for sig in SIGNALS:
            problems += interrupt(binary, description, os.path.join(work, 'image.bin'), sig)
    if problems:
        print('FAIL signal during the write\n' + '\n'.join(problems))
        sys.exit(1)
    print('ok signal during the write: SIGINT, SIGTERM and SIGHUP each left the image empty')


if __name__ == '__main__':
    main()
