#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/catalogue.h"
#include "file/file_system.h"
#include "format/field_types.h"
#include "xml/read_description.h"

namespace pibgen {

// One decoded field, as the layout names it and the image places it. Views are valid only
// during the call that passes it.
struct DecodedField {
  uint32_t field = 0;  // counted from 1
  bool named = false;  // whether it has a "name" attribute, which name then holds
  std::string_view name;
  std::string_view element;
  std::span<const xml::Attribute> attributes;
  std::span<const xml::Namespace> namespaces;
  uint64_t offset = 0;
  uint64_t length = 0;
  bool typed = false;  // whether the layout gives it a type child, which type then holds
  std::string_view type;
  FieldKind kind = FieldKind::kFill;
};

// Receives a decoded image in order, as it is read: the root, then each field with its value in
// pieces (decimal for a numeric field, upper-case hex two digits a byte for a Byte[]; none for
// a fill). What was handed on is the image only once the decode ends without failing; a field
// may be left unended before a failure. A sink that prints holds it all until then.
class DecodeSink {
 public:
  virtual ~DecodeSink() = default;
  virtual void Root(std::string_view name, std::span<const xml::Attribute> attributes,
                    std::span<const xml::Namespace> namespaces) = 0;
  virtual void BeginField(const DecodedField& field) = 0;
  virtual void Value(std::string_view piece) = 0;
  virtual void EndField() = 0;
};

// How a decode ended: failed is false when every field was handed on and is the image's;
// otherwise why not, a finding about the image, or (refused) about the layout, at a line of it.
struct DecodeResult {
  bool failed = false;
  bool refused = false;
  Finding why;
  uint32_t fields = 0;
  uint64_t length = 0;
};

// Decodes the image at image_path with the layout's fields, for a description that converts
// to the image byte for byte. The layout and the image are read once, front to back. It fails
// when the layout cannot be read or converted or changed while it was read, the image cannot
// be read, its length is not the layout's, a fill field holds a byte that is not zero, or the
// checksum byte is wrong.
DecodeResult DecodeImage(const std::string& image_path, const std::string& layout_path,
                         file::FileSystem& file_system, DecodeSink& sink);

}  // namespace pibgen
