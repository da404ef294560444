#!/usr/bin/env python3
"""Checks that the build refuses an include against the layers.

Usage: check_layers_refused.py SOURCE_DIR CMAKE

Each row adds one include to a copy of src/ and include/ and runs cmake/check_layers.cmake over
it, which must fail and name the file; the copy as it is must pass.
"""
import os
import shutil
import subprocess
import sys
import tempfile

REFUSED = [
    ('src/check/check_field.cpp', 'verify/verify_image.h'),  # a mode includes another
    ('src/decode/xml_text.cpp', 'convert/read_xml_to_pib_file.h'),
    ('src/format/hex.cpp', 'xml/read_description.h'),  # format includes xml
    ('src/format/checksum.h', 'file/file_system.h'),  # or file
    ('src/engine/read_fields.cpp', 'check/finding.h'),  # the engine includes a mode
    ('src/xml/read_description.cpp', 'engine/failure.h'),
    ('include/pibgen/pibgen.h', 'engine/failure.h'),  # an installed header includes src/
]


def check(source, cmake, copy):
    return subprocess.run([cmake, '-DPIBGEN_SOURCE_DIR=' + copy,
                           '-DPIBGEN_STAMP=' + os.path.join(copy, 'stamp'), '-P',
                           os.path.join(source, 'cmake', 'check_layers.cmake')],
                          capture_output=True, text=True)


def main():
    source, cmake = sys.argv[1:3]
    problems = []
    with tempfile.TemporaryDirectory(prefix='pibgen-layers-') as work:
        for row, (path, include) in enumerate([(None, None)] + REFUSED):
            copy = os.path.join(work, str(row))
            for tree in ('src', 'include'):
                shutil.copytree(os.path.join(source, tree), os.path.join(copy, tree))
            if path:
                with open(os.path.join(copy, path), 'a') as f:
                    f.write('#include "%s"\n' % include)
            result = check(source, cmake, copy)
            if path is None and result.returncode != 0:
                problems.append('the tree as it is was refused: ' + result.stderr[-500:])
            if path and (result.returncode == 0 or path not in result.stderr):
                problems.append('%s including %s was not refused' % (path, include))
    if problems:
        print('FAIL layers\n' + '\n'.join(problems))
        sys.exit(1)
    print('ok layers: %d includes against the layers refused' % len(REFUSED))


if __name__ == '__main__':
    main()
