// Shared helpers of the sequence tests: a temporary folder, commands built by hand and
// whole-file reads.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/catalogue/catalogue.h"
#include "core/common/charset.h"
#include "core/sequences/sequence_store.h"

namespace tervane::testing {

// A folder under /tmp removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/tervane_seq_XXXXXX";
    path_ = ::mkdtemp(pattern);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// A command as the catalogue would give it, escape parsed.
inline CommandRecord MakeCommand(const std::string& title, const std::string& escape, int replySize = 0,
                                 const std::string& group = "Leituras") {
  CommandRecord c;
  c.group = group;
  c.title = title;
  c.hasEscape = true;
  c.escapeText = escape;
  ParseEscapeText(escape, c);
  c.declaredReturnSize = replySize;
  return c;
}

inline ParameterRecord MakeParameter(const std::string& title, const std::string& kind, int size,
                                     bool mandatory, const std::string& value) {
  ParameterRecord p;
  p.title = title;
  p.kind = kind;
  p.size = size;
  p.mandatory = mandatory;
  p.value = value;
  return p;
}

inline CSequence MakeSequence(const std::string& name, std::vector<CommandRecord> commands) {
  CSequence s;
  s.name = name;
  s.commands = std::move(commands);
  return s;
}

}  // namespace tervane::testing
