#include "conversion/read_xml_to_pib_file.h"

#include <new>

#include "conversion/check_structure.h"
#include "conversion/field_entry_collector.h"
#include "conversion/image/pib_image_file.h"
#include "conversion/image/write_checksum_and_close.h"
#include "conversion/image/write_field.h"
#include "conversion/structure_rules.h"
#include "xml/read_description.h"

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

// The conversion's second pass: the trace and the image, field by field. The first pass
// found nothing wrong with the description; anything it would have refused means the file
// changed in between, and stops the read.
class FieldWriter final : public xml::DescriptionHandler {
 public:
  FieldWriter(PibImageFile& image, TextSink& out) : image_(image), out_(out) {}

  bool Root(std::string_view, std::span<const xml::Attribute>, uint32_t) override { return true; }
  bool BeginField(uint32_t, std::string_view, std::span<const xml::Attribute>, uint32_t) override {
    collector_.Begin();
    return true;
  }
  bool FieldChild(xml::NodeKind, std::string_view name, std::string_view text, uint32_t) override {
    collector_.Add(name, text, &out_);
    return true;
  }
  bool EndField() override {
    const FieldEntry& entry = collector_.Entry();
    if (HasNegativeSize(entry.type, entry.size)) return false;
    WriteField(image_, entry);
    ++fields_;
    return true;
  }
  bool OtherRootChild(uint32_t, xml::NodeKind, uint32_t) override { return false; }

  uint32_t fields() const { return fields_; }

 private:
  PibImageFile& image_;
  TextSink& out_;
  FieldEntryCollector collector_;
  uint32_t fields_ = 0;
};

bool Convert(const std::string& source, const std::string& destination,
             file::FileSystem& file_system, TextSink& out, Stage* stage) {
  // The description is read twice, in pieces, and never held whole: once to check it, and
  // once to convert it.
  file::FileIdentity checked;
  std::unique_ptr<file::SourceFile> input = file_system.OpenSource(source, &checked);
  if (!input) {
    out.Print("load xml file fail\n");
    return false;
  }
  DescriptionOutline outline;
  if (!CheckStructure(*input, source, out, &outline)) return false;

  // The second read must meet the very file the first one checked.
  file::FileIdentity reopened;
  input = file_system.OpenSource(source, &reopened);
  if (!input || !(reopened == checked)) {
    out.Print("load xml file fail\n");
    return false;
  }

  *stage = Stage::kCreating;
  PibImageFile image(file_system);
  // The trace must never share a file with the image, nor the image overwrite the description.
  const file::FileIdentity keep[] = {checked, file_system.StandardOutput()};
  if (!image.Open(destination, keep)) {
    out.Print("create pib file fail\n");
    return false;
  }
  *stage = Stage::kWriting;

  FieldWriter writer(image, out);
  const xml::ReadResult read = xml::ReadDescription(*input, writer);
  // A file rewritten while the second pass read it gets a new change time: the image is only
  // good if the file is still the one the first pass checked.
  file::FileIdentity after;
  if (!read.ok() || read.bytes != outline.bytes || writer.fields() != outline.fields ||
      !file_system.OpenSource(source, &after) || !(after == checked)) {
    out.Print("load xml file fail\n");
    image.Discard();
    return false;
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
