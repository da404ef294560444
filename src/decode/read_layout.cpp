#include "decode/read_layout.h"

#include <memory>
#include <utility>

#include "check/describe_read_failure.h"
#include "xml/read_description.h"

namespace pibgen {

std::optional<LayoutRefusal> ReadLayout(const std::string& path, file::FileSystem& file_system,
                                        xml::DescriptionHandler& handler) {
  const std::unique_ptr<file::SourceFile> input = file_system.OpenSource(path, nullptr);
  if (!input) return LayoutRefusal{0, "cannot read the description"};
  const xml::ReadResult read = xml::ReadDescription(*input, handler);
  // A handler that stopped the read says why itself.
  if (read.ok() || read.failure == xml::ReadFailure::kStopped) return std::nullopt;
  Finding finding = DescribeReadFailure(read);
  return LayoutRefusal{finding.line, std::move(finding.message)};
}

}  // namespace pibgen
