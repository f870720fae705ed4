#include "sim/fault_injector.h"

#include <cstdlib>

#include "sim/command_handler.h"

namespace tervane::sim {
namespace {

struct KindName {
  FaultKind kind;
  const char* name;
};

constexpr KindName kKinds[] = {
    {FaultKind::kNakReply, "nak"},         {FaultKind::kSilence, "silence"}, {FaultKind::kGarbage, "garbage"},
    {FaultKind::kTruncate, "truncate"}, {FaultKind::kDelay, "delay"},   {FaultKind::kHangup, "hangup"},
};

}  // namespace

const char* FaultName(FaultKind kind) {
  for (const KindName& k : kKinds) {
    if (k.kind == kind) return k.name;
  }
  return "?";
}

bool ParseFaultRule(const std::string& text, FaultRule* rule, std::string* error) {
  const std::size_t colon = text.find(':');
  const std::string name = text.substr(0, colon);
  const KindName* found = nullptr;
  for (const KindName& k : kKinds) {
    if (name == k.name) found = &k;
  }
  if (!found) {
    if (error) *error = "unknown fault kind '" + name + "' (nak, silence, garbage, truncate, delay, hangup)";
    return false;
  }
  double rate = 1.0;
  if (colon != std::string::npos) {
    const std::string number = text.substr(colon + 1);
    char* end = nullptr;
    rate = std::strtod(number.c_str(), &end);
    if (number.empty() || end == nullptr || *end != '\0' || !(rate >= 0.0 && rate <= 1.0)) {
      if (error) *error = "fault rate '" + number + "' is not a number from 0 to 1";
      return false;
    }
  }
  rule->kind = found->kind;
  rule->rate = rate;
  return true;
}

FaultInjector::FaultInjector(std::vector<FaultRule> rules, std::uint64_t seed, int delayMs)
    : rules_(std::move(rules)), rng_(seed), delayMs_(delayMs) {}

double FaultInjector::Uniform() {
  return static_cast<double>(rng_() >> 11) * (1.0 / 9007199254740992.0);  // 53 random bits
}

std::optional<FaultKind> FaultInjector::Next() {
  std::optional<FaultKind> chosen;
  for (const FaultRule& rule : rules_) {
    const double draw = Uniform();
    if (!chosen && draw < rule.rate) chosen = rule.kind;
  }
  return chosen;
}

Delivery FaultInjector::Apply(FaultKind kind, Bytes reply) {
  Delivery d;
  d.fault = kind;
  switch (kind) {
    case FaultKind::kNakReply:
      d.bytes = {kNak};
      break;
    case FaultKind::kSilence:
      break;
    case FaultKind::kGarbage:
      d.bytes.resize(reply.size());
      for (std::uint8_t& b : d.bytes) b = static_cast<std::uint8_t>(rng_() & 0xFF);
      if (!d.bytes.empty() && (d.bytes[0] == kAck || d.bytes[0] == kNak)) d.bytes[0] ^= 0x80;
      break;
    case FaultKind::kTruncate:
      if (reply.size() > 1) {
        const std::size_t keep = 1 + static_cast<std::size_t>(rng_() % (reply.size() - 1));
        reply.resize(keep);
        d.bytes = std::move(reply);
      }
      break;
    case FaultKind::kDelay:
      d.bytes = std::move(reply);
      d.delayMs = delayMs_;
      break;
    case FaultKind::kHangup:
      d.hangup = true;
      break;
  }
  return d;
}

Delivery Respond(CommandHandler& handler, FaultInjector& faults, const Bytes* frame) {
  if (!frame) return Delivery{Bytes{kNak}, 0, false, std::nullopt};
  const std::optional<FaultKind> fault = faults.Next();
  if (!fault) {
    Delivery delivery{handler.Handle(*frame), 0, false, std::nullopt};
    // A download asked to break at this block: the link drops instead of the answer.
    if (handler.State().memories.hangupRequested) {
      handler.State().memories.hangupRequested = false;
      delivery.bytes.clear();
      delivery.hangup = true;
    }
    return delivery;
  }
  // NAK, silence and hang-up stand for a command that never reached the printer.
  const bool executed = *fault == FaultKind::kGarbage || *fault == FaultKind::kTruncate ||
                        *fault == FaultKind::kDelay;
  return faults.Apply(*fault, executed ? handler.Handle(*frame) : Bytes{});
}

}  // namespace tervane::sim
