#include "cli/usage_text.h"

#include "cli/version.h"

namespace pibgen {

std::string_view HelpText() {
  return "Usage: pibgen -S<description.xml> -D<image.bin>\n"
         "       pibgen --check=<description.xml>\n"
         "       pibgen --verify=<image.bin> [--layout=<description.xml>]\n"
         "       pibgen --decode=<image.bin> --layout=<description.xml>\n"
         "       pibgen --help | --version\n"
         "\n"
         "Builds a PIB image from an XML description: the fields encoded one after\n"
         "another in description order, with no header and no gaps.\n"
         "\n"
         "  -S<path>   the XML description to read\n"
         "  -D<path>   the image to write (created, or emptied and rewritten)\n"
         "  --help     print this text and exit\n"
         "  --version  print the version and exit\n"
         "\n"
         "  --check=<path>   walk the description as a conversion would, write nothing,\n"
         "                   and list suspicious constructs as FILE:LINE: warning: ...\n"
         "                   (or error:), then N warnings, M errors; exit 0 when clean\n"
         "  --verify=<path>  recompute an image's checksum: checksum ok (XX), or\n"
         "                   checksum mismatch: stored XX, computed YY (exit 1); with\n"
         "                   --layout=<path>, list the fields that differ from its image\n"
         "  --decode=<path>  with --layout=<path>, print a description that converts\n"
         "                   to the image byte for byte, or why none can (exit 1)\n"
         "\n"
         "The path follows the letter in the same argument. The letter may be either\n"
         "case, '/' may stand for '-', and the last -S or -D wins.\n"
         "\n"
         "Example:  pibgen -Sfields.xml -Dimage.bin\n"
         "\n"
         "Field types (the <type> text; multi-byte values are little-endian):\n"
         "  System.UInt16  2 bytes: the low 16 bits of the decimal <value>\n"
         "  System.Byte    1 byte: the low 8 bits of the decimal <value>\n"
         "  System.UInt32  4 bytes: the decimal <value>, saturated to 32 bits signed\n"
         "  System.Int32   4 bytes: the same as System.UInt32\n"
         "  System.Byte[]  <size> bytes: <value> read as hex, two characters a byte\n"
         "  anything else  <size> zero bytes (a fill field)\n"
         "\n"
         "Checksum: byte 2 becomes the top byte of the CRC-32 of bytes 3 to the end.\n"
         "\n"
         "Exit status: 0 on success, 1 on any failure; the reason is printed on\n"
         "standard output. See pibgen(1) for the format and every message.\n";
}

std::string_view VersionText() { return "pibgen " PIBGEN_VERSION "\n"; }

}  // namespace pibgen
