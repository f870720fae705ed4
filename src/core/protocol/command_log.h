// The daily command log and the hexadecimal dump of a trace.
#pragma once

#include <string>

#include "core/common/settings.h"
#include "core/catalogue/command_record.h"
#include "core/common/clock.h"

namespace tervane {

// The log file of a day: <log folder>/Log_YYYY_MM_DD.txt, the log folder being g_logDir
// when set, else <workDir>/log.
std::string LogFilePath(const ProgramSettings& settings, const CivilTime& now);

// The log record of one exchange, exactly as it lands in the file (LF written as CR LF).
std::string FormatLogRecord(const CommandRecord& command, const CivilTime& now);

// Appends the record of one exchange to the day's log, creating the log folder (its last
// component) when missing. Always returns 0: a log that cannot be written loses the record silently.
int WriteCommandLog(const CommandRecord& command, const ProgramSettings& settings,
                    Clock& clock = SystemClock());

// Lays a HexTrace out as "CMD:" and "RET:" blocks of 16 bytes per line with offsets and a
// character column.
std::string HexDump(const std::string& trace);

}  // namespace tervane
