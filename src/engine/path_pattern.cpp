#include "engine/path_pattern.h"

#include <algorithm>

namespace pibgen {

bool PathPattern::Parse(std::string_view text, Finding* problem) {
  text_ = text;
  parts_.clear();
  std::string literal;
  bool good = true;
  for (size_t i = 0; i < text.size() && good; ++i) {
    const char c = text[i];
    if ((c == '{' || c == '}') && i + 1 < text.size() && text[i + 1] == c) {
      literal += c;
      ++i;
    } else if (c == '{') {
      const size_t end = text.find_first_of("{}", i + 1);
      good = end != std::string_view::npos && text[end] == '}' && end > i + 1;
      if (!good) break;
      if (!literal.empty()) parts_.push_back({Kind::kText, std::move(literal)});
      literal.clear();
      std::string name(text.substr(i + 1, end - i - 1));
      parts_.push_back({name == "row" ? Kind::kRow : Kind::kColumn, std::move(name)});
      i = end;
    } else {
      good = c != '}';
      literal += c;
    }
  }
  if (!literal.empty()) parts_.push_back({Kind::kText, std::move(literal)});
  if (good) return true;
  *problem = {};
  problem->code = Code::kPatternBrace;
  problem->values = {text_};
  return false;
}

bool PathPattern::Bind(std::span<const std::string> header, Finding* problem) {
  for (Part& part : parts_) {
    if (part.kind != Kind::kColumn) continue;
    const auto at = std::find(header.begin(), header.end(), part.text);
    if (at == header.end()) {
      *problem = {};
      problem->code = Code::kPatternUnknown;
      problem->values = {"{" + part.text + "}"};
      return false;
    }
    part.column = static_cast<size_t>(at - header.begin());
  }
  return true;
}

bool PathPattern::HasPlaceholder() const {
  return std::any_of(parts_.begin(), parts_.end(),
                     [](const Part& part) { return part.kind != Kind::kText; });
}

bool PathPattern::Uses(size_t column) const {
  return std::any_of(parts_.begin(), parts_.end(), [&](const Part& part) {
    return part.kind == Kind::kColumn && part.column == column;
  });
}

void PathPattern::Form(uint64_t row, std::span<const std::string> cells, std::string& path) const {
  path.clear();
  for (const Part& part : parts_) {
    switch (part.kind) {
      case Kind::kText:
        path += part.text;
        break;
      case Kind::kColumn:
        path += cells[part.column];
        break;
      case Kind::kRow:
        path += std::to_string(row);
        break;
    }
  }
}

bool IsSafePathCell(std::string_view cell) {
  if (cell.empty() || cell == "." || cell == "..") return false;
  return std::all_of(cell.begin(), cell.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
  });
}

}  // namespace pibgen
