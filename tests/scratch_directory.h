#pragma once

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace pibgen::testing {

// A fresh directory under /tmp for one test, removed with everything in it afterwards.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const char* tag = "test") {
    std::string pattern = std::string("/tmp/pibgen-") + tag + "-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) dir_ = pattern;
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

}  // namespace pibgen::testing
