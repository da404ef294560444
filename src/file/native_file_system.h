#pragma once

// The file layer of the system the program is built for.
#ifdef _WIN32
#include "file/windows_file_system.h"
namespace pibgen::file {
using NativeFileSystem = WindowsFileSystem;
}
#else
#include "file/posix_file_system.h"
namespace pibgen::file {
using NativeFileSystem = PosixFileSystem;
}
#endif
