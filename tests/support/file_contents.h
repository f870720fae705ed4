// The whole of a file as bytes, for comparing what a program wrote.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace tervane::testing {

// The file's bytes, or an empty text when it cannot be read.
inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tervane::testing
