#!/usr/bin/env python3
"""Installs a build into a fresh prefix and checks what lands there.

Usage: check_install.py BUILD_DIR SOURCE_DIR VERSION

`cmake --install BUILD_DIR --prefix P` must put exactly P/bin/pibgen,
P/share/man/man1/pibgen.1 (the page from the source tree) and the copyright file and
changelog in P/share/doc/pibgen there, and the installed program must answer --version and
convert the bundled example.
"""
import filecmp
import os
import subprocess
import sys
import tempfile

from program_answers import check_program


def main():
    build, source, version = sys.argv[1:4]
    problems = []
    with tempfile.TemporaryDirectory(prefix='pibgen-install-') as prefix:
        cmake = os.environ.get('CMAKE', 'cmake')
        subprocess.run([cmake, '--install', build, '--prefix', prefix], check=True,
                       stdout=subprocess.DEVNULL)
        installed = sorted(os.path.relpath(os.path.join(folder, name), prefix)
                           for folder, _, names in os.walk(prefix) for name in names)
        wanted = ['bin/pibgen', 'share/doc/pibgen/changelog', 'share/doc/pibgen/copyright',
                  'share/man/man1/pibgen.1']
        if installed != wanted:
            problems.append('installed %s, expected %s' % (installed, wanted))
        program = os.path.join(prefix, 'bin', 'pibgen')
        page = os.path.join(prefix, 'share', 'man', 'man1', 'pibgen.1')
        source_page = os.path.join(source, 'man', 'pibgen.1')
        if os.path.isfile(page) and not filecmp.cmp(page, source_page, shallow=False):
            problems.append('the installed manual page differs from man/pibgen.1')
        if os.path.isfile(program):
            if not os.access(program, os.X_OK):
                problems.append('bin/pibgen is not executable')
            problems += check_program(program, source, version, prefix, 'installed')
    if problems:
        print('FAIL install\n' + '\n'.join(problems))
        sys.exit(1)
    print('ok install: ' + ', '.join(installed))


if __name__ == '__main__':
    main()
