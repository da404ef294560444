#!/usr/bin/env python3
"""Runs one end-to-end case against the pibgen binary and compares everything it does.

A case is a folder:
  args        the arguments, one per line (the program path is added in front)
  stdout      the exact expected standard output (absent: empty); @PIBGEN_VERSION@ in it
              stands for the PIBGEN_VERSION environment variable, set by CTest from CMake
  status      the expected exit status (absent: 0)
  files/      copied into a fresh working folder, where the program runs
  before.hex  if present, image.bin holds these bytes before the run
  image.hex   the bytes image.bin must hold afterwards; without it, image.bin must be
              exactly as before the run (absent if there was no before.hex)
  setup       optional steps, one per line: "mkdir NAME", "symlink TARGET NAME",
              "fill NAME SIZE" (a file of SIZE zero bytes), "chmod OCTAL NAME"
  generate    optional Python script run in the working folder after setup, to make inputs
              too large or too odd to keep in the repository
  image.sparse  instead of image.hex, for images too large to hold: the first line is the
              length, each further line "OFFSET HEXBYTES"; every byte not listed must be zero
  stdout.head instead of stdout, for very long output: the output must start with this...
  stdout.tail ...and end with this, and hold stdout.lines lines in all
  timeout     seconds the run may take (default 15); the CTest timeout follows it
  non-root    present if the case cannot hold for root (who may read anything): skipped then
A --check, --verify, --decode or --diff case is run a second time with --format=json: the
output must be one JSON document whose findings and fields say what the text says, with the
same status.
Always checked: nothing on standard error, and the files from files/ and generate unchanged.
Also reported: the run's wall time and peak memory (maximum resident set of the process).
"""
import json
import os
import re
import shlex
import xml.etree.ElementTree as ElementTree
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77  # CTest's skip code for this driver (SKIP_RETURN_CODE)
IMAGE = 'image.bin'
# A cross-built program runs under the emulator CMake names in PIBGEN_EMULATOR (Wine for a
# Windows build); a native one runs as it is.
EMULATOR = shlex.split(os.environ.get('PIBGEN_EMULATOR', ''))
EMULATOR_SLOWDOWN = 8


def read_hex(path):
    with open(path) as f:
        return bytes.fromhex(f.read())


def snapshot(root):
    state = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            if os.path.relpath(path, root) == IMAGE:
                continue  # may be gigabytes; compared on its own
            if os.path.isfile(path) and not os.path.islink(path) and os.access(path, os.R_OK):
                if os.path.getsize(path) > (64 << 20):
                    # Too large to read whole (a sparse image): its size and time stand for it.
                    info = os.stat(path)
                    state[os.path.relpath(path, root)] = (info.st_size, info.st_mtime_ns)
                    continue
                with open(path, 'rb') as f:
                    state[os.path.relpath(path, root)] = f.read()
    return state


def read_sparse(path):
    with open(path) as f:
        lines = f.read().splitlines()
    length = int(lines[0])
    stretches = []
    for line in lines[1:]:
        if line.strip():
            offset, data = line.split(None, 1)
            stretches.append((int(offset), bytes.fromhex(data)))
    return length, stretches


def check_sparse(image, expected_path):
    """Compares a possibly huge image with image.sparse, reading only what the file stores."""
    length, stretches = read_sparse(expected_path)
    if not os.path.isfile(image):
        return 'image.bin is absent, expected %d bytes' % length
    if os.path.getsize(image) != length:
        return 'image.bin holds %d bytes, expected %d' % (os.path.getsize(image), length)
    expected = {}
    for offset, data in stretches:
        for i, byte in enumerate(data):
            expected[offset + i] = byte
    seen = set()
    with open(image, 'rb') as f:
        fd = f.fileno()
        position = 0
        while position < length:
            try:
                begin = os.lseek(fd, position, os.SEEK_DATA)
            except OSError:
                break  # only a hole remains
            end = os.lseek(fd, begin, os.SEEK_HOLE)
            os.lseek(fd, begin, os.SEEK_SET)
            at = begin
            while at < end:
                block = os.read(fd, min(end - at, 1 << 20))
                if not block:
                    return 'image.bin could not be read at %d' % at
                for i in range(len(block)):
                    want = expected.get(at + i, 0)
                    if block[i] != want:
                        return 'image.bin byte %d is %02x, expected %02x' % (at + i, block[i], want)
                    seen.add(at + i)
                at += len(block)
            position = end
    for offset, byte in expected.items():
        if byte != 0 and offset not in seen:
            return 'image.bin byte %d is 00, expected %02x' % (offset, byte)
    return None


