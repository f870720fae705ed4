// Helpers of the interpretation tests: expectations are written in UTF-8 and compared
// with the core's Windows-1252 texts.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue/command_record.h"
#include "core/common/charset.h"

namespace tervane::testing {

// UTF-8 literal to Windows-1252; a character Windows-1252 cannot hold fails the test.
inline std::string W(std::string_view utf8) {
  std::string out;
  EXPECT_TRUE(Utf8ToCp1252(utf8, out)) << "not representable: " << utf8;
  return out;
}

inline bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

inline std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

inline std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Builds a command with the given return fields (kind, size, title).
class CommandBuilder {
 public:
  CommandBuilder& Field(std::string kind, int size, std::string title = "Campo") {
    ReturnFieldRecord f;
    f.kind = std::move(kind);
    f.size = size;
    f.title = std::move(title);
    command_.returnFields.push_back(std::move(f));
    return *this;
  }
  CommandBuilder& DeclaredSize(int size) {
    command_.declaredReturnSize = size;
    return *this;
  }
  // ACK, the field bytes, then ST1 and ST2.
  CommandBuilder& AckReply(const std::vector<std::uint8_t>& fieldBytes, int st1 = 0, int st2 = 0) {
    command_.replyData = Bytes({0x06}) + fieldBytes + Bytes({st1, st2});
    return *this;
  }
  CommandBuilder& Reply(std::vector<std::uint8_t> bytes) {
    command_.replyData = std::move(bytes);
    return *this;
  }
  CommandRecord Build() const { return command_; }

 private:
  CommandRecord command_;
};

}  // namespace tervane::testing
