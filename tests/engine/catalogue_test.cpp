#include "engine/catalogue.h"

#include <gtest/gtest.h>

#include <set>

namespace pibgen {
namespace {

TEST(Catalogue, EveryCodeHasOneRowAStableIdAndAWording) {
  std::set<std::string_view> ids;
  size_t index = 0;
  for (const CodeRow& row : AllCodes()) {
    EXPECT_EQ(static_cast<size_t>(row.code), index++) << row.id;
    EXPECT_EQ(&RowOf(row.code), &row) << row.id;
    EXPECT_TRUE(ids.insert(row.id).second) << "repeated " << row.id;
    // Lower-case words joined by hyphens.
    bool well_formed = !row.id.empty() && row.id.front() != '-' && row.id.back() != '-' &&
                       row.id.find("--") == std::string_view::npos;
    for (const char c : row.id) well_formed = well_formed && ((c >= 'a' && c <= 'z') || c == '-');
    EXPECT_TRUE(well_formed) << row.id;
    EXPECT_FALSE(row.text.empty()) << row.id;
    EXPECT_FALSE(row.summary.empty()) << row.id;
  }
}

Finding Of(Code code, std::vector<std::string> values, uint32_t field = 0,
           const char* name = nullptr) {
  Finding finding;
  finding.code = code;
  finding.field = field;
  finding.named = name != nullptr;
  if (name != nullptr) finding.name = name;
  finding.values = std::move(values);
  return finding;
}

TEST(Catalogue, WordingsCountQuoteAndLeaveOutWhatIsMissing) {
  struct Case {
    Finding finding;
    const char* text;
  };
  const Case cases[] = {
      {Of(Code::kNoChecksum, {"1", "3"}), "no checksum to verify (1 byte, fewer than 3)"},
      {Of(Code::kNoChecksum, {"0", "3"}), "no checksum to verify (0 bytes, fewer than 3)"},
      {Of(Code::kCheckSummary, {"1", "1"}), "1 warning, 1 error"},
      {Of(Code::kCheckSummary, {"2", "0"}), "2 warnings, 0 errors"},
      {Of(Code::kMissingBytes, {"System.Byte[]", "1"}, 2),
       "field 2: System.Byte[] field has no <value>; its 1 byte is zero"},
      {Of(Code::kUnknownType, {"u8", "1", "", ""}, 3, "a b"),
       "field 3 (\"a b\"): type \"u8\" is unknown, so the field is a zero fill of 1 byte"},
      {Of(Code::kUnknownType, {"Sytem.Byte", "0", "5", "System.Byte"}, 1),
       "field 1: type \"Sytem.Byte\" is unknown, so the field is a zero fill of 0 bytes and its "
       "value \"5\" is not written; did you mean \"System.Byte\"?"},
      // An empty value is still quoted where the wording needs it.
      {Of(Code::kValueNotANumber, {"", "00"}, 1),
       "field 1: value \"\" has no number; written as 00"},
      {Of(Code::kValueTooShort, {"2", "8", "4", "AB", "3"}, 1),
       "field 1: value has 2 characters, 8 expected for size 4; the image holds AB then 3 zero "
       "bytes"},
      {Of(Code::kValueTooShort, {"0", "10", "5", "", "5"}, 1),
       "field 1: value has 0 characters, 10 expected for size 5; the image holds 5 zero bytes"},
      {Of(Code::kValueTooShort, {"4", "8", "4", "01 02 00 00", ""}, 1),
       "field 1: value has 4 characters, 8 expected for size 4; the image holds 01 02 00 00"},
      {Of(Code::kMatches, {"l.xml", "1", "2", ""}),
       "matches l.xml (1 field, 2 bytes, no checksum)"},
      {Of(Code::kFieldDiffers, {"3", "9", "1", "5", "01 ...", "", "00 ...", ""}, 2),
       "field 2 at offset 3, 9 bytes: 1 byte differs, the first at offset 5: image 01 ..., "
       "description 00 ..."},
  };
  for (const Case& c : cases) EXPECT_EQ(MessageText(c.finding), c.text) << c.text;
}

TEST(Catalogue, AConversionWordsItsRefusalsItsOwnWay) {
  Failure failure;
  failure.kind = FailureKind::kNegativeSize;
  failure.line = 4;
  failure.field = 2;
  failure.size = -3;
  EXPECT_EQ(ConversionMessage(failure, "f.xml"), "f.xml:4: field 2 has a negative size (-3)\n");
  EXPECT_EQ(MessageText(FindingOf(failure)),
            "field 2: negative size (-3); the conversion refuses the description");
  failure.kind = FailureKind::kLoad;
  failure.read = xml::ReadFailure::kUndeclaredEntity;
  EXPECT_EQ(ConversionMessage(failure, "f.xml"), "load xml file fail\n");
  failure.kind = FailureKind::kCloseImage;
  EXPECT_EQ(ConversionMessage(failure, "f.xml"), "close pib file fail\n");
}

}  // namespace
}  // namespace pibgen
