#include "convert/check_structure.h"

#include <string_view>

#include "convert/child_name.h"
#include "convert/structure_rules.h"
#include "format/field_types.h"
#include "format/parse_decimal.h"
#include "xml/read_description.h"

namespace pibgen {
namespace {

// Keeps the first broken rule; only the last "type" and "size" children of a field count.
class StructureChecker final : public xml::DescriptionHandler {
 public:
  explicit StructureChecker(const std::string& path) : path_(path) {}

  bool Root(std::string_view, std::span<const xml::Attribute>, std::span<const xml::Namespace>,
            uint32_t) override {
    return true;
  }
  bool BeginField(uint32_t index, std::string_view, std::span<const xml::Attribute>,
                  std::span<const xml::Namespace>, uint32_t) override {
    index_ = index;
    type_.clear();
    size_ = 0;
    size_line_ = 0;
    return true;
  }
  bool FieldChild(xml::NodeKind, std::string_view name, std::string_view text,
                  uint32_t line) override {
    if (NameIs(name, "type")) {
      type_.assign(text);
    } else if (NameIs(name, "size")) {
      size_ = ParseDecimal(text);
      size_line_ = line;
    }
    return true;
  }
  bool EndField() override {
    ++fields_;
    if (problem_.empty() && HasNegativeSize(FieldEntry{type_, size_, ""})) {
      problem_ = Where(size_line_) + "field " + std::to_string(index_) + " has a negative size (" +
                 std::to_string(size_) + ")\n";
    }
    return true;
  }
  bool OtherRootChild(uint32_t index, xml::NodeKind kind, uint32_t line) override {
    if (problem_.empty()) problem_ = Where(line) + NotAnElement(index, kind) + "\n";
    return true;
  }

  const std::string& problem() const { return problem_; }
  uint32_t fields() const { return fields_; }

 private:
  std::string Where(uint32_t line) const { return path_ + ":" + std::to_string(line) + ": "; }

  const std::string& path_;
  std::string problem_;
  uint32_t fields_ = 0;
  uint32_t index_ = 0;
  std::string type_;
  int32_t size_ = 0;
  uint32_t size_line_ = 0;
};

}  // namespace

bool CheckStructure(file::SourceFile& source, const std::string& path, TextSink& out,
                    DescriptionOutline* outline) {
  StructureChecker checker(path);
  const xml::ReadResult read = xml::ReadDescription(source, checker);
  if (!read.ok()) {
    out.Print("load xml file fail\n");
    return false;
  }
  if (!checker.problem().empty()) {
    out.Print(checker.problem());
    return false;
  }
  outline->bytes = read.bytes;
  outline->fields = checker.fields();
  return true;
}

}  // namespace pibgen
