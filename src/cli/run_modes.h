#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "check/check_description.h"
#include "cli/output_format.h"
#include "file/file_system.h"
#include "format/text_sink.h"
#include "units/write_unit_images.h"

namespace pibgen {

// --check, --verify (against the layout, when one is given) and --decode: each runs its mode,
// prints what it found in format as it goes, and returns the exit status (0 for a clean
// description, an image as it should be, an image decoded; else 1).
int RunCheck(const std::string& path, OutputFormat format, file::FileSystem& file_system,
             TextSink& out, const std::optional<UnitsToCheck>& units = std::nullopt);
int RunVerify(const std::string& image, std::optional<std::string_view> layout, OutputFormat format,
              file::FileSystem& file_system, TextSink& out);
int RunDecode(const std::string& image, const std::string& layout, OutputFormat format,
              file::FileSystem& file_system, TextSink& out);
// A table of units, one image each; with a manifest, the record of the images written.
int RunUnits(const UnitsRequest& request, OutputFormat format,
             const std::optional<std::string>& manifest, file::FileSystem& file_system,
             TextSink& out);

// --diff: compares two images, byte by byte or with the layout field by field, and returns
// the exit status as cmp has it: 0 the same, 1 they differ, 2 they could not be compared.
int RunDiff(const std::string& old_image, const std::string& new_image,
            const std::optional<std::string>& layout, OutputFormat format,
            file::FileSystem& file_system, TextSink& out);

}  // namespace pibgen
