#include <pibgen/pibgen.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/catalogue.h"
#include "engine/failure.h"
#include "engine/field_renderer.h"
#include "engine/read_fields.h"
#include "engine/version.h"
#include "format/checksum.h"
#include "format/field_codec.h"

namespace pibgen {
namespace {

// The description's text, handed to the reader as a file would be.
class TextSource final : public file::SourceFile {
 public:
  explicit TextSource(std::string_view text) : text_(text) {}
  ptrdiff_t Read(char* data, size_t count) override {
    const size_t take = std::min(count, text_.size());
    std::memcpy(data, text_.data(), take);
    text_.remove_prefix(take);
    return static_cast<ptrdiff_t>(take);
  }
  bool Changed() override { return false; }

 private:
  std::string_view text_;
};

// The image as it is made: every field's bytes appended, in order.
class ImageInMemory final : public ByteSink {
 public:
  explicit ImageInMemory(std::vector<uint8_t>& image) : image_(image) {}
  void Write(const uint8_t* bytes, size_t count) override {
    image_.insert(image_.end(), bytes, bytes + count);
  }
  void WriteZeros(uint64_t count) override {
    image_.resize(image_.size() + static_cast<size_t>(count), 0);
  }

 private:
  std::vector<uint8_t>& image_;
};

}  // namespace

std::string_view LibraryVersion() { return PIBGEN_VERSION; }

ImageResult ConvertDescription(std::string_view description) {
  ImageResult result;
  Failure failure;
  try {
    TextSource source(description);
    ImageInMemory image(result.image);
    FieldRenderer renderer(&image);
    failure = ReadFields(source, renderer);
  } catch (const std::bad_alloc&) {
    failure.kind = FailureKind::kLoad;
    failure.read = xml::ReadFailure::kBeyondBounds;
  }
  if (failure) {
    result.image.clear();
    const Finding finding = FindingOf(failure);
    result.problem = ConversionProblem{std::string(RowOf(finding.code).id), failure.line,
                                       failure.field, MessageText(finding)};
    return result;
  }
  if (const std::optional<uint8_t> checksum = ChecksumByte(result.image)) {
    result.image[kChecksumOffset] = *checksum;
  }
  return result;
}

std::optional<uint8_t> ChecksumByte(std::span<const uint8_t> image) {
  ImageChecksum checksum;
  checksum.Add(image.data(), image.size());
  if (!checksum.HasChecksum()) return std::nullopt;
  return checksum.Byte();
}

}  // namespace pibgen
