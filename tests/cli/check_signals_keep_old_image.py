#!/usr/bin/env python3
"""A conversion ended by a signal leaves the old image, whole, and nothing else behind.

Usage: check_signals_keep_old_image.py PIBGEN [--named-temporaries]

A large description is converted while the trace goes to a pipe read here, and each signal is
sent at random moments in the first 20 ms and the instant a named file appears (when the files
of the run are made), and at moments found by watching the process: early and late in the read
of the description (by the read position of its descriptor in /proc), when the trace starts to
arrive (the read has ended good and the new image waits, unstamped, to be put in place), and,
for SIGKILL, part way through the trace and once all of it has arrived (when the new image
may already be in place). Afterwards the destination must hold
the old image or the complete new one, byte for byte; the process must have died of the
signal; and neither the destination's folder nor TMPDIR may hold anything more. With
--named-temporaries (a build without unnamed temporary files) SIGKILL may leave the new image's
temporary name beside it, which no handler can remove. A program run under an emulator (Wine,
named in PIBGEN_EMULATOR) is a Windows one: it has no signals but being killed, and Windows
deletes its new image, which it holds with delete-on-close, however it ends.
"""
import os
import random
import shlex
import signal
import subprocess
import sys
import tempfile
import time
import zlib

FIELDS = 300000
OLD = b'an older image, which must survive'
SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT, signal.SIGALRM,
           signal.SIGUSR1, signal.SIGKILL)
EARLY_RUNS = 8  # of each kind, per catchable signal
EMULATOR = shlex.split(os.environ.get('PIBGEN_EMULATOR', ''))


def default_signals():
    # A shell may start tests with some signals ignored; the program must see the default.
    for sig in SIGNALS[:-1]:
        signal.signal(sig, signal.SIG_DFL)


def expected_image():
    image = bytearray()
    for i in range(FIELDS):
        image += (i & 0xFFFFFFFF).to_bytes(4, 'little')
    image[2] = zlib.crc32(bytes(image[3:])) >> 24
    return bytes(image)


def read_position(pid, path):
    """Where the process is in reading path, or None while it does not have it open."""
    folder = '/proc/%d/fd' % pid
    try:
        for fd in os.listdir(folder):
            if os.readlink(os.path.join(folder, fd)) == path:
                with open('/proc/%d/fdinfo/%s' % (pid, fd)) as f:
                    return int(f.readline().split()[1])
    except OSError:
        pass
    return None


