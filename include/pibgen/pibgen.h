#pragma once

// pibgen's engine for other programs: a description held in memory to its image in memory.
// Link pibgen::pibgen (CMake: find_package(pibgen)) or `pkg-config --libs pibgen`.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pibgen {

// The library's version, "X.Y.Z": the same as the pibgen program's built with it.
std::string_view LibraryVersion();

// Why a description did not become an image.
struct ConversionProblem {
  // Stable, for programs: lower-case words joined by hyphens ("not-well-formed",
  // "negative-size", "not-an-element", ...), as the manual lists them.
  std::string code;
  uint32_t line = 0;    // in the description; 0 where none is known
  uint32_t field = 0;   // the field, counting the root's children from 1; 0 for none
  std::string message;  // what the pibgen program prints for it, without its line feed
};

// An image made in memory, or why there is none.
struct ImageResult {
  std::vector<uint8_t> image;
  std::optional<ConversionProblem> problem;
  explicit operator bool() const { return !problem.has_value(); }
};

// Converts a description (the text of an XML document) to the image the pibgen program would
// write for it, byte for byte. Nothing outside the text is read: references to external
// entities and DTDs are refused. The image is held whole in memory, fills included. Prints
// nothing and changes nothing of the process (no signal handler, no libxml2 setting outlives
// the call).
ImageResult ConvertDescription(std::string_view description);

// The checksum byte an image carries at offset 2, the top byte of the CRC-32 of its bytes from
// offset 3 to the end; none for an image of fewer than 3 bytes.
std::optional<uint8_t> ChecksumByte(std::span<const uint8_t> image);

}  // namespace pibgen
