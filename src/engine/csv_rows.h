#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "file/file_system.h"

namespace pibgen {

// Reads a table in CSV as spreadsheets write it: cells separated by commas and rows by LF or
// CR LF; a cell in double quotes may hold commas, line breaks and quotes (written twice). A
// UTF-8 byte-order mark before the first row is dropped, and so is the line break that ends
// the last row. The table is read in pieces, so one of any length takes the same memory.
class CsvRows {
 public:
  explicit CsvRows(file::SourceFile& source);

  enum class Result {
    kRow,         // cells and line hold the next row
    kEnd,         // no row is left
    kStrayQuote,  // a quote in a cell that is not quoted, or text after a closing quote
    kOpenQuote,   // the table ends inside a quoted cell
    kUnreadable,  // the file could not be read
  };
  // The next row's cells and the line it starts on (the first line is 1). After anything but
  // kRow, line is where the reading stopped, and every later call gives the same.
  Result Next(std::vector<std::string>& cells, uint32_t* line);

 private:
  // The next byte, or -1 at the end (-2 once a read failed).
  int Get();
  int Peek();
  bool Refill();

  file::SourceFile& source_;
  std::unique_ptr<char[]> buffer_;
  size_t size_ = 0;
  size_t at_ = 0;
  bool ended_ = false;
  bool failed_ = false;
  bool started_ = false;
  uint32_t line_ = 1;
  Result stopped_ = Result::kRow;
};

}  // namespace pibgen
