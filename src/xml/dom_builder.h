#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "xml/dom_document.h"
#include "xml/libxml_sax_parser.h"

typedef struct _xmlParserCtxt xmlParserCtxt;

namespace pibgen::xml {

// Fills a DomDocument's node table from libxml2's SAX2 callbacks while the document is read
// in pieces: neither the document's bytes nor libxml2's tree of it is ever held whole.
class DomBuilder {
 public:
  static std::unique_ptr<DomDocument> Build(const DomDocument::ReadFunction& read, LoadError* error,
                                            Attributes attributes);

 private:
  DomBuilder();

  // Callbacks, reached through the parser context's private pointer.
  void StartElement(xmlParserCtxt* context, uint32_t name);
  void AddAttributes(xmlParserCtxt* context, int count, const unsigned char** attributes);
  void EndElement();
  void Characters(xmlParserCtxt* context, std::string_view text);
  void CharacterNode(xmlParserCtxt* context, NodeKind kind, uint32_t name, std::string_view data);

  bool AddNode(xmlParserCtxt* context, NodeKind kind, uint32_t name, uint32_t* index);
  void CloseOpenText();
  bool AppendChars(xmlParserCtxt* context, uint32_t node, std::string_view text);
  bool FoldText(uint32_t line);
  struct OpenElement;
  bool AddChild(uint32_t child);
  void ListChildren(const OpenElement& open);
  uint32_t InternName(std::string_view name);
  // The same for a name from the parser's dictionary, where equal names mostly share one
  // pointer: a small cache by pointer skips the hash lookup.
  uint32_t InternDictionaryName(const unsigned char* name);
  // Whether the table is still within what the input read so far allows. The limits only
  // grow as the parse goes on, so the last ones computed still hold.
  bool WithinBudget() {
    return (document_->chars_.size() + blank_.size() <= chars_limit_ &&
            document_->nodes_.size() <= nodes_limit_) ||
           CheckBudget();
  }
  bool CheckBudget();
  // Bytes of the document the parser has read so far.
  size_t ConsumedBytes() const;
  // Stops the parse for one of our own reasons.
  void Fail(xmlParserCtxt* context, LoadFailure failure = LoadFailure::kReader);

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

  struct CachedName {
    const unsigned char* key = nullptr;
    uint32_t id = 0;
  };

  std::unique_ptr<DomDocument> document_;
  xmlParserCtxt* main_context_ = nullptr;
  const uint64_t* bytes_read_ = nullptr;  // what the reader has taken from the source
  std::unordered_map<std::string, uint32_t> name_ids_;
  std::array<CachedName, 64> name_cache_{};
  // An element whose end has not come yet, and what is known of its children: a run of
  // consecutive indexes, or (listed) a list in pending_ from list_start on.
  struct OpenElement {
    uint32_t element;
    uint32_t run_first;
    uint32_t run_count;
    bool listed;
    bool folded;  // the element's record holds its text
    size_t list_start;
  };
  bool keep_attributes_ = true;
  bool failed_ = false;
  LoadFailure failure_ = LoadFailure::kReader;
  bool have_root_ = false;
  std::vector<OpenElement> open_;  // outermost first
  GrowingArray<uint32_t> pending_;
  // The text node still receiving characters, if any (its chars run to the end of chars_).
  bool text_open_ = false;
  uint32_t open_text_ = 0;
  // Text seen so far that is only white space, with the line it began on; it becomes the
  // start of a text node once visible text follows.
  bool blank_open_ = false;
  GrowingArray<char> blank_;
  uint32_t blank_line_ = 1;
  uint32_t blank_newlines_ = 0;
  // Bounds on the table below which WithinBudget need not look at the input again.
  size_t chars_limit_ = 0;
  size_t nodes_limit_ = 0;
};

}  // namespace pibgen::xml
