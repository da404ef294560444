#include "decode/decode_image.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "engine/image_walk.h"
#include "engine/layout_pass.h"
#include "engine/opened_image.h"
#include "engine/read_fields.h"
#include "format/checksum.h"
#include "format/field_codec.h"
#include "format/field_types.h"
#include "format/hex.h"

namespace pibgen {
namespace {

// A long Byte[] value is handed on in pieces of the hex of at most this many bytes.
constexpr size_t kPieceBytes = size_t{1} << 16;

// Decodes the image field by field as the layout is read, once: each field's bytes are walked
// once, summed for the checksum, checked (a fill holds only zeros) and handed on. Once the image
// is known not to decode, only the layout is read on, for its length and for what would make a
// conversion refuse it.
class Decoder final : public LayoutPass {
 public:
  Decoder(file::ImageCursor& cursor, DecodeSink& sink) : cursor_(cursor), sink_(sink) {}

  bool ReadFailed() const { return read_failed_; }
  const std::optional<Finding>& FillProblem() const { return fill_problem_; }
  uint8_t Stored() const { return stored_; }
  uint8_t Computed() const { return checksum_.Byte(); }

  bool Root(std::string_view name, std::span<const xml::Attribute> attributes,
            std::span<const xml::Namespace> namespaces, uint32_t) override {
    sink_.Root(name, attributes, namespaces);
    return true;
  }

  bool BeginField(const Field&, std::string_view element,
                  std::span<const xml::Attribute> attributes,
                  std::span<const xml::Namespace> namespaces) override {
    // The views last only for this call; the field is handed on once it has ended.
    element_.assign(element);
    text_.clear();
    for (const xml::Attribute& attribute : attributes) {
      text_.emplace_back(attribute.name);
      text_.emplace_back(attribute.value);
    }
    for (const xml::Namespace& declaration : namespaces) {
      text_.emplace_back(declaration.prefix);
      text_.emplace_back(declaration.uri);
    }
    attributes_.resize(attributes.size());
    namespaces_.resize(namespaces.size());
    size_t i = 0;
    for (xml::Attribute& attribute : attributes_) {
      attribute = {text_[i], text_[i + 1]};
      i += 2;
    }
    for (xml::Namespace& declaration : namespaces_) {
      declaration = {text_[i], text_[i + 1]};
      i += 2;
    }
    return true;
  }

 private:
  bool Visit(const Field& field) override {
    if (fill_problem_ || beyond_) return true;
    const uint64_t end = field.offset + field.length;
    if (end > cursor_.Length()) {
      // The image is shorter than the layout: its length is what is wrong.
      beyond_ = true;
      return true;
    }
    DecodedField decoded;
    decoded.field = field.index;
    decoded.named = field.named;
    decoded.name = field.name;
    decoded.element = element_;
    decoded.attributes = attributes_;
    decoded.namespaces = namespaces_;
    decoded.offset = field.offset;
    decoded.length = field.length;
    decoded.typed = field.type_line != 0;
    decoded.type = field.entry.type;
    decoded.kind = field.kind;
    sink_.BeginField(decoded);
    const FieldKind kind = field.kind;
    const bool numeric = IsNumeric(kind);
    uint8_t bytes[kMaxFixedWidth] = {};  // a numeric field's
    ImageWalk walk(cursor_, field.offset, end);
    while (walk.Next(kind == FieldKind::kByteArray ? kPieceBytes : ImageWalk::kAny)) {
      const uint64_t at = walk.At();
      const auto count = static_cast<size_t>(walk.Count());
      const uint8_t* const data = walk.Data();
      if (walk.Zeros()) {
        checksum_.AddZeros(count);
      } else {
        checksum_.Add(data, count);
        if (at <= kChecksumOffset && kChecksumOffset < at + count) {
          stored_ = data[kChecksumOffset - at];
        }
      }
      if (kind == FieldKind::kFill) {
        if (!walk.Zeros() && !CheckFill(field, at, data, count)) return true;
      } else if (numeric) {
        if (walk.Zeros()) {
          std::memset(bytes + (at - field.offset), 0, count);
        } else {
          std::memcpy(bytes + (at - field.offset), data, count);
        }
      } else {
        HandHex(data, count);
      }
    }
    if (walk.Failed()) {
      read_failed_ = true;
      return false;
    }
    if (numeric) sink_.Value(NumericValueText(kind, bytes));
    sink_.EndField();
    return true;
  }

