#!/usr/bin/env python3
"""Checks that no system call of a conversion or --check names a path the description refers to.

Runs pibgen under strace (file calls only) on descriptions that reach outside through an
external entity, an external parameter entity and an external DTD, each naming a path of its
own, and fails if any of those paths shows up in a call. Skipped (77) without strace.
Usage: check_no_outside_lookup.py PIBGEN
"""
import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
FIELD = '<f><type>System.Byte</type><value>1</value></f>'
DESCRIPTIONS = {
    'entity.xml': '<!DOCTYPE pib [<!ENTITY x SYSTEM "file://{dir}/entity-target">]>'
                  '<pib>' + FIELD + '<f><type>System.Byte[]</type><size>1</size>'
                  '<value>&x;</value></f></pib>',
    'parameter.xml': '<!DOCTYPE pib [<!ENTITY % p SYSTEM "{dir}/parameter-target"> %p;]>'
                     '<pib>' + FIELD + '</pib>',
    'dtd.xml': '<!DOCTYPE pib SYSTEM "{dir}/dtd-target"><pib>' + FIELD + '</pib>',
}


def main():
    pibgen = os.path.abspath(sys.argv[1])
    strace = shutil.which('strace')
    if strace is None:
        print('strace is not installed; skipped')
        return SKIP
    failures = []
    with tempfile.TemporaryDirectory() as work:
        for target in ('entity-target', 'parameter-target', 'dtd-target'):
            with open(os.path.join(work, target), 'w') as f:
                f.write('<!ENTITY v "41">')
        for name, text in DESCRIPTIONS.items():
            with open(os.path.join(work, name), 'w') as f:
                f.write(text.format(dir=work))
            for args in (['-S' + name, '-Dimage.bin'], ['--check=' + name]):
                log = os.path.join(work, 'trace.log')
                run = subprocess.run([strace, '-f', '-e', 'trace=%file', '-o', log, pibgen] + args,
                                     cwd=work, capture_output=True, timeout=60)
                if run.returncode != 0 and not os.path.exists(log):
                    print('strace cannot trace here:', run.stderr.decode(errors='replace'))
                    return SKIP
                with open(log) as f:
                    trace = f.read()
                if name not in trace:  # the source itself must be seen, or nothing is checked
                    failures.append('%s: the trace does not show the source opened' % args)
                for line in trace.splitlines():
                    if '-target' in line:
                        failures.append('%s: %s' % (args, line.strip()))
    for failure in failures:
        print('FAIL', failure)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
