#include "decode/decode_image.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cli/run_modes.h"
#include "convert_and_say.h"
#include "file/memory_file_system.h"
#include "text_capture.h"
#include "troubled_file_system.h"

namespace pibgen {
namespace {

// The image a description converts to, made in memory.
std::string Convert(file::MemoryFileSystem& files, const std::string& description) {
  files.SetFile("convert.xml", description);
  testing::TextCapture trace;
  EXPECT_TRUE(testing::ConvertAndSay("convert.xml", "convert.bin", files, trace)) << description;
  return files.File("convert.bin");
}

TEST(DecodeImage, PrintsADescriptionThatRebuildsTheImage) {
  // Every kind, values at their limits, text that needs escaping, a stale offset attribute,
  // repeated children (the last counts), and a fill over the checksum byte.
  const std::string layout =
      "<pib name='r'>"
      "<f><type>Reserved</type><size>3</size></f>"
      "<f name='a\"&amp;b' offset='7'><type>System.UInt16</type><type>System.Byte</type></f>"
      "<f><type>System.UInt16</type><value>65535</value></f>"
      "<f><type>System.UInt32</type><value>4294967295</value></f>"
      "<f><type>System.Int32</type><value>-1</value></f>"
      "<f><type>System.Byte[]</type><size>3</size><value>a1</value></f>"
      "<f><type> A&amp;&lt;&#13;B </type><size>1</size></f>"
      "<f><size>1</size></f>"
      "<f><type>System.Byte[]</type></f>"
      "</pib>";
  file::MemoryFileSystem files;
  files.SetFile("layout.xml", layout);
  const std::string image = Convert(files, layout);
  files.SetFile("image.bin", image);
  testing::TextCapture out;
  ASSERT_TRUE((RunDecode("image.bin", "layout.xml", OutputFormat::kText, files, out) == 0))
      << out.Text();
  EXPECT_EQ(out.Text(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<pib name=\"r\">\n"
            "  <f offset=\"0\" length=\"3\">\n"
            "    <type>Reserved</type>\n    <size>3</size>\n  </f>\n"
            "  <f name=\"a&quot;&amp;b\" offset=\"3\" length=\"1\">\n"
            "    <type>System.Byte</type>\n    <value>0</value>\n  </f>\n"
            "  <f offset=\"4\" length=\"2\">\n"
            "    <type>System.UInt16</type>\n    <value>65535</value>\n  </f>\n"
            "  <f offset=\"6\" length=\"4\">\n"
            "    <type>System.UInt32</type>\n    <value>2147483647</value>\n  </f>\n"
            "  <f offset=\"10\" length=\"4\">\n"
            "    <type>System.Int32</type>\n    <value>-1</value>\n  </f>\n"
            "  <f offset=\"14\" length=\"3\">\n"
            "    <type>System.Byte[]</type>\n    <size>3</size>\n    <value>A10000</value>\n"
            "  </f>\n"
            "  <f offset=\"17\" length=\"1\">\n"
            "    <type>A&amp;&lt;&#13;B</type>\n    <size>1</size>\n  </f>\n"
            "  <f offset=\"18\" length=\"1\">\n    <size>1</size>\n  </f>\n"
            "  <f offset=\"19\" length=\"0\">\n"
            "    <type>System.Byte[]</type>\n    <size>0</size>\n    <value></value>\n  </f>\n"
            "</pib>\n");
  EXPECT_EQ(Convert(files, out.Text()), image);
}

// Namespace declarations are written where the description made them, so that prefixed
// element and attribute names stay bound and the decoded description converts back to the
// same image.
TEST(DecodeImage, KeepsTheNamespacesItNeeds) {
  const std::string first = "<type>System.UInt16</type><value>513</value>";
  const std::string second = "<f><type>System.Byte[]</type><size>2</size><value>abcd</value></f>";
  for (const std::string& layout : {
           "<p:pib xmlns:p='urn:p'><p:f p:n='1'>" + first + "</p:f>" + second + "</p:pib>",
           "<pib xmlns='urn:d'><f>" + first + "</f>" + second + "</pib>",
           "<pib><q:f xmlns:q='urn:q' xmlns='urn:f' q:n='&amp;'>" + first + "</q:f>" + second +
               "</pib>",
           "<pib xmlns:a='urn:a&amp;b'><f a:name='x' xmlns:b='urn:b' b:c='y'>" + first + "</f>" +
               second + "</pib>",
       }) {
    file::MemoryFileSystem files;
    files.SetFile("layout.xml", layout);
    files.SetFile("image.bin", Convert(files, layout));
    testing::TextCapture out;
    ASSERT_TRUE((RunDecode("image.bin", "layout.xml", OutputFormat::kText, files, out) == 0))
        << out.Text();
    EXPECT_EQ(Convert(files, out.Text()), files.File("image.bin")) << out.Text();
  }
  file::MemoryFileSystem files;
  const std::string layout =
      "<p:pib xmlns:p='urn:p' xmlns='urn:d'><p:f p:n='1'>" + first + "</p:f></p:pib>";
  files.SetFile("layout.xml", layout);
  files.SetFile("image.bin", Convert(files, layout));
  testing::TextCapture out;
  ASSERT_TRUE((RunDecode("image.bin", "layout.xml", OutputFormat::kText, files, out) == 0));
  EXPECT_EQ(out.Text(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<p:pib xmlns:p=\"urn:p\" xmlns=\"urn:d\">\n"
            "  <p:f p:n=\"1\" offset=\"0\" length=\"2\">\n"
            "    <type>System.UInt16</type>\n    <value>513</value>\n  </p:f>\n</p:pib>\n");
}

TEST(DecodeImage, RefusesWithOneLineNamingTheFirstReason) {
  struct Case {
    std::string layout;
    std::string image;
    std::string output;
  };
  const std::string three =
      "<pib><f><type>System.UInt16</type></f><f><type>System.Byte</type>"
      "</f><f><size>4</size></f></pib>";
  const Case cases[] = {
      {three, std::string(6, '\0'), "image.bin: 6 bytes, the layout gives 7\n"},
      {three, std::string("\0\0\x21\0\0\0\0", 7), ""},  // the right checksum of zeros
      {three, std::string("\0\0\x21\0\0\x05\0", 7),
       "image.bin: field 3 is a fill of 4 bytes at offset 3, but offset 5 holds 05\n"},
      {three, std::string("\0\0\x36\0\0\0\0", 7),
       "image.bin: checksum mismatch: stored 36, computed 21\n"},
      // A fill over offset 2 holds the checksum there, and only there.
      {"<pib><f name='pad'><size>3</size></f></pib>", std::string("\0\0\0", 3), ""},
      {"<pib><f name='pad'><size>3</size></f></pib>", std::string("\0\x01\0", 3),
       "image.bin: field 1 (\"pad\") is a fill of 3 bytes at offset 0, but offset 1 holds 01\n"},
      // What a conversion refuses comes first, as --check says it.
      {"<pib>\n<f/>\n<!-- x -->\n</pib>", std::string(9, '\0'),
       "layout.xml:3: error: field 2 is a comment, not an element; the conversion refuses the "
       "description\n"},
      {"<pib><f name='n'>\n<size>-1</size></f></pib>", "",
       "layout.xml:2: error: field 1 (\"n\"): negative size (-1); the conversion refuses the "
       "description\n"},
      {"<pib>\n<f>", "", "layout.xml:2: error: not well-formed XML\n"},
  };
  for (const Case& c : cases) {
    file::MemoryFileSystem files;
    files.SetFile("layout.xml", c.layout);
    files.SetFile("image.bin", c.image);
    testing::TextCapture out;
    const bool decoded =
        (RunDecode("image.bin", "layout.xml", OutputFormat::kText, files, out) == 0);
    EXPECT_EQ(decoded, c.output.empty()) << c.layout;
    if (!decoded) {
      EXPECT_EQ(out.Text(), c.output) << c.layout;
    }
  }
  file::MemoryFileSystem files;
  files.SetFile("image.bin", "");
  testing::TextCapture out;
  EXPECT_FALSE((RunDecode("image.bin", "none.xml", OutputFormat::kText, files, out) == 0));
  EXPECT_FALSE((RunDecode("none.bin", "none.xml", OutputFormat::kText, files, out) == 0));
  EXPECT_EQ(out.Text(),
            "none.xml: error: cannot read the description\n"
            "none.bin: cannot read the image\n");
}

// The decode is printed only once it is known whole: a layout changed during the read, or
// output that cannot be held, prints one line and nothing of the decode.
TEST(DecodeImage, PrintsNothingOfADecodeThatCannotBeTrusted) {
  struct Case {
    size_t fields;
    bool changes, scratch;
    std::string output;  // empty: the decode, printed whole
  };
  const Case cases[] = {
      {3, true, true, "image.bin: the image or the layout changed while it was decoded\n"},
      {3, false, false, ""},  // what fits in memory needs no scratch file
      {5000, false, false,
       "image.bin: the output cannot be held in a scratch file until it is complete\n"},
      {5000, false, true, ""},
  };
  for (const Case& c : cases) {
    std::string layout = "<pib>";
    for (size_t i = 0; i < c.fields; ++i) {
      layout += "<f><type>System.UInt16</type><value>" + std::to_string(i) + "</value></f>";
    }
    layout += "</pib>";
    file::MemoryFileSystem files;
    files.SetFile("layout.xml", layout);
    files.SetFile("image.bin", Convert(files, layout));
    testing::TroubledFiles troubled(files, c.changes, c.scratch);
    for (const OutputFormat format : {OutputFormat::kText, OutputFormat::kJson}) {
      testing::TextCapture out;
      const bool decoded = RunDecode("image.bin", "layout.xml", format, troubled, out) == 0;
      EXPECT_EQ(decoded, c.output.empty()) << c.fields;
      if (format == OutputFormat::kJson) {
        // Failed or not, the document is whole, and lists fields only for a decode.
        EXPECT_EQ(out.Text().find("\"fields\":[]") != std::string::npos, !decoded);
        EXPECT_EQ(out.Text().substr(out.Text().size() - 2), "}\n");
      } else if (decoded) {
        EXPECT_EQ(Convert(files, out.Text()), files.File("image.bin"));
      } else {
        EXPECT_EQ(out.Text(), c.output);
      }
    }
  }
}

}  // namespace
}  // namespace pibgen
