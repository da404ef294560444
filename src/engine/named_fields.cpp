#include "engine/named_fields.h"

namespace pibgen {

size_t NamedFields::Want(std::string_view name) {
  const auto [at, added] = index_.try_emplace(std::string(name), names_.size());
  if (added) {
    names_.emplace_back(name);
    counts_.push_back(0);
    firsts_.emplace_back();
  }
  return at->second;
}

size_t NamedFields::Find(std::string_view name) const {
  const auto at = index_.find(std::string(name));
  return at == index_.end() ? kNone : at->second;
}

void NamedFields::Saw(const Field& field) {
  if (!field.named || index_.empty()) return;
  const size_t index = Find(field.name);
  if (index == kNone) return;
  if (counts_[index]++ == 0) firsts_[index] = field;
}

bool NamedFields::Problem(size_t index, bool column, Finding* finding) const {
  const uint32_t count = counts_[index];
  if (count == 1) return false;
  *finding = {};
  if (column) finding->subject = "column " + names_[index];
  if (count == 0) {
    finding->code = column ? Code::kColumnNamesNoField : Code::kSetNamesNoField;
    finding->values = {names_[index]};
  } else {
    finding->code = column ? Code::kColumnNamesManyFields : Code::kSetNamesManyFields;
    finding->values = {std::to_string(count), names_[index]};
  }
  return true;
}

}  // namespace pibgen
