#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/catalogue.h"

namespace pibgen {

// A destination pattern for a table of units: {NAME} stands for the row's cell in column NAME,
// {row} for the row's number (1 for the first unit), {{ and }} for one brace each.
class PathPattern {
 public:
  // Reads text; false with kPatternBrace in problem for a brace that is neither doubled nor
  // part of a placeholder.
  bool Parse(std::string_view text, Finding* problem);
  // Ties each {NAME} to its column in header; false with kPatternUnknown for a name that is
  // no column.
  bool Bind(std::span<const std::string> header, Finding* problem);

  bool HasPlaceholder() const;
  const std::string& Text() const { return text_; }
  // Whether the pattern uses the column at that index of the header (after Bind).
  bool Uses(size_t column) const;
  // The path of the row numbered row, with cells its cells in header order (after Bind).
  void Form(uint64_t row, std::span<const std::string> cells, std::string& path) const;

 private:
  enum class Kind { kText, kColumn, kRow };
  struct Part {
    Kind kind;
    std::string text;  // the literal text, or the column's name
    size_t column = 0;
  };
  std::vector<Part> parts_;
  std::string text_;
};

// Whether a cell may stand in a path: letters, digits, '.', '_' and '-' alone, and neither "."
// nor "..", so that it names one file in the folder the pattern gives and nothing else.
bool IsSafePathCell(std::string_view cell);

}  // namespace pibgen
