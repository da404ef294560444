#!/usr/bin/env python3
"""Measures per-unit images: a 500-field description, four fields set per unit.

    units.py BUILD_DIR [--units 10000 100000] [--runs 5]

For each table size, with farm-bench on one core in alternation:
  - pibgen --units against bench's plain_writer making as many files of the image's size
    (open, write, close): the time ratio;
  - against a loop of single conversions making LOOP of the same images: the speed ratio,
    scaled by the counts;
  - pibgen's peak memory.
Then 1,000 units of a description holding a 2 GiB fill: time and the disk the images take.
"""
import argparse
import os
import random
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

HERE = os.path.dirname(os.path.abspath(__file__))
LOOP = 200


def farm(a, b, runs):
    command = ['farm-bench', '--pin', '0', '-n', str(runs), '--timeout', '900', '--vs', b, '--']
    return subprocess.run(command + a, capture_output=True, text=True).stdout


def row(out, name):
    for line in out.splitlines():
        if line.strip().startswith(name):
            return line.strip()
    return '(no %s row)' % name


def four_fields(description):
    """Names and value makers of the first UInt32, UInt16, Byte and Byte[] fields."""
    wanted = {'System.UInt32': lambda r, s: str(r.randrange(0, 1 << 31)),
              'System.UInt16': lambda r, s: str(r.randrange(0, 1 << 16)),
              'System.Byte': lambda r, s: str(r.randrange(0, 256)),
              'System.Byte[]': lambda r, s: '%0*X' % (2 * s, r.getrandbits(8 * s))}
    found = {}
    for field in ElementTree.parse(description).getroot():
        type_ = field.findtext('type')
        if type_ in wanted and type_ not in found:
            found[type_] = (field.get('name'), int(field.findtext('size') or 0), wanted[type_])
    return list(found.values())


def table(path, fields, count, rng):
    with open(path, 'w') as f:
        f.write('serial,' + ','.join(name for name, _, _ in fields) + '\n')
        for i in range(count):
            f.write('U%d,' % i + ','.join(make(rng, size) for _, size, make in fields) + '\n')


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('build')
    parser.add_argument('--units', type=int, nargs='+', default=[10000, 100000])
    parser.add_argument('--runs', type=int, default=5)
    args = parser.parse_args()
    pibgen = os.path.join(os.path.abspath(args.build), 'pibgen')
    writer = os.path.join(os.path.abspath(args.build), 'bench', 'pibgen_plain_writer')
    rng = random.Random(1)
    with tempfile.TemporaryDirectory(prefix='pibgen-units-bench-', dir='/tmp') as work:
        desc = os.path.join(work, 'desc.xml')
        subprocess.run([sys.executable, os.path.join(HERE, 'generate.py'), '500', desc],
                       check=True)
        fields = four_fields(desc)
        image = os.path.join(work, 'one.bin')
        subprocess.run([pibgen, '-S' + desc, '-D' + image], check=True, capture_output=True)
        size = os.path.getsize(image)
        print('description: 500 fields, %d-byte image; set: %s' %
              (size, ', '.join(name for name, _, _ in fields)))
        # The loop: LOOP descriptions, each with one unit's values written in.
        text = open(desc).read()
        loop = os.path.join(work, 'loop')
        os.mkdir(loop)
        for i in range(LOOP):
            one = text
            for name, size_, make in fields:
                one = re.sub(r'(<field name="%s">.*?<value>)[^<]*' % name,
                             lambda m: m.group(1) + make(rng, size_), one, count=1, flags=re.S)
            with open(os.path.join(loop, 'd%d.xml' % i), 'w') as f:
                f.write(one)
        loop_command = ('for i in $(seq 0 %d); do %s -S%s/d$i.xml -D%s/o$i.bin >/dev/null; done'
                        % (LOOP - 1, pibgen, loop, loop))
        for count in args.units:
            units = os.path.join(work, 'units-%d.csv' % count)
            table(units, fields, count, rng)
            for folder in ('out', 'plain'):
                os.makedirs(os.path.join(work, folder), exist_ok=True)
            run = [pibgen, '-S' + desc, '-D%s/out/U{serial}.bin' % work, '--units=' + units]
            plain = '%s %d %d %s/plain' % (writer, count, size, work)
            print('\n== %d units: pibgen --units (A) vs plain_writer (B)' % count)
            out = farm(run, plain, args.runs)
            for name in ('A wall', 'B wall', 'A/B cpu', 'A/B wall', 'A peak'):
                print(row(out, name))
            print('== %d units: pibgen --units (A) vs a loop of %d conversions (B)' % (count, LOOP))
            out = farm(run, 'sh -c "%s"' % loop_command, args.runs)
            for name in ('A wall', 'B wall', 'A/B wall'):
                print(row(out, name))
            ratio = re.search(r'A/B wall\s+(\S+)\s+(\S+)\s+(\S+)', out)
            if ratio:
                speeds = [count / LOOP / float(r) for r in ratio.groups()]
                print('images a second, --units over the loop: %.0f times (%.0f to %.0f)' %
                      (speeds[1], speeds[2], speeds[0]))
            subprocess.run(['rm', '-rf', os.path.join(work, 'out'), os.path.join(work, 'plain')])

        print('\n== 1000 units of a description with a 2 GiB fill')
        big = os.path.join(work, 'big.xml')
        with open(big, 'w') as f:
            f.write('<pib><field name="a"><type>System.UInt32</type><value>1</value></field>'
                    '<field><type>fill</type><size>2147483647</size></field>'
                    '<field name="b"><type>System.UInt16</type><value>2</value></field></pib>')
        with open(os.path.join(work, 'big.csv'), 'w') as f:
            f.write('serial,a,b\n' + ''.join('U%d,%d,%d\n' % (i, i, i) for i in range(1000)))
        os.mkdir(os.path.join(work, 'big'))
        out = subprocess.run(['farm-bench', '--pin', '0', '-n', '1', '--warmup', '0', '--',
                              pibgen, '-S' + big, '-D%s/big/U{serial}.bin' % work,
                              '--units=%s/big.csv' % work], capture_output=True, text=True).stdout
        print(row(out, 'A wall'))
        print(row(out, 'A peak'))
        du = subprocess.run(['du', '-s', '--block-size=1', os.path.join(work, 'big')],
                            capture_output=True, text=True).stdout.split()[0]
        apparent = subprocess.run(['du', '-s', '--apparent-size', '--block-size=1',
                                   os.path.join(work, 'big')], capture_output=True,
                                  text=True).stdout.split()[0]
        print('disk used by the 1000 images: %s bytes (apparent size %s)' % (du, apparent))


if __name__ == '__main__':
    main()
