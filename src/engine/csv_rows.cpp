#include "engine/csv_rows.h"


namespace pibgen {
namespace {

constexpr size_t kBufferSize = size_t{64} << 10;
constexpr int kEnd = -1;
constexpr int kFailed = -2;

}  // namespace

CsvRows::CsvRows(file::SourceFile& source)
    : source_(source), buffer_(std::make_unique<char[]>(kBufferSize)) {}

bool CsvRows::Refill() {
  if (ended_ || failed_) return false;
  const ptrdiff_t count = source_.Read(buffer_.get(), kBufferSize);
  if (count < 0) failed_ = true;
  if (count == 0) ended_ = true;
  if (count <= 0) return false;
  size_ = static_cast<size_t>(count);
  at_ = 0;
  return true;
}

int CsvRows::Peek() {
  if (at_ == size_ && !Refill()) return failed_ ? kFailed : kEnd;
  return static_cast<unsigned char>(buffer_[at_]);
}

int CsvRows::Get() {
  const int c = Peek();
  if (c >= 0) ++at_;
  if (c == '\n') ++line_;
  return c;
}

CsvRows::Result CsvRows::Next(std::vector<std::string>& cells, uint32_t* line) {
  cells.clear();
  if (stopped_ != Result::kRow) {
    *line = line_;
    return stopped_;
  }
  std::string cell;
  if (!started_) {
    started_ = true;
    // The byte-order mark, byte by byte, since it may straddle two reads; bytes that begin
    // like it but are not it start the first cell.
    static constexpr unsigned char kMark[] = {0xEF, 0xBB, 0xBF};
    for (const unsigned char byte : kMark) {
      if (Peek() != byte) break;
      cell += static_cast<char>(Get());
    }
    if (cell.size() == sizeof kMark) cell.clear();
  }
  *line = line_;
  const uint32_t start = line_;
  // A quote left open is told where its row starts; anything else where the reading stopped.
  const auto stop = [&](Result result) {
    stopped_ = result;
    cells.clear();
    if (result == Result::kOpenQuote) line_ = start;
    *line = line_;
    return result;
  };
  if (cell.empty() && Peek() == kEnd) return stop(Result::kEnd);
  for (;;) {
    int c = Get();
    if (c == '"' && cell.empty()) {
      // A quoted cell: to the closing quote, a doubled quote being one.
      for (;;) {
        c = Get();
        if (c == kFailed) return stop(Result::kUnreadable);
        if (c == kEnd) return stop(Result::kOpenQuote);
        if (c == '"') {
          if (Peek() != '"') break;
          Get();
        }
        cell += static_cast<char>(c);
      }
      c = Get();
      if (c == '\r' && Peek() == '\n') c = Get();
      if (c != ',' && c != '\n' && c != kEnd && c != kFailed) return stop(Result::kStrayQuote);
    } else {
      while (c != ',' && c != '\n' && c >= 0) {
        if (c == '"') return stop(Result::kStrayQuote);
        if (c == '\r' && Peek() == '\n') {
          c = Get();
          break;
        }
        cell += static_cast<char>(c);
        c = Get();
      }
    }
    if (c == kFailed) return stop(Result::kUnreadable);
    cells.push_back(std::move(cell));
    cell.clear();
    if (c != ',') return Result::kRow;
  }
}

}  // namespace pibgen
