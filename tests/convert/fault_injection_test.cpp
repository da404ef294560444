// Fails each file operation of a whole run in turn, from the first until the run gets through,
// and checks every failure: status 1, one message naming the step that failed, then the fatal
// line, and a destination that is either untouched or empty, never a half-made image.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "cli/run_pibgen.h"
#include "file/failing_file_system.h"
#include "file/memory_file_system.h"
#include "file/posix_file_system.h"
#include "scratch_directory.h"
#include "text_capture.h"

namespace pibgen {
namespace {

constexpr const char* kFatal = "Fatal Error: ReadXMLToPIBFile failed \n";
constexpr const char* kUntouched = "keep me";

// Where the files of one run live: in memory, or in a fresh folder on disk.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual file::FileSystem& Files() = 0;
  virtual std::string Path(const std::string& name) const = 0;
  virtual void Put(const std::string& name, const std::string& contents) = 0;
  virtual std::string Get(const std::string& name) = 0;
};

class MemoryBackend final : public Backend {
 public:
  file::FileSystem& Files() override { return files_; }
  std::string Path(const std::string& name) const override { return name; }
  void Put(const std::string& name, const std::string& contents) override {
    files_.SetFile(name, contents);
  }
  std::string Get(const std::string& name) override { return files_.File(name); }

 private:
  file::MemoryFileSystem files_;
};

class DiskBackend final : public Backend {
 public:
  file::FileSystem& Files() override { return files_; }
  std::string Path(const std::string& name) const override { return scratch_.Path(name); }
  void Put(const std::string& name, const std::string& contents) override {
    testing::ScratchDirectory::Put(Path(name), contents);
  }
  std::string Get(const std::string& name) override {
    return testing::ScratchDirectory::Get(Path(name));
  }

 private:
  testing::ScratchDirectory scratch_{"fault-test"};
  file::PosixFileSystem files_;
};

const char* ExpectedMessage(file::FileOperation operation) {
  switch (operation) {
    case file::FileOperation::kOpenSource:
    case file::FileOperation::kReadSource:
      return "load xml file fail\n";
    case file::FileOperation::kCreateImage:
      return "create pib file fail\n";
    case file::FileOperation::kWrite:
    case file::FileOperation::kFlush:
      return "write pib file fail\n";
    case file::FileOperation::kLength:
    case file::FileOperation::kSeek:
    case file::FileOperation::kFindData:
    case file::FileOperation::kRead:
      return "read pib file fail\n";
    case file::FileOperation::kClose:
      return "close pib file fail\n";
  }
  return "";
}

struct FaultCase {
  const char* name;
  std::string description;
  bool on_disk;
};

class FaultInjectionTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultInjectionTest, EveryFailingOperationIsReportedAndLeavesNoImage) {
  const FaultCase& c = GetParam();
  // One place for every run, so the paths in the trace are the same each time.
  std::unique_ptr<Backend> backend;
  if (c.on_disk) {
    backend = std::make_unique<DiskBackend>();
  } else {
    backend = std::make_unique<MemoryBackend>();
  }
  const std::string source = "-S" + backend->Path("fields.xml");
  const std::string destination = "-D" + backend->Path("image.bin");
  const char* arguments[] = {"pibgen", source.c_str(), destination.c_str()};

  // A run with nothing failing, to learn its output and image.
  std::string full_output;
  std::string full_image;
  {
    backend->Put("fields.xml", c.description);
    file::FailingFileSystem files(backend->Files(), 0);
    testing::TextCapture out;
    ASSERT_EQ(RunPibgen(3, arguments, files, out), 0) << out.Text();
    full_output = out.Text();
    full_image = backend->Get("image.bin");
  }

  bool failed_source_read = false;
  uint64_t fail_at = 1;
  for (;; ++fail_at) {
    SCOPED_TRACE("failing operation " + std::to_string(fail_at));
    backend->Put("fields.xml", c.description);
    backend->Put("image.bin", kUntouched);
    file::FailingFileSystem files(backend->Files(), fail_at);
    testing::TextCapture out;
    const int status = RunPibgen(3, arguments, files, out);
    if (!files.HasFailed()) {
      EXPECT_EQ(status, 0);
      EXPECT_EQ(out.Text(), full_output);
      EXPECT_TRUE(backend->Get("image.bin") == full_image);
      break;
    }
    EXPECT_EQ(status, 1);
    failed_source_read |= files.FailedOperation() == file::FileOperation::kReadSource;
    const std::string message = ExpectedMessage(files.FailedOperation());
    const std::string ending = message + kFatal;
    const std::string& text = out.Text();
    ASSERT_GE(text.size(), ending.size()) << text;
    EXPECT_EQ(text.substr(text.size() - ending.size()), ending);
    // What came before the message is the start of the full run's trace, nothing else.
    const std::string before = text.substr(0, text.size() - ending.size());
    EXPECT_EQ(full_output.substr(0, before.size()), before);
    const std::string image = backend->Get("image.bin");
    if (message == "create pib file fail\n") {
      EXPECT_EQ(image, kUntouched);
    } else if (message == "load xml file fail\n") {
      // Untouched when the first pass failed; emptied when a read of the second pass did.
      EXPECT_TRUE(image == kUntouched || image.empty()) << image;
    } else {
      EXPECT_EQ(image, "") << "a failed image must be left empty";
    }
    EXPECT_EQ(backend->Get("fields.xml"), c.description);
  }
  EXPECT_GE(fail_at, 4u) << "the run should take several file operations";
  EXPECT_TRUE(failed_source_read) << "reading the description was never failed";
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
    ::testing::Values(FaultCase{"worked_in_memory", kWorked, false},
                      FaultCase{"worked_on_disk", kWorked, true},
                      FaultCase{"two_bytes_on_disk", kTwoBytes, true},
                      FaultCase{"empty_on_disk", kEmpty, true},
                      FaultCase{"several_blocks_in_memory", ByteArrayOfHexLength(2500000), false},
                      FaultCase{"several_blocks_on_disk", ByteArrayOfHexLength(2500000), true},
                      FaultCase{"zero_runs_in_memory", kZeroRuns, false},
                      FaultCase{"zero_runs_on_disk", kZeroRuns, true}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pibgen
