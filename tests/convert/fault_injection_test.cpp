// Fails each file operation of a whole run in turn, from the first until the run gets through,
// and checks every failure: status 1, one message naming the step that failed, then the fatal
// line, and the destination as it was, with nothing left beside it. Only a destination written
// in place may be left empty, by a failure once it is being written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/run_pibgen.h"
#include "file/failing_file_system.h"
#include "file/memory_file_system.h"
#include "file/native_file_system.h"
#include "scratch_directory.h"
#include "text_capture.h"

namespace pibgen {
namespace {

constexpr std::string_view kFatal = "Fatal Error: ReadXMLToPIBFile failed \n";
constexpr const char* kUntouched = "keep me";

// Where the files of one run live: in memory, or in a fresh folder on disk (with its own folder
// for scratch files).
class Backend {
 public:
  virtual ~Backend() = default;
  virtual file::FileSystem& Files() = 0;
  virtual std::string Path(const std::string& name) const = 0;
  virtual void Put(const std::string& name, const std::string& contents) = 0;
  virtual std::string Get(const std::string& name) = 0;
  // What else is there besides the description and the image; empty if nothing.
  virtual std::string Leftovers() { return ""; }
  virtual bool InPlace() const { return false; }
};

class MemoryBackend final : public Backend {
 public:
  explicit MemoryBackend(bool in_place) : in_place_(in_place) {
    if (in_place) files_.MarkInPlace("image.bin");
  }
  file::FileSystem& Files() override { return files_; }
  std::string Path(const std::string& name) const override { return name; }
  void Put(const std::string& name, const std::string& contents) override {
    files_.SetFile(name, contents);
  }
  std::string Get(const std::string& name) override { return files_.File(name); }
  bool InPlace() const override { return in_place_; }

 private:
  file::MemoryFileSystem files_;
  bool in_place_;
};

class DiskBackend final : public Backend {
 public:
  DiskBackend() {
    std::filesystem::create_directory(scratch_.Path("tmp"));
    testing::UseTemporaryFolder(scratch_.Path("tmp"));
  }
  ~DiskBackend() override { testing::UseTemporaryFolder(""); }
  file::FileSystem& Files() override { return files_; }
  std::string Path(const std::string& name) const override { return scratch_.Path(name); }
  void Put(const std::string& name, const std::string& contents) override {
    testing::ScratchDirectory::Put(Path(name), contents);
  }
  std::string Get(const std::string& name) override {
    return testing::ScratchDirectory::Get(Path(name));
  }
  std::string Leftovers() override {
    const std::string names = scratch_.Names();
    return names == "fields.xml image.bin tmp" && std::filesystem::is_empty(Path("tmp")) ? ""
                                                                                         : names;
  }

 private:
  testing::ScratchDirectory scratch_{"fault-test"};
  file::NativeFileSystem files_;
};

// The messages a failing operation may give. Creating a scratch file fails the image that needs
// one, or the trace once it outgrows memory, or nothing at all when neither does.
std::vector<std::string> ExpectedMessages(file::FileOperation operation) {
  switch (operation) {
    case file::FileOperation::kOpenSource:
    case file::FileOperation::kReadSource:
    case file::FileOperation::kCheckSource:
      return {"load xml file fail\n"};
    case file::FileOperation::kOpenDestination:
    case file::FileOperation::kOpenInPlace:
      return {"create pib file fail\n"};
    case file::FileOperation::kCreateScratch:
      return {"create pib file fail\n", "write pib file fail\n"};
    case file::FileOperation::kWrite:
    case file::FileOperation::kWriteAt:
      return {"write pib file fail\n"};
    case file::FileOperation::kLength:
    case file::FileOperation::kSeek:
    case file::FileOperation::kFindData:
    case file::FileOperation::kRead:
      return {"read pib file fail\n"};
    case file::FileOperation::kClose:
    case file::FileOperation::kReplace:
      return {"close pib file fail\n"};
  }
  return {};
}

enum class Where { kMemory, kMemoryInPlace, kDisk };

struct FaultCase {
  const char* name;
  std::string description;
  Where where;
};

class FaultInjectionTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultInjectionTest, EveryFailingOperationIsReportedAndLeavesTheOldImage) {
  const FaultCase& c = GetParam();
  // One place for every run, so the paths in the trace are the same each time.
  std::unique_ptr<Backend> backend;
  if (c.where == Where::kDisk) {
    backend = std::make_unique<DiskBackend>();
  } else {
    backend = std::make_unique<MemoryBackend>(c.where == Where::kMemoryInPlace);
  }
  const std::string source = "-S" + backend->Path("fields.xml");
  const std::string destination = "-D" + backend->Path("image.bin");
  const char* arguments[] = {"pibgen", source.c_str(), destination.c_str()};

  // A run with nothing failing, to learn its output and image.
  std::string full_output;
  std::string full_image;
  {
    backend->Put("fields.xml", c.description);
    backend->Put("image.bin", kUntouched);
    file::FailingFileSystem files(backend->Files(), 0);
    testing::TextCapture out;
    ASSERT_EQ(RunPibgen(3, arguments, files, out), 0) << out.Text();
    full_output = out.Text();
    full_image = backend->Get("image.bin");
  }

