#include "cli/units_output.h"

#include <cstdio>

#include "cli/json_text.h"
#include "cli/process.h"
#include "engine/pib_image_file.h"
#include "format/hex.h"

namespace pibgen {
namespace {

// A progress line at most this often.
constexpr auto kProgressEvery = std::chrono::milliseconds(250);

// The text a held record publishes, into the manifest's image file.
class FileText final : public TextSink {
 public:
  explicit FileText(PibImageFile& file) : file_(file) {}
  void Print(std::string_view text) override {
    file_.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }

 private:
  PibImageFile& file_;
};

std::string ImageRecord(const WrittenImage& image) {
  std::string text = "{";
  AppendNumber(text, "row", image.row);
  AppendText(text, "path", image.path);
  AppendNumber(text, "bytes", image.bytes);
  if (image.has_checksum) {
    AppendText(text, "checksum", HexByte(image.checksum));
  } else {
    AppendNull(text, "checksum");
  }
  AppendText(text, "sha256", image.sha256);
  return text + "}\n";
}

// "FILE:LINE: MESSAGE" for a finding about the table, else the message alone.
std::string RefusalLine(const Finding& finding) {
  std::string text;
  if (!finding.file.empty()) {
    text.append(finding.file);
    if (finding.line > 0) text.append(":").append(std::to_string(finding.line));
    text.append(": ");
  }
  text.append(MessageText(finding)).append("\n");
  return text;
}

}  // namespace

UnitsPrinter::UnitsPrinter(const UnitsRequest& request, OutputFormat format, TextSink& out,
                           file::FileSystem& file_system, std::optional<std::string> manifest)
    : request_(request),
      json_(format == OutputFormat::kJson),
      out_(out),
      file_system_(file_system),
      manifest_(std::move(manifest)),
      progress_(StandardErrorIsTerminal()),
      start_(std::chrono::steady_clock::now()),
      shown_(start_) {
  if (manifest_) record_ = std::make_unique<HeldText>(file_system.CreateScratchFile());
}

void UnitsPrinter::Progress(bool last) {
  const auto now = std::chrono::steady_clock::now();
  if (!last && now - shown_ < kProgressEvery) return;
  shown_ = now;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  char line[96];
  std::snprintf(line, sizeof line, "\r%llu images, %.0f a second ",
                static_cast<unsigned long long>(written_),
                seconds > 0 ? static_cast<double>(written_) / seconds : 0.0);
  WriteStandardError(line);
  if (last) WriteStandardError("\n");
}

void UnitsPrinter::Written(const WrittenImage& image) {
  ++written_;
  if (json_ || record_) {
    const std::string record = ImageRecord(image);
    if (json_) out_.Print(record);
    if (record_) record_->Print(record);
  }
  if (!json_) {
    Finding line;
    line.code = Code::kImageWritten;
    line.values = {std::string(image.path), std::to_string(image.bytes),
                   image.has_checksum ? HexByte(image.checksum) : ""};
    out_.Print(MessageText(line) + "\n");
  }
  if (progress_) Progress(false);
}

bool UnitsPrinter::Finish(const UnitsOutcome& outcome) {
  if (progress_ && written_ > 0) Progress(true);
  bool good = outcome.Good();
  std::vector<Finding> messages = outcome.refusals;
  if (outcome.failure) {
    Finding unit;
    unit.code = Code::kUnitNotWritten;
    unit.values = {request_.table, std::to_string(outcome.line), outcome.path,
                   std::to_string(outcome.written)};
    messages.push_back(std::move(unit));
  }
  // A run refused before its first image leaves the manifest as it was, with the images.
  if (manifest_ && (good || outcome.failure)) {
    PibImageFile file(file_system_);
    FileText text(file);
    const bool written = file.Open(*manifest_, outcome.inputs) && !record_->Failed() &&
                         record_->Publish(text) && file.Close();
    if (!written) {
      Finding manifest;
      manifest.code = Code::kManifestNotWritten;
      manifest.values = {*manifest_};
      messages.push_back(std::move(manifest));
      good = false;
    }
  }
  if (json_) {
    for (const Finding& finding : messages) {
      std::string text;
      AppendFinding(text, finding, finding.file, MessageText(finding));
      out_.Print(text + "\n");
    }
    for (const Failure* failure : {&outcome.description, &outcome.failure}) {
      if (!*failure) continue;
      const Finding finding = FindingOf(*failure);
      std::string text;
      AppendFinding(text, finding, request_.description, OtherText(finding, request_.description));
      out_.Print(text + "\n");
    }
    return good;
  }
  if (outcome.description) out_.Print(ConversionMessage(outcome.description, request_.description));
  if (outcome.failure) out_.Print(ConversionMessage(outcome.failure, request_.description));
  for (const Finding& finding : messages) out_.Print(RefusalLine(finding));
  if (!good) {
    out_.Print(Line(Code::kConversionFailed));
    return false;
  }
  Finding count;
  count.code = Code::kImagesWritten;
  count.values = {std::to_string(outcome.written)};
  out_.Print(MessageText(count) + "\n");
  return true;
}

}  // namespace pibgen
