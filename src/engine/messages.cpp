#include "engine/messages.h"

#include "file/path_length.h"
#include "format/hex.h"
#include "format/quote_text.h"

namespace pibgen {
namespace {

const char* NodeWords(xml::NodeKind kind) {
  switch (kind) {
    case xml::NodeKind::kText:
      return "text";
    case xml::NodeKind::kCData:
      return "a CDATA section";
    case xml::NodeKind::kComment:
      return "a comment";
    case xml::NodeKind::kProcessingInstruction:
      return "a processing instruction";
    case xml::NodeKind::kElement:
      break;
  }
  return "an element";
}

std::string NotAnElementWords(const Failure& failure) {
  return "field " + std::to_string(failure.field) + " is " + NodeWords(failure.node) +
         ", not an element";
}

std::string ReadFailureWords(const Failure& failure) {
  switch (failure.read) {
    case xml::ReadFailure::kNone:
    case xml::ReadFailure::kNotWellFormed:
      break;
    case xml::ReadFailure::kUnreadable:
    case xml::ReadFailure::kStopped:
      return "cannot read the description";
    case xml::ReadFailure::kExternalEntity:
      return failure.entity.empty()
                 ? "reference to an external resource, which is never read"
                 : "reference to external entity " + failure.entity + ", which is never read";
    case xml::ReadFailure::kUndeclaredEntity:
      return "reference to entity " + failure.entity + ", which the description does not declare";
    case xml::ReadFailure::kTooDeep:
      return "elements nest deeper than the XML parser's limit of " +
             std::to_string(xml::MaxNestingDepth()) + " levels";
    case xml::ReadFailure::kBeyondBounds:
      return "entity references expand beyond the XML parser's limit";
  }
  return "not well-formed XML";
}

}  // namespace

std::string ConversionMessage(const Failure& failure, std::string_view source) {
  const std::string where = std::string(source) + ":" + std::to_string(failure.line) + ": ";
  switch (failure.kind) {
    case FailureKind::kNone:
    case FailureKind::kLoad:
    case FailureKind::kStopped:
      break;
    case FailureKind::kNotAnElement:
      return where + NotAnElementWords(failure) + "\n";
    case FailureKind::kNegativeSize:
      return where + "field " + std::to_string(failure.field) + " has a negative size (" +
             std::to_string(failure.size) + ")\n";
    case FailureKind::kCreateImage:
      return "create pib file fail\n";
    case FailureKind::kWriteImage:
      return "write pib file fail\n";
    case FailureKind::kReadImage:
      return "read pib file fail\n";
    case FailureKind::kCloseImage:
      return "close pib file fail\n";
    case FailureKind::kOutputLost:
      return "";  // the output that would carry it is lost
  }
  return "load xml file fail\n";
}

std::string_view FailureCode(const Failure& failure) {
  switch (failure.kind) {
    case FailureKind::kNone:
      return "";
    case FailureKind::kLoad:
    case FailureKind::kStopped:
      break;
    case FailureKind::kNotAnElement:
      return "not-an-element";
    case FailureKind::kNegativeSize:
      return "negative-size";
    case FailureKind::kCreateImage:
      return "create-image-failed";
    case FailureKind::kWriteImage:
      return "write-image-failed";
    case FailureKind::kReadImage:
      return "read-image-failed";
    case FailureKind::kCloseImage:
      return "close-image-failed";
    case FailureKind::kOutputLost:
      return "output-lost";
  }
  switch (failure.read) {
    case xml::ReadFailure::kNone:
    case xml::ReadFailure::kNotWellFormed:
      break;
    case xml::ReadFailure::kUnreadable:
    case xml::ReadFailure::kStopped:
      return "unreadable";
    case xml::ReadFailure::kExternalEntity:
      return "external-entity";
    case xml::ReadFailure::kUndeclaredEntity:
      return "undeclared-entity";
    case xml::ReadFailure::kTooDeep:
      return "nesting-too-deep";
    case xml::ReadFailure::kBeyondBounds:
      return "expansion-too-large";
  }
  return "not-well-formed";
}

std::string PathTooLongMessage(int argument) {
  return "argument " + std::to_string(argument) + ": path too long (" +
         std::to_string(file::kMaxPathCharacters) + " characters at most)\n";
}

std::string FieldLabel(uint32_t field, bool named, std::string_view name) {
  std::string label = "field " + std::to_string(field);
  if (named) label += " (" + QuoteText(name) + ")";
  return label;
}

std::string RefusalWords(const Failure& failure) {
  constexpr std::string_view kRefused = "; the conversion refuses the description";
  switch (failure.kind) {
    case FailureKind::kNotAnElement:
      return NotAnElementWords(failure).append(kRefused);
    case FailureKind::kNegativeSize:
      return FieldLabel(failure.field, failure.named, failure.name) + ": negative size (" +
             std::to_string(failure.size) + ")" + std::string(kRefused);
    default:
      return ReadFailureWords(failure);
  }
}

std::string FindingLine(std::string_view path, uint32_t line, bool error,
                        std::string_view message) {
  std::string text(path);
  if (line > 0) {
    text += ':';
    text += std::to_string(line);
  }
  text += error ? ": error: " : ": warning: ";
  text += message;
  text += '\n';
  return text;
}

std::string CannotReadImageMessage(std::string_view image) {
  return std::string(image) + ": cannot read the image\n";
}

std::string ChecksumMismatchMessage(std::string_view image, uint8_t stored, uint8_t computed) {
  return std::string(image) + ": checksum mismatch: stored " + HexByte(stored) + ", computed " +
         HexByte(computed) + "\n";
}

std::string LengthDiffersMessage(std::string_view image, uint64_t length, uint64_t layout_length) {
  return std::string(image) + ": " + std::to_string(length) + " bytes, the layout gives " +
         std::to_string(layout_length) + "\n";
}

std::string FillNotZeroMessage(std::string_view image, std::string_view field_label,
                               uint64_t length, uint64_t offset, uint64_t at, uint8_t byte) {
  return std::string(image) + ": " + std::string(field_label) + " is a fill of " +
         std::to_string(length) + " bytes at offset " + std::to_string(offset) + ", but offset " +
         std::to_string(at) + " holds " + HexByte(byte) + "\n";
}

std::string ChangedWhileDecodedMessage(std::string_view image) {
  return std::string(image) + ": the image or the layout changed while it was decoded\n";
}

std::string LayoutChangedMessage(std::string_view image) {
  return std::string(image) + ": the layout changed while it was read\n";
}

}  // namespace pibgen
