#!/usr/bin/env python3
"""Writes a pretty-printed description of N fields, the same bytes for the same seed.

The mix resembles a real parameter block: mostly numeric fields, byte arrays of a few to a
few dozen bytes (some with a value shorter than the size), and reserved fill fields, some
without a type at all. Every field carries a name attribute, as real descriptions do.

    generate.py FIELDS OUTPUT [--seed N]
"""
import argparse
import random

NUMERIC = [
    ('System.UInt16', lambda r: r.randrange(0, 65536)),
    ('System.Byte', lambda r: r.randrange(0, 256)),
    ('System.UInt32', lambda r: r.randrange(0, 1 << 32)),
    ('System.Int32', lambda r: r.randrange(-(1 << 31), 1 << 31)),
]
FILL_TYPES = ['Reserved', 'System.Padding', None]


def field_lines(rng, index):
    name = 'p%d' % index
    roll = rng.random()
    if roll < 0.70:
        type_name, value = NUMERIC[rng.randrange(len(NUMERIC))]
        children = [('type', type_name), ('value', str(value(rng)))]
    elif roll < 0.90:
        size = rng.randrange(1, 33)
        shown = size if rng.random() < 0.8 else rng.randrange(0, size + 1)
        value = ''.join(rng.choice('0123456789ABCDEFabcdef') for _ in range(2 * shown))
        children = [('type', 'System.Byte[]'), ('size', str(size)), ('value', value)]
    else:
        fill = FILL_TYPES[rng.randrange(len(FILL_TYPES))]
        children = [('size', str(rng.randrange(1, 17)))]
        if fill is not None:
            children.insert(0, ('type', fill))
    lines = ['  <field name="%s">\n' % name]
    lines += ['    <%s>%s</%s>\n' % (tag, text, tag) for tag, text in children]
    lines.append('  </field>\n')
    return lines


def main():
    parser = argparse.ArgumentParser(description='Generate a pibgen description.')
    parser.add_argument('fields', type=int)
    parser.add_argument('output')
    parser.add_argument('--seed', type=int, default=1)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    with open(args.output, 'w', encoding='utf-8', newline='\n') as out:
        out.write('<?xml version="1.0" encoding="utf-8"?>\n<pib>\n')
        batch = []
        for i in range(args.fields):
            batch += field_lines(rng, i)
            if len(batch) > 4096:
                out.writelines(batch)
                batch = []
        out.writelines(batch)
        out.write('</pib>\n')


if __name__ == '__main__':
    main()
