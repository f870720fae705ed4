#include "vendor/download/download_entry.h"

#include <cstdlib>

#include "core/common/partial_download.h"
#include "core/transport/port_factory.h"
#include "vendor/download/library_settings.h"

namespace tervane::vendor {

namespace {

std::string Text(const char* s) { return s != nullptr ? std::string(s) : std::string(); }

}  // namespace

int RunDownload(const char* port, const char* file, DownloadKind kind, const char* rangeKind, const char* start,
                const char* end, const char* user) {
  const std::string portName = Text(port);
  if (portName.empty()) return kDownloadNotExecuted;
  const ProgramSettings settings = LibrarySettings();
  SystemPortFactory ports(PortContext{&settings, &SystemClock(), nullptr});
  DownloadAsk ask;
  ask.kind = kind;
  ask.rangeKind = Text(rangeKind);
  ask.start = Text(start);
  ask.end = Text(end);
  ask.user = Text(user);
  ask.partialPath = PartialDownloadPath(static_cast<char>(kind));
  const char* resume = std::getenv(kResumeVariable);
  ask.resume = resume != nullptr && std::string(resume) == "1";
  return DownloadToFile(ports, SystemClock(), portName, ask, ResolveInWorkDir(settings, Text(file)));
}

}  // namespace tervane::vendor