def run(binary, work, sig, moment):
    """Converts, sends sig at moment, and returns what is wrong afterwards."""
    description = os.path.join(work, 'fields.xml')
    image = os.path.join(work, 'image.bin')
    scratch = os.path.join(work, 'tmp')
    with open(image, 'wb') as f:
        f.write(OLD)
    size = os.path.getsize(description)
    # Under Wine the program's temporary folder is the prefix's own, and Wine keeps its server's
    # socket in TMPDIR: there is no folder to watch then.
    env = dict(os.environ) if EMULATOR else dict(os.environ, TMPDIR=scratch)
    child = subprocess.Popen(EMULATOR + [binary, '-S' + description, '-D' + image],
                             stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, preexec_fn=default_signals, env=env,
                             start_new_session=True)
    deadline = time.monotonic() + 120
    sent = False
    def send(sig):
        # The whole group: under Wine the program runs in a process of its own.
        os.killpg(child.pid, sig)

    if moment == 'random':
        time.sleep(random.uniform(0, 0.020))
        send(sig)
        sent = True
    elif moment == 'created':
        # The instant a named file appears beside the image or in TMPDIR (none does where
        # the system has unnamed files: then at 20 ms).
        until = time.monotonic() + 0.020
        while time.monotonic() < until and len(os.listdir(work)) == 3 and not os.listdir(scratch):
            pass
        send(sig)
        sent = True
    elif moment in ('early', 'late'):
        child.stdout.read(1)  # the switch lines come at once, before the read
        share = 0.1 if moment == 'early' else 0.9
        while time.monotonic() < deadline and child.poll() is None:
            position = read_position(child.pid, description)
            if position is not None and position >= share * size:
                send(sig)
                sent = True
                break
    else:
        child.stdout.read(1)
        # The trace waits in the pipe until it is read: nothing more happens till then.
        want = {'trace': 1, 'mid-trace': 1 << 20, 'trace-end': None}[moment]
        got = 0
        while want is None or got < want:
            piece = child.stdout.read1(1 << 16)
            if not piece:
                break
            got += len(piece)
        send(sig)
        sent = True
    child.stdout.read()
    status = child.wait()
    problems = []
    if not sent:
        problems.append('the moment never came')
    with open(image, 'rb') as f:
        left = f.read()
    if left != OLD and left != expected_image():
        problems.append('the destination holds %d bytes, neither the old image nor the new' %
                        len(left))
    if status != -sig and not (moment == 'trace-end' and status == 0):
        problems.append('exit status %d, expected death by the signal' % status)
    def beside_image():
        return sorted(set(os.listdir(work)) - {'fields.xml', 'image.bin', 'tmp'})

    # Wine's server closes a killed program's files, and so deletes its new image, only after
    # the program is gone: it is given a few seconds for that.
    for _ in range(50 if EMULATOR else 0):
        if not beside_image():
            break
        time.sleep(0.1)
    beside = beside_image()
    if beside and NAMED and sig == signal.SIGKILL:
        beside = [name for name in beside if not name.startswith('.image.bin.pibgen-')]
    if beside:
        problems.append('left beside the image: %s' % ' '.join(beside))
        for name in beside:
            os.remove(os.path.join(work, name))
    if os.listdir(scratch):
        problems.append('left in TMPDIR: %s' % ' '.join(os.listdir(scratch)))
        for name in os.listdir(scratch):
            os.remove(os.path.join(scratch, name))
    what = 'old' if left == OLD else 'new'
    return problems, what


def main():
    global NAMED
    binary = os.path.abspath(sys.argv[1])
    NAMED = '--named-temporaries' in sys.argv[2:]
    if not os.path.isdir('/proc/self/fdinfo'):
        print('skipped: no /proc to watch the conversion through')
        sys.exit(77)
    problems = []
    table = []
    with tempfile.TemporaryDirectory(prefix='pibgen-signal-') as work:
        os.mkdir(os.path.join(work, 'tmp'))
        with open(os.path.join(work, 'fields.xml'), 'w') as f:
            f.write('<pib>')
            f.write(''.join('<f><type>System.UInt32</type><value>%d</value></f>' % i
                            for i in range(FIELDS)))
            f.write('</pib>')
        for sig in SIGNALS if not EMULATOR else (signal.SIGKILL,):
            moments = ['early', 'late', 'trace']
            if sig == signal.SIGKILL:
                moments += ['mid-trace', 'trace-end']
            for moment in moments:
                found, what = run(binary, work, sig, moment)
                table.append('%-8s %-9s destination: %s image' % (sig.name, moment, what))
                problems += ['%s %s: %s' % (sig.name, moment, p) for p in found]
            if sig != signal.SIGKILL:
                for moment in ['random', 'created'] * EARLY_RUNS:
                    found, _ = run(binary, work, sig, moment)
                    problems += ['%s %s: %s' % (sig.name, moment, p) for p in found]
        table.append('random and creation moments: %d runs, %d problems' %
                     (2 * EARLY_RUNS * (len(SIGNALS) - 1),
                      sum(' random:' in p or ' created:' in p for p in problems)))
    print('\n'.join(table))
    if problems:
        print('FAIL a signal during a conversion\n' + '\n'.join(problems))
        sys.exit(1)
    print('ok: every signal at every moment left the old image and nothing else')


NAMED = False
if __name__ == '__main__':
    main()
