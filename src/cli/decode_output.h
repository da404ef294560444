#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cli/output_format.h"
#include "decode/decode_image.h"
#include "engine/held_text.h"
#include "file/file_system.h"
#include "format/text_sink.h"

namespace pibgen {

// Prints a decoded image once it is known to decode. What is handed on is held meanwhile, in
// memory up to 64 KiB and beyond that in the scratch file, so that a decode of millions of
// fields or of a long Byte[] value is never held in memory whole.
//   text: a description (UTF-8 XML) that converts to the image byte for byte: the layout's
//         root, and each field with its element name, its attributes, offset="O" and
//         length="L", and children type, size (Byte[] and fill fields) and value (not for
//         fill fields)
//   json: {"version", "image", "layout", "fields": [{"field", "name", "offset", "length",
//         "type", "value"}, ...], "findings", "ok"}
class DecodePrinter final : public DecodeSink {
 public:
  DecodePrinter(const std::string& image, const std::string& layout, OutputFormat format,
                TextSink& out, std::unique_ptr<file::ImageFile> scratch);

  void Root(std::string_view name, std::span<const xml::Attribute> attributes,
            std::span<const xml::Namespace> namespaces) override;
  void BeginField(const DecodedField& field) override;
  void Value(std::string_view piece) override;
  void EndField() override;
  // Prints what was held and the end; or, for a decode that failed or whose output could not be
  // held, why instead: one line as text, a document without fields as JSON. Should what was
  // held fail to be read back part way, the line follows on a line of its own. True when the
  // decode was printed whole.
  bool Finish(const DecodeResult& result);

 private:
  void OpenRoot();
  void Flush();
  void FlushIfLong();
  void PrintFailure(const Finding& why, bool about_layout);

  const std::string& image_;
  const std::string& layout_;
  bool json_;
  TextSink& out_;
  HeldText held_;
  std::string root_open_;  // printed before the first field, then cleared
  std::string root_close_;
  std::string element_;
  bool fill_ = false;     // the field being printed has no value
  bool numeric_ = false;  // or a value in one piece
  uint64_t fields_ = 0;   // begun so far
  std::string text_;      // not yet held
};

}  // namespace pibgen
