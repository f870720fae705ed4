// A logo line for tests: records every write and answers each one through a script, on
// a fake clock that moves when the code under test waits.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "control/logo_line.h"
#include "support/fake_clock.h"

namespace tervane::testing {

using ByteVec = std::vector<std::uint8_t>;

class FakeLogoLine final : public LogoLine {
 public:
  explicit FakeLogoLine(FakeClock& clock) : clock_(clock) {}

  // Called with each written chunk; returns the bytes the printer sends back.
  std::function<ByteVec(const ByteVec&)> answer = [](const ByteVec&) { return ByteVec{}; };
  // Fail every call from this write number on (1-based; 0 = never), as a port that
  // disappears would.
  int vanishAtWrite = 0;

  bool Open(const std::string&) override { return open_ = openable; }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  int WriteSome(const std::uint8_t* data, int size, int) override {
    if (!open_ || gone_) return -1;
    if (vanishAtWrite > 0 && static_cast<int>(writes.size()) + 1 >= vanishAtWrite) {
      gone_ = true;
      return -1;
    }
    writes.emplace_back(data, data + size);
    const ByteVec reply = answer(writes.back());
    pending_.insert(pending_.end(), reply.begin(), reply.end());
    return size;
  }
  int ReadSome(std::uint8_t* buffer, int size, int waitMs) override {
    if (!open_ || gone_) return -1;
    if (pending_.empty()) {
      clock_.Advance(waitMs);
      return 0;
    }
    const int n = std::min<int>(size, static_cast<int>(pending_.size()));
    std::copy_n(pending_.begin(), n, buffer);
    pending_.erase(pending_.begin(), pending_.begin() + n);
    return n;
  }
  bool Purge() override {
    ++purges;
    pending_.clear();
    return open_;
  }

  bool openable = true;
  std::vector<ByteVec> writes;
  int purges = 0;

 private:
  FakeClock& clock_;
  bool open_ = false;
  bool gone_ = false;
  std::deque<std::uint8_t> pending_;
};

// A printer's 5-byte reply: ACK or NAK, ST1, ST2 and the extended code low first.
inline ByteVec Reply(std::uint8_t first, std::uint8_t st1, std::uint8_t st2, std::uint16_t code) {
  return {first, st1, st2, static_cast<std::uint8_t>(code & 0xFF), static_cast<std::uint8_t>(code >> 8)};
}

}  // namespace tervane::testing
