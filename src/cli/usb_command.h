// `usb`: the USB printers. `usb list` shows the printers present (by the configured
// hardware identifiers) and whether they can be opened; `usb install` writes the udev
// rule that gives access to them and reloads udev.
#pragma once

#include <string>

#include "cli/cli_command.h"
#include "core/transport/usb_backend.h"

namespace tervane::cli {

class UsbCommand : public CliCommand {
 public:
  // `backend` is where `usb list` looks (the system's libusb by default).
  explicit UsbCommand(const OutputOptions& output, UsbBackend& backend = SystemUsbBackend())
      : output_(output), backend_(backend) {}

  CLI::App* attach(CLI::App& app) override;

  // install: 0 when the rule was written (and udev, when present, reloaded); 1 with
  // "Erro na instalação do driver USB" and the reason otherwise.
  // list: 0 when the devices could be listed (none included); 1 when there are no
  // identifiers or USB devices cannot be enumerated here.
  int execute(std::ostream& out, std::ostream& err) override;

 private:
  int Install(std::ostream& out, std::ostream& err);
  int List(std::ostream& out, std::ostream& err);

  const OutputOptions& output_;
  UsbBackend& backend_;
  CLI::App* install_ = nullptr;
  std::string rulesDir_;
  std::string group_;
  std::string idsFile_;
  std::string workdir_;
  std::string udevadm_;
  bool noReload_ = false;
};

}  // namespace tervane::cli
