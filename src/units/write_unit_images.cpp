#include "units/write_unit_images.h"

#include <algorithm>
#include <memory>
#include <new>

#include "engine/named_fields.h"
#include "engine/path_pattern.h"
#include "engine/pib_image_file.h"
#include "engine/read_fields.h"
#include "engine/set_value.h"
#include "engine/unit_image.h"
#include "engine/unit_rows.h"
#include "units/sha256.h"

namespace pibgen {
namespace {

// Renders the description once, the fields that values are given for stored whole, and notes
// which fields carry the names looked for.
class Rendering final : public FieldHandler {
 public:
  Rendering(NamedFields& names, UnitImage& image)
      : names_(names), image_(image), slots_(names.Size(), NamedFields::kNone) {}

  bool EndField(const Field& field) override {
    names_.Saw(field);
    if (broken_) return true;
    const size_t index = field.named ? names_.Find(field.name) : NamedFields::kNone;
    const bool set =
        index != NamedFields::kNone && names_.Count(index) == 1 && field.kind != FieldKind::kFill;
    if (set) slots_[index] = image_.BeginSetField();
    WriteField(image_, field.entry, field.kind);
    if (set) image_.EndSetField();
    return true;
  }
  bool Broken(const Failure&) override {
    broken_ = true;
    return true;
  }
  // The slot in the image of each name's field.
  const std::vector<size_t>& Slots() const { return slots_; }

 private:
  NamedFields& names_;
  UnitImage& image_;
  std::vector<size_t> slots_;
  bool broken_ = false;
};

Finding Refusal(Code code, std::vector<std::string> values = {}) {
  Finding finding;
  finding.code = code;
  finding.values = std::move(values);
  return finding;
}

// Puts one unit's image in place; kNone or the step that failed.
FailureKind WriteImage(const UnitImage& image, const std::string& path,
                       std::span<const file::FileIdentity> keep, file::FileSystem& file_system,
                       Sha256* digest) {
  PibImageFile file(file_system);
  if (!file.Open(path, keep)) return FailureKind::kCreateImage;
  file.ChecksumKnown();  // stamped in the image from the change
  image.ForEachPiece([&](const UnitImage::Piece& piece) {
    if (piece.data == nullptr) {
      file.WriteZeros(piece.count);
      if (digest != nullptr) digest->UpdateZeros(piece.count);
    } else {
      file.Write(piece.data, static_cast<size_t>(piece.count));
      if (digest != nullptr) digest->Update(piece.data, static_cast<size_t>(piece.count));
    }
  });
  if (file.Close()) return FailureKind::kNone;
  return file.Fault() == FailureKind::kNone ? FailureKind::kCloseImage : file.Fault();
}

class UnitsRun {
 public:
  UnitsRun(const UnitsRequest& request, file::FileSystem& file_system, WrittenImageSink& sink,
           UnitsOutcome& outcome)
      : request_(request), file_system_(file_system), sink_(sink), outcome_(outcome) {}

  void Run() {
    if (!Prepare()) return;
    if (!CheckRows()) return;
    WriteImages();
    outcome_.inputs = keep_;
  }

 private:
  // Reads the description and the table's header and ties them together.
  bool Prepare() {
    std::vector<Finding>& refusals = outcome_.refusals;
    Finding table_problem;
    Finding problem;
    const bool table_open = rows_.Open(request_.table, file_system_, &table_problem);
    if (table_open) {
      rows_.WantColumns(names_);
    }
    for (const SetValue& set : request_.sets) {
      const size_t before = names_.Size();
      const size_t index = names_.Want(set.name);
      if (index < before && std::find(set_.begin(), set_.end(), index) != set_.end()) {
        refusals.push_back(Refusal(Code::kSetRepeated, {set.name}));
      }
      set_.push_back(index);
    }
    const bool pattern_good = pattern_.Parse(request_.pattern, &problem);
    if (!pattern_good && table_open) refusals.push_back(problem);
    if (pattern_good && table_open && !pattern_.Bind(rows_.Header(), &problem)) {
      refusals.push_back(problem);
    }

    Rendering rendering(names_, image_);
    file::FileIdentity identity;
    std::unique_ptr<file::SourceFile> source =
        file_system_.OpenSource(request_.description, &identity);
    if (!source) {
      outcome_.description.kind = FailureKind::kLoad;
      return false;
    }
    Failure read = ReadFields(*source, rendering);
    if (!read && source->Changed()) read.kind = FailureKind::kLoad;
    if (read) {
      outcome_.description = read;
      return false;
    }
    image_.Finish();
    keep_ = {identity, file_system_.StandardOutput()};
    if (!table_open) {
      refusals.insert(refusals.begin(), table_problem);
      return false;
    }
    keep_.push_back(rows_.Identity());
    if (!refusals.empty()) return false;

    for (size_t i = 0; i < request_.sets.size(); ++i) {
      const SetValue& set = request_.sets[i];
      const std::string subject = "--set=" + set.name;
      Finding finding;
      if (names_.Problem(set_[i], false, &finding)) {
        refusals.push_back(std::move(finding));
      } else if (CheckSetValue(names_.First(set_[i]), set.value, {subject, {}, 0}, refusals)) {
        EncodeSetValue(names_.First(set_[i]), set.value, bytes_);
        image_.SetField(rendering.Slots()[set_[i]], bytes_);
      }
    }
    rows_.Bind(names_, &pattern_, set_, refusals);
    for (size_t column = 0; column < rows_.Header().size(); ++column) {
      const size_t index = names_.Find(rows_.Header()[column]);
      slots_.push_back(index == NamedFields::kNone ? index : rendering.Slots()[index]);
    }
    rows_.Slots() = slots_;
    return refusals.empty();
  }

