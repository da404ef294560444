#include "decode/decode_image.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "decode/xml_text.h"
#include "file/image_cursor.h"
#include "format/checksum.h"
#include "format/field_codec.h"
#include "format/field_types.h"
#include "format/hex.h"
#include "engine/layout_pass.h"
#include "engine/messages.h"
#include "engine/read_fields.h"

namespace pibgen {
namespace {

// Printed text is handed on once it grows past this, so a long Byte[] value is never held whole.
constexpr size_t kPrintChunk = size_t{1} << 16;

// What both passes over the layout keep beyond the fields: the image they read, and whether
// it could be read.
class ImagePass : public LayoutPass {
 public:
  explicit ImagePass(file::ImageCursor& cursor) : cursor_(cursor) {}
  bool ReadFailed() const { return read_failed_; }

 protected:
  bool Next(uint64_t at, uint64_t max, file::ImageCursor::Piece* piece) {
    if (cursor_.Next(at, max, piece)) return true;
    read_failed_ = true;
    return false;
  }

  file::ImageCursor& cursor_;
  bool read_failed_ = false;
};

// The first pass: whether every fill field of the image holds only zeros, and the checksum the
// conversion would store, computed over the image's bytes.
class DecodeCheck final : public ImagePass {
 public:
  DecodeCheck(file::ImageCursor& cursor, const std::string& image_path)
      : ImagePass(cursor), image_path_(image_path) {}

  const std::optional<std::string>& FillProblem() const { return fill_problem_; }
  uint8_t Stored() const { return stored_; }
  uint8_t Computed() const { return checksum_.Byte(); }

 private:
  bool Visit(const Field& field) override {
    // Once the image is known not to decode, only the layout is read on, for its length and
    // for what would make a conversion refuse it.
    if (fill_problem_) return true;
    const bool fill = field.kind == FieldKind::kFill;
    const uint64_t end = std::min(field.offset + field.length, cursor_.Length());
    file::ImageCursor::Piece piece;
    for (uint64_t at = field.offset; at < end; at += piece.count) {
      if (!Next(at, end - at, &piece)) return false;
      if (piece.data == nullptr) {
        checksum_.AddZeros(piece.count);
        continue;
      }
      checksum_.Add(piece.data, static_cast<size_t>(piece.count));
      if (at <= kChecksumOffset && kChecksumOffset < at + piece.count) {
        stored_ = piece.data[kChecksumOffset - at];
      }
      if (fill) {
        // The checksum byte is the conversion's, whatever field it falls in.
        const uint8_t* const begin = piece.data;
        const uint8_t* const last = piece.data + piece.count;
        const auto nonzero_from = [last](const uint8_t* from) {
          return std::find_if(from, last, [](uint8_t b) { return b != 0; });
        };
        const uint8_t* nonzero = nonzero_from(begin);
        if (nonzero != last && at + static_cast<uint64_t>(nonzero - begin) == kChecksumOffset) {
          nonzero = nonzero_from(nonzero + 1);
        }
        if (nonzero != last) {
          fill_problem_ = FillNotZeroMessage(
              image_path_, FieldLabel(field.index, field.named, field.name), field.length,
              field.offset, at + static_cast<uint64_t>(nonzero - begin), *nonzero);
          return true;
        }
      }
    }
    return true;
  }

  const std::string& image_path_;
  ImageChecksum checksum_;
  uint8_t stored_ = 0;
  std::optional<std::string> fill_problem_;
};

// The second pass: the description, field by field.
class DecodePrinter final : public ImagePass {
 public:
  DecodePrinter(file::ImageCursor& cursor, TextSink& out) : ImagePass(cursor), out_(out) {}

  // Whether any of the description has been handed on yet (it may end mid-line).
  bool Printed() const { return printed_; }

  bool Root(std::string_view name, std::span<const xml::Attribute> attributes,
            std::span<const xml::Namespace> namespaces, uint32_t) override {
    root_open_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<";
    root_open_.append(name);
    AppendNamespaces(root_open_, namespaces);
    AppendAttributes(root_open_, attributes, false);
    root_open_ += ">\n";
    root_close_ = "</";
    root_close_.append(name).append(">\n");
    return true;
  }

  bool BeginField(const Field&, std::string_view element,
                  std::span<const xml::Attribute> attributes,
                  std::span<const xml::Namespace> namespaces) override {
    element_.assign(element);
    field_open_ = "  <";
    field_open_.append(element);
    AppendNamespaces(field_open_, namespaces);
    AppendAttributes(field_open_, attributes, true);
    return true;
  }

  // The root's closing tag (and its opening one, for a layout without fields).
  void Finish() {
    OpenRoot();
    text_ += root_close_;
    Flush();
  }

 private:
  void OpenRoot() {
    text_ += root_open_;
    root_open_.clear();
  }

