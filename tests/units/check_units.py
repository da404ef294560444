#!/usr/bin/env python3
"""Checks a run of units against conversions, its refusals, and its images under SIGKILL.

Usage: check_units.py PIBGEN [--named-temporaries]

1. Every image of a table (quoted cells, CR LF, a byte-order mark, a --set value for all) is
   byte for byte the conversion of the description with that unit's values written into its
   XML; the JSON lines and the manifest give each image's path, length, checksum and SHA-256.
2. Each refused table or command exits 1 with its message and leaves the folder as it was;
   --check with the table finds the same as an error.
3. A run killed part way leaves each destination with its old bytes or its complete image, and
   nothing else in the folder but, rarely, the complete image of the unit being put in place
   under its temporary name, when SIGKILL falls between naming it and renaming it (native runs
   only: a Windows program under Wine has no signals). With --named-temporaries (a build
   without unnamed temporary files) that name may hold any part of the image being written.
"""
import hashlib
import json
import os
import random
import re
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time

EMULATOR = shlex.split(os.environ.get('PIBGEN_EMULATOR', ''))
NAMED_TEMPORARIES = '--named-temporaries' in sys.argv

FIELDS = [  # name, type, size, the description's own value
    ('u16', 'System.UInt16', None, '1'),
    ('b', 'System.Byte', None, '2'),  # at offset 2, under the checksum
    ('u32', 'System.UInt32', None, '3'),
    ('i32', 'System.Int32', None, '-4'),
    ('pad', 'fill', 5, None),
    ('mac', 'System.Byte[]', 6, '000000000000'),
    ('dup', 'System.Byte', None, '7'),
    ('dup', 'System.Byte', None, '8'),
    ('key', 'System.Byte[]', 4, '01020304'),
]


def description(values):
    lines = ['<?xml version="1.0"?>', '<pib>']
    for name, type_, size, value in FIELDS:
        value = values.get(name, value) if name != 'dup' else value
        lines.append('  <field name="%s"><type>%s</type>' % (name, type_))
        if size is not None:
            lines.append('    <size>%d</size>' % size)
        if value is not None:
            lines.append('    <value>%s</value>' % value)
        lines.append('  </field>')
    return '\n'.join(lines + ['</pib>', ''])


def run(pibgen, args, folder):
    return subprocess.run(EMULATOR + [pibgen] + args, cwd=folder, capture_output=True,
                          text=True, timeout=300)


def state(folder):
    found = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), 'rb') as f:
            found[name] = f.read()
    return found


def write(folder, name, text, newline='\n'):
    with open(os.path.join(folder, name), 'w', newline=newline) as f:
        f.write(text)


def csv_cell(text):
    return '"%s"' % text.replace('"', '""') if any(c in text for c in ',"\r\n') else text


def check_images_match_conversions(pibgen, work):
    random.seed(20261210)
    rows = []
    for i in range(40):
        rows.append({'serial': 'SN-%03d' % i, 'u16': str(random.randint(0, 65535)),
                     'b': str(random.randint(0, 255)), 'u32': str(random.randint(0, 2**31 - 1)),
                     'i32': str(random.randint(-2**31, 2**31 - 1)),
                     'mac': '%012X' % random.getrandbits(48), 'note': 'a "quoted",\r\nnote'})
    rows[0].update(u16='0', u32='2147483647', i32='-2147483648', mac='FFffFFffFFff')
    header = ['serial', 'u16', 'b', 'u32', 'i32', 'mac']
    table = '\ufeff' + ','.join(header) + '\r\n'
    for row in rows:
        # Every cell quoted in odd rows: a spreadsheet may quote any cell.
        cells = ['"%s"' % row[c] if int(row['serial'][3:]) % 2 else csv_cell(row[c])
                 for c in header]
        table += ','.join(cells) + '\r\n'
    write(work, 'units.csv', table, newline='')
    write(work, 'desc.xml', description({}))
    os.mkdir(os.path.join(work, 'out'))
    args = ['-Sdesc.xml', '-Dout/{serial}-{row}.bin', '--units=units.csv', '--set=key=A0B1C2D3']
    text = run(pibgen, args, work)
    problems = []
    expected_lines = []
    for number, row in enumerate(rows, 1):
        path = 'out/%s-%d.bin' % (row['serial'], number)
        values = dict(row, key='A0B1C2D3')
        write(work, 'one.xml', description(values))
        one = run(pibgen, ['-Sone.xml', '-Done.bin'], work)
        with open(os.path.join(work, 'one.bin'), 'rb') as f:
            wanted = f.read()
        if one.returncode != 0:
            problems.append('the conversion of row %d failed: %s' % (number, one.stdout))
            continue
        with open(os.path.join(work, path), 'rb') as f:
            if f.read() != wanted:
                problems.append('%s differs from the conversion of its values' % path)
        expected_lines.append('%s: %d bytes, checksum %02X' % (path, len(wanted), wanted[2]))
        row['image'] = wanted
        row['path'] = path
    expected_lines.append('%d images' % len(rows))
    if text.returncode != 0 or text.stdout.splitlines() != expected_lines:
        problems.append('the text output is not one line per image and the count:\n' + text.stdout)

    as_json = run(pibgen, args + ['--format=json', '--manifest=out.jsonl'], work)
    with open(os.path.join(work, 'out.jsonl')) as f:
        manifest = f.read()
    if as_json.stdout != manifest:
        problems.append('the manifest is not the JSON lines printed')
    records = [json.loads(line) for line in manifest.splitlines()]
    wanted = [{'row': n, 'path': r['path'], 'bytes': len(r['image']),
               'checksum': '%02X' % r['image'][2], 'sha256': hashlib.sha256(r['image']).hexdigest()}
              for n, r in enumerate(rows, 1)]
    if records != wanted:
        problems.append('the JSON records are not the images: %r' % records[:2])
    # A manifest never replaces an input.
    with open(os.path.join(work, 'units.csv'), 'rb') as f:
        table_bytes = f.read()
    over = run(pibgen, args + ['--manifest=units.csv'], work)
    with open(os.path.join(work, 'units.csv'), 'rb') as f:
        if f.read() != table_bytes or over.returncode != 1 or \
                'the manifest "units.csv" could not be written' not in over.stdout:
            problems.append('a manifest over the table: exit %d, %r' % (over.returncode,
                                                                         over.stdout[-200:]))
    return problems


