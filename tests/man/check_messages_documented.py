#!/usr/bin/env python3
"""Checks that the manual page and the README name every message the program prints, and that
the manual's CODES section lists every code of src/engine/catalogue.h.

Usage: check_messages_documented.py SOURCE_DIR

The fixed messages are found in the sources (every string literal ending in "fail" or
"failed ", in a source file or a header), so a new one cannot be added without documenting it; the pieces of the
messages built at run time are listed here.
"""
import glob
import os
import re
import sys

BUILT_MESSAGES = [
    'path too long (259 characters at most)',
    'is a comment, not an element',
    'a CDATA section',
    'a processing instruction',
    'has a negative size (',
]


def plain_roff(text):
    text = re.sub(r'\\f[BIRP]', '', text)
    text = text.replace('\\-', '-').replace('\\(em', '--')
    lines = []
    for line in text.splitlines():
        if line.startswith('.'):  # a macro line: keep its arguments without quotes
            parts = line.split(None, 1)
            line = parts[1].replace('"', '') if len(parts) > 1 else ''
            if parts[0] in ('.BI', '.IB', '.BR', '.RB', '.IR', '.RI'):
                line = line.replace(' ', '')  # alternating fonts join their arguments
        lines.append(line)
    return ' '.join(' '.join(lines).split())


def main():
    source = sys.argv[1]
    fixed = set()
    for path in glob.glob(os.path.join(source, 'src', '**', '*.[ch]*'), recursive=True):
        with open(path) as f:
            fixed.update(re.findall(r'"([^"\\]*fail(?:ed )?)"', f.read()))
    if len(fixed) < 2:
        print('FAIL: found only %s in the sources; has the pattern gone stale?' % sorted(fixed))
        sys.exit(1)
    with open(os.path.join(source, 'man', 'pibgen.1')) as f:
        page = plain_roff(f.read())
    with open(os.path.join(source, 'README.md')) as f:
        readme = ' '.join(f.read().split())
    page_squeezed = page.replace(' ', '')
    problems = []
    for message in sorted(fixed) + BUILT_MESSAGES:
        text = ' '.join(message.split())
        # Alternating-font macros lose their blanks above, so compare without blanks too.
        if text not in page and text.replace(' ', '') not in page_squeezed:
            problems.append('man/pibgen.1 does not name %r' % message)
        if text not in readme:
            problems.append('README.md does not name %r' % message)
    with open(os.path.join(source, 'src', 'engine', 'catalogue.h')) as f:
        codes = re.findall(r'X\(k\w+, "([a-z-]+)"', f.read())
    if len(codes) < 10:
        print('FAIL: found only %s in the catalogue; has the pattern gone stale?' % codes)
        sys.exit(1)
    with open(os.path.join(source, 'man', 'pibgen.1')) as f:
        section = re.search(r'^\.SH CODES\n(.*?)^\.SH ', f.read(), re.S | re.M)
    listed = re.findall(r'^\.B ([a-z-]+)$', section.group(1), re.M) if section else []
    for code in codes:
        if code not in listed:
            problems.append('the CODES section of man/pibgen.1 does not list %r' % code)
    for code in listed:
        if code not in codes:
            problems.append('man/pibgen.1 lists %r, which is no code' % code)
    if problems:
        print('FAIL\n' + '\n'.join(problems))
        sys.exit(1)
    print('ok: %d messages and %d codes documented' % (len(fixed) + len(BUILT_MESSAGES), len(codes)))


if __name__ == '__main__':
    main()
