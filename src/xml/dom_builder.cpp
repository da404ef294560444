#include "xml/dom_builder.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace pibgen::xml {
namespace {

constexpr uint32_t kTextName = 0;
constexpr uint32_t kCDataName = 1;
constexpr uint32_t kCommentName = 2;

// Entity expansion may add this much beyond what the input itself holds; past it the
// document counts as an expansion bomb and the load fails.
constexpr size_t kExpansionAllowance = size_t{16} << 20;
constexpr size_t kNodeAllowance = size_t{1} << 20;

// The builder of the parse in progress. The external entity loader has no user pointer of
// its own, and one process converts one description at a time.
thread_local bool external_access_attempted = false;

xmlParserInputPtr RefuseExternalEntity(const char*, const char*, xmlParserCtxtPtr) {
  external_access_attempted = true;
  return nullptr;
}

void IgnoreStructuredError(void*, xmlErrorPtr) {}
void IgnoreGenericError(void*, const char*, ...) {}

void SilenceLibxml() {
  static const bool done = [] {
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
    xmlSetStructuredErrorFunc(nullptr, IgnoreStructuredError);
    xmlSetExternalEntityLoader(RefuseExternalEntity);
    return true;
  }();
  (void)done;
}

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view View(const unsigned char* text) {
  return text == nullptr ? std::string_view()
                         : std::string_view(reinterpret_cast<const char*>(text));
}

DomBuilder* BuilderOf(void* ctx) {
  return static_cast<DomBuilder*>(static_cast<xmlParserCtxt*>(ctx)->_private);
}

uint32_t CurrentLine(xmlParserCtxt* context) {
  if (context->input == nullptr || context->input->line < 1) return 1;
  return static_cast<uint32_t>(context->input->line);
}

}  // namespace

DomBuilder::DomBuilder(size_t input_size) : document_(new DomDocument()), input_size_(input_size) {
  document_->names_ = {"#text", "#cdata-section", "#comment"};
  // The document itself is node 0; the root element becomes its only child.
  document_->nodes_.push_back({NodeKind::kElement, 1, kTextName, 0, 0, 0, 0});
  open_children_.emplace_back();
}