REFUSED = [  # name, table, extra arguments, a line of the output
    ('value out of range', 'serial,u16\nA,1\nB,70000\n', [],
     'units.csv:3: column u16: value 70000 is outside 0 to 65535'),
    ('characters after the number', 'serial,b\nA,12a\n', [], 'units.csv:2: column b: value "12a"'),
    ('a plus sign', 'serial,u32\nA,+5\n', [], 'units.csv:2: column u32: value "+5"'),
    ('a short byte array', 'serial,mac\nA,00112233445\n', [], 'units.csv:2: column mac: value has'),
    ('a fill', 'serial,pad\nA,1\n', [], 'column pad: field 5 is a fill'),
    ('a path cell with a slash', 'serial,u16\n../x,1\n', [], 'units.csv:2: column serial: "../x"'),
    ('a path cell that is a dot', 'serial,u16\n.,1\n', [], 'units.csv:2: column serial: "."'),
    ('two units, one path', 'serial,u16\nA,1\na,2\n', [], 'units.csv:3: the destination'),
    ('a row too long', 'serial,u16\nA,1,2\n', [], 'units.csv:2: the row has 3 cells, the header 2'),
    ('a stray quote', 'serial,u16\nA"B,1\n', [], 'units.csv:2: a quote inside'),
    ('an open quote', 'serial,u16\n"A,1\n', [], 'units.csv:2: a quoted cell is not closed'),
    ('a column of no field', 'serial,nosuch\nA,1\n', [], 'column nosuch: no field is named'),
    ('a field named twice', 'serial,dup\nA,1\n', [], 'column dup: 2 fields are named "dup"'),
    ('a column named twice', 'serial,u16,u16\nA,1,2\n', [], 'column u16: the header names it twice'),
    ('a column also set', 'serial,u16\nA,1\n', ['--set=u16=2'], 'column u16: --set=u16 sets'),
    ('a set of no field', 'serial,u16\nA,1\n', ['--set=nosuch=2'], 'no field is named "nosuch"'),
    ('an empty table', '', [], 'units.csv:1: the unit table has no header row'),
    ('a pattern without placeholder', 'u16\n1\n2\n', ['-Dfixed.bin'],
     'the destination "fixed.bin" has no placeholder, so 2 units would share it'),
    ('an unmatched brace', 'serial,u16\nA,1\n', ['-Dunit-{serial.bin'], 'unmatched brace'),
    ('a pattern of no column', 'serial,u16\nA,1\n', ['-Dunit-{nosuch}.bin'], 'uses {nosuch}'),
    ('a good row before a bad one', 'serial,u16\nA,1\nB,x\n', [], 'units.csv:3: column u16'),
]


