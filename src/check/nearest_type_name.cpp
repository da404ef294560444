#include "check/nearest_type_name.h"

#include <algorithm>
#include <vector>

#include "format/field_types.h"

namespace pibgen {
namespace {

constexpr size_t kMaxEdits = 2;

char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Edit distance between a and b with letter case folded.
size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      const size_t substitution = diagonal + (FoldCase(a[i - 1]) == FoldCase(b[j - 1]) ? 0 : 1);
      row[j] = std::min({above + 1, row[j - 1] + 1, substitution});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::optional<std::string_view> NearestTypeName(std::string_view type) {
  if (TypeNamed(type) != nullptr) return std::nullopt;
  std::optional<std::string_view> nearest;
  size_t best = kMaxEdits + 1;
  for (const FieldType& field_type : kFieldTypes) {
    const std::string_view known = field_type.name;
    // Lengths further apart than the edits allowed cannot match; this also keeps long text cheap.
    const size_t gap =
        type.size() > known.size() ? type.size() - known.size() : known.size() - type.size();
    if (gap > kMaxEdits) continue;
    const size_t distance = EditDistance(type, known);
    if (distance < best) {
      best = distance;
      nearest = known;
    }
  }
  return nearest;
}

}  // namespace pibgen