  // Whether the fill's piece at `at` holds only zeros (the checksum byte is the conversion's,
  // whatever field it falls in); if not, the problem is kept.
  bool CheckFill(const Field& field, uint64_t at, const uint8_t* data, size_t count) {
    const uint8_t* const last = data + count;
    const auto nonzero_from = [last](const uint8_t* from) {
      return std::find_if(from, last, [](uint8_t b) { return b != 0; });
    };
    const uint8_t* nonzero = nonzero_from(data);
    if (nonzero != last && at + static_cast<uint64_t>(nonzero - data) == kChecksumOffset) {
      nonzero = nonzero_from(nonzero + 1);
    }
    if (nonzero == last) return true;
    Finding problem;
    problem.code = Code::kFillNotZero;
    problem.field = field.index;
    problem.named = field.named;
    problem.name = field.name;
    problem.line = field.line;
    problem.values = {std::to_string(field.length), std::to_string(field.offset),
                      std::to_string(at + static_cast<uint64_t>(nonzero - data)),
                      HexByte(*nonzero)};
    fill_problem_ = std::move(problem);
    return false;
  }

  // A piece of a Byte[] value, in hex; null data stands for zeros.
  void HandHex(const uint8_t* data, size_t count) {
    static constexpr uint8_t kZeros[256] = {};
    piece_.clear();
    if (data != nullptr) {
      AppendHex(piece_, data, count, '\0');
    } else {
      for (size_t left = count; left > 0;) {
        const size_t take = std::min(left, sizeof kZeros);
        AppendHex(piece_, kZeros, take, '\0');
        left -= take;
      }
    }
    sink_.Value(piece_);
  }

  file::ImageCursor& cursor_;
  DecodeSink& sink_;
  ImageChecksum checksum_;
  uint8_t stored_ = 0;
  std::optional<Finding> fill_problem_;
  bool beyond_ = false;  // a field reaches past the image's end
  bool read_failed_ = false;
  std::string element_;
  // The field's attributes and namespaces, kept from its beginning to its end: their text,
  // names and values in turn, and views of it.
  std::vector<std::string> text_;
  std::vector<xml::Attribute> attributes_;
  std::vector<xml::Namespace> namespaces_;
  std::string piece_;
};

bool IsRefusal(const Failure& failure) { return failure && failure.kind != FailureKind::kStopped; }

}  // namespace

DecodeResult DecodeImage(const std::string& image_path, const std::string& layout_path,
                         file::FileSystem& file_system, DecodeSink& sink) {
  DecodeResult result;
  const auto fail = [&result](Code code, std::vector<std::string> values = {}) {
    result.failed = true;
    result.why.code = code;
    result.why.values = std::move(values);
    return std::move(result);
  };
  OpenedImage image(image_path, file_system);
  if (!image.Opened()) return fail(Code::kCannotReadImage);
  const uint64_t length = image.Length();
  result.length = length;

  Decoder decoder(image.Cursor(), sink);
  bool changed = false;
  const Failure refused = ReadFields(layout_path, file_system, decoder, &changed);
  if (IsRefusal(refused)) {
    result.failed = true;
    result.refused = true;
    result.why = FindingOf(refused);
    return result;
  }
  // A layout written to while it was read may have given part old, part new fields.
  if (changed) return fail(Code::kImageChanged);
  if (decoder.ReadFailed()) return fail(Code::kCannotReadImage);
  if (length != decoder.Length()) {
    return fail(Code::kLengthDiffers, {std::to_string(length), std::to_string(decoder.Length())});
  }
  if (decoder.FillProblem()) {
    result.failed = true;
    result.why = *decoder.FillProblem();
    return result;
  }
  if (length > kChecksumOffset && decoder.Stored() != decoder.Computed()) {
    return fail(Code::kChecksumMismatch, {HexByte(decoder.Stored()), HexByte(decoder.Computed())});
  }
  result.fields = decoder.FieldCount();
  return result;
}

}  // namespace pibgen
