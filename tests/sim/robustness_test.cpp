// Whatever parameters arrive, every command answers in its declared shape: the reader on
// the other side counts bytes, so one byte too many or too few hangs or breaks it.
#include <random>

#include "sim/sim_fixture.h"

namespace tervane::sim::testing {
namespace {

// Checks the shape of a reply; returns an empty text when it is right.
std::string ShapeFault(const CommandEntry& entry, const Bytes& body, const Bytes& reply) {
  const bool extended = body[0] == kFs;
  ReplyForm form = entry.form;
  if (form != ReplyForm::kGprs && body.size() > 14 && body[1] == 0x08 && (body[14] == 'R' || body[14] == 'r')) {
    form = ReplyForm::kOpenEtx;
  }
  if (reply.empty() || reply[0] != kAck) return "no ACK";
  const std::size_t status = extended ? 4 : 2;
  switch (form) {
    case ReplyForm::kFixed:
      if (reply.size() != 1 + static_cast<std::size_t>(entry.replySize) + status) {
        return "fixed reply of " + std::to_string(reply.size()) + " bytes";
      }
      return {};
    case ReplyForm::kOpenEtx:
      if (reply.size() < 2 + status || reply.back() != kEtx) return "open reply without ETX";
      if (std::count(reply.begin() + 1 + static_cast<std::ptrdiff_t>(status), reply.end(), kEtx) != 1) {
        return "ETX inside the text";
      }
      return {};
    case ReplyForm::kOpenNul:
      if (reply.size() < 4 || reply.back() != 0x00) return "open reply without NUL";
      if (std::count(reply.begin() + 3, reply.end(), 0x00) != 1) return "NUL inside the text";
      return {};
    case ReplyForm::kGprs:
      if (reply.size() < 3 + status) return "short GPRS reply";
      return {};
  }
  return "unknown form";
}

TEST(SimRobustnessTest, EveryCommandKeepsItsShapeUnderRandomParameters) {
  PrinterState state;
  tervane::testing::FakeClock clock;
  CommandHandler handler(state, clock);
  const std::vector<CommandEntry> entries = handler.Commands();
  std::mt19937 rng(2024);
  const std::string alphabet = "0123456789          ABCDEFGHIJKLMNOPQRSTUVWXYZadrRiIX\n\x01\x03\xFF";
  int checked = 0;
  for (int round = 0; round < 40; ++round) {
    state.intervention = round % 2 == 0;
    if (round % 8 == 0) {
      state.cnpj = round % 16 == 0 ? "12345678000190" : "";
      state.totalizerNames[0] = "SUPRIMENTO";
    }
    for (const CommandEntry& entry : entries) {
      const std::size_t maxLen = std::min<std::size_t>(entry.maxParams, 300);
      const std::size_t spread = maxLen > entry.minParams ? maxLen - entry.minParams + 1 : 1;
      const std::size_t len = entry.minParams + rng() % spread;
      state.modelMask = entry.models & (~entry.models + 1);  // a model the command exists on
      Bytes body{rng() % 2 ? kFs : kEsc};
      for (std::uint8_t b : entry.escape) body.push_back(b);
      for (std::size_t i = 0; i < len; ++i) {
        body.push_back(static_cast<std::uint8_t>(alphabet[rng() % alphabet.size()]));
      }
      const Bytes reply = handler.Handle(MakeFrame(body));
      const std::string fault = ShapeFault(entry, body, reply);
      EXPECT_TRUE(fault.empty()) << entry.title << ": " << fault;
      ++checked;
    }
  }
  EXPECT_GT(checked, 3000);
}

}  // namespace
}  // namespace tervane::sim::testing
