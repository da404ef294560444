#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace pibgen::file {

// What the Windows process and file layers both need of Win32: text in UTF-8 outside the
// program and UTF-16 at the API, and writes that hand on a whole buffer.
std::wstring Wide(std::string_view text);
std::string Utf8(std::wstring_view text);
// Writes all size bytes to handle; false once a write fails or takes nothing.
bool WriteAll(HANDLE handle, const void* data, size_t size);

}  // namespace pibgen::file
