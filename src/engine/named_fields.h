#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/catalogue.h"
#include "engine/read_fields.h"

namespace pibgen {

// The fields of a description that values are given for by name (--set, a unit table's
// columns): for each name, how many fields carry it and the first of them, whole, as it ended.
class NamedFields {
 public:
  static constexpr size_t kNone = static_cast<size_t>(-1);

  // Adds a name to look for; the same name twice is one. Returns its index.
  size_t Want(std::string_view name);
  // The index of a wanted name, or kNone.
  size_t Find(std::string_view name) const;
  // Notes a field that has ended: counted under its name when that is wanted.
  void Saw(const Field& field);

  size_t Size() const { return names_.size(); }
  const std::string& Name(size_t index) const { return names_[index]; }
  uint32_t Count(size_t index) const { return counts_[index]; }
  // The first field of that name; valid once Count is not 0.
  const Field& First(size_t index) const { return firsts_[index]; }
  // Why a name cannot take a value: no field has it, or more than one; worded for --set, or
  // for a unit table's column. False if exactly one field has it.
  bool Problem(size_t index, bool column, Finding* finding) const;

 private:
  std::unordered_map<std::string, size_t> index_;
  std::vector<std::string> names_;
  std::vector<uint32_t> counts_;
  std::vector<Field> firsts_;
};

}  // namespace pibgen
