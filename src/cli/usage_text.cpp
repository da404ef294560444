#include "cli/usage_text.h"

#include <algorithm>
#include <string>

#include "engine/version.h"
#include "format/checksum.h"
#include "format/field_types.h"

namespace pibgen {

std::string_view HelpText() {
  // The command line; the types and the checksum rule follow from the format's own facts.
  constexpr std::string_view kCommands =
      "Usage: pibgen -S<description.xml> -D<image.bin> [--set=NAME=VALUE ...]\n"
      "       pibgen -S<description.xml> -D<pattern> --units=<table.csv> [--set=...]\n"
      "              [--manifest=<file>] [--format=json]\n"
      "       pibgen --check=<description.xml> [--format=text|json|sarif]\n"
      "       pibgen --verify=<image.bin> [--layout=<description.xml>] [--format=json]\n"
      "       pibgen --decode=<image.bin> --layout=<description.xml> [--format=json]\n"
      "       pibgen --diff=<old.bin> --with=<new.bin> [--layout=<description.xml>]\n"
      "       pibgen --help | --version\n"
      "\n"
      "Builds a PIB image from an XML description: the fields encoded one after\n"
      "another in description order, with no header and no gaps.\n"
      "\n"
      "  -S<path>   the XML description to read\n"
      "  -D<path>   the image to write (created, or emptied and rewritten)\n"
      "  --help     print this text and exit (--version: the version)\n"
      "\n"
      "  --check=<path>   walk the description as a conversion would, write nothing,\n"
      "                   and list suspicious constructs as FILE:LINE: warning: ...\n"
      "                   (or error:), then N warnings, M errors; exit 0 when clean\n"
      "  --verify=<path>  recompute an image's checksum: checksum ok (XX), or\n"
      "                   checksum mismatch: stored XX, computed YY (exit 1); with\n"
      "                   --layout=<path>, list the fields that differ from its image\n"
      "  --decode=<path>  with --layout=<path>, print a description that converts\n"
      "                   to the image byte for byte, or why none can (exit 1)\n"
      "  --diff=<old>     with --with=<new>: bytes (or --layout fields) that differ\n"
      "  --format=<f>     text (default); json, or sarif for --check: one document\n"
      "  --set=N=V        field N takes value V, refused unless it encodes as it reads\n"
      "  --units=<path>   a CSV row per image, a column per field name; -D holds\n"
      "                   {COLUMN} and {row}; every row checked before any write\n"
      "  --manifest=<f>   with --units: a JSON line for each image written\n"
      "\n"
      "The path follows the letter in the same argument. The letter may be either\n"
      "case, '/' may stand for '-', and the last -S or -D wins.\n"
      "\n"
      "Field types (the <type> text; multi-byte values are little-endian):\n";
  // Each type's name, then its width in a column after the longest name.
  constexpr size_t kNameColumn = std::max<size_t>(LongestTypeName(), 13) + 2;
  static const std::string text = [&] {
    std::string help(kCommands);
    for (const FieldType& type : kFieldTypes) {
      help.append("  ").append(type.name);
      help.append(kNameColumn - type.name.size(), ' ');
      help.append(type.width == 0
                      ? "<size> bytes"
                      : std::to_string(type.width) + (type.width == 1 ? " byte" : " bytes"));
      help.append(": ").append(type.encodes).append("\n");
    }
    constexpr std::string_view kOther = "anything else";
    help.append("  ").append(kOther).append(kNameColumn - kOther.size(), ' ');
    help.append("<size> zero bytes (a fill field)\n\n");
    help.append("Checksum: byte ").append(std::to_string(kChecksumOffset));
    help.append(" becomes the top byte of the CRC-32 of bytes ");
    help.append(std::to_string(kChecksumOffset + 1)).append(" to the end.\n\n");
    return help.append(
        "Exit status: 0 on success, 1 on failure (--diff: 0 same, 1 differ, 2 not\n"
        "compared); the reason goes to standard output. pibgen(1) has every message.\n");
  }();
  return text;
}

std::string_view VersionText() { return "pibgen " PIBGEN_VERSION "\n"; }

}  // namespace pibgen
