#include "verify/verify_with_layout.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

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

// Fields up to this long are shown whole; of a longer one, this many bytes from the first
// that differs.
constexpr size_t kShownBytes = 8;

// The first pass: whether a conversion takes the layout, and the checksum byte it stores,
// which a field covering offset 2 needs before it can be compared.
class DescriptionChecksum final : public LayoutPass {
 public:
  uint8_t Checksum() const { return checksum_.Byte(); }

 private:
  bool Visit(const Field& field) override {
    bytes_.Clear();
    WriteField(bytes_, field.entry, field.kind);
    checksum_.Add(bytes_.bytes.data(), bytes_.bytes.size());
    checksum_.AddZeros(bytes_.zeros);
    return true;
  }

  FieldBytes bytes_;
  ImageChecksum checksum_;
};

// The second pass: each field against the image.
class FieldComparison final : public LayoutPass {
 public:
  FieldComparison(file::ImageCursor& cursor, const std::string& image_path, uint8_t checksum,
                  uint64_t description_length, TextSink& out)
      : cursor_(cursor),
        image_path_(image_path),
        checksum_(checksum),
        description_length_(description_length),
        out_(out) {}

  bool ReadFailed() const { return read_failed_; }
  bool AnyDiffers() const { return any_differs_; }
  // The image's byte at offset 2, when a field covering it was compared.
  std::optional<uint8_t> StoredChecksum() const { return image_checksum_; }

 private:
  // The description's byte at an offset of the field being compared.
  uint8_t DescriptionByte(uint64_t at) const {
    if (at == kChecksumOffset && description_length_ > kChecksumOffset) return checksum_;
    const uint64_t i = at - field_offset_;
    return i < bytes_.bytes.size() ? bytes_.bytes[static_cast<size_t>(i)] : 0;
  }

  bool Visit(const Field& field) override {
    bytes_.Clear();
    WriteField(bytes_, field.entry, field.kind);
    field_offset_ = field.offset;
    const uint64_t end = std::min(field.offset + field.length, cursor_.Length());
    const bool whole = field.length <= kShownBytes;
    uint64_t differing = 0;
    uint64_t first = 0;
    // The shown bytes: the whole field when it is short, else those from the first difference.
    uint64_t shown_from = whole ? field.offset : end;
    image_shown_.clear();
    description_shown_.clear();
    for (uint64_t at = field.offset; at < end;) {
      file::ImageCursor::Piece piece;
      // Stop where the description's written bytes give way to its zeros.
      const uint64_t written_end = field.offset + bytes_.bytes.size();
      uint64_t stop = at < written_end ? std::min(written_end, end) : end;
      // The bytes up to the checksum byte are taken one piece at a time, so a long hole there
      // is not gone through byte by byte.
      if (at <= kChecksumOffset) stop = std::min(stop, kChecksumOffset + 1);
      if (!cursor_.Next(at, stop - at, &piece)) {
        read_failed_ = true;
        return false;
      }
      const bool showing = image_shown_.size() < kShownBytes && at + piece.count > shown_from;
      if (at > kChecksumOffset && !showing && Equal(piece, at, written_end)) {
        at += piece.count;
        continue;
      }
      if (piece.data == nullptr && at >= written_end && at > kChecksumOffset) {
        // Zeros on both sides: nothing differs; only the shown bytes may take some.
        const uint64_t room = kShownBytes - image_shown_.size();
        const uint64_t take = at >= shown_from ? std::min(room, piece.count) : 0;
        image_shown_.append(static_cast<size_t>(take), '\0');
        description_shown_.append(static_cast<size_t>(take), '\0');
      } else {
        for (uint64_t i = 0; i < piece.count; ++i) {
          const uint64_t position = at + i;
          const uint8_t image = piece.data != nullptr ? piece.data[i] : 0;
          const uint8_t description = DescriptionByte(position);
          // The checksum byte is compared on its own, after the fields.
          if (position == kChecksumOffset) image_checksum_ = image;
          if (image != description && position != kChecksumOffset) {
            if (differing++ == 0) {
              first = position;
              if (!whole) shown_from = position;
            }
          }
          if (position >= shown_from && image_shown_.size() < kShownBytes) {
            image_shown_ += static_cast<char>(image);
            description_shown_ += static_cast<char>(description);
          }
        }
      }
      at += piece.count;
    }
    if (differing > 0) Report(field, differing, first);
    return true;
  }

