#!/usr/bin/env python3
"""Checks with readelf that a program is built hardened.

Usage: check_hardening.py PROGRAM

A position-independent executable (type DYN, flag PIE), full RELRO (a GNU_RELRO segment and
immediate binding, BIND_NOW or NOW) and the stack protector (__stack_chk_fail imported).
_FORTIFY_SOURCE leaves no trace to look for here: the program makes no libc call whose
buffer size the compiler knows, so it imports no checked *_chk function.
"""
import re
import subprocess
import sys


def readelf(*options):
    return subprocess.run(['readelf', '-W', *options], check=True, capture_output=True,
                          text=True).stdout


def main():
    program = sys.argv[1]
    header, segments = readelf('-h', program), readelf('-l', program)
    dynamic = readelf('-d', program)
    imported = set(re.findall(r' UND (\w+)', readelf('--dyn-syms', program)))
    checks = {
        'PIE': re.search(r'Type:\s+DYN', header) and re.search(r'FLAGS_1.*\bPIE\b', dynamic),
        'GNU_RELRO': re.search(r'^\s*GNU_RELRO\b', segments, re.M),
        'BIND_NOW': re.search(r'\(FLAGS\).*\bBIND_NOW\b|\(FLAGS_1\).*\bNOW\b', dynamic),
        'stack protector': '__stack_chk_fail' in imported,
    }
    missing = [name for name, found in checks.items() if not found]
    if missing:
        print('FAIL hardening: %s lacks %s' % (program, ', '.join(missing)))
        sys.exit(1)
    print('ok hardening: ' + ', '.join(checks))


if __name__ == '__main__':
    main()
