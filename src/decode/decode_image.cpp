#include "decode/decode_image.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "format/crc32.h"
#include "convert/write_checksum_and_close.h"
#include "format/write_field.h"
#include "decode/field_value_text.h"
#include "decode/layout_fields.h"
#include "decode/read_layout.h"
#include "decode/xml_text.h"
#include "file/image_cursor.h"

namespace pibgen {
namespace {

// Printed text is handed on once it grows past this, so a long Byte[] value is never held whole.
constexpr size_t kPrintChunk = size_t{1} << 16;

// The first pass: whether every fill field of the image holds only zeros, and the checksum the
// conversion would store, computed over the image's bytes from offset 3 on.
class DecodeCheck final : public LayoutFields {
 public:
  explicit DecodeCheck(file::ImageCursor& cursor) : cursor_(cursor) {}

  bool ReadFailed() const { return read_failed_; }
  const std::optional<std::string>& FillProblem() const { return fill_problem_; }
  uint8_t Stored() const { return stored_; }
  uint8_t Computed() const { return static_cast<uint8_t>(crc_.Value() >> 24); }

 private:
  bool Field(const LayoutField& field) override {
    // Once the image is known not to decode, only the layout is read on, for its length and
    // for what would make a conversion refuse it.
    if (fill_problem_) return true;
    const bool fill = KindOf(field.entry.type) == FieldKind::kFill;
    const uint64_t end = std::min(field.offset + field.length, cursor_.Length());
    for (uint64_t at = field.offset; at < end;) {
      file::ImageCursor::Piece piece;
      if (!cursor_.Next(at, end - at, &piece)) {
        read_failed_ = true;
        return false;
      }
      const uint64_t skip =
          at > kChecksumOffset ? 0 : std::min(piece.count, kChecksumOffset + 1 - at);
      if (piece.data == nullptr) {
        crc_.UpdateZeros(piece.count - skip);
      } else {
        if (at <= kChecksumOffset && kChecksumOffset < at + piece.count) {
          stored_ = piece.data[kChecksumOffset - at];
        }
        crc_.Update(piece.data + skip, static_cast<size_t>(piece.count - skip));
        if (fill) {
          // The checksum byte is the conversion's, whatever field it falls in.
          const uint8_t* const begin = piece.data;
          const uint8_t* const last = piece.data + piece.count;
          const uint8_t* nonzero = std::find_if(begin, last, [](uint8_t b) { return b != 0; });
          if (nonzero != last && at + static_cast<uint64_t>(nonzero - begin) == kChecksumOffset) {
            nonzero = std::find_if(nonzero + 1, last, [](uint8_t b) { return b != 0; });
          }
          if (nonzero != last) {
            fill_problem_ = FieldLabel(field) + " is a fill of " + std::to_string(field.length) +
                            " bytes at offset " + std::to_string(field.offset) + ", but offset " +
                            std::to_string(at + static_cast<uint64_t>(nonzero - begin)) +
                            " holds " + HexByte(*nonzero);
            return true;
          }
        }
      }
      at += piece.count;
    }
    return true;
  }

  file::ImageCursor& cursor_;
  Crc32 crc_;
  uint8_t stored_ = 0;
  bool read_failed_ = false;
  std::optional<std::string> fill_problem_;
};

// The second pass: the description, field by field.
class DecodePrinter final : public LayoutFields {
 public:
  DecodePrinter(file::ImageCursor& cursor, TextSink& out) : cursor_(cursor), out_(out) {}

  bool ReadFailed() const { return read_failed_; }
  // Whether any of the description has been handed on yet (it may end mid-line).
  bool Printed() const { return printed_; }

  // The root's closing tag (and its opening one, for a layout without fields).
  void Finish() {
    OpenRoot();
    text_ += "</";
    text_ += RootName();
    text_ += ">\n";
    Flush();
  }

 private:
  void OpenRoot() {
    if (root_open_) return;
    root_open_ = true;
    text_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<";
    text_ += RootName();
    AppendAttributes(RootAttributes());
    text_ += ">\n";
  }

