#include "engine/read_fields.h"

#include <cstring>
#include <memory>

#include "format/parse_decimal.h"

namespace pibgen {
namespace {

// Whether a child's name is exactly word (case matters). The length is known when this
// compiles, so the test is a few instructions: it runs for every child of every field.
template <size_t N>
bool NameIs(std::string_view name, const char (&word)[N]) {
  return name.size() == N - 1 && std::memcmp(name.data(), word, N - 1) == 0;
}

// Turns the reader's events into fields and applies the structure rules. Its storage is
// reused from field to field: a description of a million fields costs no allocation a field.
class FieldCollector final : public xml::DescriptionHandler {
 public:
  explicit FieldCollector(FieldHandler& handler) : handler_(handler) {}

  const Failure& broken() const { return broken_; }
  bool WantsAttributes() const override { return handler_.WantsAttributes(); }

  bool Root(std::string_view name, std::span<const xml::Attribute> attributes,
            std::span<const xml::Namespace> namespaces, uint32_t line) override {
    return handler_.Root(name, attributes, namespaces, line);
  }

  bool BeginField(uint32_t index, std::string_view element,
                  std::span<const xml::Attribute> attributes,
                  std::span<const xml::Namespace> namespaces, uint32_t line) override {
    field_.index = index;
    field_.line = line;
    field_.named = false;
    field_.name.clear();
    for (const xml::Attribute& attribute : attributes) {
      if (attribute.name == "name") {
        field_.named = true;
        field_.name.assign(attribute.value);
        break;
      }
    }
    field_.entry.type.clear();
    field_.entry.size = 0;
    field_.entry.value.clear();
    field_.size_text.clear();
    field_.type_line = field_.size_line = field_.value_line = 0;
    field_.offset = offset_;
    field_.length = 0;
    return handler_.BeginField(field_, element, attributes, namespaces);
  }

  bool FieldChild(xml::NodeKind, std::string_view name, std::string_view text,
                  uint32_t line) override {
    if (!handler_.Child(field_, name, text, line)) return false;
    if (NameIs(name, "type")) {
      field_.entry.type.assign(text);
      field_.type_line = line;
    } else if (NameIs(name, "size")) {
      field_.entry.size = ParseDecimal(text);
      field_.size_text.assign(text);
      field_.size_line = line;
    } else if (NameIs(name, "value")) {
      field_.entry.value.assign(text);
      field_.value_line = line;
    }
    return true;
  }

  bool EndField() override {
    field_.kind = KindOf(field_.entry.type);
    field_.length = FieldLength(field_.kind, field_.entry.size);
    if (HasNegativeSize(field_.kind, field_.entry.size)) {
      Failure rule;
      rule.kind = FailureKind::kNegativeSize;
      rule.line = field_.size_line;
      rule.field = field_.index;
      rule.size = field_.entry.size;
      rule.name = field_.name;
      rule.named = field_.named;
      if (!Break(rule)) return false;
    }
    const bool go_on = handler_.EndField(field_);
    offset_ += field_.length;
    return go_on;
  }

  bool OtherRootChild(uint32_t index, xml::NodeKind kind, uint32_t line) override {
    Failure rule;
    rule.kind = FailureKind::kNotAnElement;
    rule.line = line;
    rule.field = index;
    rule.node = kind;
    return Break(rule);
  }

 private:
  bool Break(const Failure& rule) {
    if (!broken_) broken_ = rule;
    return handler_.Broken(rule);
  }

  FieldHandler& handler_;
  Field field_;
  uint64_t offset_ = 0;
  Failure broken_;
};

}  // namespace

Failure ReadFields(file::SourceFile& source, FieldHandler& handler) {
  FieldCollector collector(handler);
  const xml::ReadResult read = xml::ReadDescription(source, collector);
  if (read.ok()) return collector.broken();
  if (read.failure == xml::ReadFailure::kStopped) {
    if (collector.broken()) return collector.broken();
    Failure stopped;
    stopped.kind = FailureKind::kStopped;
    return stopped;
  }
  Failure load;
  load.kind = FailureKind::kLoad;
  load.line = read.line;
  load.read = read.failure;
  load.entity = read.entity;
  return load;
}

Failure ReadFields(const std::string& path, file::FileSystem& file_system, FieldHandler& handler,
                   bool* changed) {
  const std::unique_ptr<file::SourceFile> source = file_system.OpenSource(path, nullptr);
  if (changed != nullptr) *changed = false;
  if (source) {
    const Failure failure = ReadFields(*source, handler);
    if (changed != nullptr) *changed = source->Changed();
    return failure;
  }
  Failure unreadable;
  unreadable.kind = FailureKind::kLoad;
  unreadable.read = xml::ReadFailure::kUnreadable;
  return unreadable;
}

}  // namespace pibgen
