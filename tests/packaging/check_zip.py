#!/usr/bin/env python3
"""Builds the Windows ZIP package with CPack and checks what it holds.

Usage: check_zip.py BUILD_DIR SOURCE_DIR VERSION

`cpack -G ZIP` must make pibgen-VERSION-win64.zip holding exactly pibgen.exe, README.md,
LICENSE and pibgen.txt in one folder of the same name. README.md and LICENSE are the source
tree's; pibgen.txt is man/pibgen.1 as plain text (every section heading of the page, no escape
sequence or overstriking); the packed program answers --version and converts the bundled
example. The program runs under PIBGEN_EMULATOR where CMake names one (Wine on Linux).
"""
import filecmp
import os
import re
import shlex
import subprocess
import sys
import tempfile
import zipfile

from program_answers import check_program

EMULATOR = shlex.split(os.environ.get('PIBGEN_EMULATOR', ''))


def check_page(text, page_path):
    problems = []
    if '\x1b' in text or '\b' in text:
        problems.append('pibgen.txt holds escape sequences or overstriking')
    if not text.startswith('PIBGEN(1)'):
        problems.append('pibgen.txt does not start with the page header: %r' % text[:40])
    with open(page_path) as f:
        headings = [line[4:].strip().strip('"') for line in f if line.startswith('.SH ')]
    lines = set(text.splitlines())
    missing = [h for h in headings if h not in lines]
    if not headings or missing:
        problems.append('pibgen.txt lacks the sections %r of man/pibgen.1' % missing)
    return problems


def main():
    build, source, version = sys.argv[1:4]
    folder = 'pibgen-%s-win64' % version
    problems = []
    with tempfile.TemporaryDirectory(prefix='pibgen-zip-') as work:
        cpack = os.environ.get('CPACK', 'cpack')
        subprocess.run([cpack, '-G', 'ZIP', '--config', os.path.join(build, 'CPackConfig.cmake'),
                        '-B', work], check=True, stdout=subprocess.DEVNULL)
        package = os.path.join(work, folder + '.zip')
        if not os.path.isfile(package):
            print('FAIL zip: no %s.zip among %s' % (folder, sorted(os.listdir(work))))
            sys.exit(1)
        with zipfile.ZipFile(package) as archive:
            names = sorted(n for n in archive.namelist() if not n.endswith('/'))
            wanted = sorted('%s/%s' % (folder, n)
                            for n in ('pibgen.exe', 'README.md', 'LICENSE', 'pibgen.txt'))
            if names != wanted:
                problems.append('holds %s, expected %s' % (names, wanted))
            unpacked = os.path.join(work, 'unpacked')
            archive.extractall(unpacked)
        root = os.path.join(unpacked, folder)
        for name in ('README.md', 'LICENSE'):
            packed = os.path.join(root, name)
            if not (os.path.isfile(packed) and
                    filecmp.cmp(packed, os.path.join(source, name), shallow=False)):
                problems.append('%s is not the source tree\'s' % name)
        page_text = os.path.join(root, 'pibgen.txt')
        if os.path.isfile(page_text):
            with open(page_text, encoding='utf-8') as f:
                problems += check_page(f.read(), os.path.join(source, 'man', 'pibgen.1'))
        program = os.path.join(root, 'pibgen.exe')
        if os.path.isfile(program):
            problems += check_program(program, source, version, work, 'packed', EMULATOR, 30)
    if problems:
        print('FAIL zip\n' + '\n'.join(problems))
        sys.exit(1)
    print('ok zip: ' + ', '.join(re.sub('^[^/]*/', '', n) for n in names))


if __name__ == '__main__':
    main()