TIME = '/usr/bin/time'


def run_measured(command, cwd, limit):
    """Runs command; returns (status, stdout, stderr, seconds, peak kilobytes).

    The peak comes from GNU time where it is installed: a child forked from this interpreter
    would otherwise count the interpreter's own pages as its peak.
    """
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err, \
            tempfile.NamedTemporaryFile(mode='r') as usage_file:
        timed = os.access(TIME, os.X_OK)
        if timed:
            command = [TIME, '-f', '%M', '-o', usage_file.name] + command
        started = time.monotonic()
        # A session of its own, so a run over its limit is stopped whole, wrapper and all.
        process = subprocess.Popen(command, cwd=cwd, stdout=out, stderr=err, start_new_session=True)
        timer = threading.Timer(limit, lambda: os.killpg(process.pid, signal.SIGKILL))
        timer.start()
        try:
            _, status, usage = os.wait4(process.pid, 0)
        finally:
            timer.cancel()
        seconds = time.monotonic() - started
        process.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        peak = usage.ru_maxrss
        if timed:
            lines = usage_file.read().split()
            peak = int(lines[-1]) if lines and lines[-1].isdigit() else peak
        return process.returncode, out.read(), err.read(), seconds, peak


def mode_of(args):
    """The mode whose JSON is compared with its text ('check', 'verify', 'decode', 'diff'), or None."""
    if any(a.startswith('--format=') or a in ('--help', '--version') for a in args):
        return None
    mode = None
    for a in args:
        for name in ('check', 'verify', 'decode', 'diff'):
            if a.startswith('--%s=' % name):
                mode = name
    has_layout = any(a.startswith('--layout=') for a in args)
    if mode == 'decode' and not has_layout:
        return None  # refused before it runs, as text
    if mode == 'diff' and not any(a.startswith('--with=') for a in args):
        return None
    return mode


def text_messages(lines, image):
    """Each line's message: after "IMAGE: ", or after "error: " / "warning: " for a finding."""
    messages = []
    for line in lines:
        found = re.match(r'.*?(?::\d+)?: (?:error|warning): (.*)$', line)
        if line.startswith(image + ': '):
            messages.append(line[len(image) + 2:])
        elif found:
            messages.append(found.group(1))
        else:
            messages.append(line)
    return messages


def compare_json(mode, args, text, document):
    """What differs between a mode's text and its JSON document, as a list of problems."""
    problems = []
    if not isinstance(document.get('version'), str):
        problems.append('no "version" member')
    lines = text.decode('utf-8', errors='replace').splitlines()
    if mode == 'check':
        summary = re.match(r'(\d+) warnings?, (\d+) errors?$', lines[-1] if lines else '')
        findings = document.get('findings', [])
        got = [(f['severity'], f['message']) for f in findings]
        want = []
        for line in lines[:-1]:
            found = re.match(r'.*?: (error|warning): (.*)$', line)
            want.append((found.group(1), found.group(2)) if found else ('?', line))
        if got != want:
            problems.append('JSON findings %r, text %r' % (got, want))
        if not summary or (document.get('warnings'), document.get('errors')) != (
                int(summary.group(1)), int(summary.group(2))):
            problems.append('JSON counts differ from the summary %r' % lines[-1:])
        return problems
    image = next(a for a in args if a.startswith('--%s=' % mode)).split('=', 1)[1]
    if mode == 'diff':
        return compare_diff_json(args, image, lines, document)
    if document.get('image') != image:
        problems.append('JSON "image" is %r' % document.get('image'))
    if mode == 'verify':
        said = [f['message'] for f in document.get('fields', [])]
        said += [f['message'] for f in document.get('findings', [])]
        if said != text_messages(lines, image):
            problems.append('JSON says %r, text %r' % (said, text_messages(lines, image)))
        return problems
    if not document.get('ok'):
        said = [f['message'] for f in document.get('findings', [])]
        if said != text_messages(lines[-1:], image):
            problems.append('JSON says %r, text %r' % (said, lines[-1:]))
        return problems
    root = ElementTree.fromstring(text)
    want = []
    for element in root:
        value = element.find('value')
        kind = element.find('type')
        want.append((int(element.get('offset')), int(element.get('length')),
                     None if kind is None else kind.text or '',
                     None if value is None else value.text or ''))
    got = [(f['offset'], f['length'], f['type'], f['value']) for f in document.get('fields', [])]
    if got != want:
        problems.append('JSON fields %r, text %r' % (got[:20], want[:20]))
    return problems