  // Whether the piece of the image at `at` equals the description there; the piece lies
  // wholly before or wholly after written_end.
  bool Equal(const file::ImageCursor::Piece& piece, uint64_t at, uint64_t written_end) const {
    const auto is_zero = [](uint8_t b) { return b == 0; };
    const auto count = static_cast<size_t>(piece.count);
    if (at >= written_end) {
      return piece.data == nullptr || std::all_of(piece.data, piece.data + count, is_zero);
    }
    const uint8_t* const description = bytes_.bytes.data() + (at - field_offset_);
    if (piece.data == nullptr) return std::all_of(description, description + count, is_zero);
    return std::memcmp(piece.data, description, count) == 0;
  }

  void Report(const Field& field, uint64_t differing, uint64_t first) {
    any_differs_ = true;
    std::string line = image_path_ + ": " + FieldLabel(field.index, field.named, field.name) +
                       " at offset " + std::to_string(field.offset) + ", " +
                       std::to_string(field.length) + " bytes: ";
    const FieldKind kind = field.kind;
    const bool numeric = IsNumeric(kind);
    const bool whole = field.length <= kShownBytes;
    const bool complete = whole && image_shown_.size() == field.length;
    if (!whole) {
      line += std::to_string(differing) + (differing == 1 ? " byte differs" : " bytes differ") +
              ", the first at offset " + std::to_string(first) + ": ";
    }
    const bool more = !whole && first + image_shown_.size() < field.offset + field.length;
    const auto show = [&](const char* side, const std::string& bytes) {
      line += side;
      AppendHex(line, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), ' ');
      if (more) line += " ...";
      if (numeric && complete) {
        line += " (" + NumericValueText(kind, reinterpret_cast<const uint8_t*>(bytes.data())) + ")";
      }
    };
    show("image ", image_shown_);
    show(", description ", description_shown_);
    out_.Print(line + "\n");
  }

  file::ImageCursor& cursor_;
  const std::string& image_path_;
  uint8_t checksum_;
  uint64_t description_length_;
  TextSink& out_;
  FieldBytes bytes_;
  uint64_t field_offset_ = 0;
  std::string image_shown_;
  std::string description_shown_;
  std::optional<uint8_t> image_checksum_;
  bool read_failed_ = false;
  bool any_differs_ = false;
};

}  // namespace

bool VerifyWithLayout(const std::string& image_path, const std::string& layout_path,
                      file::FileSystem& file_system, TextSink& out) {
  const std::unique_ptr<file::ImageCursor> cursor =
      file::ImageCursor::Open(file_system, image_path);
  if (!cursor) {
    out.Print(CannotReadImageMessage(image_path));
    return false;
  }
  const uint64_t length = cursor->Length();

  DescriptionChecksum description;
  const Failure refused = ReadFields(layout_path, file_system, description);
  if (refused) {
    out.Print(FindingLine(layout_path, refused.line, true, RefusalWords(refused)));
    return false;
  }
  const uint64_t description_length = description.Length();

  FieldComparison comparison(*cursor, image_path, description.Checksum(), description_length, out);
  const Failure changed = ReadFields(layout_path, file_system, comparison);
  if (comparison.ReadFailed()) {
    out.Print(CannotReadImageMessage(image_path));
    return false;
  }
  if (changed || comparison.Length() != description_length) {
    out.Print(LayoutChangedMessage(image_path));
    return false;
  }
  bool equal = !comparison.AnyDiffers();
  if (length != description_length) {
    out.Print(LengthDiffersMessage(image_path, length, description_length));
    equal = false;
  }
  if (length > kChecksumOffset && description_length > kChecksumOffset) {
    uint8_t stored = 0;
    if (comparison.StoredChecksum()) {
      stored = *comparison.StoredChecksum();
    } else if (!cursor->Copy(kChecksumOffset, 1, &stored)) {
      out.Print(CannotReadImageMessage(image_path));
      return false;
    }
    if (stored != description.Checksum()) {
      out.Print(image_path + ": checksum byte: image " + HexByte(stored) + ", description " +
                HexByte(description.Checksum()) + "\n");
      equal = false;
    }
  }
  if (!equal) return false;
  std::string checksum = "no checksum";
  if (length > kChecksumOffset) checksum = "checksum " + HexByte(description.Checksum());
  out.Print(image_path + ": matches " + layout_path + " (" +
            std::to_string(description.FieldCount()) + " fields, " + std::to_string(length) +
            " bytes, " + checksum + ")\n");
  return true;
}

}  // namespace pibgen
