#include "verify/verify_with_layout.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "engine/image_walk.h"
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

// Each field against the image, as the layout is read: the description's bytes of the field
// are made in memory and summed for its checksum, and compared with the image's. The field
// over offset 2 shows the description's checksum byte, known only once every field is read:
// its report is held back until HandOnHeld.
class FieldComparison final : public LayoutPass {
 public:
  FieldComparison(file::ImageCursor& cursor, DifferenceSink& sink) : cursor_(cursor), sink_(sink) {}

  bool ReadFailed() const { return read_failed_; }
  // The checksum byte a conversion of the fields read so far stores.
  uint8_t Checksum() const { return checksum_.Byte(); }
  // Hands on the report held back, the description's checksum byte in its place.
  void HandOnHeld() {
    if (!held_) return;
    image_shown_ = held_image_shown_;
    description_shown_ = held_description_shown_;
    if (held_checksum_at_ < description_shown_.size()) {
      description_shown_[held_checksum_at_] = static_cast<char>(Checksum());
    }
    Report(*held_, held_differing_, held_first_);
    held_.reset();
  }
  bool AnyDiffers() const { return any_differs_; }
  // The image's byte at offset 2, when a field covering it was compared.
  std::optional<uint8_t> StoredChecksum() const { return image_checksum_; }

 private:
  // The description's byte at an offset of the field being compared; at the checksum byte's,
  // the field's own, which the checksum replaces.
  uint8_t DescriptionByte(uint64_t at) const {
    const uint64_t i = at - field_offset_;
    return i < bytes_.bytes.size() ? bytes_.bytes[static_cast<size_t>(i)] : 0;
  }

  bool Visit(const Field& field) override {
    bytes_.Clear();
    WriteField(bytes_, field.entry, field.kind);
    checksum_.Add(bytes_.bytes.data(), bytes_.bytes.size());
    checksum_.AddZeros(bytes_.zeros);
    field_offset_ = field.offset;
    const uint64_t end = std::min(field.offset + field.length, cursor_.Length());
    const bool whole = field.length <= kShownBytes;
    uint64_t differing = 0;
    uint64_t first = 0;
    // The shown bytes: the whole field when it is short, else those from the first difference.
    uint64_t shown_from = whole ? field.offset : end;
    image_shown_.clear();
    description_shown_.clear();
    size_t checksum_at = kShownBytes;  // where the checksum byte is among the shown bytes
    // Pieces stop where the description's written bytes give way to its zeros.
    const uint64_t written_end = field.offset + bytes_.bytes.size();
    ImageWalk walk(cursor_, field.offset, end);
    for (uint64_t at = field.offset; at < end; at += walk.Count()) {
      uint64_t stop = at < written_end ? std::min(written_end, end) : end;
      // The bytes up to the checksum byte are taken one piece at a time, so a long hole there
      // is not gone through byte by byte.
      if (at <= kChecksumOffset) stop = std::min(stop, kChecksumOffset + 1);
      if (!walk.Next(stop - at)) {
        read_failed_ = true;
        return false;
      }
      const file::ImageCursor::Piece piece = {walk.Data(), walk.Count()};
      const bool showing = image_shown_.size() < kShownBytes && at + piece.count > shown_from;
      if (at > kChecksumOffset && !showing && Equal(piece, at, written_end)) {
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
            if (position == kChecksumOffset) checksum_at = description_shown_.size();
            image_shown_ += static_cast<char>(image);
            description_shown_ += static_cast<char>(description);
          }
        }
      }
    }
    if (differing == 0) return true;
    if (field.offset <= kChecksumOffset && kChecksumOffset < field.offset + field.length) {
      held_ = field;
      held_->entry.value.clear();  // not shown; a long one need not be kept
      held_differing_ = differing;
      held_first_ = first;
      held_checksum_at_ = checksum_at;
      held_image_shown_ = image_shown_;
      held_description_shown_ = description_shown_;
      return true;
    }
    Report(field, differing, first);
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
  DifferenceSink& sink_;
  ImageChecksum checksum_;  // of the description's fields read so far
  FieldDifference difference_;
  FieldBytes bytes_;
  uint64_t field_offset_ = 0;
  std::string image_shown_;
  std::string description_shown_;
  std::optional<uint8_t> image_checksum_;
  bool read_failed_ = false;
  bool any_differs_ = false;
  // The report of the field over offset 2, held back: the field, what Report takes, and where
  // the checksum byte is among the shown bytes.
  std::optional<Field> held_;
  uint64_t held_differing_ = 0;
  uint64_t held_first_ = 0;
  size_t held_checksum_at_ = kShownBytes;
  std::string held_image_shown_;
  std::string held_description_shown_;
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
  result.opened = true;
  result.length = length;

  FieldComparison comparison(image.Cursor(), sink);
  bool changed = false;
  const Failure refused = ReadFields(layout_path, file_system, comparison, &changed);
  if (refused && refused.kind != FailureKind::kStopped) {
    result.refusal = FindingOf(refused);
    return result;
  }
  if (comparison.ReadFailed()) return stop(Code::kCannotReadImage);
  if (changed) return stop(Code::kLayoutChanged);
  comparison.HandOnHeld();
  const uint64_t description_length = comparison.Length();
  const uint8_t checksum = comparison.Checksum();
  result.layout_length = description_length;
  result.fields = comparison.FieldCount();
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
    } else if (!image.Cursor().Copy(kChecksumOffset, 1, &stored)) {
      return stop(Code::kCannotReadImage);
    }
    result.has_checksum = true;
    result.stored = stored;
    result.computed = checksum;
    if (stored != checksum) {
      Finding finding;
      finding.code = Code::kChecksumMismatch;
      finding.values = {HexByte(stored), HexByte(checksum)};
      result.findings.push_back(std::move(finding));
      equal = false;
    }
  }
  result.equal = equal;
  if (!equal) return result;
  Finding matches;
  matches.code = Code::kMatches;
  matches.values = {layout_path, std::to_string(comparison.FieldCount()), std::to_string(length),
                    length > kChecksumOffset ? HexByte(checksum) : ""};
  result.findings.push_back(std::move(matches));
  return result;
}

}  // namespace pibgen
