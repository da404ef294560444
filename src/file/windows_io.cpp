#include "file/windows_io.h"

#include <algorithm>

namespace pibgen::file {

std::wstring Wide(std::string_view text) {
  if (text.empty()) return {};
  const int units =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(units), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), units);
  return out;
}

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                          nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), bytes,
                        nullptr, nullptr);
  return out;
}

bool WriteAll(HANDLE handle, const void* data, size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    DWORD written = 0;
    const auto take = static_cast<DWORD>(std::min<size_t>(size, DWORD{1} << 30));
    if (!::WriteFile(handle, bytes, take, &written, nullptr) || written == 0) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

}  // namespace pibgen::file
