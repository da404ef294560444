#include "diff/diff_images.h"

#include <utility>

#include "diff/differing_ranges.h"
#include "diff/field_changes.h"
#include "diff/image_pair_walk.h"
#include "engine/opened_image.h"
#include "engine/read_fields.h"
#include "format/checksum.h"
#include "format/hex.h"

namespace pibgen {
namespace {

DiffSide SideOf(Code code, const std::string& path, uint64_t length, uint8_t stored,
                uint8_t computed) {
  DiffSide side;
  side.length = length;
  side.has_checksum = length > kChecksumOffset;
  side.stored = stored;
  side.computed = computed;
  side.finding.code = code;
  side.finding.values = {path, std::to_string(length)};
  if (side.has_checksum) {
    side.finding.values.push_back(HexByte(stored));
    side.finding.values.push_back(stored == computed ? "ok" : "");
    side.finding.values.push_back(stored == computed ? "" : HexByte(computed));
  }
  return side;
}

}  // namespace

DiffResult DiffImages(const std::string& old_path, const std::string& new_path,
                      const std::optional<std::string>& layout_path, file::FileSystem& file_system,
                      DiffSink& sink) {
  DiffResult result;
  const auto trouble = [&result](Code code, const std::string& path) {
    Finding finding;
    finding.code = code;
    result.trouble = std::move(finding);
    result.trouble_path = path;
    return std::move(result);
  };
  OpenedImage old_image(old_path, file_system);
  if (!old_image.Opened()) return trouble(Code::kCannotReadImage, old_path);
  OpenedImage new_image(new_path, file_system);
  if (!new_image.Opened()) return trouble(Code::kCannotReadImage, new_path);

  ImagePairWalk walk(old_image.Cursor(), new_image.Cursor());
  if (layout_path) {
    FieldChanges fields(walk, old_image.Length(), new_image.Length(), sink);
    bool changed = false;
    const Failure refused = ReadFields(*layout_path, file_system, fields, &changed);
    if (refused && refused.kind != FailureKind::kStopped) {
      result.trouble = FindingOf(refused);
      result.trouble_path = *layout_path;
      result.refused = true;
      return result;
    }
    if (fields.ReadFailed())
      return trouble(Code::kCannotReadImage, walk.OldFailed() ? old_path : new_path);
    if (changed) return trouble(Code::kLayoutChanged, *layout_path);
    result.changed = fields.Changed();
    if (fields.ChecksumBytes() && fields.ChecksumBytes()->first != fields.ChecksumBytes()->second) {
      Finding checksum;
      checksum.code = Code::kChecksumChanged;
      checksum.values = {std::to_string(kChecksumOffset), HexByte(fields.ChecksumBytes()->first),
                         HexByte(fields.ChecksumBytes()->second)};
      result.findings.push_back(std::move(checksum));
    }
  }
  // Whatever no field covers, byte by byte.
  DifferingRanges ranges(sink);
  ImagePairWalk::Segment segment;
  while (walk.Next(walk.Longer(), &segment)) ranges.Add(segment);
  if (walk.Failed()) return trouble(Code::kCannotReadImage, walk.OldFailed() ? old_path : new_path);
  ranges.End();
  result.ranges = ranges.Count();
  if (ranges.Count() > kListedRanges) {
    Finding more;
    more.code = Code::kMoreRanges;
    more.values = {std::to_string(ranges.Count() - kListedRanges)};
    result.findings.push_back(std::move(more));
  }
  result.compared = true;
  result.old_side =
      SideOf(Code::kOldImage, old_path, old_image.Length(), walk.OldStored(), walk.OldComputed());
  result.new_side =
      SideOf(Code::kNewImage, new_path, new_image.Length(), walk.NewStored(), walk.NewComputed());
  result.same = result.ranges == 0 && result.changed == 0 && result.findings.empty() &&
                old_image.Length() == new_image.Length();
  if (result.same) {
    Finding same;
    same.code = Code::kImagesSame;
    result.findings.push_back(std::move(same));
  }
  return result;
}

}  // namespace pibgen