std::unique_ptr<DomDocument> DomBuilder::Build(std::string_view bytes) {
  SilenceLibxml();
  if (bytes.size() > static_cast<size_t>(INT_MAX)) return nullptr;

  xmlSAXHandler handler;
  std::memset(&handler, 0, sizeof handler);
  xmlSAXVersion(&handler, 2);  // keeps libxml2's own handling of the DTD and entities
  handler.startElementNs = OnStartElement;
  handler.endElementNs = OnEndElement;
  handler.characters = OnCharacters;
  handler.ignorableWhitespace = OnCharacters;
  handler.cdataBlock = OnCData;
  handler.comment = OnComment;
  handler.processingInstruction = OnProcessingInstruction;
  handler.warning = IgnoreGenericError;
  handler.error = IgnoreGenericError;
  handler.fatalError = IgnoreGenericError;
  handler.serror = IgnoreStructuredError;

  DomBuilder builder(bytes.size());
  xmlParserCtxtPtr context =
      xmlCreateMemoryParserCtxt(bytes.data(), static_cast<int>(bytes.size()));
  if (context == nullptr) return nullptr;
  xmlSAXHandlerPtr original = context->sax;
  context->sax = &handler;
  builder.main_context_ = context;
  context->_private = &builder;
  // Entities are replaced by their text, as a reader of the description expects; external
  // ones go to the refusing loader above, and network access is off in any case.
  xmlCtxtUseOptions(context,
                    XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  external_access_attempted = false;

  xmlParseDocument(context);
  builder.CloseOpenText();
  const bool ok = context->wellFormed && !builder.failed_ && !external_access_attempted &&
                  builder.have_root_ && builder.depth_ == 0;

  context->sax = original;
  if (context->myDoc != nullptr) {
    xmlFreeDoc(context->myDoc);
    context->myDoc = nullptr;
  }
  xmlFreeParserCtxt(context);
  if (!ok) return nullptr;

  DomDocument& document = *builder.document_;
  document.nodes_[0].first_child = static_cast<uint32_t>(document.child_ids_.size());
  document.nodes_[0].child_count = 1;
  document.child_ids_.push_back(document.root_);
  return std::move(builder.document_);
}

uint32_t DomBuilder::InternName(std::string_view name) {
  auto found = name_ids_.find(std::string(name));
  if (found != name_ids_.end()) return found->second;
  const auto id = static_cast<uint32_t>(document_->names_.size());
  document_->names_.emplace_back(name);
  name_ids_.emplace(std::string(name), id);
  return id;
}

// Measured against the whole input, not the parser's position: inside one long run of text
// the parser reports characters well ahead of where its input pointer says it is.
bool DomBuilder::WithinBudget() {
  return document_->chars_.size() <= input_size_ + kExpansionAllowance &&
         document_->nodes_.size() <= input_size_ / 2 + kNodeAllowance;
}

void DomBuilder::Fail(xmlParserCtxt* context) {
  failed_ = true;
  xmlStopParser(context);
  if (context != main_context_) xmlStopParser(main_context_);
}

uint32_t DomBuilder::AddNode(xmlParserCtxt* context, NodeKind kind, uint32_t name) {
  auto& nodes = document_->nodes_;
  const auto index = static_cast<uint32_t>(nodes.size());
  nodes.push_back({kind, CurrentLine(context), name, 0, document_->chars_.size(), 0, 0});
  open_children_[depth_].push_back(index);
  return index;
}

void DomBuilder::CloseOpenText() {
  if (!text_open_) return;
  text_open_ = false;
  auto& record = document_->nodes_[open_text_];
  std::string_view data(document_->chars_.data() + record.data_offset, record.data_length);
  const auto first_visible = std::find_if_not(data.begin(), data.end(), IsXmlSpace);
  if (first_visible != data.end()) {
    // Report the line the text is seen on, not the line break before it.
    record.line += static_cast<uint32_t>(std::count(data.begin(), first_visible, '\n'));
    return;
  }
  // White space between elements forms no node. The open text node is always the newest
  // node and its characters the newest characters, so dropping it is a truncation.
  document_->chars_.resize(record.data_offset);
  document_->nodes_.pop_back();
  open_children_[depth_].pop_back();
}

void DomBuilder::StartElement(xmlParserCtxt* context, std::string_view qualified_name) {
  CloseOpenText();
  if (depth_ == 0 && have_root_) return Fail(context);
  const uint32_t index = AddNode(context, NodeKind::kElement, InternName(qualified_name));
  if (depth_ == 0) {
    have_root_ = true;
    document_->root_ = index;
  }
  ++depth_;
  if (open_children_.size() <= depth_) open_children_.emplace_back();
  open_children_[depth_].clear();
  current_element_.push_back(index);
  if (!WithinBudget()) Fail(context);
}

void DomBuilder::EndElement() {
  CloseOpenText();
  if (depth_ == 0 || current_element_.empty()) return;
  auto& children = open_children_[depth_];
  auto& record = document_->nodes_[current_element_.back()];
  record.first_child = static_cast<uint32_t>(document_->child_ids_.size());
  record.child_count = static_cast<uint32_t>(children.size());
  document_->child_ids_.insert(document_->child_ids_.end(), children.begin(), children.end());
  children.clear();
  current_element_.pop_back();
  --depth_;
}

void DomBuilder::Characters(xmlParserCtxt* context, std::string_view text) {
  if (depth_ == 0) return;  // white space around the root element
  if (!text_open_) {
    open_text_ = AddNode(context, NodeKind::kText, kTextName);
    text_open_ = true;
    // The parser reports a chunk once it has read it; the node starts where the chunk began.
    auto& record = document_->nodes_[open_text_];
    const auto newlines = static_cast<uint32_t>(std::count(text.begin(), text.end(), '\n'));
    record.line = record.line > newlines ? record.line - newlines : 1;
  }
  document_->chars_.append(text);
  document_->nodes_[open_text_].data_length += static_cast<uint32_t>(text.size());
  if (!WithinBudget()) Fail(context);
}

void DomBuilder::CharacterNode(xmlParserCtxt* context, NodeKind kind, uint32_t name,
                               std::string_view data) {
  CloseOpenText();
  if (depth_ == 0) return;  // comments and processing instructions outside the root element
  const uint32_t index = AddNode(context, kind, name);
  document_->chars_.append(data);
  document_->nodes_[index].data_length = static_cast<uint32_t>(data.size());
  if (!WithinBudget()) Fail(context);
}

// The callbacks below run inside libxml2, which a C++ exception must not unwind through: it
// would leak the parser. Running out of memory there fails the load instead.

void DomBuilder::OnStartElement(void* ctx, const unsigned char* localname,
                                const unsigned char* prefix, const unsigned char*, int,
                                const unsigned char**, int, int, const unsigned char**) {
  DomBuilder* builder = BuilderOf(ctx);
  if (builder->failed_) return;
  auto* context = static_cast<xmlParserCtxt*>(ctx);
  try {
    if (prefix == nullptr) return builder->StartElement(context, View(localname));
    std::string qualified(View(prefix));
    qualified += ':';
    qualified += View(localname);
    builder->StartElement(context, qualified);
  } catch (const std::bad_alloc&) {
    builder->Fail(context);
  }
}

void DomBuilder::OnEndElement(void* ctx, const unsigned char*, const unsigned char*,
                              const unsigned char*) {
  DomBuilder* builder = BuilderOf(ctx);
  if (builder->failed_) return;
  try {
    builder->EndElement();
  } catch (const std::bad_alloc&) {
    builder->Fail(static_cast<xmlParserCtxt*>(ctx));
  }
}

void DomBuilder::OnCharacters(void* ctx, const unsigned char* text, int length) {
  DomBuilder* builder = BuilderOf(ctx);
  if (builder->failed_ || length <= 0) return;
  try {
    builder->Characters(
        static_cast<xmlParserCtxt*>(ctx),
        std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length)));
  } catch (const std::bad_alloc&) {
    builder->Fail(static_cast<xmlParserCtxt*>(ctx));
  }
}