  void AppendAttributes(std::span<const xml::Attribute> attributes, bool skip_place = false) {
    for (const xml::Attribute& attribute : attributes) {
      // The field's place is given anew; a stale one from the layout would contradict it.
      if (skip_place && (attribute.name == "offset" || attribute.name == "length")) continue;
      text_ += ' ';
      text_ += attribute.name;
      text_ += "=\"";
      AppendXmlAttribute(text_, attribute.value);
      text_ += '"';
    }
  }

  void Flush() {
    out_.Print(text_);
    printed_ = printed_ || !text_.empty();
    text_.clear();
  }

  bool Field(const LayoutField& field) override {
    OpenRoot();
    const FieldKind kind = KindOf(field.entry.type);
    text_ += "  <";
    text_ += field.element;
    AppendAttributes(field.attributes, true);
    text_ += " offset=\"" + std::to_string(field.offset) + "\" length=\"" +
             std::to_string(field.length) + "\">\n";
    if (field.has_type) {
      text_ += "    <type>";
      AppendXmlContent(text_, field.entry.type);
      text_ += "</type>\n";
    }
    if (kind == FieldKind::kByteArray || kind == FieldKind::kFill) {
      text_ += "    <size>" + std::to_string(field.length) + "</size>\n";
    }
    if (kind != FieldKind::kFill) {
      text_ += "    <value>";
      if (!AppendValue(kind, field)) return false;
      text_ += "</value>\n";
    }
    text_ += "  </";
    text_ += field.element;
    text_ += ">\n";
    if (text_.size() >= kPrintChunk) Flush();
    return true;
  }

  bool AppendValue(FieldKind kind, const LayoutField& field) {
    if (kind != FieldKind::kByteArray) {
      uint8_t bytes[4];
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
      if (!cursor_.Next(at, std::min<uint64_t>(end - at, kPrintChunk), &piece)) {
        read_failed_ = true;
        return false;
      }
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

  file::ImageCursor& cursor_;
  TextSink& out_;
  std::string text_;
  bool root_open_ = false;
  bool read_failed_ = false;
  bool printed_ = false;
};

}  // namespace

bool DecodeImage(const std::string& image_path, const std::string& layout_path,
                 file::FileSystem& file_system, TextSink& out) {
  const std::string cannot_read = image_path + ": cannot read the image\n";
  const std::unique_ptr<file::ImageReader> source = file_system.OpenImage(image_path);
  uint64_t length = 0;
  if (!source || !source->Length(&length)) {
    out.Print(cannot_read);
    return false;
  }
  file::ImageCursor cursor(*source, length);

  DecodeCheck check(cursor);
  std::optional<LayoutRefusal> refusal = ReadLayout(layout_path, file_system, check);
  if (!refusal) refusal = check.Refusal();
  if (refusal) {
    out.Print(RefusalLine(layout_path, *refusal));
    return false;
  }
  if (check.ReadFailed()) {
    out.Print(cannot_read);
    return false;
  }
  if (length != check.Length()) {
    out.Print(image_path + ": " + std::to_string(length) + " bytes, the layout gives " +
              std::to_string(check.Length()) + "\n");
    return false;
  }
  if (check.FillProblem()) {
    out.Print(image_path + ": " + *check.FillProblem() + "\n");
    return false;
  }
  if (length > kChecksumOffset && check.Stored() != check.Computed()) {
    out.Print(image_path + ": checksum mismatch: stored " + HexByte(check.Stored()) +
              ", computed " + HexByte(check.Computed()) + "\n");
    return false;
  }

  DecodePrinter printer(cursor, out);
  refusal = ReadLayout(layout_path, file_system, printer);
  if (refusal || printer.Refusal() || printer.ReadFailed() ||
      printer.FieldCount() != check.FieldCount() || printer.Length() != check.Length()) {
    // The files were changed while they were read: what is printed so far is not the image.
    out.Print(std::string(printer.Printed() ? "\n" : "") + image_path +
              ": the image or the layout changed while it was decoded\n");
    return false;
  }
  printer.Finish();
  return true;
}

}  // namespace pibgen
