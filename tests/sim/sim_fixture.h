// Shared helpers of the simulator tests: frames built by hand, a printer on a fake clock,
// and the status fields of a reply picked out by position.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>

#include "core/common/charset.h"
#include "sim/command_handler.h"
#include "sim/printer_state.h"
#include "sim/sim_frame.h"
#include "support/fake_clock.h"

namespace tervane::sim::testing {

// A frame for escape bytes and parameter bytes; `extended` sends 1Ch instead of 1Bh.
inline Bytes Frame(std::initializer_list<std::uint8_t> escape, const std::string& params = {},
                   bool extended = false) {
  Bytes body;
  body.reserve(1 + escape.size() + params.size());
  body.push_back(extended ? kFs : kEsc);
  for (std::uint8_t b : escape) body.push_back(b);
  for (char c : params) body.push_back(static_cast<std::uint8_t>(c));
  return MakeFrame(body);
}

// A UTF-8 literal as the printer sends it (Windows-1252, then code page 850 letters).
inline std::string Cp850(const std::string& utf8) {
  std::string text = Utf8ToCp1252Lossy(utf8);
  ToPrinterCharset(text);
  return text;
}

// A number as four decimal digits.
inline std::string Format4(int n) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d", n);
  return buffer;
}

// Status of a fixed reply with `dataSize` data bytes sent in extended mode.
struct Status {
  int st1 = -1;
  int st2 = -1;
  int ext = -1;
};

inline Status StatusOf(const Bytes& reply, std::size_t dataSize) {
  Status s;
  if (reply.size() != dataSize + 5 || reply[0] != kAck) return s;
  s.st1 = reply[dataSize + 1];
  s.st2 = reply[dataSize + 2];
  s.ext = reply[dataSize + 3] | (reply[dataSize + 4] << 8);
  return s;
}

class SimTest : public ::testing::Test {
 protected:
  SimTest() : handler(state, clock) {}

  // Sends a command in extended mode and returns the whole reply.
  Bytes Send(std::initializer_list<std::uint8_t> escape, const std::string& params = {}) {
    return handler.Handle(Frame(escape, params, true));
  }

  // Sends a command without reply data and returns its extended code (-1 when the reply
  // is not the 5-byte status block).
  int Code(std::initializer_list<std::uint8_t> escape, const std::string& params = {}) {
    return StatusOf(Send(escape, params), 0).ext;
  }

  // The data bytes of a fixed reply of `size` bytes, as text.
  std::string Data(std::initializer_list<std::uint8_t> escape, std::size_t size) {
    const Bytes reply = Send(escape);
    if (reply.size() != size + 5) return "<reply of " + std::to_string(reply.size()) + " bytes>";
    return std::string(reply.begin() + 1, reply.begin() + 1 + static_cast<std::ptrdiff_t>(size));
  }

  // Programs an owner so sales are allowed (enters and leaves intervention).
  void ProgramOwner() {
    state.intervention = true;
    std::string p = std::string("12.345.678/0001-90  ") + "123.456.789.110     " + "IM 4321             " +
                    std::string(10, ' ') + "X" + "SP" + std::string(10, '\xC3');
    ASSERT_EQ(Code({4}, p), 0);
    ASSERT_EQ(Code({36}, std::string(1, '\x02') + "1800" + "0700" + std::string(56, '0')), 0);
    state.intervention = false;
  }

  PrinterState state;
  tervane::testing::FakeClock clock;
  CommandHandler handler;
};

}  // namespace tervane::sim::testing
