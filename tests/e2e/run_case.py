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
              "fill NAME SIZE" (a file of SIZE zero bytes)
Always checked: nothing on standard error, and the files from files/ unchanged.
"""
import os
import shutil
import subprocess
import sys
import tempfile


def read_hex(path):
    with open(path) as f:
        return bytes.fromhex(f.read())


def snapshot(root):
    state = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path):
                with open(path, 'rb') as f:
                    state[os.path.relpath(path, root)] = f.read()
    return state


def main():
    binary, case = os.path.abspath(sys.argv[1]), sys.argv[2]
    problems = []
    with tempfile.TemporaryDirectory(prefix='pibgen-e2e-') as work:
        files = os.path.join(case, 'files')
        if os.path.isdir(files):
            shutil.copytree(files, work, dirs_exist_ok=True)
        given = snapshot(work)
        image = os.path.join(work, 'image.bin')
        before = None
        if os.path.exists(os.path.join(case, 'before.hex')):
            before = read_hex(os.path.join(case, 'before.hex'))
            with open(image, 'wb') as f:
                f.write(before)
        if os.path.exists(os.path.join(case, 'setup')):
            with open(os.path.join(case, 'setup')) as f:
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
                    else:
                        sys.exit('unknown setup step: ' + line)

        with open(os.path.join(case, 'args'), encoding='utf-8') as f:
            args = f.read().splitlines()
        run = subprocess.run([binary] + args, cwd=work, capture_output=True, timeout=15)

        expected_out = b''
        if os.path.exists(os.path.join(case, 'stdout')):
            with open(os.path.join(case, 'stdout'), 'rb') as f:
                expected_out = f.read()
            expected_out = expected_out.replace(
                b'@PIBGEN_VERSION@', os.environ.get('PIBGEN_VERSION', '(unset)').encode())
        expected_status = 0
        if os.path.exists(os.path.join(case, 'status')):
            with open(os.path.join(case, 'status')) as f:
                expected_status = int(f.read().strip())

        if run.stdout != expected_out:
            problems.append('standard output differs\n--- expected\n%s\n--- got\n%s' %
                            (expected_out.decode(errors='replace'),
                             run.stdout.decode(errors='replace')))
        if run.stderr:
            problems.append('standard error is not empty: %r' % run.stderr[:500])
        if run.returncode != expected_status:
            problems.append('exit status %d, expected %d' % (run.returncode, expected_status))

        expected_image = before
        if os.path.exists(os.path.join(case, 'image.hex')):
            expected_image = read_hex(os.path.join(case, 'image.hex'))
        actual_image = None
        if os.path.isfile(image):
            with open(image, 'rb') as f:
                actual_image = f.read()
        if actual_image != expected_image:
            show = lambda b: 'absent' if b is None else (b[:64].hex(' ') + (' ...' if len(b) > 64 else ''))
            problems.append('image.bin is %s, expected %s' % (show(actual_image), show(expected_image)))

        after = snapshot(work)
        for name, contents in given.items():
            if after.get(name) != contents:
                problems.append('%s was changed by the run' % name)

    if problems:
        print('FAIL %s\n%s' % (os.path.basename(case), '\n'.join(problems)))
        sys.exit(1)
    print('ok %s' % os.path.basename(case))


if __name__ == '__main__':
    main()
