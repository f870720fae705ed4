// Seeds the simulated printer with days of plausible activity before today, so that its
// memories have something to download: sale coupons (with the odd cancellation and card
// voucher), bleeds, management reports, X readings and one Z reduction a day, and now
// and then a power failure. The days run through the printer's own command engine on a
// clock set to each moment, so counters, totals and memories agree as if it had
// happened.
#pragma once

#include <cstdint>

#include "sim/printer_state.h"

namespace tervane::sim {

// Runs `days` days ending yesterday (host local date). An owner, four tax rates and two
// payment methods are programmed first when the state has none. Deterministic for a
// given `seed`. Returns the number of documents printed.
int SeedHistory(PrinterState& state, int days, std::uint32_t seed = 1);

}  // namespace tervane::sim
