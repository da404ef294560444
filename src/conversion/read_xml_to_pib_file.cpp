#include "conversion/read_xml_to_pib_file.h"

#include <new>

#include "conversion/check_structure.h"
#include "conversion/collect_field_entry.h"
#include "conversion/image/pib_image_file.h"
#include "conversion/image/write_checksum_and_close.h"
#include "conversion/image/write_field.h"
#include "xml/dom_document.h"

namespace pibgen {
namespace {

const char* FaultMessage(ImageFault fault) {
  switch (fault) {
    case ImageFault::kRead:
      return "read pib file fail\n";
    case ImageFault::kClose:
      return "close pib file fail\n";
    case ImageFault::kWrite:
    case ImageFault::kNone:
      break;
  }
  return "write pib file fail\n";
}

// How far a conversion got, so running out of memory is reported as the step it stopped.
enum class Stage { kLoading, kCreating, kWriting };

bool Convert(const std::string& source, const std::string& destination,
             file::FileSystem& file_system, TextSink& out, Stage* stage) {
  file::FileIdentity source_identity;
  std::unique_ptr<xml::DomDocument> document;
  // The description is read in pieces straight into the node table, never held whole.
  if (std::unique_ptr<file::SourceFile> input = file_system.OpenSource(source, &source_identity)) {
    document = xml::DomDocument::Load(
        [&input](char* buffer, size_t capacity) { return input->Read(buffer, capacity); }, nullptr,
        xml::Attributes::kDrop);
  }
  if (!document) {
    out.Print("load xml file fail\n");
    return false;
  }

  if (!CheckStructure(*document, source, out)) return false;

  *stage = Stage::kCreating;
  PibImageFile image(file_system);
  // The trace must never share a file with the image, nor the image overwrite the description.
  const file::FileIdentity keep[] = {source_identity, file_system.StandardOutput()};
  if (!image.Open(destination, keep)) {
    out.Print("create pib file fail\n");
    return false;
  }
  *stage = Stage::kWriting;

  const xml::DomNodeList fields = document->DocumentElement().ChildNodes();
  FieldEntryCollector collector;
  for (size_t i = 0; i < fields.Length(); ++i) {
    WriteField(image, collector.Collect(fields.Item(i), &out));
  }

  if (!WriteChecksumAndClose(image)) {
    out.Print(FaultMessage(image.Fault()));
    image.Discard();
    return false;
  }
  return true;
}

}  // namespace

bool ReadXMLToPIBFile(const std::string& source, const std::string& destination,
                      file::FileSystem& file_system, TextSink& out) {
  Stage stage = Stage::kLoading;
  try {
    return Convert(source, destination, file_system, out, &stage);
  } catch (const std::bad_alloc&) {
    // Memory ran out: the image, if it was opened, has been emptied on the way out.
    switch (stage) {
      case Stage::kLoading:
        out.Print("load xml file fail\n");
        break;
      case Stage::kCreating:
        out.Print("create pib file fail\n");
        break;
      case Stage::kWriting:
        out.Print("write pib file fail\n");
        break;
    }
    return false;
  }
}

}  // namespace pibgen
