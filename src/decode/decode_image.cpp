#include "decode/decode_image.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

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

// A long Byte[] value is handed on in pieces of the hex of at most this many bytes.
constexpr size_t kPieceBytes = size_t{1} << 16;

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
  explicit DecodeCheck(file::ImageCursor& cursor) : ImagePass(cursor) {}

  const std::optional<Finding>& FillProblem() const { return fill_problem_; }
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
          Finding problem;
          problem.code = Code::kFillNotZero;
          problem.field = field.index;
          problem.named = field.named;
          problem.name = field.name;
          problem.line = field.line;
          problem.values = {std::to_string(field.length), std::to_string(field.offset),
                            std::to_string(at + static_cast<uint64_t>(nonzero - begin)),
                            HexByte(*nonzero)};
          fill_problem_ = std::move(problem);
          return true;
        }
      }
    }
    return true;
  }

  ImageChecksum checksum_;
  uint8_t stored_ = 0;
  std::optional<Finding> fill_problem_;
};

// The second pass: the fields handed on, one by one.
class DecodeEmitter final : public ImagePass {
 public:
  DecodeEmitter(file::ImageCursor& cursor, DecodeSink& sink) : ImagePass(cursor), sink_(sink) {}

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
    if (field.kind != FieldKind::kFill && !HandValue(field)) return false;
    sink_.EndField();
    return true;
  }

  bool HandValue(const Field& field) {
    const FieldKind kind = field.kind;
    if (IsNumeric(kind)) {
      uint8_t bytes[kMaxFixedWidth];
      if (!cursor_.Copy(field.offset, static_cast<size_t>(field.length), bytes)) {
        read_failed_ = true;
        return false;
      }
      sink_.Value(NumericValueText(kind, bytes));
      return true;
    }
    static constexpr uint8_t kZeros[256] = {};
    const uint64_t end = field.offset + field.length;
    for (uint64_t at = field.offset; at < end;) {
      file::ImageCursor::Piece piece;
      if (!Next(at, std::min<uint64_t>(end - at, kPieceBytes), &piece)) return false;
      piece_.clear();
      if (piece.data != nullptr) {
        AppendHex(piece_, piece.data, static_cast<size_t>(piece.count), '\0');
      } else {
        for (uint64_t left = piece.count; left > 0;) {
          const auto take = static_cast<size_t>(std::min<uint64_t>(left, sizeof kZeros));
          AppendHex(piece_, kZeros, take, '\0');
          left -= take;
        }
      }
      sink_.Value(piece_);
      at += piece.count;
    }
    return true;
  }

  DecodeSink& sink_;
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
  file::ImageCursor* const cursor = &image.Cursor();
  result.length = length;

  DecodeCheck check(*cursor);
  const Failure refused = ReadFields(layout_path, file_system, check);
  if (IsRefusal(refused)) {
    result.failed = true;
    result.refused = true;
    result.why = FindingOf(refused);
    return result;
  }
  if (check.ReadFailed()) return fail(Code::kCannotReadImage);
  if (length != check.Length()) {
    return fail(Code::kLengthDiffers, {std::to_string(length), std::to_string(check.Length())});
  }
  if (check.FillProblem()) {
    result.failed = true;
    result.why = *check.FillProblem();
    return result;
  }
  if (length > kChecksumOffset && check.Stored() != check.Computed()) {
    return fail(Code::kChecksumMismatch, {HexByte(check.Stored()), HexByte(check.Computed())});
  }

  DecodeEmitter emitter(*cursor, sink);
  const Failure changed = ReadFields(layout_path, file_system, emitter);
  if (changed || emitter.ReadFailed() || emitter.FieldCount() != check.FieldCount() ||
      emitter.Length() != check.Length()) {
    // The files were changed while they were read: what was handed on is not the image.
    return fail(Code::kImageChanged);
  }
  result.fields = emitter.FieldCount();
  return result;
}

}  // namespace pibgen
