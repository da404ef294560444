#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/failure.h"

namespace pibgen {

// Every message pibgen prints, worded here and nowhere else: one row a code. Adding a message
// is one row here and the code that finds it; the manual lists every code (a test checks).
//
// A row: the enumerator, the stable code (what --format=json and SARIF give), the severity,
// a one-line summary (SARIF's rule description), the wording, and the other wording some
// rules have where another mode says them (a conversion for the rules it refuses, a layout
// comparison for a checksum that differs).
//
// A wording takes the finding's values in order: {0} as it is, {0:q} quoted (QuoteText),
// {0:byte} as "1 byte" or "N bytes", {0:is|are} as "1 is" or "N are"; {field} is "field N"
// with its quoted name when it has one, {n} the field number, {file} and {line} where it is.
// [...] is written only when every value it names is not empty; in it {0:?} names a value
// that must not be empty and {0:!} one that must be, without writing them.
#define PIBGEN_CODES(X)                                                                            \
  /* The description cannot be read: --check's errors, a conversion's "load xml file fail". */     \
  X(kUnreadable, "cannot-read-description", kError, "The description cannot be read.",             \
    "cannot read the description", "load xml file fail")                                           \
  X(kNotWellFormed, "not-well-formed", kError, "The description is not well-formed XML.",          \
    "not well-formed XML", "load xml file fail")                                                   \
  X(kExternalEntity, "external-entity", kError,                                                    \
    "The description refers to an external entity, which is never read.",                          \
    "reference to external entity {0}, which is never read", "load xml file fail")                 \
  X(kExternalResource, "external-resource", kError,                                                \
    "The description refers to an external resource, which is never read.",                        \
    "reference to an external resource, which is never read", "load xml file fail")                \
  X(kUndeclaredEntity, "undeclared-entity", kError,                                                \
    "The description refers to an entity it does not declare.",                                    \
    "reference to entity {0}, which the description does not declare", "load xml file fail")       \
  X(kNestingTooDeep, "nesting-too-deep", kError,                                                   \
    "Elements nest deeper than the XML parser's limit.",                                           \
    "elements nest deeper than the XML parser's limit of {0} levels", "load xml file fail")        \
  X(kEntityExpansion, "entity-expansion", kError,                                                  \
    "Entity references expand beyond the XML parser's limit.",                                     \
    "entity references expand beyond the XML parser's limit", "load xml file fail")                \
  /* The rules a conversion refuses a loaded description for. */                                   \
  X(kNotAnElement, "not-an-element", kError, "A child of the root is not an element.",             \
    "field {n} is {0}, not an element; the conversion refuses the description",                    \
    "{file}:{line}: field {n} is {0}, not an element")                                             \
  X(kNegativeSize, "negative-size", kError, "A Byte[] or fill field has a negative size.",         \
    "{field}: negative size ({0}); the conversion refuses the description",                        \
    "{file}:{line}: field {n} has a negative size ({0})")                                          \
  /* --check's warnings: what converts, but likely not as meant. */                                \
  X(kRepeatedChild, "repeated-child", kWarning, "A repeated type, size or value child.",           \
    "{field}: repeated <{0}> replaces the one on line {1}", "")                                    \
  X(kChildNameCase, "child-name-case", kWarning,                                                   \
    "A child named like type, size or value but in other letter case, which is ignored.",          \
    "{field}: <{0}> is ignored; did you mean <{1}>?", "")                                          \
  X(kSizeWithoutType, "size-without-type", kWarning, "A size without a type: a zero fill.",        \
    "{field}: <size> without <type>; written as {0:zero byte|zero bytes}", "")                     \
  X(kValueWithoutType, "value-without-type", kWarning,                                             \
    "A value without a type: a zero fill, and the value is not written.",                          \
    "{field}: <value> without <type>; the field is a zero fill of {0:byte} and its value {1:q} "   \
    "is not written",                                                                              \
    "")                                                                                            \
  X(kSizeIgnored, "size-ignored", kWarning,                                                        \
    "A size given to a fixed-width type, which ignores it.",                                       \
    "{field}: <size> is ignored; {0} is always {1:byte}", "")                                      \
  X(kUnknownType, "unknown-type", kWarning,                                                        \
    "An unknown type that looks misspelt or has a value: a zero fill.",                            \
    "{field}: type {0:q} is unknown, so the field is a zero fill of {1:byte}[ and its value "      \
    "{2:q} is not written][; did you mean {3:q}?]",                                                \
    "")                                                                                            \
  X(kSizeNotANumber, "size-not-a-number", kWarning, "A size with no number, read as 0.",           \
    "{field}: size {0:q} has no number; read as 0", "")                                            \
  X(kSizeTrailingCharacters, "size-trailing-characters", kWarning,                                 \
    "A size with characters after its number.",                                                    \
    "{field}: size {0:q} has characters after the number; read as {1}", "")                        \
  X(kSizeOutOfRange, "size-out-of-range", kWarning, "A size outside 0 to 2147483647.",             \
    "{field}: size {0} is outside 0 to {1}; read as {2}", "")                                      \
  X(kMissingValue, "missing-value", kWarning, "A numeric field without a value.",                  \
    "{field}: {0} field has no <value>; written as {1}", "")                                       \
  X(kValueNotANumber, "value-not-a-number", kWarning, "A numeric value with no number.",           \
    "{field}: value {0:q} has no number; written as {1}", "")                                      \
  X(kValueTrailingCharacters, "value-trailing-characters", kWarning,                               \
    "A numeric value with characters after its number.",                                           \
    "{field}: value {0:q} has characters after the number; read as {1}", "")                       \
  X(kValueOutOfRange, "value-out-of-range", kWarning, "A numeric value outside its type's range.", \
    "{field}: value {0} is outside {1} to {2} for {3}; written as {4}", "")                        \
  X(kMissingBytes, "missing-bytes", kWarning, "A Byte[] field without a value: zeros.",            \
    "{field}: {0} field has no <value>; its {1:byte is|bytes are} zero", "")                       \
  X(kNotHexDigits, "not-hex-digits", kWarning, "A Byte[] value with characters not hex digits.",   \
    "{field}: value {0:q} has characters that are not hex digits", "")                             \
  X(kValueTooShort, "value-too-short", kWarning,                                                   \
    "A Byte[] value shorter than twice its size: the rest is zeros.",                              \
    "{field}: value has {0} characters, {1} expected for size {2}; the image holds {3}[{3:?}"      \
    " then {4:zero byte|zero bytes}][{3:!}{4:zero byte|zero bytes}]",                              \
    "")                                                                                            \
  X(kValueTooLong, "value-too-long", kWarning,                                                     \
    "A Byte[] value longer than twice its size: the rest is ignored.",                             \
    "{field}: value has {0} characters, {1} expected for size {2}; the characters past {1} "       \
    "are ignored",                                                                                 \
    "")                                                                                            \
  X(kChecksumOverlap, "checksum-overlap", kWarning,                                                \
    "A field of more than one byte covers the checksum byte, which replaces one of its bytes.",    \
    "{field}: its byte at offset {0} is overwritten by the checksum (the field covers offsets "    \
    "{1} to {2})",                                                                                 \
    "")                                                                                            \
  /* Values a unit table or --set gives: refused where they would not encode as they say. */       \
  X(kValueNotPlainDigits, "value-not-plain-digits", kError,                                        \
    "A set value that is not written as decimal digits alone.",                                    \
    "{field}: value {0:q} is not written as [{1:?}an optional minus sign and ]decimal digits "     \
    "alone",                                                                                       \
    "")                                                                                            \
  X(kSetNamesNoField, "set-names-no-field", kError, "--set names no field.",                       \
    "no field is named {0:q}", "")                                                                 \
  X(kSetNamesManyFields, "set-names-many-fields", kError, "--set names more than one field.",      \
    "{0} fields are named {1:q}", "")                                                              \
  X(kSetRepeated, "set-repeated", kError, "--set names the same field twice.",                     \
    "--set names {0:q} more than once", "")                                                        \
  X(kSetFill, "set-fill", kError, "A set value is for a fill field, which has none.",              \
    "{field}: field {0} is a fill, which cannot be set", "")                                       \
  X(kColumnNamesNoField, "column-names-no-field", kError,                                          \
    "A unit column names no field and is not used in the destination pattern.",                    \
    "{field}: no field is named {0:q}, and the destination pattern does not use it", "")           \
  X(kColumnNamesManyFields, "column-names-many-fields", kError,                                    \
    "A unit column names more than one field.", "{field}: {0} fields are named {1:q}", "")         \
  X(kColumnRepeated, "column-repeated", kError, "Two unit columns have the same name.",            \
    "{field}: the header names it twice", "")                                                      \
  X(kColumnAlsoSet, "column-also-set", kError, "A field is set both by a column and by --set.",    \
    "{field}: --set={0} sets the same field", "")                                                  \
  X(kUnitsUnreadable, "cannot-read-units", kError, "The unit table cannot be read.",               \
    "cannot read the unit table", "")                                                              \
  X(kUnitsChanged, "units-changed", kError, "The unit table changed while it was read.",           \
    "the unit table changed while it was read", "")                                                \
  X(kUnitsNoHeader, "units-no-header", kError, "The unit table has no header row.",                \
    "the unit table has no header row", "")                                                        \
  X(kCsvStrayQuote, "csv-stray-quote", kError,                                                     \
    "A quote inside an unquoted cell, or text after a quoted cell's closing quote.",               \
    "a quote inside a cell that is not quoted, or text after a closing quote", "")                 \
  X(kCsvOpenQuote, "csv-open-quote", kError, "A quoted cell not closed before the end.",           \
    "a quoted cell is not closed before the end of the file", "")                                  \
  X(kCsvCellCount, "csv-cell-count", kError, "A row with more or fewer cells than the header.",    \
    "the row has {0:cell}, the header {1}", "")                                                    \
  X(kPatternBrace, "pattern-brace", kError, "The destination pattern has an unmatched brace.",     \
    "the destination pattern {0:q} has an unmatched brace; a brace itself is written twice", "")   \
  X(kPatternUnknown, "pattern-unknown-column", kError,                                             \
    "The destination pattern names a column the table lacks.",                                     \
    "the destination pattern uses {0}, which is not a column of the unit table", "")               \
  X(kPatternFixed, "pattern-fixed", kError,                                                        \
    "A destination with no placeholder for a table of more than one unit.",                        \
    "the destination {0:q} has no placeholder, so {1} units would share it", "")                   \
  X(kPathCell, "path-cell", kError, "A cell used in a destination path is not a safe name.",       \
    "{field}: {0:q} is used in the destination path, which takes letters, digits, '.', '_' and "   \
    "'-' alone, and not \".\" or \"..\"",                                                          \
    "")                                                                                            \
  X(kDestinationTooLong, "destination-too-long", kError, "A unit's destination path is too long.", \
    "the destination {0:q} is longer than any system takes", "")                                   \
  X(kDestinationRepeated, "destination-repeated", kError, "Two units have the same destination.",  \
    "the destination {0:q} is also line {1}'s", "")                                                \
  X(kCheckSummary, "check-summary", kNote, "The count of --check's findings.",                     \
    "{0:warning}, {1:error}", "")                                                                  \
  /* A conversion's steps after the read. */                                                       \
  X(kCreateImage, "cannot-create-image", kError, "The image cannot be created.",                   \
    "create pib file fail", "")                                                                    \
  X(kWriteImage, "cannot-write-image", kError, "The image or the held trace cannot be written.",   \
    "write pib file fail", "")                                                                     \
  X(kReadImage, "cannot-read-back", kError, "What was held cannot be read back.",                  \
    "read pib file fail", "")                                                                      \
  X(kCloseImage, "cannot-close-image", kError, "The image cannot be closed or put in place.",      \
    "close pib file fail", "")                                                                     \
  /* Per-unit images, as they are written. */                                                      \
  X(kImageWritten, "image-written", kNote, "A unit's image is in place.",                          \
    "{0}: {1:byte}, [{2:?}checksum {2}][{2:!}no checksum]", "")                                    \
  X(kImagesWritten, "images-written", kNote, "How many unit images were written.", "{0:image}",    \
    "")                                                                                            \
  X(kUnitNotWritten, "unit-not-written", kError, "A unit's image could not be written.",           \
    "{0}:{1}: the image {2:q} was not written; the {3:image} before it are in place", "")          \
  /* Standard output failed: nothing more can be said there, so the wording is empty. */           \
  X(kOutputLost, "output-lost", kError,                                                            \
    "Standard output could not be written (a full disk, an I/O error).",                           \
    "standard output could not be written", "")                                                    \
  X(kConversionFailed, "conversion-failed", kError, "The conversion failed.",                      \
    "Fatal Error: ReadXMLToPIBFile failed ", "")                                                   \
  /* --verify and --decode: each "IMAGE: " and the wording. */                                     \
  X(kCannotReadImage, "cannot-read-image", kError, "The image cannot be read.",                    \
    "cannot read the image", "")                                                                   \
  X(kChecksumOk, "checksum-ok", kNote, "The checksum byte is right.", "checksum ok ({0})", "")     \
  X(kNoChecksum, "no-checksum", kNote, "The image is too short to carry a checksum.",              \
    "no checksum to verify ({0:byte}, fewer than {1})", "")                                        \
  X(kChecksumMismatch, "checksum-mismatch", kError, "The checksum byte is not the image's.",       \
    "checksum mismatch: stored {0}, computed {1}", "checksum byte: image {0}, description {1}")    \
  X(kLengthDiffers, "length-differs", kError, "The image is not as long as the layout gives.",     \
    "{0:byte}, the layout gives {1}", "")                                                          \
  X(kFillNotZero, "fill-not-zero", kError, "A fill field of the image holds a byte not zero.",     \
    "{field} is a fill of {0:byte} at offset {1}, but offset {2} holds {3}", "")                   \
  X(kFieldDiffers, "field-differs", kError, "A field of the image differs from the layout's.",     \
    "{field} at offset {0}, {1:byte}: [{2:byte differs|bytes differ}, the first at offset "        \
    "{3}: ]image {4}[ ({5})], description {6}[ ({7})]",                                            \
    "")                                                                                            \
  X(kMatches, "matches", kNote, "The image is the one the layout converts to.",                    \
    "matches {0} ({1:field}, {2:byte}, [{3:?}checksum {3}][{3:!}no checksum])", "")                \
  X(kImageChanged, "image-changed", kError, "The image or the layout changed during a decode.",    \
    "the image or the layout changed while it was decoded", "")                                    \
  X(kLayoutChanged, "layout-changed", kError, "The layout changed while it was read.",             \
    "the layout changed while it was read", "")                                                    \
  X(kCannotHoldOutput, "cannot-hold-output", kError,                                               \
    "The output cannot be held in a scratch file until it is complete.",                           \
    "the output cannot be held in a scratch file until it is complete", "")                        \
  /* --diff: both images, then what differs between them. */                                       \
  X(kOldImage, "old-image", kNote, "The first image of --diff: its length and checksum.",          \
    "old {0}: {1:byte}[, checksum {2}][{3:?} (ok)][ (mismatch: computed {4})][{2:!}, no "          \
    "checksum]",                                                                                   \
    "")                                                                                            \
  X(kNewImage, "new-image", kNote, "The second image of --diff: its length and checksum.",         \
    "new {0}: {1:byte}[, checksum {2}][{3:?} (ok)][ (mismatch: computed {4})][{2:!}, no "          \
    "checksum]",                                                                                   \
    "")                                                                                            \
  X(kFieldChanged, "field-changed", kError, "A field differs between the two images.",             \
    "{field} at offset {0}, {1:byte}[, {2}]: [{3:byte differs|bytes differ}, the first at offset " \
    "{4}: ]old [{5}][{5:!}missing], new [{6}][{6:!}missing]",                                      \
    "")                                                                                            \
  X(kRangeDiffers, "range-differs", kError, "A run of bytes differs between the two images.",      \
    "offset {0}, {1:byte}: old [{2}][{2:!}missing], new [{3}][{3:!}missing]", "")                  \
  X(kMoreRanges, "more-ranges", kNote, "More runs of bytes differ than are listed.",               \
    "{0:more range differs|more ranges differ}, not listed", "")                                   \
  X(kChecksumChanged, "checksum-changed", kError,                                                  \
    "The checksum byte differs between the two images.",                                           \
    "checksum byte at offset {0}: old {1}, new {2}", "")                                           \
  X(kImagesSame, "images-same", kNote, "The two images are the same.", "the images are the same",  \
    "")                                                                                            \
  /* The command line, before anything runs. */                                                    \
  X(kPathTooLong, "path-too-long", kError, "A path is longer than any system takes.",              \
    "argument {0}: path too long ({1} characters at most)", "")                                    \
  X(kLayoutNeedsAMode, "layout-needs-a-mode", kError,                                              \
    "--layout without --decode, --verify or --diff.",                                              \
    "--layout needs --decode=IMAGE, --verify=IMAGE or --diff=IMAGE", "")                           \
  X(kDecodeNeedsALayout, "decode-needs-a-layout", kError, "--decode without --layout.",            \
    "--decode needs --layout=DESCRIPTION", "")                                                     \
  X(kDiffNeedsWith, "diff-needs-with", kError, "--diff without --with.",                           \
    "--diff needs --with=IMAGE", "")                                                               \
  X(kWithNeedsDiff, "with-needs-diff", kError, "--with without --diff.",                           \
    "--with needs --diff=IMAGE", "")                                                               \
  X(kFormatNeedsAMode, "format-needs-a-mode", kError, "--format with a conversion.",               \
    "--format needs --check, --verify, --decode or --diff; a conversion prints text only", "")     \
  X(kUnknownFormat, "unknown-format", kError, "--format is none of text, json and sarif.",         \
    "--format must be text, json or sarif, not {0:q}", "")                                         \
  X(kSarifNeedsCheck, "sarif-needs-check", kError, "--format=sarif without --check.",              \
    "--format=sarif needs --check", "")                                                            \
  X(kUnitsNeedSwitches, "units-need-switches", kError, "--units without -S and -D.",               \
    "--units needs -S<description> and -D<destination pattern>", "")                               \
  X(kSetNeedsConversion, "set-needs-a-conversion", kError, "--set with another mode.",             \
    "--set needs a conversion; it cannot go with --check, --verify or --decode", "")               \
  X(kSetNeedsValue, "set-needs-a-value", kError, "--set without NAME=VALUE.",                      \
    "--set needs NAME=VALUE, not {0:q}", "")                                                       \
  X(kManifestNeedsUnits, "manifest-needs-units", kError, "--manifest without --units.",            \
    "--manifest needs --units", "")                                                                \
  X(kManifestNotWritten, "manifest-not-written", kError, "The manifest could not be written.",     \
    "the manifest {0:q} could not be written", "")                                                 \
  /* Windows, before anything runs. */                                                             \
  X(kModuleHandleFailed, "no-module-handle", kError, "The program's own module is not found.",     \
    "Fatal Error: GetModuleHandle failed", "")                                                     \
  X(kCommandLineNotSplit, "command-line-not-split", kError, "The command line cannot be split.",   \
    "CommandLineToArgvW failed", "")

enum class Code : uint8_t {
#define PIBGEN_ENUMERATOR(name, id, severity, summary, text, other) name,
  PIBGEN_CODES(PIBGEN_ENUMERATOR)
#undef PIBGEN_ENUMERATOR
};

// Whether --check can give the code: the codes about a description, listed before
// check-summary.
inline bool IsDescriptionCode(Code code) { return code < Code::kCheckSummary; }

// A note says how things are; a warning marks what converts without complaint but likely not as
// meant; an error marks what fails.
enum class Severity { kNote, kWarning, kError };

struct CodeRow {
  Code code;
  std::string_view id;
  Severity severity;
  std::string_view summary;
  std::string_view text;
  std::string_view other;
};

std::span<const CodeRow> AllCodes();
const CodeRow& RowOf(Code code);
std::string_view SeverityWord(Severity severity);  // "note", "warning", "error"

// One thing a mode has to say, as data: what (its code), where, and the values its wording
// takes, in order. Renderers word it only through the functions below.
struct Finding {
  Code code = Code::kUnreadable;
  uint32_t line = 0;   // in the description; 0 where there is none
  uint32_t field = 0;  // the field it is about, counted from 1; 0 for none
  bool named = false;  // whether that field has a "name" attribute, which name then holds
  std::string name;
  std::vector<std::string> values;
  // What {field} writes instead of the field's number and name, such as "column serial" for a
  // cell of a unit table.
  std::string subject;
  // A finding of a file other than the mode's own (a unit table's); empty for the mode's own.
  std::string file;
  // Refused where it would only be warned of: a value a unit table or --set gives.
  bool refused = false;
};

// The severity a finding is reported with: its code's, or an error where it was refused.
Severity SeverityOf(const Finding& finding);

// The finding in its code's wording, and in the other one (the file is the description's).
std::string MessageText(const Finding& finding);
std::string OtherText(const Finding& finding, std::string_view file = {});
// "PATH:LINE: error: MESSAGE\n" (or "warning:"), without ":LINE" for line 0.
std::string FindingLine(std::string_view path, const Finding& finding);
// The wording of a code that takes no values, and a line feed.
std::string Line(Code code);

// What a layer reported up, as a finding: why a description does not load, or the rule it
// breaks (the field, its name and the size where they apply), or the conversion step that
// failed.
Finding FindingOf(const Failure& failure);
// A failed conversion's line: the rule, the step, or "load xml file fail" for any other reason.
std::string ConversionMessage(const Failure& failure, std::string_view source);

}  // namespace pibgen