  static void AppendNamespaces(std::string& text, std::span<const xml::Namespace> namespaces) {
    for (const xml::Namespace& declaration : namespaces) {
      text += declaration.prefix.empty() ? " xmlns" : " xmlns:";
      text += declaration.prefix;
      text += "=\"";
      AppendXmlAttribute(text, declaration.uri);
      text += '"';
    }
  }

  static void AppendAttributes(std::string& text, std::span<const xml::Attribute> attributes,
                               bool skip_place) {
    for (const xml::Attribute& attribute : attributes) {
      // The field's place is given anew; a stale one from the layout would contradict it.
      if (skip_place && (attribute.name == "offset" || attribute.name == "length")) continue;
      text += ' ';
      text += attribute.name;
      text += "=\"";
      AppendXmlAttribute(text, attribute.value);
      text += '"';
    }
  }

  void Flush() {
    out_.Print(text_);
    printed_ = printed_ || !text_.empty();
    text_.clear();
  }

  bool Visit(const Field& field) override {
    OpenRoot();
    const FieldKind kind = field.kind;
    text_ += field_open_;
    text_ += " offset=\"" + std::to_string(field.offset) + "\" length=\"" +
             std::to_string(field.length) + "\">\n";
    if (field.type_line != 0) {
      text_ += "    <type>";
      AppendXmlContent(text_, field.entry.type);
      text_ += "</type>\n";
    }
    if (IsSized(kind)) text_ += "    <size>" + std::to_string(field.length) + "</size>\n";
    if (kind != FieldKind::kFill) {
      text_ += "    <value>";
      if (!AppendValue(kind, field)) return false;
      text_ += "</value>\n";
    }
    text_ += "  </";
    text_ += element_;
    text_ += ">\n";
    if (text_.size() >= kPrintChunk) Flush();
    return true;
  }

  bool AppendValue(FieldKind kind, const Field& field) {
    if (IsNumeric(kind)) {
      uint8_t bytes[kMaxFixedWidth];
      if (!cursor_.Copy(field.offset, static_cast<size_t>(field.length), bytes)) {
        read_failed_ = true;
        return false;
      }
      text_ += NumericValueText(kind, bytes);
      return true;
    }
    static constexpr uint8_t kZeros[256] = {};
    const uint64_t end = field.offset + field.length;
    for (uint64_t at = field.offset; at < end;) {
      file::ImageCursor::Piece piece;
      if (!Next(at, std::min<uint64_t>(end - at, kPrintChunk), &piece)) return false;
      if (piece.data != nullptr) {
        AppendHex(text_, piece.data, static_cast<size_t>(piece.count), '\0');
      } else {
        for (uint64_t left = piece.count; left > 0;) {
          const auto take = static_cast<size_t>(std::min<uint64_t>(left, sizeof kZeros));
          AppendHex(text_, kZeros, take, '\0');
          left -= take;
        }
      }
      at += piece.count;
      if (text_.size() >= kPrintChunk) Flush();
    }
    return true;
  }

  TextSink& out_;
  std::string root_open_;  // printed before the first field, then cleared
  std::string root_close_;
  std::string element_;
  std::string field_open_;  // "  <element attributes" of the field being decoded
  std::string text_;
  bool printed_ = false;
};

bool IsRefusal(const Failure& failure) { return failure && failure.kind != FailureKind::kStopped; }

}  // namespace

bool DecodeImage(const std::string& image_path, const std::string& layout_path,
                 file::FileSystem& file_system, TextSink& out) {
  const std::unique_ptr<file::ImageCursor> cursor =
      file::ImageCursor::Open(file_system, image_path);
  if (!cursor) {
    out.Print(CannotReadImageMessage(image_path));
    return false;
  }
  const uint64_t length = cursor->Length();

  DecodeCheck check(*cursor, image_path);
  const Failure refused = ReadFields(layout_path, file_system, check);
  if (IsRefusal(refused)) {
    out.Print(FindingLine(layout_path, refused.line, true, RefusalWords(refused)));
    return false;
  }
  if (check.ReadFailed()) {
    out.Print(CannotReadImageMessage(image_path));
    return false;
  }
  if (length != check.Length()) {
    out.Print(LengthDiffersMessage(image_path, length, check.Length()));
    return false;
  }
  if (check.FillProblem()) {
    out.Print(*check.FillProblem());
    return false;
  }
  if (length > kChecksumOffset && check.Stored() != check.Computed()) {
    out.Print(ChecksumMismatchMessage(image_path, check.Stored(), check.Computed()));
    return false;
  }

  DecodePrinter printer(*cursor, out);
  const Failure changed = ReadFields(layout_path, file_system, printer);
  if (changed || printer.ReadFailed() || printer.FieldCount() != check.FieldCount() ||
      printer.Length() != check.Length()) {
    // The files were changed while they were read: what is printed so far is not the image.
    out.Print(std::string(printer.Printed() ? "\n" : "") + ChangedWhileDecodedMessage(image_path));
    return false;
  }
  printer.Finish();
  return true;
}

}  // namespace pibgen
