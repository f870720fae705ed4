// `usb`: the USB printers. `usb list` names the identifiers looked for and the files they
// come from, shows the printers present and whether they can be opened, and the other
// devices of printer or vendor class present; `usb ids add` adds an identifier to the
// user's own file; `usb install` writes the udev rule that gives access to them (through
// pkexec when run by a normal user) and reloads udev.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/cli_command.h"
#include "core/transport/usb_backend.h"
#include "core/transport/usb_driver_install.h"

namespace tervane::cli {

// What `usb install` uses to reach root; the program leaves it empty (the system's
// pkexec, this process's user), tests put in a runner that records the command.
struct UsbInstallSeams {
  CommandRunner run;
  std::string pkexec;
  std::optional<bool> asRoot;
};

class UsbCommand : public CliCommand {
 public:
  // `backend` is where `usb list` looks (the system's libusb by default).
  explicit UsbCommand(const OutputOptions& output, UsbBackend& backend = SystemUsbBackend(),
                      UsbInstallSeams seams = {})
      : output_(output), backend_(backend), seams_(std::move(seams)) {}

  CLI::App* attach(CLI::App& app) override;

  // install: 0 when the rule was written (and udev, when present, reloaded); 1 with
  // "Erro na instalação do driver USB" and the reason otherwise.
  // list: 0 when the devices could be listed (none included); 1 when there are no
  // identifiers or USB devices cannot be enumerated here.
  // ids add: 0 when the identifier is in the user's file; 1 for a malformed identifier
  // or a file that cannot be written.
  int execute(std::ostream& out, std::ostream& err) override;

 private:
  int Install(std::ostream& out, std::ostream& err);
  int List(std::ostream& out, std::ostream& err);
  int AddId(std::ostream& out, std::ostream& err);

  const OutputOptions& output_;
  UsbBackend& backend_;
  UsbInstallSeams seams_;
  CLI::App* install_ = nullptr;
  CLI::App* idsAdd_ = nullptr;
  std::string rulesDir_;
  std::string group_;
  std::string idsFile_;
  std::vector<std::string> idTexts_;
  std::string workdir_;
  std::string udevadm_;
  std::string newId_;
  bool noReload_ = false;
  bool noPkexec_ = false;
};

}  // namespace tervane::cli