def compare_diff_json(args, old, lines, document):
    """A --diff document against its text: both images, then every line's message in order."""
    problems = []
    new = next(a for a in args if a.startswith('--with=')).split('=', 1)[1]
    sides = [document.get('old', {}), document.get('new', {})]
    if [side.get('path') for side in sides] != [old, new]:
        problems.append('JSON "old" and "new" name %r' % [side.get('path') for side in sides])
    said = [side['message'] for side in sides if side.get('message') is not None]
    for member in ('fields', 'ranges', 'findings'):
        said += [entry['message'] for entry in document.get(member, [])]
    text = []
    for line in lines:
        found = re.match(r'.*?(?::\d+)?: (?:error|warning): (.*)$', line)
        for path in (old, new):
            if line.startswith(path + ': '):
                line = line[len(path) + 2:]
        text.append(found.group(1) if found else line)
    if said != text:
        problems.append('JSON says %r, text %r' % (said, text))
    return problems


def case_file(case, name):
    path = os.path.join(case, name)
    return path if os.path.exists(path) else None


def run_case(binary, case):
    """Runs one case; returns (problems, exit status, seconds, peak kilobytes) or None if skipped."""
    if case_file(case, 'non-root') and os.geteuid() == 0:
        return None
    limit = 15.0
    if case_file(case, 'timeout'):
        with open(case_file(case, 'timeout')) as f:
            limit = float(f.read().strip())
    if EMULATOR:
        # Wine starts a program slowly, and its file systems tell no holes: a sparse image is
        # read whole.
        limit = limit * EMULATOR_SLOWDOWN + 10
    problems = []
    with tempfile.TemporaryDirectory(prefix='pibgen-e2e-') as work:
        files = os.path.join(case, 'files')
        if os.path.isdir(files):
            shutil.copytree(files, work, dirs_exist_ok=True)
        image = os.path.join(work, IMAGE)
        before = None
        if case_file(case, 'before.hex'):
            before = read_hex(case_file(case, 'before.hex'))
            with open(image, 'wb') as f:
                f.write(before)
        if case_file(case, 'setup'):
            with open(case_file(case, 'setup')) as f:
                for line in f.read().splitlines():
                    step = line.split()
                    if not step:
                        continue
                    if step[0] == 'mkdir':
                        os.mkdir(os.path.join(work, step[1]))
                    elif step[0] == 'symlink':
                        os.symlink(step[1], os.path.join(work, step[2]))
                    elif step[0] == 'fill':
                        with open(os.path.join(work, step[1]), 'wb') as out:
                            out.truncate(int(step[2]))
                    elif step[0] == 'chmod':
                        os.chmod(os.path.join(work, step[2]), int(step[1], 8))
                    else:
                        sys.exit('unknown setup step: ' + line)
        if case_file(case, 'generate'):
            subprocess.run([sys.executable, os.path.abspath(case_file(case, 'generate'))],
                           cwd=work, check=True)
        given = snapshot(work)

        with open(os.path.join(case, 'args'), encoding='utf-8') as f:
            args = f.read().splitlines()
        command = EMULATOR + [binary] + args
        status, stdout, stderr, seconds, peak = run_measured(command, work, limit)

        expected_status = 0
        if case_file(case, 'status'):
            with open(case_file(case, 'status')) as f:
                expected_status = int(f.read().strip())

        if case_file(case, 'stdout.head'):
            with open(case_file(case, 'stdout.head'), 'rb') as f:
                head = f.read()
            with open(case_file(case, 'stdout.tail'), 'rb') as f:
                tail = f.read()
            with open(case_file(case, 'stdout.lines')) as f:
                lines = int(f.read().strip())
            if not stdout.startswith(head) or not stdout.endswith(tail):
                problems.append('standard output does not start and end as expected: %r ... %r' %
                                (stdout[:200], stdout[-200:]))
            if stdout.count(b'\n') != lines:
                problems.append('standard output has %d lines, expected %d' %
                                (stdout.count(b'\n'), lines))
        else:
            expected_out = b''
            if case_file(case, 'stdout'):
                with open(case_file(case, 'stdout'), 'rb') as f:
                    expected_out = f.read()
                expected_out = expected_out.replace(
                    b'@PIBGEN_VERSION@', os.environ.get('PIBGEN_VERSION', '(unset)').encode())
            if stdout != expected_out:
                problems.append('standard output differs\n--- expected\n%s\n--- got\n%s' %
                                (expected_out.decode(errors='replace'),
                                 stdout[:4000].decode(errors='replace')))
        if stderr:
            problems.append('standard error is not empty: %r' % stderr[:500])
        if status != expected_status:
            problems.append('exit status %d, expected %d' % (status, expected_status))

        if case_file(case, 'image.sparse'):
            problem = check_sparse(image, case_file(case, 'image.sparse'))
            if problem:
                problems.append(problem)
        else:
            expected_image = before
            if case_file(case, 'image.hex'):
                expected_image = read_hex(case_file(case, 'image.hex'))
            actual_image = None
            if os.path.isfile(image) and os.path.getsize(image) > (64 << 20):
                actual_image = b'(%d bytes)' % os.path.getsize(image)
            elif os.path.isfile(image):
                with open(image, 'rb') as f:
                    actual_image = f.read()
            if actual_image != expected_image:
                show = lambda b: 'absent' if b is None else (b[:64].hex(' ') + (' ...' if len(b) > 64 else ''))
                problems.append('image.bin is %s, expected %s' % (show(actual_image), show(expected_image)))

        mode = mode_of(args)
        if mode:
            status_json, out_json, err_json, _, _ = run_measured(
                command + ['--format=json'], work, limit)
            if status_json != status:
                problems.append('with --format=json: exit status %d, not %d' % (status_json, status))
            if err_json:
                problems.append('with --format=json: standard error is not empty')
            try:
                document = json.loads(out_json.decode('utf-8'))
                problems += ['with --format=json: ' + p for p in compare_json(mode, args, stdout, document)]
            except ValueError as error:
                problems.append('with --format=json: not one JSON document (%s): %r' %
                                (error, out_json[:300]))

        after = snapshot(work)
        for name, contents in given.items():
            if after.get(name) != contents:
                problems.append('%s was changed by the run' % name)
    return problems, status, seconds, peak


def main():
    binary, case = os.path.abspath(sys.argv[1]), sys.argv[2]
    result = run_case(binary, case)
    if result is None:
        print('skipped %s (cannot hold when run as root)' % os.path.basename(case))
        sys.exit(SKIP)
    problems, _, seconds, peak = result
    if problems:
        print('FAIL %s\n%s' % (os.path.basename(case), '\n'.join(problems)))
        sys.exit(1)
    print('ok %s (%.2f s, %d MB peak)' % (os.path.basename(case), seconds, peak // 1024))


if __name__ == '__main__':
    main()
