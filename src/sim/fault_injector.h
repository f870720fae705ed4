// Faults on purpose: per command, with a chosen probability, the simulated printer
// answers NAK, stays silent, sends garbage or half a reply, answers late or drops the
// link. A seed makes the pattern repeatable.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sim/sim_frame.h"

namespace tervane::sim {

class CommandHandler;

enum class FaultKind {
  kNakReply,  // the command is not executed; the reply is the single byte 15h
  kSilence,   // the command is not executed; nothing is sent
  kGarbage,   // executed; the reply's bytes are replaced by random ones (first never ACK/NAK)
  kTruncate,  // executed; only a random leading part of the reply is sent
  kDelay,     // executed; the reply is held back for the configured delay
  kHangup,    // not executed; the link is dropped (TCP closed, pty replaced)
};

struct FaultRule {
  FaultKind kind = FaultKind::kNakReply;
  double rate = 1.0;  // probability per command, 0..1
};

// "nak", "silence", … for a kind.
const char* FaultName(FaultKind kind);

// Parses "KIND" or "KIND:RATE". Returns false, with `error` saying why, for an unknown
// kind or a rate that is not a number between 0 and 1.
bool ParseFaultRule(const std::string& text, FaultRule* rule, std::string* error);

// What a face is to do with one command's answer.
struct Delivery {
  Bytes bytes;                      // to send (possibly empty)
  int delayMs = 0;                  // hold it back this long first
  bool hangup = false;              // drop the link instead of answering
  std::optional<FaultKind> fault;   // the fault applied, if any
};

class FaultInjector {
 public:
  FaultInjector() : FaultInjector({}, 1, 0) {}
  FaultInjector(std::vector<FaultRule> rules, std::uint64_t seed, int delayMs);

  // Draws the fault for the next command: the first rule whose draw falls under its
  // rate, or none. One draw per rule per command, so a seed repeats the same pattern.
  std::optional<FaultKind> Next();

  // Shapes a reply by a fault (random choices come from the same seeded stream).
  Delivery Apply(FaultKind kind, Bytes reply);

  bool Empty() const { return rules_.empty(); }

 private:
  double Uniform();  // [0, 1)

  std::vector<FaultRule> rules_;
  std::mt19937_64 rng_;
  int delayMs_;
};

// Answers one event of a face's frame assembler: a good frame goes to the engine (unless
// a fault keeps it from it), a bad one gets a NAK.
Delivery Respond(CommandHandler& handler, FaultInjector& faults, const Bytes* frame);

}  // namespace tervane::sim
