#include "cli/run_modes.h"

#include "check/check_description.h"
#include "cli/check_output.h"
#include "cli/decode_output.h"
#include "cli/diff_output.h"
#include "cli/units_output.h"
#include "cli/verify_output.h"
#include "decode/decode_image.h"
#include "diff/diff_images.h"
#include "verify/verify_image.h"
#include "verify/verify_with_layout.h"

namespace pibgen {

int RunCheck(const std::string& path, OutputFormat format, file::FileSystem& file_system,
             TextSink& out, const std::optional<UnitsToCheck>& units) {
  const CheckResult result = CheckDescription(path, file_system, units);
  PrintCheck(path, result, format, out);
  return result.warnings + result.errors == 0 ? 0 : 1;
}

int RunVerify(const std::string& path, std::optional<std::string_view> layout, OutputFormat format,
              file::FileSystem& file_system, TextSink& out) {
  if (!layout) {
    const ChecksumResult result = VerifyImage(path, file_system);
    PrintChecksum(path, result, format, out);
    return result.Passed() ? 0 : 1;
  }
  const std::string layout_path(*layout);
  ComparisonPrinter printer(path, layout_path, format, out, file_system.CreateScratchFile());
  const LayoutComparison result = VerifyWithLayout(path, layout_path, file_system, printer);
  return printer.Finish(result) && result.equal ? 0 : 1;
}

int RunDecode(const std::string& path, const std::string& layout, OutputFormat format,
              file::FileSystem& file_system, TextSink& out) {
  DecodePrinter printer(path, layout, format, out, file_system.CreateScratchFile());
  return printer.Finish(DecodeImage(path, layout, file_system, printer)) ? 0 : 1;
}

int RunDiff(const std::string& old_image, const std::string& new_image,
            const std::optional<std::string>& layout, OutputFormat format,
            file::FileSystem& file_system, TextSink& out) {
  DiffPrinter printer(old_image, new_image, layout, format, out, file_system.CreateScratchFile());
  const DiffResult result = DiffImages(old_image, new_image, layout, file_system, printer);
  if (!printer.Finish(result) || !result.compared) return 2;
  return result.same ? 0 : 1;
}

int RunUnits(const UnitsRequest& request, OutputFormat format,
             const std::optional<std::string>& manifest, file::FileSystem& file_system,
             TextSink& out) {
  UnitsPrinter printer(request, format, out, file_system, manifest);
  return printer.Finish(WriteUnitImages(request, file_system, printer)) ? 0 : 1;
}

}  // namespace pibgen
