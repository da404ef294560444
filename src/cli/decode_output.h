#pragma once

#include <cstdint>
#include <string>

#include "cli/output_format.h"
#include "decode/decode_image.h"
#include "format/text_sink.h"

namespace pibgen {

// Prints a decoded image as it is handed on, in pieces of bounded size, so that a decode of
// millions of fields or of a long Byte[] value is never held whole.
//   text: a description (UTF-8 XML) that converts to the image byte for byte: the layout's
//         root, and each field with its element name, its attributes, offset="O" and
//         length="L", and children type, size (Byte[] and fill fields) and value (not for
//         fill fields)
//   json: {"version", "image", "layout", "fields": [{"field", "name", "offset", "length",
//         "type", "value"}, ...], "findings", "ok"}
// Finish prints the end, or why the decode failed: one line as text.
class DecodePrinter final : public DecodeSink {
 public:
  DecodePrinter(const std::string& image, const std::string& layout, OutputFormat format,
                TextSink& out);

  void Root(std::string_view name, std::span<const xml::Attribute> attributes,
            std::span<const xml::Namespace> namespaces) override;
  void BeginField(const DecodedField& field) override;
  void Value(std::string_view piece) override;
  void EndField() override;
  void Finish(const DecodeResult& result);

 private:
  void OpenRoot();
  void Flush();
  void FlushIfLong();

  const std::string& image_;
  const std::string& layout_;
  bool json_;
  TextSink& out_;
  std::string root_open_;  // printed before the first field, then cleared
  std::string root_close_;
  std::string element_;
  bool fill_ = false;      // the field being printed has no value
  bool numeric_ = false;   // or a value in one piece
  bool in_field_ = false;  // between BeginField and EndField
  bool in_value_ = false;  // within the field's value
  uint64_t fields_ = 0;    // begun so far
  std::string text_;       // not yet handed on
  bool printed_ = false;   // whether any has been
};

}  // namespace pibgen
