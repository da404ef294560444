#pragma once

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace pibgen::testing {

// A fresh directory in the system's folder for temporary files, for one test, removed with
// everything in it afterwards.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const char* tag = "test") {
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    std::mt19937_64 random(
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    for (int attempt = 0; !error && attempt < 100; ++attempt) {
      const std::filesystem::path candidate =
          base / ("pibgen-" + std::string(tag) + "-" + std::to_string(random() % 1000000000));
      if (std::filesystem::create_directory(candidate, error)) {
        dir_ = candidate.generic_string();
        break;
      }
    }
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  bool Made() const { return !dir_.empty(); }
  const std::string& Dir() const { return dir_; }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  // The names in the directory, sorted and joined by blanks.
  std::string Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : " ") + name;
    return joined;
  }

  static void Put(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary) << contents;
  }
  static std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream contents;
    contents << in.rdbuf();
    return contents.str();
  }

 private:
  std::string dir_;
};

// Makes folder the one scratch files go to (TMPDIR; TMP and TEMP on Windows), or, empty, gives
// the system its own back.
inline void UseTemporaryFolder(const std::string& folder) {
#ifdef _WIN32
  for (const char* name : {"TMP", "TEMP"}) _putenv_s(name, folder.c_str());
#else
  if (folder.empty()) {
    ::unsetenv("TMPDIR");
  } else {
    ::setenv("TMPDIR", folder.c_str(), 1);
  }
#endif
}

}  // namespace pibgen::testing
