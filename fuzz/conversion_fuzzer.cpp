// Runs one whole conversion of the input, taken as a description, through the reader, the
// description walk and the image writer, with files held in memory, and checks what must hold
// for every input: the image is exactly as long as its fields, its checksum byte is right, every
// child of every field is traced once, and a failure says one thing and leaves no image behind.
// Each input that converts runs a second time with one file operation failing, picked by the
// input's bytes, and its image is read back with the input as layout: decoding gives a
// description that converts to the same image, verifying finds it matching, and one changed
// byte is reported in the field that holds it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <zlib.h>

#include "cli/run_modes.h"
#include "convert/read_xml_to_pib_file.h"
#include "decode/decode_image.h"
#include "engine/catalogue.h"
#include "engine/read_fields.h"
#include "file/failing_file_system.h"
#include "file/memory_file_system.h"
#include "format/text_sink.h"
#include "verify/verify_with_layout.h"

namespace {

// Images beyond this are not built in memory, whose files hold zero runs as bytes; the field
// reader still runs on their description. A conversion writes each field as it is read, so
// this counts the fields read before a refusal too.
constexpr uint64_t kLargestImage = uint64_t{4} << 20;

class PrintRecorder final : public pibgen::TextSink {
 public:
  void Print(std::string_view text) override { prints.emplace_back(text); }
  std::vector<std::string> prints;
};

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// A conversion as the command line runs it: on failure, its message follows the trace.
bool ConvertAndSay(const std::string& source, const std::string& destination,
                   pibgen::file::FileSystem& files, pibgen::TextSink& out) {
  const pibgen::ConversionOutcome outcome =
      pibgen::ReadXMLToPIBFile(source, destination, files, out);
  if (!outcome) out.Print(pibgen::ConversionMessage(outcome.failure, source));
  return static_cast<bool>(outcome);
}

bool IsFailureMessage(const std::string& text) {
  static const char* const kFixed[] = {"load xml file fail\n", "create pib file fail\n",
                                       "write pib file fail\n", "read pib file fail\n",
                                       "close pib file fail\n"};
  for (const char* fixed : kFixed) {
    if (text == fixed) return true;
  }
  // "in.xml:LINE: field N is ..., not an element" or "... has a negative size (S)", one line.
  return text.rfind("in.xml:", 0) == 0 && text.find('\n') == text.size() - 1 &&
         (text.find(", not an element\n") != std::string::npos ||
          text.find(" has a negative size (-") != std::string::npos);
}

// What a conversion of a description must do, gathered straight from the reader.
class Expectation final : public pibgen::FieldHandler {
 public:
  bool Child(const pibgen::Field&, std::string_view name, std::string_view text,
             uint32_t) override {
    trace.push_back(std::string(name) + "--" + std::string(text) + "\n");
    return true;
  }
  bool EndField(const pibgen::Field& field) override {
    length = field.offset + field.length;
    field_ends.push_back(length);
    return true;
  }
  bool Broken(const pibgen::Failure& rule) override {
    if (rule.kind == pibgen::FailureKind::kNegativeSize) any_negative = true;
    if (rule.kind == pibgen::FailureKind::kNotAnElement) all_elements = false;
    return true;
  }

