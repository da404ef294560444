#include "engine/unit_rows.h"

#include <algorithm>
#include <functional>
#include <string_view>

#include "engine/set_value.h"
#include "file/path_length.h"

namespace pibgen {

Finding UnitRows::At(Code code, uint32_t line) const {
  Finding finding;
  finding.code = code;
  finding.file = path_;
  finding.line = line;
  return finding;
}

bool UnitRows::Open(const std::string& path, file::FileSystem& file_system, Finding* problem) {
  path_ = path;
  source_ = file_system.OpenSource(path, &identity_);
  if (!source_) {
    *problem = At(Code::kUnitsUnreadable, 0);
    return false;
  }
  rows_ = std::make_unique<CsvRows>(*source_);
  std::vector<Finding> findings;
  Unit header;
  if (!Next(header, findings)) {
    *problem = findings.empty() ? At(Code::kUnitsNoHeader, 1) : findings.front();
    return false;
  }
  row_ = 0;
  header_ = std::move(header.cells);
  for (const std::string& name : header_) subjects_.push_back("column " + name);
  return true;
}

bool UnitRows::Unchanged(file::FileSystem& file_system) const {
  file::FileIdentity now;
  return file_system.OpenSource(path_, &now) != nullptr && now == identity_;
}

void UnitRows::WantColumns(NamedFields& fields) const {
  for (const std::string& name : header_) fields.Want(name);
}

void UnitRows::Bind(const NamedFields& fields, const PathPattern* pattern,
                    const std::vector<size_t>& set, std::vector<Finding>& findings) {
  pattern_ = pattern;
  fields_.assign(header_.size(), nullptr);
  slots_.assign(header_.size(), NamedFields::kNone);
  for (size_t column = 0; column < header_.size(); ++column) {
    const std::string& name = header_[column];
    const size_t index = fields.Find(name);
    const bool in_path = pattern != nullptr && pattern->Uses(column);
    Finding finding;
    if (std::find(header_.begin(), header_.begin() + static_cast<ptrdiff_t>(column), name) !=
        header_.begin() + static_cast<ptrdiff_t>(column)) {
      finding = At(Code::kColumnRepeated, 1);
    } else if (fields.Count(index) == 0 && in_path) {
      continue;  // a part of the path only
    } else if (fields.Problem(index, true, &finding)) {
      finding.file = path_;
      finding.line = 1;
    } else if (std::find(set.begin(), set.end(), index) != set.end()) {
      finding = At(Code::kColumnAlsoSet, 1);
      finding.values = {name};
    } else {
      fields_[column] = &fields.First(index);
      continue;
    }
    finding.subject = subjects_[column];
    findings.push_back(std::move(finding));
  }
}

bool UnitRows::Next(Unit& unit, std::vector<Finding>& findings) {
  switch (rows_->Next(unit.cells, &unit.line)) {
    case CsvRows::Result::kRow:
      unit.row = ++row_;
      return true;
    case CsvRows::Result::kEnd:
      if (source_->Changed()) findings.push_back(At(Code::kUnitsChanged, 0));
      return false;
    case CsvRows::Result::kStrayQuote:
      findings.push_back(At(Code::kCsvStrayQuote, unit.line));
      return false;
    case CsvRows::Result::kOpenQuote:
      findings.push_back(At(Code::kCsvOpenQuote, unit.line));
      return false;
    case CsvRows::Result::kUnreadable:
      break;
  }
  findings.push_back(At(Code::kUnitsUnreadable, unit.line));
  return false;
}

bool UnitRows::Check(Unit& unit, std::vector<Finding>& findings) const {
  const size_t before = findings.size();
  if (unit.cells.size() != header_.size()) {
    Finding finding = At(Code::kCsvCellCount, unit.line);
    finding.values = {std::to_string(unit.cells.size()), std::to_string(header_.size())};
    findings.push_back(std::move(finding));
    return false;
  }
  for (size_t column = 0; column < header_.size(); ++column) {
    const std::string& cell = unit.cells[column];
    if (fields_[column] != nullptr) {
      CheckSetValue(*fields_[column], cell, {subjects_[column], path_, unit.line}, findings);
    }
    if (pattern_ != nullptr && pattern_->Uses(column) && !IsSafePathCell(cell)) {
      Finding finding = At(Code::kPathCell, unit.line);
      finding.subject = subjects_[column];
      finding.values = {cell};
      findings.push_back(std::move(finding));
    }
  }
  if (findings.size() != before) return false;
  if (pattern_ == nullptr) return true;
  pattern_->Form(unit.row, unit.cells, unit.path);
  if (file::CountPathCharacters(unit.path) > file::kMaxPathCharacters) {
    Finding finding = At(Code::kDestinationTooLong, unit.line);
    finding.values = {unit.path};
    findings.push_back(std::move(finding));
    return false;
  }
  return true;
}

void UnitRows::SetValues(const Unit& unit, UnitImage& image) {
  for (size_t column = 0; column < header_.size(); ++column) {
    if (fields_[column] == nullptr) continue;
    EncodeSetValue(*fields_[column], unit.cells[column], bytes_);
    image.SetField(slots_[column], bytes_);
  }
}

uint32_t DestinationSet::Add(const std::string& path, uint32_t line) {
  // Folded to one letter case: on some systems the two spellings name one file.
  std::string folded = path;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  const auto [at, added] = lines_.try_emplace(std::hash<std::string>{}(folded), line);
  return added ? 0 : at->second;
}

}  // namespace pibgen
