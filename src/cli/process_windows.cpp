#include <windows.h>

// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <string>

#include "cli/process.h"
#include "engine/catalogue.h"
#include "file/windows_io.h"

namespace pibgen {
namespace {

// Writes UTF-8 to a console as the UTF-16 it shows, whatever its code page. A character cut
// between two writes waits for its remaining bytes.
bool WriteConsole(HANDLE console, const char* data, size_t size) {
  static std::string pending;
  pending.append(data, size);
  size_t whole = pending.size();
  for (size_t back = 1; back <= 3 && back <= pending.size(); ++back) {
    const auto byte = static_cast<unsigned char>(pending[pending.size() - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    if (needed > back) whole = pending.size() - back;
    break;
  }
  bool ok = true;
  if (whole > 0) {
    const std::wstring wide = file::Wide(std::string_view(pending.data(), whole));
    for (size_t done = 0; ok && done < wide.size();) {
      DWORD written = 0;
      const auto take = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 1 << 15));
      ok = ::WriteConsoleW(console, wide.data() + done, take, &written, nullptr) && written > 0;
      done += written;
    }
  }
  pending.erase(0, whole);
  return ok;
}

}  // namespace

bool PrepareProcess(int, char**, std::vector<std::string>* arguments, TextSink& out) {
  if (::GetModuleHandleW(nullptr) == nullptr) {
    out.Print(Line(Code::kModuleHandleFailed));
    return false;
  }
  // No dialog box for a critical error or a file that cannot be opened: the program answers
  // with its messages alone.
  ::SetErrorMode(::GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  // The command line as Windows gives it, split by its own rules, in UTF-8 from here on.
  int count = 0;
  wchar_t** split = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (split == nullptr) {
    out.Print(Line(Code::kCommandLineNotSplit));
    arguments->assign(1, std::string());  // the conversion goes on, with empty paths
    return true;
  }
  arguments->clear();
  for (int i = 0; i < count; ++i) arguments->push_back(file::Utf8(split[i]));
  ::LocalFree(split);
  return true;
}

OutputWrite WriteStandardOutput(const char* data, size_t size) {
  const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  // A process started without standard output has no one to read it, as with a closed one
  // elsewhere, which is opened onto the null device.
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return OutputWrite::kReaderGone;
  DWORD mode = 0;
  if (::GetConsoleMode(output, &mode)) {
    return WriteConsole(output, data, size) ? OutputWrite::kWritten : OutputWrite::kFailed;
  }
  // A file or a pipe gets the bytes as they are: UTF-8, each line ended by a line feed alone.
  ::SetLastError(ERROR_SUCCESS);
  if (file::WriteAll(output, data, size)) return OutputWrite::kWritten;
  // A pipe whose reader has closed its end, or is closing it (Wine says "not connected").
  const DWORD error = ::GetLastError();
  const bool reader_gone =
      error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED;
  return reader_gone ? OutputWrite::kReaderGone : OutputWrite::kFailed;
}

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

void WriteStandardError(std::string_view text) {
  const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  if (::GetConsoleMode(error, &mode)) {
    WriteConsole(error, text.data(), text.size());
  } else {
    file::WriteAll(error, text.data(), text.size());
  }
}

}  // namespace pibgen
