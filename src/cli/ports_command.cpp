#include "cli/ports_command.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "cli/cli_support.h"
#include "cli/json_output.h"
#include "core/transport/com_port_map.h"
#include "core/transport/open_failure.h"
#include "core/transport/serial_adapters.h"
#include "core/transport/usb_backend.h"
#include "core/transport/usb_ids.h"
#include "core/transport/usbio_device.h"

namespace tervane::cli {

CLI::App* PortsCommand::attach(CLI::App& app) {
  CLI::App* sub = app.add_subcommand(
      "ports",
      "List the COM-port map (COM1: to COM8: and the device each opens), the serial ports "
      "present (ttyS* with a UART behind it), the USB-serial adapters present (by their "
      "/dev/serial/by-id names, with maker and product), each NAME given (a pseudo-terminal, say), and "
      "the USB printers present. One line per port: name, device, origin (environment, settings, "
      "default, present, adapter, given, usb) and state (present, absent, or present but not "
      "accessible to this user), separated by tabs; an adapter's line ends with its description.");
  sub->add_option("names", names_, "Port names or device paths to add to the list")->type_name("NAME");
  sub->add_option("--dev-dir", devDir_, "Folder searched for serial devices (default /dev, or TERVANE_DEV_DIR)")
      ->type_name("DIR");
  sub->add_option("--sys-dir", sysDir_,
                  "The kernel's device tree, read for adapters and phantom UARTs (default /sys, or TERVANE_SYS_DIR)")
      ->type_name("DIR");
  sub->footer(std::string(kRawOptionNote) +
              "\nA COM name resolves through TERVANE_COMn, then the [ports] section of "
              "tervane/tervane.ini in the XDG config folder, then /dev/ttyS(n-1).\n"
              "Exit status: 0.\n" + kJsonOptionNote);
  return sub;
}

int PortsCommand::execute(std::ostream& out, std::ostream& /*err*/) {
  // Names and paths are written as the system holds them, with the line end of the mode.
  const char* lineEnd = output_.raw ? "\r\n" : "\n";
  SerialScanRoots roots = DefaultScanRoots();
  if (!devDir_.empty()) roots.devDir = devDir_;
  if (!sysDir_.empty()) roots.sysDir = sysDir_;
  Json listed = Json::array();
  for (const PortListEntry& entry : ListPorts(names_, roots.devDir, roots.sysDir)) {
    if (output_.report) {
      Json port = Json::object();
      port["name"] = JsonUtf8(entry.name);
      port["device"] = JsonUtf8(entry.device);
      port["origin"] = entry.origin;
      port["state"] = !entry.present ? "absent" : entry.accessible ? "present" : "not_accessible";
      port["access_group"] =
          entry.present && !entry.accessible ? Json(JsonUtf8(SerialAccessGroup(entry.device))) : Json(nullptr);
      port["description"] = entry.description.empty() ? Json(nullptr) : Json(JsonText(entry.description));
      listed.push_back(std::move(port));
    }
    out << entry.name << '\t' << entry.device << '\t' << entry.origin << '\t';
    if (!entry.present) {
      out << "absent";
    } else if (entry.accessible) {
      out << "present";
    } else {
      out << "present, not accessible (join the group " << SerialAccessGroup(entry.device) << ")";
    }
    if (!entry.description.empty()) out << '\t' << ForTerminal(entry.description, output_);
    out << lineEnd;
  }
  // USB printers whose vendor and product numbers are configured, when any is present.
  std::string error;
  const std::vector<UsbHardwareId> ids = ConfiguredUsbIds(ResolveWorkDir(""), &error);
  std::vector<UsbioPresentDevice> devices;
  if (!ids.empty() && ListUsbioDevices(SystemUsbBackend(), ids, devices)) {
    for (const UsbioPresentDevice& device : devices) {
      if (output_.report) {
        Json port = Json::object();
        port["name"] = "USB";
        port["device"] = JsonUtf8(device.path);
        port["origin"] = "usb";
        port["state"] = device.openStatus == kUsbioOk ? "present" : "cannot_be_opened";
        port["access_group"] = nullptr;
        port["description"] = nullptr;
        listed.push_back(std::move(port));
      }
      out << "USB\t" << device.path << "\tusb\t"
          << (device.openStatus == kUsbioOk ? "present" : "present, cannot be opened") << lineEnd;
    }
  }
  if (output_.report) output_.report->body["ports"] = std::move(listed);
  return kExitOk;
}

}  // namespace tervane::cli
