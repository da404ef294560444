#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/catalogue.h"
#include "engine/csv_rows.h"
#include "engine/named_fields.h"
#include "engine/path_pattern.h"
#include "engine/unit_image.h"
#include "file/file_system.h"
#include "format/field_codec.h"

namespace pibgen {

// One row of a unit table: its number (1 for the first unit), its line in the file, its cells,
// and the path the destination pattern gives it.
struct Unit {
  uint64_t row = 0;
  uint32_t line = 0;
  std::vector<std::string> cells;
  std::string path;
};

// A unit table read row by row, its header set against the fields of a description: each
// column gives the value of the one field of its name, or only a part of the destination path.
// Every finding names the table as its file and the row's line.
class UnitRows {
 public:
  // Opens the table and reads its header; false with why.
  bool Open(const std::string& path, file::FileSystem& file_system, Finding* problem);
  // Whether the table is the file it was when opened, unchanged.
  bool Unchanged(file::FileSystem& file_system) const;
  const std::vector<std::string>& Header() const { return header_; }
  const std::string& Path() const { return path_; }
  const file::FileIdentity& Identity() const { return identity_; }

  // Makes each column a name to look for in the description.
  void WantColumns(NamedFields& fields) const;
  // After the description is read: ties each column to its field or to the pattern (null where
  // no path is formed). Appends why a column can do neither, or names a field held by two, or
  // one also in `set`, the fields --set gives (their indexes in fields).
  void Bind(const NamedFields& fields, const PathPattern* pattern, const std::vector<size_t>& set,
            std::vector<Finding>& findings);
  // The slot of the unit image each value column writes, in column order (kNone for path
  // columns).
  std::vector<size_t>& Slots() { return slots_; }

  // Reads the next unit. False at the end or, with the finding appended, where the table
  // cannot be read on (a broken quote, a failed read).
  bool Next(Unit& unit, std::vector<Finding>& findings);
  // Appends what refuses the unit: a row of the wrong length, a value its field would not
  // encode as it reads, a path cell that is no safe name; then forms its path. False if any.
  bool Check(Unit& unit, std::vector<Finding>& findings) const;
  // Writes the unit's values into the image (after Check found it good).
  void SetValues(const Unit& unit, UnitImage& image);

 private:
  Finding At(Code code, uint32_t line) const;

  std::string path_;
  std::unique_ptr<file::SourceFile> source_;
  file::FileIdentity identity_;
  std::unique_ptr<CsvRows> rows_;
  std::vector<std::string> header_;
  std::vector<std::string> subjects_;  // "column NAME"
  std::vector<const Field*> fields_;   // each column's field, or null
  std::vector<size_t> slots_;
  const PathPattern* pattern_ = nullptr;
  uint64_t row_ = 0;
  FieldBytes bytes_;
};

// The destinations of a table's units, to refuse one that two units share. Only a 64-bit hash
// of each path is kept, so a table of any length takes little memory.
class DestinationSet {
 public:
  // The line of the unit that has path already, or 0 (and path is taken for line).
  uint32_t Add(const std::string& path, uint32_t line);

 private:
  std::unordered_map<uint64_t, uint32_t> lines_;
};

}  // namespace pibgen