  std::set<file::FileOperation> failed;
  uint64_t fail_at = 1;
  for (;; ++fail_at) {
    SCOPED_TRACE("failing operation " + std::to_string(fail_at));
    backend->Put("fields.xml", c.description);
    backend->Put("image.bin", kUntouched);
    file::FailingFileSystem files(backend->Files(), fail_at);
    testing::TextCapture out;
    const int status = RunPibgen(3, arguments, files, out);
    EXPECT_EQ(backend->Leftovers(), "");
    EXPECT_EQ(backend->Get("fields.xml"), c.description);
    if (!files.HasFailed()) {
      EXPECT_EQ(status, 0);
      EXPECT_EQ(out.Text(), full_output);
      EXPECT_TRUE(backend->Get("image.bin") == full_image);
      break;
    }
    failed.insert(files.FailedOperation());
    if (status == 0) {
      // A failure the run could do without: the full result all the same.
      EXPECT_EQ(files.FailedOperation(), file::FileOperation::kCreateScratch);
      EXPECT_EQ(out.Text(), full_output);
      EXPECT_TRUE(backend->Get("image.bin") == full_image);
      continue;
    }
    EXPECT_EQ(status, 1);
    const std::string& text = out.Text();
    ASSERT_GT(text.size(), kFatal.size() + 1) << text.substr(0, 200);
    EXPECT_EQ(text.substr(text.size() - kFatal.size()), kFatal);
    const std::string rest = text.substr(0, text.size() - kFatal.size());
    const size_t message_start = rest.rfind('\n', rest.size() - 2) + 1;  // 0 if none before
    const std::string message = rest.substr(message_start);
    const std::vector<std::string> expected = ExpectedMessages(files.FailedOperation());
    EXPECT_NE(std::find(expected.begin(), expected.end(), message), expected.end())
        << message.substr(0, 200);
    // What came before the message is the start of the full run's trace, nothing else; a trace
    // cut short is ended with a line feed of its own.
    std::string before = text.substr(0, message_start);
    if (full_output.compare(0, before.size(), before) != 0) before.pop_back();
    EXPECT_TRUE(full_output.compare(0, before.size(), before) == 0) << before.substr(0, 200);
    const std::string image = backend->Get("image.bin");
    if (backend->InPlace()) {
      EXPECT_TRUE(image == kUntouched || image.empty()) << image;
    } else {
      EXPECT_EQ(image, kUntouched) << "a failed conversion must leave the old image";
    }
  }
  EXPECT_GE(fail_at, 4u) << "the run should take several file operations";
  EXPECT_TRUE(failed.count(file::FileOperation::kReadSource))
      << "no read of the description failed";
  EXPECT_TRUE(failed.count(file::FileOperation::kCheckSource));
  EXPECT_TRUE(failed.count(backend->InPlace() ? file::FileOperation::kOpenInPlace
                                              : file::FileOperation::kReplace));
}

std::string ByteArrayOfHexLength(size_t bytes) {
  std::string value;
  value.reserve(2 * bytes);
  for (size_t i = 0; i < bytes; ++i) value += "5a";
  return "<pib><f><type>System.Byte[]</type><size>" + std::to_string(bytes) + "</size><value>" +
         value + "</value></f></pib>";
}

const std::string kWorked =
    "<pib><f><type>System.UInt16</type><value>1</value></f>"
    "<f><type>System.Byte</type><value>2</value></f>"
    "<f><type>System.Byte[]</type><size>3</size><value>616263</value></f></pib>";
const std::string kTwoBytes = "<pib><f><type>System.UInt16</type><value>513</value></f></pib>";
const std::string kEmpty = "<pib/>";
// Zero runs long enough to become holes on disk, between and after data.
const std::string kZeroRuns =
    "<pib><f><type>System.UInt32</type><value>-1</value></f><f><size>3000000</size></f>"
    "<f><type>System.Byte[]</type><size>5000000</size><value>ab</value></f></pib>";

INSTANTIATE_TEST_SUITE_P(
    Cases, FaultInjectionTest,
    ::testing::Values(
        FaultCase{"worked_in_memory", kWorked, Where::kMemory},
        FaultCase{"worked_in_place", kWorked, Where::kMemoryInPlace},
        FaultCase{"worked_on_disk", kWorked, Where::kDisk},
        FaultCase{"two_bytes_on_disk", kTwoBytes, Where::kDisk},
        FaultCase{"empty_on_disk", kEmpty, Where::kDisk},
        // A trace longer than is held in memory, and an image of several blocks.
        FaultCase{"several_blocks_in_place", ByteArrayOfHexLength(200000), Where::kMemoryInPlace},
        FaultCase{"several_blocks_on_disk", ByteArrayOfHexLength(200000), Where::kDisk},
        FaultCase{"zero_runs_in_place", kZeroRuns, Where::kMemoryInPlace},
        FaultCase{"zero_runs_on_disk", kZeroRuns, Where::kDisk}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pibgen
