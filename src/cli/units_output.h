#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cli/output_format.h"
#include "engine/held_text.h"
#include "file/file_system.h"
#include "format/text_sink.h"
#include "units/write_unit_images.h"

namespace pibgen {

// Prints a units run: a line for each image as it is put in place, then the count, or what
// refused the run or stopped it. With a manifest, the record of every image written is held
// and replaces the manifest file whole once the run has ended, however it ended.
class UnitsPrinter final : public WrittenImageSink {
 public:
  UnitsPrinter(const UnitsRequest& request, OutputFormat format, TextSink& out,
               file::FileSystem& file_system, std::optional<std::string> manifest);

  void Written(const WrittenImage& image) override;
  // Prints the end of the run; false if the run or the manifest failed.
  bool Finish(const UnitsOutcome& outcome);

 private:
  void Progress(bool last);

  const UnitsRequest& request_;
  bool json_;
  TextSink& out_;
  file::FileSystem& file_system_;
  std::optional<std::string> manifest_;
  std::unique_ptr<HeldText> record_;
  bool progress_;
  uint64_t written_ = 0;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point shown_;
};

}  // namespace pibgen
