// Keeps the detail-tape and fiscal memories as the printer works: after each command
// that ran, the recorder compares the state with a snapshot taken before it and records
// what the command printed (a new document, or lines added to the open one), the
// reduction it wrote to the fiscal memory, or the change of user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/common/clock.h"
#include "sim/printer_state.h"
#include "sim/sim_frame.h"

namespace tervane::sim {

struct CommandEntry;

// The parts of the state a command may change that the memories care about.
struct CommandSnapshot {
  int coo = 0;
  int user = 0;
  int crz = 0;
  std::size_t reductions = 0;
  std::size_t items = 0;
  std::size_t payments = 0;
  DayTotals day;
  std::int64_t grandTotal = 0;
};

CommandSnapshot TakeSnapshot(const PrinterState& state);

// Records the effects of a command that ran (it was not refused) at the printer's time
// `now`. Never fails; commands that print nothing leave the memories alone.
void RecordOnTape(const CommandEntry& entry, const Bytes& params, const CommandSnapshot& before,
                  PrinterState& state, const CivilTime& now);

// Records a power failure at `now`: the next documents follow the marker.
void RecordPowerFailure(PrinterState& state, const CivilTime& now);

vendor::MemoryTime ToMemoryTime(const CivilTime& t);

}  // namespace tervane::sim
