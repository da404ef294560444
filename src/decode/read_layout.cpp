#include "decode/read_layout.h"

#include <memory>
#include <vector>

#include "check/describe_load_error.h"
#include "xml/dom_document.h"

// Serves the layout from the node table: the document is loaded whole, then walked and handed
// to the handler. The node table looks attributes up by name only, so a field's attributes
// reach the handler as its "name" alone.

namespace pibgen {
namespace {

void Replay(const xml::DomDocument& document, xml::DescriptionHandler& handler) {
  std::vector<xml::Attribute> attributes;
  const auto named = [&attributes](const xml::DomNode& node) {
    attributes.clear();
    if (const auto name = node.Attribute("name")) attributes.push_back({"name", *name});
    return std::span<const xml::Attribute>(attributes);
  };
  const xml::DomNode root = document.DocumentElement();
  if (!handler.Root(root.Name(), named(root), root.Line())) return;
  std::string scratch;
  const xml::DomNodeList fields = root.ChildNodes();
  for (size_t i = 0; i < fields.Length(); ++i) {
    const xml::DomNode field = fields.Item(i);
    const auto index = static_cast<uint32_t>(i + 1);
    if (!field.IsElement()) {
      if (!handler.OtherRootChild(index, field.Kind(), field.Line())) return;
      continue;
    }
    if (!handler.BeginField(index, field.Name(), named(field), field.Line())) return;
    const xml::DomNodeList children = field.ChildNodes();
    for (size_t j = 0; j < children.Length(); ++j) {
      const xml::DomNode child = children.Item(j);
      if (!handler.FieldChild(child.Kind(), child.Name(), child.TextView(scratch), child.Line())) {
        return;
      }
    }
    if (!handler.EndField()) return;
  }
}

}  // namespace

std::optional<LayoutRefusal> ReadLayout(const std::string& path, file::FileSystem& file_system,
                                        xml::DescriptionHandler& handler) {
  const std::unique_ptr<file::SourceFile> input = file_system.OpenSource(path, nullptr);
  if (!input) return LayoutRefusal{0, "cannot read the description"};
  xml::LoadError error;
  const std::unique_ptr<xml::DomDocument> document = xml::DomDocument::Load(
      [&input](char* buffer, size_t capacity) { return input->Read(buffer, capacity); }, &error);
  if (!document) return LayoutRefusal{error.line, DescribeLoadError(error)};
  Replay(*document, handler);
  return std::nullopt;
}

}  // namespace pibgen
