// The USB-serial adapters present (ttyUSB*, ttyACM*, and every link under
// /dev/serial/by-id), with their stable names, maker and product as the kernel's device
// tree tells them, and whether this user may open each; and the test that tells a real
// ttyS UART from the phantoms the kernel lists for ports with no hardware behind them.
#pragma once

#include <string>
#include <vector>

namespace tervane {

// Where the device nodes and the kernel's device tree are read. The defaults are the
// system's; the environment variables TERVANE_DEV_DIR and TERVANE_SYS_DIR move them (a
// prepared tree, a test).
struct SerialScanRoots {
  std::string devDir = "/dev";
  std::string sysDir = "/sys";
};

// The system's roots, moved by the environment variables when they are set.
SerialScanRoots DefaultScanRoots();

struct SerialAdapter {
  std::string device;        // the device node, e.g. /dev/ttyUSB0
  std::string stableName;    // /dev/serial/by-id/..., empty when none links to it
  std::string manufacturer;  // from the USB device's attributes; may be empty
  std::string product;
  std::string serial;
  std::string vendorId;      // "0403"
  std::string productId;     // "6001"
  bool accessible = false;   // this process may open it for reading and writing

  // The name to open and to show: the stable name when there is one.
  const std::string& Name() const { return stableName.empty() ? device : stableName; }
  // "maker product (vvvv:pppp, série s)", or what of it is known; empty when nothing is.
  std::string Description() const;
};

// The adapters present, in natural order of their device names. A by-id link that points
// nowhere, a node that went away while listing, an unreadable tree: left out, never a
// failure.
std::vector<SerialAdapter> ListSerialAdapters(const SerialScanRoots& roots = DefaultScanRoots());

// True when the kernel lists `ttyName` (e.g. "ttyS3") with no UART behind it: its class
// entry reports the port type 0. Unknown (no entry) counts as real.
bool IsPhantomSerialPort(const std::string& ttyName, const SerialScanRoots& roots = DefaultScanRoots());

// The same file, however it is named: both paths resolved through their links. False when
// either does not resolve.
bool SameDevice(const std::string& a, const std::string& b);

// The adapters no COM name maps to, by the name detection probes them with, in order.
std::vector<std::string> UnmappedAdapterNames(const SerialScanRoots& roots = DefaultScanRoots());

}  // namespace tervane
