#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/failure.h"
#include "file/file_system.h"
#include "format/field_entry.h"
#include "format/field_types.h"
#include "xml/read_description.h"

namespace pibgen {

// One field of a description as it is collected: from the children named exactly "type",
// "size" and "value" (by name alone, whatever kind of node), the last of each winning; every
// other child is only seen, never collected.
struct Field {
  uint32_t index = 0;  // the root's children counted from 1
  uint32_t line = 0;   // the field element's line
  std::string name;    // its "name" attribute, when named
  bool named = false;
  FieldEntry entry;
  FieldKind kind = FieldKind::kFill;  // of entry.type, once the field has ended
  std::string size_text;              // the text of the size child that counts
  // Lines of the type, size and value children that count; 0 for one not (yet) seen.
  uint32_t type_line = 0;
  uint32_t size_line = 0;
  uint32_t value_line = 0;
  uint64_t offset = 0;  // where the field starts in the image
  uint64_t length = 0;  // FieldLength(entry), once the field has ended
};

// Receives a description field by field. Each call returns false to stop the read. Views
// and the field are valid only during the call that passes them.
class FieldHandler {
 public:
  virtual ~FieldHandler() = default;
  virtual bool Root(std::string_view /*name*/, std::span<const xml::Attribute> /*attributes*/,
                    std::span<const xml::Namespace> /*namespaces*/, uint32_t /*line*/) {
    return true;
  }
  // A field begins: field holds its index, line and name; its element's name and attributes
  // come with it.
  virtual bool BeginField(const Field& /*field*/, std::string_view /*element*/,
                          std::span<const xml::Attribute> /*attributes*/,
                          std::span<const xml::Namespace> /*namespaces*/) {
    return true;
  }
  // Each child of the field, before it is collected (field shows what came before it).
  virtual bool Child(const Field& /*field*/, std::string_view /*name*/, std::string_view /*text*/,
                     uint32_t /*line*/) {
    return true;
  }
  // The field, once all its children are collected.
  virtual bool EndField(const Field& field) = 0;
  // A broken structure rule, which no conversion gets past: a child of the root that is not an
  // element (no field comes of it), or a field of negative size (its EndField follows if the
  // read goes on).
  virtual bool Broken(const Failure& rule) = 0;
  // Whether fields are to be named (by their "name" attribute, as messages name them), and Root
  // and BeginField given the attributes and namespaces; without, a large description reads
  // faster.
  virtual bool WantsAttributes() const { return true; }
};

// Reads the description from source and hands it to handler. Returns what makes it unusable:
// a failed load, whatever came before it; else the first broken rule; else kStopped if the
// handler stopped the read for reasons of its own; else no failure.
Failure ReadFields(file::SourceFile& source, FieldHandler& handler);
// The same for the description at path; one that cannot be opened is a failed load. When
// changed is not null it tells whether the file was written to while it was read, so that what
// was read may be part old, part new: its size or times differ from when it was opened.
Failure ReadFields(const std::string& path, file::FileSystem& file_system, FieldHandler& handler,
                   bool* changed = nullptr);

}  // namespace pibgen
