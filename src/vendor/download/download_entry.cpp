#include "vendor/download/download_entry.h"

#include "core/transport/port_factory.h"
#include "vendor/download/library_settings.h"

namespace tervane::vendor {

namespace {

std::string Text(const char* s) { return s != nullptr ? std::string(s) : std::string(); }

}  // namespace

int RunDownload(const char* port, const char* file, DownloadKind kind, const char* rangeKind, const char* start,
                const char* end, const char* user) {
  const std::string portName = Text(port);
  if (portName.empty() || portName == "USB") return kDownloadNotExecuted;
  const ProgramSettings settings = LibrarySettings();
  SystemPortFactory ports(PortContext{&settings, &SystemClock(), nullptr});
  DownloadAsk ask;
  ask.kind = kind;
  ask.rangeKind = Text(rangeKind);
  ask.start = Text(start);
  ask.end = Text(end);
  ask.user = Text(user);
  return DownloadToFile(ports, SystemClock(), portName, ask, ResolveInWorkDir(settings, Text(file)));
}

}  // namespace tervane::vendor
