#include "engine/read_fields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "file/memory_file_system.h"

namespace pibgen {
namespace {

// Every field as collected, and every broken rule, as one line each.
class Record final : public FieldHandler {
 public:
  bool EndField(const Field& field) override {
    lines.push_back(std::to_string(field.index) + (field.named ? " '" + field.name + "'" : "") +
                    " [" + field.entry.type + "] " + std::to_string(field.entry.size) + " [" +
                    field.entry.value + "] at " + std::to_string(field.offset) + "+" +
                    std::to_string(field.length) + " lines " + std::to_string(field.type_line) +
                    "," + std::to_string(field.size_line) + "," + std::to_string(field.value_line));
    return true;
  }
  bool Broken(const Failure& rule) override {
    lines.push_back("broken " + std::to_string(static_cast<int>(rule.kind)) + " field " +
                    std::to_string(rule.field) + " line " + std::to_string(rule.line));
    return true;
  }
  std::vector<std::string> lines;
};

Failure Read(const std::string& description, Record& record) {
  file::MemoryFileSystem files;
  files.SetFile("f.xml", description);
  return ReadFields("f.xml", files, record);
}

// The collector's storage is reused from field to field: nothing of one may linger into the
// next. Which children count is by name alone, the last of each winning; offsets add up, and a
// negative size is reported and then the field ends as one of no length.
TEST(ReadFields, EachFieldStartsFromNothing) {
  Record record;
  const Failure failure = Read(
      "<pib>\n"
      "<f name='a'><type>System.Byte[]</type><size>3</size><value>616263</value></f>\n"
      "<f/>\n"
      "<f><type>System.UInt16</type><!-- c --><value>12</value><note>n</note></f>\n"
      "<f><size>-4</size><type>x</type>\n<type>System.Byte</type><Value>1</Value></f>\n"
      "<f><value>abcd</value><?size 9?><size>2</size></f>\n"
      "<f><size>-1</size></f>\n"
      "</pib>",
      record);
  EXPECT_EQ(failure.kind, FailureKind::kNegativeSize);
  EXPECT_EQ(failure.line, 8u);  // the first broken rule
  EXPECT_EQ(record.lines, (std::vector<std::string>{
                              "1 'a' [System.Byte[]] 3 [616263] at 0+3 lines 2,2,2",
                              "2 [] 0 [] at 3+0 lines 0,0,0",
                              "3 [System.UInt16] 0 [12] at 3+2 lines 4,0,4",
                              "4 [System.Byte] -4 [] at 5+1 lines 6,5,0",
                              "5 [] 2 [abcd] at 6+2 lines 0,7,7",
                              "broken 4 field 6 line 8",
                              "6 [] -1 [] at 8+0 lines 0,8,0",
                          }));
}

TEST(ReadFields, ALoadFailureOutranksABrokenRule) {
  Record record;
  EXPECT_EQ(Read("<pib><!-- x --><f><size>-1</size></f><f>", record).kind, FailureKind::kLoad);
  Record stopping;
  const Failure missing = [&] {
    file::MemoryFileSystem files;
    return ReadFields("none.xml", files, stopping);
  }();
  EXPECT_EQ(missing.kind, FailureKind::kLoad);
  EXPECT_EQ(missing.read, xml::ReadFailure::kUnreadable);
}

}  // namespace
}  // namespace pibgen
