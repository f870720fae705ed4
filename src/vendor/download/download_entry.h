// The download entry points' common step: the library's settings, the port factory,
// the system clock, then DownloadToFile. The C wrappers in exports/ call this.
#pragma once

#include "vendor/download/memory_download.h"

namespace tervane::vendor {

// Runs one download requested through an entry point. Null texts count as empty. The
// port name "USB" reaches the printer through the library's own USB link (the workbench
// lets go of the device for the call). Returns the result codes of memory_download.h.
int RunDownload(const char* port, const char* file, DownloadKind kind, const char* rangeKind = "0",
                const char* start = "", const char* end = "", const char* user = "");

}  // namespace tervane::vendor
