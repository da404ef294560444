#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/output_format.h"
#include "diff/diff_results.h"
#include "engine/held_text.h"
#include "file/file_system.h"
#include "format/text_sink.h"

namespace pibgen {

// Prints a comparison of two images once it has ended: each image's length and checksum, then
// the fields that differ, the ranges that differ, and the rest; or, when the images could not be
// compared, why alone. As text one line each; as JSON {"version", "old", "new" (each "path",
// "bytes", "checksum": {"stored", "computed", "ok"}, "message"), "layout", "fields" (with a
// layout), "ranges", "findings", "ok"}. The fields are held meanwhile, in memory up to 64 KiB
// and beyond that in the scratch file; the ranges, few, in memory.
class DiffPrinter final : public DiffSink {
 public:
  DiffPrinter(const std::string& old_path, const std::string& new_path,
              const std::optional<std::string>& layout, OutputFormat format, TextSink& out,
              std::unique_ptr<file::ImageFile> scratch);
  void FieldDiffers(const FieldChange& change) override;
  void RangeDiffers(const RangeDifference& range) override;
  // Prints it all. False when what was held could not be printed: a line then says so.
  bool Finish(const DiffResult& result);

 private:
  std::string SideText(const std::string& path, const DiffSide* side) const;

  const std::string& old_path_;
  const std::string& new_path_;
  const std::optional<std::string>& layout_;
  bool json_;
  TextSink& out_;
  HeldText fields_;
  bool any_field_ = false;
  std::vector<std::string> ranges_;
};

}  // namespace pibgen
