#pragma once

#include <string>

#include "cli/output_format.h"
#include "format/text_sink.h"
#include "verify/verify_image.h"
#include "verify/verify_with_layout.h"

namespace pibgen {

// Prints what --verify found of the image's checksum: "IMAGE: MESSAGE", or as JSON
// {"version", "image", "bytes", "checksum": {"stored", "computed", "ok"}, "findings", "ok"}.
void PrintChecksum(const std::string& image, const ChecksumResult& result, OutputFormat format,
                   TextSink& out);

// Prints a comparison of an image with its layout as it runs: each field that differs as it is
// found, then the rest once Finish has it. As text, one "IMAGE: MESSAGE" line each (a refused
// layout as --check words it); as JSON, the checksum's members, the "layout", and "fields":
// one object a field that differs.
class ComparisonPrinter final : public DifferenceSink {
 public:
  ComparisonPrinter(const std::string& image, const std::string& layout, OutputFormat format,
                    TextSink& out);
  void FieldDiffers(const FieldDifference& difference) override;
  void Finish(const LayoutComparison& result);

 private:
  void Begin();

  const std::string& image_;
  const std::string& layout_;
  bool json_;
  TextSink& out_;
  bool begun_ = false;
  uint64_t fields_ = 0;  // printed so far
  std::string text_;
};

}  // namespace pibgen
