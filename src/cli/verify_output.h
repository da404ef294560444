#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/output_format.h"
#include "engine/held_text.h"
#include "file/file_system.h"
#include "format/text_sink.h"
#include "verify/verify_image.h"
#include "verify/verify_with_layout.h"

namespace pibgen {

// Prints what --verify found of the image's checksum: "IMAGE: MESSAGE", or as JSON
// {"version", "image", "bytes", "checksum": {"stored", "computed", "ok"}, "findings", "ok"}.
void PrintChecksum(const std::string& image, const ChecksumResult& result, OutputFormat format,
                   TextSink& out);

// Prints a comparison of an image with its layout once it has ended: each field that differs,
// then the rest. As text, one "IMAGE: MESSAGE" line each (a refused layout as --check words
// it); as JSON, the checksum's members, the "layout", and "fields": one object a field that
// differs. The fields are held meanwhile, in memory up to 64 KiB and beyond that in the
// scratch file, and put in layout order; none is printed for a layout refused or changed.
class ComparisonPrinter final : public DifferenceSink {
 public:
  ComparisonPrinter(const std::string& image, const std::string& layout, OutputFormat format,
                    TextSink& out, std::unique_ptr<file::ImageFile> scratch);
  void FieldDiffers(const FieldDifference& difference) override;
  // Prints it all. False when what was held could not be printed: a line then says so.
  bool Finish(const LayoutComparison& result);

 private:
  std::string Entry(const FieldDifference& difference) const;

  const std::string& image_;
  const std::string& layout_;
  bool json_;
  TextSink& out_;
  // The fields that differ: those before the checksum byte (two at most), the one over it,
  // and those after it.
  std::vector<std::string> before_;
  std::string over_;
  HeldText after_;
  bool any_after_ = false;
};

}  // namespace pibgen
