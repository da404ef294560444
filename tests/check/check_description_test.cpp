#include "check/check_description.h"

#include <gtest/gtest.h>

#include "cli/check_output.h"
#include "file/memory_file_system.h"
#include "text_capture.h"

namespace pibgen {
namespace {

struct DescriptionCase {
  const char* name;
  const char* description;  // null: no such file
  size_t warnings;
  size_t errors;
  const char* report;
};

TEST(CheckDescription, ReportsInDocumentOrderWithASummary) {
  const DescriptionCase cases[] = {
      {"clean",
       "<pib>\n<f name='v'><type>System.UInt16</type><value>1</value></f>\n"
       "<f><type>System.Byte</type><value>0</value></f>\n"
       "<f><type>System.Byte[]</type><size>3</size><value>616263</value></f>\n</pib>",
       0, 0, "0 warnings, 0 errors\n"},
      {"empty root", "<pib/>", 0, 0, "0 warnings, 0 errors\n"},
      {"missing", nullptr, 0, 1,
       "fields.xml: error: cannot read the description\n0 warnings, 1 error\n"},
      {"empty file", "", 0, 1, "fields.xml:1: error: not well-formed XML\n0 warnings, 1 error\n"},
      {"malformed", "<pib>\n<f>\n</g>\n</pib>", 0, 1,
       "fields.xml:3: error: not well-formed XML\n0 warnings, 1 error\n"},
      {"external entity",
       "<!DOCTYPE pib [<!ENTITY e SYSTEM 'file:///etc/hostname'>]>\n<pib><f>&e;</f></pib>", 0, 1,
       "fields.xml:2: error: reference to external entity &e;, which is never read\n"
       "0 warnings, 1 error\n"},
      // Errors do not stop the walk, and offsets run on past them.
      {"errors and warnings",
       "<pib>\n<!-- c -->\n<f><type>System.Byte</type><value>1</value></f>\n"
       "text\n<f><type>pad</type><size>-2</size></f>\n<?pi x?>\n"
       "<f name='n'><type>System.UInt16</type></f>\n</pib>",
       2, 4,
       "fields.xml:2: error: field 1 is a comment, not an element; the conversion refuses the "
       "description\n"
       "fields.xml:4: error: field 3 is text, not an element; the conversion refuses the "
       "description\n"
       "fields.xml:5: error: field 4: negative size (-2); the conversion refuses the "
       "description\n"
       "fields.xml:6: error: field 5 is a processing instruction, not an element; the "
       "conversion refuses the description\n"
       "fields.xml:7: warning: field 6 (\"n\"): System.UInt16 field has no <value>; written as "
       "00 00\n"
       "fields.xml:7: warning: field 6 (\"n\"): its byte at offset 2 is overwritten by the "
       "checksum (the field covers offsets 1 to 2)\n"
       "2 warnings, 4 errors\n"},
      // The field at offset 2 is found from the lengths of those before it; a field-wide
      // finding sorts with the lines of its children.
      {"offsets add up",
       "<pib>\n<f><type>System.Byte</type><value>1</value></f>\n"
       "<f><type>pad</type><size>1</size></f>\n"
       "<f><type>System.UInt16</type>\n<value>1x</value></f>\n</pib>",
       2, 0,
       "fields.xml:4: warning: field 3: its byte at offset 2 is overwritten by the checksum (the "
       "field covers offsets 2 to 3)\n"
       "fields.xml:5: warning: field 3: value \"1x\" has characters after the number; read as "
       "1\n"
       "2 warnings, 0 errors\n"},
      {"a placeholder after empty fields",
       "<pib><f><type>System.UInt16</type><value>1</value></f><f/><f><type>System.Byte</type>"
       "<value>0</value></f><f><type>System.UInt16</type><value>1</value></f></pib>",
       0, 0, "0 warnings, 0 errors\n"},
  };
  for (const DescriptionCase& c : cases) {
    file::MemoryFileSystem files;
    if (c.description != nullptr) files.SetFile("fields.xml", c.description);
    testing::TextCapture out;
    const CheckResult summary = CheckDescription("fields.xml", files);
    PrintCheck("fields.xml", summary, OutputFormat::kText, out);
    EXPECT_EQ(out.Text(), c.report) << c.name;
    EXPECT_EQ(summary.warnings, c.warnings) << c.name;
    EXPECT_EQ(summary.errors, c.errors) << c.name;
    if (c.description != nullptr) {
      EXPECT_EQ(files.File("fields.xml"), c.description) << c.name;
    }
    EXPECT_FALSE(files.HasFile("image.bin")) << c.name;
  }
}

}  // namespace
}  // namespace pibgen
