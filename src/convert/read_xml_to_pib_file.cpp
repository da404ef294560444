#include "convert/read_xml_to_pib_file.h"

#include <future>
#include <new>
#include <optional>
#include <system_error>

#include "convert/check_structure.h"
#include "convert/field_writer.h"
#include "convert/pib_image_file.h"
#include "convert/write_checksum_and_close.h"
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

// From this size on the two passes run side by side, the second holding its output until the
// first has found the description good; below it there is little to gain, and they run in turn.
constexpr uint64_t kSideBySide = uint64_t{8} << 20;

bool Convert(const std::string& source, const std::string& destination,
             file::FileSystem& file_system, TextSink& out, Stage* stage) {
  // The description is read twice, in pieces, and never held whole: once to check it, and
  // once to convert it. Both reads must meet the very same file.
  file::FileIdentity checked;
  file::FileIdentity reopened;
  std::unique_ptr<file::SourceFile> first = file_system.OpenSource(source, &checked);
  std::unique_ptr<file::SourceFile> second =
      first ? file_system.OpenSource(source, &reopened) : nullptr;
  if (!second || !(reopened == checked)) {
    out.Print("load xml file fail\n");
    return false;
  }

  // The first pass prints only when it refuses the description, and the second prints
  // nothing until the first has ended. A large description is checked on a second thread while
  // the conversion holds its output; a small one, or one no thread can be had for, first.
  DescriptionOutline outline;
  const auto run_check = [&] { return CheckStructure(*first, source, out, &outline); };
  std::future<bool> check;
  if (checked.size >= kSideBySide) {
    try {
      check = std::async(std::launch::async, run_check);
    } catch (const std::system_error&) {
    }
  }
  std::optional<bool> passed;
  if (!check.valid() && !*(passed = run_check())) return false;
  // Waits for the check; memory running out on its thread is a load failure like any other.
  const auto first_pass_passed = [&] {
    try {
      if (!passed) passed = check.get();
    } catch (const std::bad_alloc&) {
      out.Print("load xml file fail\n");
      passed = false;
    }
    return *passed;
  };

  PibImageFile image(file_system);
  FieldWriter writer(out, [&]() -> PibImageFile* {
    if (!first_pass_passed()) return nullptr;
    *stage = Stage::kCreating;
    // The trace must never share a file with the image, nor the image overwrite the
    // description.
    const file::FileIdentity keep[] = {checked, file_system.StandardOutput()};
    if (!image.Open(destination, keep)) {
      out.Print("create pib file fail\n");
      return nullptr;
    }
    *stage = Stage::kWriting;
    return &image;
  });
  if (!check.valid() && !writer.Release()) return false;

  const xml::ReadResult read = xml::ReadDescription(*second, writer);
  if (!first_pass_passed()) return false;  // it has said why
  if (writer.Holding() && read.ok() && !writer.Release()) return false;
  if (!writer.Holding() && !image.IsOpen()) return false;  // the image could not be opened
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
