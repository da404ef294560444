#!/usr/bin/env python3
"""The converter a user would write without pibgen: ElementTree, struct and zlib.

It prints the same trace and writes the same image as pibgen for the descriptions the
generator writes (it does not try to match pibgen on every odd input).

    peer.py DESCRIPTION IMAGE
"""
import re
import struct
import sys
import xml.etree.ElementTree as ET
import zlib

DECIMAL = re.compile(r'[ \t\n\v\f\r]*([+-]?)([0-9]*)')
XML_SPACE = ' \t\r\n'


def parse_decimal(text):
    sign, digits = DECIMAL.match(text).groups()
    value = int(digits) if digits else 0
    if sign == '-':
        value = -value
    return max(-(1 << 31), min((1 << 31) - 1, value))


def nibble(c):
    c = ord(c.upper()) if 'a' <= c <= 'z' else ord(c)
    return (c - 0x30 if c <= 0x39 else c - 0x37) & 0xFF


def hex_bytes(text, size):
    out = bytearray(size)
    for k in range(min(size, (len(text) + 1) // 2)):
        low = nibble(text[2 * k + 1]) if 2 * k + 1 < len(text) else nibble('\0')
        out[k] = ((nibble(text[2 * k]) << 4) | low) & 0xFF
    return bytes(out)


def main():
    source, destination = sys.argv[1], sys.argv[2]
    root = ET.parse(source).getroot()
    trace = []
    image = bytearray()
    for field in root:
        entry = {'type': '', 'size': 0, 'value': ''}
        for child in field:
            text = ''.join(child.itertext()).strip(XML_SPACE)
            trace.append('%s--%s\n' % (child.tag, text))
            if child.tag == 'size':
                entry['size'] = parse_decimal(text)
            elif child.tag in ('type', 'value'):
                entry[child.tag] = text
        kind = entry['type']
        if kind == 'System.UInt16':
            image += struct.pack('<H', parse_decimal(entry['value']) & 0xFFFF)
        elif kind == 'System.Byte':
            image += struct.pack('<B', parse_decimal(entry['value']) & 0xFF)
        elif kind in ('System.UInt32', 'System.Int32'):
            image += struct.pack('<i', parse_decimal(entry['value']))
        elif kind == 'System.Byte[]':
            image += hex_bytes(entry['value'], max(entry['size'], 0))
        else:
            image += bytes(max(entry['size'], 0))
    if len(image) > 2:
        image[2] = zlib.crc32(bytes(image[3:])) >> 24
    with open(destination, 'wb') as out:
        out.write(image)
    sys.stdout.write(''.join(trace))


if __name__ == '__main__':
    main()