void DomBuilder::OnCData(void* ctx, const unsigned char* text, int length) {
  DomBuilder* builder = BuilderOf(ctx);
  if (builder->failed_ || length < 0) return;
  try {
    builder->CharacterNode(
        static_cast<xmlParserCtxt*>(ctx), NodeKind::kCData, kCDataName,
        std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length)));
  } catch (const std::bad_alloc&) {
    builder->Fail(static_cast<xmlParserCtxt*>(ctx));
  }
}

void DomBuilder::OnComment(void* ctx, const unsigned char* text) {
  DomBuilder* builder = BuilderOf(ctx);
  if (builder->failed_) return;
  try {
    builder->CharacterNode(static_cast<xmlParserCtxt*>(ctx), NodeKind::kComment, kCommentName,
                           View(text));
  } catch (const std::bad_alloc&) {
    builder->Fail(static_cast<xmlParserCtxt*>(ctx));
  }
}

void DomBuilder::OnProcessingInstruction(void* ctx, const unsigned char* target,
                                         const unsigned char* data) {
  DomBuilder* builder = BuilderOf(ctx);
  if (builder->failed_) return;
  try {
    builder->CharacterNode(static_cast<xmlParserCtxt*>(ctx), NodeKind::kProcessingInstruction,
                           builder->InternName(View(target)), View(data));
  } catch (const std::bad_alloc&) {
    builder->Fail(static_cast<xmlParserCtxt*>(ctx));
  }
}

}  // namespace pibgen::xml
