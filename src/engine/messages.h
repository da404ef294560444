#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/failure.h"

namespace pibgen {

// Every message pibgen prints when something fails, worded here and nowhere else.

// The conversion's: one line for the failure, then kConversionFailed.
inline constexpr std::string_view kConversionFailed = "Fatal Error: ReadXMLToPIBFile failed \n";
// One fixed line for each step that failed, or for a broken rule the source, the line, the
// field and the rule.
std::string ConversionMessage(const Failure& failure, std::string_view source);

// Before anything runs, on Windows: the program's own module cannot be found (the program
// ends), or the command line cannot be split (the conversion goes on with empty paths).
inline constexpr std::string_view kModuleHandleFailed = "Fatal Error: GetModuleHandle failed\n";
inline constexpr std::string_view kCommandLineNotSplit = "CommandLineToArgvW failed\n";

// Before anything runs: a switch whose path is longer than any system takes.
std::string PathTooLongMessage(int argument);
inline constexpr std::string_view kLayoutNeedsAMode =
    "--layout needs --decode=IMAGE or --verify=IMAGE\n";
inline constexpr std::string_view kDecodeNeedsALayout = "--decode needs --layout=DESCRIPTION\n";

// "field 4" and, for a field with a name attribute, its quoted name: "field 4 (\"serial\")".
std::string FieldLabel(uint32_t field, bool named, std::string_view name);

// The stable code of a failure to read or convert a description: "not-well-formed",
// "negative-size", ... (the manual lists them).
std::string_view FailureCode(const Failure& failure);

// What --check says of a description a conversion refuses, and --verify and --decode of such a
// layout: why it does not load, or which rule it breaks and that the conversion refuses it.
std::string RefusalWords(const Failure& failure);
// "PATH:LINE: error: MESSAGE\n" (or "warning:"), without ":LINE" for line 0.
std::string FindingLine(std::string_view path, uint32_t line, bool error, std::string_view message);

// The image modes': each "IMAGE: ..." and a line feed.
std::string CannotReadImageMessage(std::string_view image);
std::string ChecksumMismatchMessage(std::string_view image, uint8_t stored, uint8_t computed);
std::string LengthDiffersMessage(std::string_view image, uint64_t length, uint64_t layout_length);
std::string FillNotZeroMessage(std::string_view image, std::string_view field_label,
                               uint64_t length, uint64_t offset, uint64_t at, uint8_t byte);
std::string ChangedWhileDecodedMessage(std::string_view image);
std::string LayoutChangedMessage(std::string_view image);

}  // namespace pibgen
