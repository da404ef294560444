#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "xml/dom_document.h"

typedef struct _xmlParserCtxt xmlParserCtxt;

namespace pibgen::xml {

// Fills a DomDocument's node table from libxml2's SAX2 callbacks, so the document is never
// held twice (once as libxml2's tree, once as ours).
class DomBuilder {
 public:
  static std::unique_ptr<DomDocument> Build(std::string_view bytes, uint32_t* error_line = nullptr);

 private:
  explicit DomBuilder(size_t input_size);

  // Callbacks, reached through the parser context's private pointer.
  void StartElement(xmlParserCtxt* context, std::string_view qualified_name);
  void AddAttributes(xmlParserCtxt* context, int count, const unsigned char** attributes);
  void EndElement();
  void Characters(xmlParserCtxt* context, std::string_view text);
  void CharacterNode(xmlParserCtxt* context, NodeKind kind, uint32_t name, std::string_view data);

  uint32_t AddNode(xmlParserCtxt* context, NodeKind kind, uint32_t name);
  void CloseOpenText();
  uint32_t InternName(std::string_view name);
  bool WithinBudget();
  void Fail(xmlParserCtxt* context);

  static void OnStartElement(void* ctx, const unsigned char* localname, const unsigned char* prefix,
                             const unsigned char* uri, int namespace_count,
                             const unsigned char** namespaces, int attribute_count,
                             int defaulted_count, const unsigned char** attributes);
  static void OnEndElement(void* ctx, const unsigned char* localname, const unsigned char* prefix,
                           const unsigned char* uri);
  static void OnCharacters(void* ctx, const unsigned char* text, int length);
  static void OnCData(void* ctx, const unsigned char* text, int length);
  static void OnComment(void* ctx, const unsigned char* text);
  static void OnProcessingInstruction(void* ctx, const unsigned char* target,
                                      const unsigned char* data);

  std::unique_ptr<DomDocument> document_;
  size_t input_size_;
  xmlParserCtxt* main_context_ = nullptr;
  std::unordered_map<std::string, uint32_t> name_ids_;
  std::vector<uint32_t> current_element_;
  bool failed_ = false;
  bool have_root_ = false;
  // Children collected for each element still open, outermost first.
  std::vector<std::vector<uint32_t>> open_children_;
  size_t depth_ = 0;
  // The text node still receiving characters, if any (its chars run to the end of chars_).
  bool text_open_ = false;
  uint32_t open_text_ = 0;
};

}  // namespace pibgen::xml
