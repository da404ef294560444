#include "file/path_length.h"

#include <vector>

namespace pibgen::file {

size_t CountPathCharacters(std::string_view path) {
  size_t count = 0;
  for (char c : path) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

std::string AbsolutePathLexically(std::string_view path, std::string_view working_directory) {
  std::string joined;
  if (path.empty() || path[0] != '/') {
    joined.assign(working_directory);
    joined += '/';
  }
  joined += path;

  std::vector<std::string_view> components;
  std::string_view rest = joined;
  while (!rest.empty()) {
    const size_t slash = rest.find('/');
    std::string_view component = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (component.empty() || component == ".") continue;
    if (component == "..") {
      if (!components.empty()) components.pop_back();
      continue;
    }
    components.push_back(component);
  }
  if (components.empty()) return "/";
  std::string absolute;
  for (std::string_view component : components) {
    absolute += '/';
    absolute += component;
  }
  return absolute;
}

}  // namespace pibgen::file