def check_refusals(pibgen, work):
    problems = []
    write(work, 'desc.xml', description({}))
    with open(os.path.join(work, 'unit-A.bin'), 'wb') as f:
        f.write(b'an old image')
    for name, table, extra, line in REFUSED:
        write(work, 'units.csv', table)
        before = state(work)
        pattern = [a for a in extra if a.startswith('-D')] or ['-Dunit-{serial}.bin']
        args = ['-Sdesc.xml', '--units=units.csv'] + pattern + [a for a in extra if a not in pattern]
        result = run(pibgen, args, work)
        lines = result.stdout.splitlines()
        if result.returncode != 1 or not any(l.startswith(line) or line in l for l in lines):
            problems.append('%s: exit %d, output %r' % (name, result.returncode, result.stdout))
        elif lines[-1] != 'Fatal Error: ReadXMLToPIBFile failed ':
            problems.append('%s: no final line: %r' % (name, result.stdout))
        if state(work) != before:
            problems.append('%s: the folder changed' % name)
        # As JSON: a finding object a line, the same message among them.
        as_json = run(pibgen, args + ['--format=json'], work)
        try:
            messages = [json.loads(l)['message'] for l in as_json.stdout.splitlines()]
        except (ValueError, KeyError):
            messages = None
        tail = line.split(': ', 1)[1] if line.startswith('units.csv:') else line
        if as_json.returncode != 1 or not messages or not any(tail in m for m in messages):
            problems.append('%s: as JSON, %d, %r' % (name, as_json.returncode, as_json.stdout))
        if any(a.startswith('--set') for a in extra):
            continue
        # --check finds the same in the table, as errors, and writes nothing either.
        checked = run(pibgen, ['--check=desc.xml', '--units=units.csv'] + pattern, work)
        if checked.returncode != 1 or not any(': error: ' in l and tail in l
                                              for l in checked.stdout.splitlines()):
            problems.append('%s: --check gave %d, %r' % (name, checked.returncode, checked.stdout))
        if state(work) != before:
            problems.append('%s: --check changed the folder' % name)
    return problems


def check_sigkill(pibgen, work):
    units = 5000
    write(work, 'desc.xml', description({}))
    write(work, 'units.csv', 'serial,u32\n' + ''.join('U%d,%d\n' % (i, i) for i in range(units)))
    os.mkdir(os.path.join(work, 'new'))
    done = run(pibgen, ['-Sdesc.xml', '-Dnew/U{serial}.bin', '--units=units.csv'], work)
    if done.returncode != 0:
        return ['the large table failed: ' + done.stdout[-300:]]
    new = state(os.path.join(work, 'new'))
    folder = os.path.join(work, 'old')
    problems = []
    midway = 0
    for share in (0.25, 0.5, 0.75):
        shutil.rmtree(folder, ignore_errors=True)
        os.mkdir(folder)
        old = {}
        for name in new:
            old[name] = b'old ' + name.encode()
            with open(os.path.join(folder, name), 'wb') as f:
                f.write(old[name])
        process = subprocess.Popen([pibgen, '-Sdesc.xml', '-Dold/U{serial}.bin',
                                    '--units=units.csv'], cwd=work, stdout=subprocess.DEVNULL)
        # Images are written in row order: killed once this one is in place, the run is part way.
        watched = os.path.join(folder, 'UU%d.bin' % int(units * share))
        deadline = time.monotonic() + 120
        while time.monotonic() < deadline and process.poll() is None:
            with open(watched, 'rb') as f:
                if f.read() != old[os.path.basename(watched)]:
                    break
        process.send_signal(signal.SIGKILL)
        process.wait()
        if process.returncode != -signal.SIGKILL:
            problems.append('at %.0f%% the run was not killed (exit %d)' % (share * 100,
                                                                          process.returncode))
            continue
        after = state(folder)
        # The one window no handler covers: a complete image named beside its destination
        # for its rename, which SIGKILL can end between the two calls.
        for name in [n for n in after if n not in new]:
            unit = re.match(r'\.(UU\d+\.bin)\.pibgen-', name)
            if unit and (NAMED_TEMPORARIES or after[name] == new.get(unit.group(1))):
                del after[name]
        if sorted(after) != sorted(new):
            problems.append('at %.0f%% the folder holds other files' % (share * 100))
        for name, data in after.items():
            if data != old.get(name) and data != new.get(name):
                problems.append('at %.0f%% %s is neither old nor complete' % (share * 100, name))
        written = sum(after[name] == new[name] for name in new)
        midway += 0 < written < len(new)
    if not midway:
        problems.append('no run was killed part way, so nothing was shown')
    return problems


def main():
    pibgen = os.path.abspath(sys.argv[1])
    checks = [check_images_match_conversions, check_refusals]
    if not EMULATOR:
        checks.append(check_sigkill)
    problems = []
    for check in checks:
        with tempfile.TemporaryDirectory(prefix='pibgen-units-') as work:
            problems += ['%s: %s' % (check.__name__, p) for p in check(pibgen, work)]
    for problem in problems:
        print(problem)
    print('%d problems' % len(problems))
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
