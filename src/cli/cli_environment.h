// What tervane-cli takes from its surroundings besides the arguments and the two output
// streams: where answers to questions come from, the ports, the clock and whether a
// progress line may be drawn. Tests swap them to run commands in-process.
#pragma once

#include <iosfwd>

#include "core/common/clock.h"
#include "core/transport/port.h"

namespace tervane::cli {

struct CliEnvironment {
  std::istream* in = nullptr;          // answers to questions; null: standard input
  PortFactory* ports = nullptr;        // null: the system's ports for the chosen settings
  Clock* clock = nullptr;              // null: the system clock
  std::ostream* progress = nullptr;    // where a progress line is drawn; null: none
  bool catchInterrupt = true;          // Ctrl-C cancels a running exchange or sequence
};

}  // namespace tervane::cli
