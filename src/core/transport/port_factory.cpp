#include "core/transport/port_factory.h"

#include "core/transport/file_port.h"
#include "core/transport/serial_port.h"
#include "core/transport/socket_port.h"
#include "core/transport/usb_port.h"

namespace tervane {

std::string ExchangeFolder(const ProgramSettings& settings) {
  if (!settings.g_exchangeDir.empty()) return ResolveInWorkDir(settings, settings.g_exchangeDir);
  return settings.g_workDir;
}

std::unique_ptr<CPort> CreatePort(const std::string& name, const PortContext& context) {
  static const ProgramSettings kNoSettings;
  const ProgramSettings& settings = context.settings != nullptr ? *context.settings : kNoSettings;
  Clock& clock = context.clock != nullptr ? *context.clock : SystemClock();

  if (name == "USB") {
    return std::make_unique<CUsbPort>(context.usbLink != nullptr ? *context.usbLink
                                                                 : ProcessUsbLink(settings.g_workDir));
  }
  if (name == "FILE") return std::make_unique<CFilePort>(ExchangeFolder(settings));
  if (name == "SOCKET") return std::make_unique<CSocketPort>(settings.g_printerAddress, clock);
  return std::make_unique<CSerialPort>(name, clock);
}

}  // namespace tervane
