#!/usr/bin/env python3
"""Builds the Debian package with CPack and inspects it without installing it.

Usage: check_deb.py BUILD_DIR SOURCE_DIR VERSION

Checks with dpkg-deb -I that the control fields name the package, its version and this
machine's architecture, and that Depends names libxml2 with a version the installed libxml2
satisfies; with dpkg-deb -c that the package holds exactly the program and its compressed
manual page, copyright file and compressed changelog under /usr; and, unpacked, that the
program answers --version, the page is the one from the source tree, the copyright file is
in Debian's machine-readable format with LICENSE's text and the changelog's latest entry is
this version.
"""
import gzip
import os
import re
import subprocess
import sys
import tempfile


def output(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def control_fields(deb):
    fields = {}
    for line in output('dpkg-deb', '-f', deb).splitlines():
        if line and not line[0].isspace() and ':' in line:
            key, value = line.split(':', 1)
            fields[key] = value.strip()
    return fields


def check_docs(docs, source, version):
    """The copyright file and the changelog Debian's policy asks every package for."""
    problems = []
    copyright_path = os.path.join(docs, 'copyright')
    if os.path.isfile(copyright_path):
        with open(copyright_path) as f:
            text = f.read()
        with open(os.path.join(source, 'LICENSE')) as f:
            licence = f.read().split('Copyright (c) the pibgen contributors\n\n', 1)[1]
        indented = ''.join(' ' + line if line.strip() else ' .\n'
                           for line in licence.splitlines(True))
        if not text.startswith('Format: https://www.debian.org/doc/packaging-manuals/'
                               'copyright-format/1.0/\n'):
            problems.append('the copyright file is not in the machine-readable format')
        if ('Copyright: 2026 the pibgen contributors\nLicense: Expat\n' + indented) not in text:
            problems.append('the copyright file does not carry LICENSE under Expat')
    changelog_path = os.path.join(docs, 'changelog.gz')
    if os.path.isfile(changelog_path):
        with gzip.open(changelog_path, 'rt') as f:
            first = f.readline()
        if not first.startswith('pibgen (%s) ' % version):
            problems.append('the changelog begins %r, not with version %s' % (first, version))
    return problems


def main():
    build, source, version = sys.argv[1:4]
    problems = []
    with tempfile.TemporaryDirectory(prefix='pibgen-deb-') as work:
        cpack = os.environ.get('CPACK', 'cpack')
        subprocess.run([cpack, '-G', 'DEB', '--config', os.path.join(build, 'CPackConfig.cmake'),
                        '-B', work], check=True, stdout=subprocess.DEVNULL)
        debs = [name for name in os.listdir(work) if name.endswith('.deb')]
        if len(debs) != 1:
            print('FAIL deb: cpack made %s' % debs)
            sys.exit(1)
        deb = os.path.join(work, debs[0])
        print(output('dpkg-deb', '-I', deb))

        fields = control_fields(deb)
        architecture = output('dpkg', '--print-architecture').strip()
        for key, value in (('Package', 'pibgen'), ('Version', version),
                           ('Architecture', architecture)):
            if fields.get(key) != value:
                problems.append('%s is %r, expected %r' % (key, fields.get(key), value))
        for key in ('Maintainer', 'Description', 'Section'):
            if not fields.get(key):
                problems.append('no %s field' % key)

        depends = [d.strip() for d in fields.get('Depends', '').split(',')]
        libxml2 = [d for d in depends if re.fullmatch(r'libxml2( \(.*\))?', d)]
        if len(libxml2) != 1:
            problems.append('Depends %r does not name libxml2 once' % fields.get('Depends'))
        else:
            have = output('dpkg-query', '-W', '-f=${Version}', 'libxml2').strip()
            bound = re.fullmatch(r'libxml2 \((>=|>>|=) (\S+)\)', libxml2[0])
            if bound is None:
                problems.append('libxml2 is named without a lowest version: %r' % libxml2[0])
            elif subprocess.run(['dpkg', '--compare-versions', have,
                                 {'>=': 'ge', '>>': 'gt', '=': 'eq'}[bound.group(1)],
                                 bound.group(2)]).returncode != 0:
                problems.append('installed libxml2 %s does not satisfy %r' % (have, libxml2[0]))

        listing = output('dpkg-deb', '-c', deb)
        print(listing)
        files = sorted(line.split()[-1] for line in listing.splitlines()
                       if line.startswith('-'))
        wanted = ['./usr/bin/pibgen', './usr/share/doc/pibgen/changelog.gz',
                  './usr/share/doc/pibgen/copyright', './usr/share/man/man1/pibgen.1.gz']
        if files != wanted:
            problems.append('the package holds %s, expected %s' % (files, wanted))

        root = os.path.join(work, 'root')
        subprocess.run(['dpkg-deb', '-x', deb, root], check=True)
        program = os.path.join(root, 'usr', 'bin', 'pibgen')
        if os.path.isfile(program):
            run = subprocess.run([program, '--version'], capture_output=True, timeout=15)
            if (run.returncode, run.stdout) != (0, b'pibgen %s\n' % version.encode()):
                problems.append('the packaged program answers --version with %r' % (run.stdout,))
        page = os.path.join(root, 'usr', 'share', 'man', 'man1', 'pibgen.1.gz')
        if os.path.isfile(page):
            with gzip.open(page, 'rb') as packed, \
                    open(os.path.join(source, 'man', 'pibgen.1'), 'rb') as plain:
                if packed.read() != plain.read():
                    problems.append('the packaged manual page differs from man/pibgen.1')
        problems += check_docs(os.path.join(root, 'usr', 'share', 'doc', 'pibgen'), source,
                               version)
    if problems:
        print('FAIL deb\n' + '\n'.join(problems))
        sys.exit(1)
    print('ok deb ' + debs[0])


if __name__ == '__main__':
    main()