  // The first pass: every row checked and its destination formed, nothing written.
  bool CheckRows() {
    std::vector<Finding>& refusals = outcome_.refusals;
    DestinationSet destinations;
    Unit unit;
    while (rows_.Next(unit, refusals)) {
      ++units_;
      if (!rows_.Check(unit, refusals) || !pattern_.HasPlaceholder()) continue;
      if (const uint32_t line = destinations.Add(unit.path, unit.line)) {
        Finding finding;
        finding.code = Code::kDestinationRepeated;
        finding.file = request_.table;
        finding.line = unit.line;
        finding.values = {unit.path, std::to_string(line)};
        refusals.push_back(std::move(finding));
      }
    }
    if (refusals.empty() && units_ > 1 && !pattern_.HasPlaceholder()) {
      refusals.push_back(Refusal(Code::kPatternFixed, {request_.pattern, std::to_string(units_)}));
    }
    return refusals.empty();
  }

  // The second pass: the table read again, each unit's image made and put in place.
  void WriteImages() {
    UnitRows rows;
    Finding problem;
    std::vector<Finding>& refusals = outcome_.refusals;
    if (!rows_.Unchanged(file_system_) || !rows.Open(request_.table, file_system_, &problem)) {
      refusals.push_back(Refusal(Code::kUnitsChanged));
      return;
    }
    rows.Bind(names_, &pattern_, set_, refusals);
    rows.Slots() = slots_;
    std::unique_ptr<Sha256> digest;
    if (request_.digests) digest = std::make_unique<Sha256>();
    Unit unit;
    uint64_t seen = 0;
    while (rows.Next(unit, refusals)) {
      ++seen;
      if (!rows.Check(unit, refusals)) break;
      rows.SetValues(unit, image_);
      image_.StampChecksum();
      const FailureKind failed = WriteImage(image_, unit.path, keep_, file_system_, digest.get());
      if (failed != FailureKind::kNone) {
        outcome_.failure.kind = failed;
        outcome_.line = unit.line;
        outcome_.path = unit.path;
        return;
      }
      ++outcome_.written;
      WrittenImage written;
      written.row = unit.row;
      written.path = unit.path;
      written.bytes = image_.Length();
      written.has_checksum = image_.HasChecksum();
      written.checksum = image_.Checksum();
      if (digest) written.sha256 = digest->HexDigest();
      sink_.Written(written);
    }
    // A table that changed while it was read: the rows written so far were the checked ones.
    if (refusals.empty() && seen != units_) refusals.push_back(Refusal(Code::kUnitsChanged));
  }

  const UnitsRequest& request_;
  file::FileSystem& file_system_;
  WrittenImageSink& sink_;
  UnitsOutcome& outcome_;
  UnitRows rows_;
  NamedFields names_;
  std::vector<size_t> set_;  // each --set's index in names_
  PathPattern pattern_;
  UnitImage image_;
  std::vector<size_t> slots_;
  std::vector<file::FileIdentity> keep_;
  FieldBytes bytes_;
  uint64_t units_ = 0;
};

}  // namespace

UnitsOutcome WriteUnitImages(const UnitsRequest& request, file::FileSystem& file_system,
                             WrittenImageSink& sink) {
  UnitsOutcome outcome;
  try {
    UnitsRun(request, file_system, sink, outcome).Run();
  } catch (const std::bad_alloc&) {
    // Memory ran out; an image being made was dropped on the way out.
    if (outcome.written == 0 && outcome.refusals.empty()) {
      outcome.description.kind = FailureKind::kLoad;
    } else {
      outcome.failure.kind = FailureKind::kWriteImage;
    }
  }
  return outcome;
}

}  // namespace pibgen
