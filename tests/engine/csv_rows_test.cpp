#include "engine/csv_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace pibgen {
namespace {

// Hands the text over a few bytes a read, so cells and line breaks straddle reads.
class TrickleSource final : public file::SourceFile {
 public:
  TrickleSource(std::string text, size_t step) : text_(std::move(text)), step_(step) {}
  ptrdiff_t Read(char* data, size_t count) override {
    const size_t take = std::min({count, step_, text_.size() - at_});
    std::memcpy(data, text_.data() + at_, take);
    at_ += take;
    return static_cast<ptrdiff_t>(take);
  }
  bool Changed() override { return false; }

 private:
  std::string text_;
  size_t step_;
  size_t at_ = 0;
};

// Each row as its line and cells joined by '|'; the last entry is how reading ended.
std::vector<std::string> ReadAll(const std::string& text, size_t step) {
  TrickleSource source(text, step);
  CsvRows rows(source);
  std::vector<std::string> out;
  std::vector<std::string> cells;
  uint32_t line = 0;
  for (;;) {
    const CsvRows::Result result = rows.Next(cells, &line);
    if (result != CsvRows::Result::kRow) {
      out.push_back("end " + std::to_string(static_cast<int>(result)) + " at " +
                    std::to_string(line));
      return out;
    }
    std::string row = std::to_string(line) + ":";
    for (size_t i = 0; i < cells.size(); ++i) row += (i ? "|" : "") + cells[i];
    out.push_back(row);
  }
}

TEST(CsvRows, ReadsCellsAsSpreadsheetsWriteThem) {
  const std::string kEnd = "end " + std::to_string(static_cast<int>(CsvRows::Result::kEnd));
  const std::string kStray =
      "end " + std::to_string(static_cast<int>(CsvRows::Result::kStrayQuote));
  const std::string kOpen = "end " + std::to_string(static_cast<int>(CsvRows::Result::kOpenQuote));
  const struct {
    std::string text;
    std::vector<std::string> rows;
  } kCases[] = {
      {"a,b\n1,2\n", {"1:a|b", "2:1|2", kEnd + " at 3"}},
      {"a,b\r\n1,2", {"1:a|b", "2:1|2", kEnd + " at 2"}},
      {"\xEF\xBB\xBF"
       "a\n",
       {"1:a", kEnd + " at 2"}},
      {"\"x,y\",\"say \"\"hi\"\"\"\n", {"1:x,y|say \"hi\"", kEnd + " at 2"}},
      {"\"two\r\nlines\",z\r\nnext\r\n", {"1:two\r\nlines|z", "3:next", kEnd + " at 4"}},
      {",,\n", {"1:||", kEnd + " at 2"}},
      {"a\"b\n", {kStray + " at 1"}},
      {"\"a\"b\n", {kStray + " at 1"}},
      {"ok\n\"open\nstill\n", {"1:ok", kOpen + " at 2"}},
      {"", {kEnd + " at 1"}},
  };
  for (const auto& c : kCases) {
    for (const size_t step : {size_t{1}, size_t{2}, size_t{1000}}) {
      EXPECT_EQ(ReadAll(c.text, step), c.rows) << c.text << " read " << step << " at a time";
    }
  }
}

}  // namespace
}  // namespace pibgen
