#include "verify/verify_with_layout.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "engine/layout_pass.h"
#include "engine/opened_image.h"
#include "engine/read_fields.h"
#include "file/image_cursor.h"
#include "format/checksum.h"
#include "format/field_codec.h"
#include "format/field_types.h"
#include "format/hex.h"

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
  FieldComparison(file::ImageCursor& cursor, uint8_t checksum, uint64_t description_length,
                  DifferenceSink& sink)
      : cursor_(cursor),
        checksum_(checksum),
        description_length_(description_length),
        sink_(sink) {}

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
    const FieldKind kind = field.kind;
    const bool whole = field.length <= kShownBytes;
    const bool complete = whole && image_shown_.size() == field.length;
    const bool more = !whole && first + image_shown_.size() < field.offset + field.length;
    const bool numeric = IsNumeric(kind) && complete;
    FieldDifference& d = difference_;
    d.offset = field.offset;
    d.length = field.length;
    d.type = field.entry.type;
    d.differing = differing;
    d.first = first;
    const auto as_value = [&](const std::string& shown, std::string& value) {
      const auto* const bytes = reinterpret_cast<const uint8_t*>(shown.data());
      value.clear();
      if (numeric) {
        value = NumericValueText(kind, bytes);
      } else {
        AppendHex(value, bytes, shown.size(), '\0');
      }
    };
    as_value(image_shown_, d.image);
    as_value(description_shown_, d.layout);
    const auto spaced = [&](const std::string& shown) {
      std::string text;
      AppendHex(text, reinterpret_cast<const uint8_t*>(shown.data()), shown.size(), ' ');
      if (more) text += " ...";
      return text;
    };
    Finding& finding = d.finding;
    finding.code = Code::kFieldDiffers;
    finding.field = field.index;
    finding.named = field.named;
    finding.name = field.name;
    finding.line = field.line;
    finding.values = {std::to_string(field.offset),
                      std::to_string(field.length),
                      whole ? "" : std::to_string(differing),
                      whole ? "" : std::to_string(first),
                      spaced(image_shown_),
                      numeric ? d.image : "",
                      spaced(description_shown_),
                      numeric ? d.layout : ""};
    sink_.FieldDiffers(d);
  }

  file::ImageCursor& cursor_;
  uint8_t checksum_;
  uint64_t description_length_;
  DifferenceSink& sink_;
  FieldDifference difference_;
  FieldBytes bytes_;
  uint64_t field_offset_ = 0;
  std::string image_shown_;
  std::string description_shown_;
  std::optional<uint8_t> image_checksum_;
  bool read_failed_ = false;
  bool any_differs_ = false;
};

}  // namespace

LayoutComparison VerifyWithLayout(const std::string& image_path, const std::string& layout_path,
                                  file::FileSystem& file_system, DifferenceSink& sink) {
  LayoutComparison result;
  const auto stop = [&result](Code code) {
    Finding finding;
    finding.code = code;
    result.findings.push_back(std::move(finding));
    return std::move(result);
  };
  OpenedImage image(image_path, file_system);
  if (!image.Opened()) return stop(Code::kCannotReadImage);
  const uint64_t length = image.Length();
  file::ImageCursor* const cursor = &image.Cursor();
  result.opened = true;
  result.length = length;

  DescriptionChecksum description;
  const Failure refused = ReadFields(layout_path, file_system, description);
  if (refused) {
    result.refusal = FindingOf(refused);
    return result;
  }
  const uint64_t description_length = description.Length();
  result.layout_length = description_length;
  result.fields = description.FieldCount();

  FieldComparison comparison(*cursor, description.Checksum(), description_length, sink);
  const Failure changed = ReadFields(layout_path, file_system, comparison);
  if (comparison.ReadFailed()) return stop(Code::kCannotReadImage);
  if (changed || comparison.Length() != description_length) return stop(Code::kLayoutChanged);
  bool equal = !comparison.AnyDiffers();
  if (length != description_length) {
    Finding finding;
    finding.code = Code::kLengthDiffers;
    finding.values = {std::to_string(length), std::to_string(description_length)};
    result.findings.push_back(std::move(finding));
    equal = false;
  }
  if (length > kChecksumOffset && description_length > kChecksumOffset) {
    uint8_t stored = 0;
    if (comparison.StoredChecksum()) {
      stored = *comparison.StoredChecksum();
    } else if (!cursor->Copy(kChecksumOffset, 1, &stored)) {
      return stop(Code::kCannotReadImage);
    }
    result.has_checksum = true;
    result.stored = stored;
    result.computed = description.Checksum();
    if (stored != description.Checksum()) {
      Finding finding;
      finding.code = Code::kChecksumMismatch;
      finding.values = {HexByte(stored), HexByte(description.Checksum())};
      result.findings.push_back(std::move(finding));
      equal = false;
    }
  }
  result.equal = equal;
  if (!equal) return result;
  Finding matches;
  matches.code = Code::kMatches;
  matches.values = {layout_path, std::to_string(description.FieldCount()), std::to_string(length),
                    length > kChecksumOffset ? HexByte(description.Checksum()) : ""};
  result.findings.push_back(std::move(matches));
  return result;
}

}  // namespace pibgen