  std::vector<std::string> trace;
  uint64_t length = 0;
  std::vector<uint64_t> field_ends;  // where each field ends, by its index from 1
  bool all_elements = true;
  bool any_negative = false;
};

std::string Joined(const std::vector<std::string>& prints) {
  std::string text;
  for (const std::string& print : prints) text += print;
  return text;
}

bool IsOneLine(const std::string& text) {
  return !text.empty() && text.find('\n') == text.size() - 1;
}

// Decoding image.bin with in.xml as layout either rebuilds it exactly or says why in one line.
// Returns whether it decoded.
bool DecodeRebuilds(pibgen::file::MemoryFileSystem& files) {
  PrintRecorder decoded;
  const bool ok =
      (pibgen::RunDecode("image.bin", "in.xml", pibgen::OutputFormat::kText, files, decoded) == 0);
  const std::string text = Joined(decoded.prints);
  if (!ok) {
    Require(IsOneLine(text), "a decode that fails must say why in one line");
    return false;
  }
  files.SetFile("decoded.xml", text);
  PrintRecorder trace;
  Require(ConvertAndSay("decoded.xml", "rebuilt.bin", files, trace),
          "a decoded description does not convert");
  Require(files.File("rebuilt.bin") == files.File("image.bin"),
          "a decoded description converts to another image");
  return true;
}

// Reads the image back with the description as layout; field_ends holds where each field
// ends, by its index from 1.
void CheckReadBack(const std::string& description, const std::string& image,
                   const std::vector<uint64_t>& field_ends) {
  pibgen::file::MemoryFileSystem files;
  files.SetFile("in.xml", description);
  files.SetFile("image.bin", image);
  Require(DecodeRebuilds(files), "the image of a description does not decode with it");
  PrintRecorder verified;
  Require(
      (pibgen::RunVerify("image.bin", "in.xml", pibgen::OutputFormat::kText, files, verified) == 0),
      "the image of a description does not verify against it");
  Require(Joined(verified.prints).rfind("image.bin: matches in.xml (", 0) == 0,
          "a matching image is not reported as matching");
  if (image.empty()) return;

  // One byte changed: the field that holds it differs, or, at offset 2, the checksum byte.
  const size_t position = std::hash<std::string>()(description) % image.size();
  std::string changed = image;
  changed[position] = static_cast<char>(changed[position] ^ (1 + position % 255));
  files.SetFile("image.bin", changed);
  PrintRecorder report;
  Require(
      !(pibgen::RunVerify("image.bin", "in.xml", pibgen::OutputFormat::kText, files, report) == 0),
      "an image with a changed byte verifies");
  const std::string text = Joined(report.prints);
  Require(IsOneLine(text), "one changed byte gives more or less than one line");
  if (position == 2) {
    Require(text.rfind("image.bin: checksum byte: image ", 0) == 0,
            "a changed checksum byte is not reported as such");
  } else {
    const size_t field = static_cast<size_t>(
        std::upper_bound(field_ends.begin(), field_ends.end(), position) - field_ends.begin() + 1);
    const std::string label = "image.bin: field " + std::to_string(field);
    Require(text.rfind(label + " (", 0) == 0 || text.rfind(label + " at offset ", 0) == 0,
            "a changed byte is reported in another field than the one that holds it");
  }
  DecodeRebuilds(files);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string description(reinterpret_cast<const char*>(data), size);

  // What the walk will see: each field's children, in order, and each field's length.
  Expectation expected;
  pibgen::file::MemoryFileSystem reading;
  reading.SetFile("in.xml", description);
  const bool loads = pibgen::ReadFields(*reading.OpenSource("in.xml", nullptr), expected).kind !=
                     pibgen::FailureKind::kLoad;
  const bool all_elements = expected.all_elements;
  const bool any_negative = expected.any_negative;
  const uint64_t expected_length = expected.length;
  const std::vector<std::string>& expected_trace = expected.trace;
  if (expected_length > kLargestImage) return 0;

  pibgen::file::MemoryFileSystem files;
  files.SetFile("in.xml", description);
  PrintRecorder out;
  pibgen::file::FailingFileSystem counting(files, 0);
  const bool converted = ConvertAndSay("in.xml", "out.bin", counting, out);

  Require(files.File("in.xml") == description, "the description was changed");
  if (!loads || !all_elements || any_negative) {
    Require(!converted, "a description that cannot be converted was converted");
    Require(out.prints.size() == 1 && IsFailureMessage(out.prints[0]),
            "a refused description must give exactly one failure message");
    Require(!files.HasFile("out.bin"), "the destination was touched for a refused description");
    return 0;
  }
  Require(converted, "a loadable description with element fields failed in memory");
  Require(Joined(out.prints) == Joined(expected_trace),
          "the trace is not one line per child node, in order");
  const std::string& image = files.File("out.bin");
  Require(image.size() == expected_length, "image length differs from the sum of field lengths");
  if (image.size() >= 3) {
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(image.data() + 3),
                            static_cast<uInt>(image.size() - 3));
    Require(static_cast<uint8_t>(image[2]) == static_cast<uint8_t>(crc >> 24),
            "byte 2 is not the top byte of the CRC-32 of bytes 3 to the end");
  }

  CheckReadBack(description, image, expected.field_ends);

  // Again, with one file operation failing: either the run does without it and gives the same
  // result, or it fails with one message and leaves the destination as it was.
  const uint64_t operations = counting.Operations();
  Require(operations >= 2, "a conversion reads the description and creates the image");
  const uint64_t fail_at = 1 + std::hash<std::string>()(description) % operations;
  pibgen::file::MemoryFileSystem retry_files;
  retry_files.SetFile("in.xml", description);
  retry_files.SetFile("out.bin", "keep");
  pibgen::file::FailingFileSystem failing(retry_files, fail_at);
  PrintRecorder retry_out;
  const bool retry_converted = ConvertAndSay("in.xml", "out.bin", failing, retry_out);
  Require(failing.HasFailed(), "the operation to fail was never reached");
  if (retry_converted) {
    Require(failing.FailedOperation() == pibgen::file::FileOperation::kCreateScratch &&
                Joined(retry_out.prints) == Joined(out.prints) &&
                retry_files.File("out.bin") == image,
            "a run that did without a failed operation differs from the full run");
    return 0;
  }
  Require(!retry_out.prints.empty(), "the failure was not reported");
  const std::string& message = retry_out.prints.back();
  Require(IsFailureMessage(message), "a failed file operation gave no failure message");
  const std::string said = Joined(retry_out.prints);
  Require(said == message || said == Joined(expected_trace) + message,
          "a failure comes before the trace or after all of it");
  Require(retry_files.File("out.bin") == "keep", "a failed conversion touched the destination");
  return 0;
}
