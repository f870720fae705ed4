// The map from the port names "COM1:".."COM8:" to serial device paths, and the listing of
// the serial devices present, for the connection settings and the command line.
//
// A COM name resolves, first match wins, through:
//   1. the environment variable TERVANE_COMn (n = 1..8), when set and not empty;
//   2. the key COMn of section [ports] in the settings file
//      ($XDG_CONFIG_HOME, else ~/.config)/tervane/tervane.ini;
//   3. the default /dev/ttyS(n-1).
// Every other name (a COM number beyond 8, "com1:", "COM1" without the colon, a path)
// is taken as a device path unchanged.
#pragma once

#include <string>
#include <vector>

namespace tervane {

inline constexpr int kComPortCount = 8;

enum class ComMapSource { kEnvironment, kSettingsFile, kDefault };

struct ComMapEntry {
  int number = 0;        // 1..8
  std::string name;      // "COM1:"
  std::string device;    // the device path it resolves to
  ComMapSource source = ComMapSource::kDefault;
};

// The COM number 1..8 of a name written exactly "COMn:"; 0 for any other name.
int ComPortNumber(const std::string& name);

// Full path of the settings file that holds the [ports] section; empty when neither
// XDG_CONFIG_HOME nor HOME is set.
std::string PortSettingsFilePath();

// The eight COM names with their devices and where each mapping came from. Never fails:
// an unreadable settings file simply yields the defaults.
std::vector<ComMapEntry> ComPortMap();

// The device path a port name opens: the COM map for "COM1:".."COM8:", the name itself
// otherwise. Never fails.
std::string ResolvePortDevice(const std::string& name);

struct PortListEntry {
  std::string name;         // what the user types: "COM1:", a device path or a stable name
  std::string device;       // the device it opens
  std::string origin;       // "environment", "settings", "default", "present", "adapter" or "given"
  bool present = false;     // the device node exists
  bool accessible = false;  // present, and this process may open it for reading and writing
  std::string description;  // an adapter's maker and product (Windows-1252); empty otherwise
};

// The lines of a port listing: the eight COM map entries, then the UARTs found in
// `devDir` (ttyS*, in natural order, without the phantoms the kernel lists for ports
// with no hardware, as `sysDir` tells them), then the USB-serial adapters present (by
// their stable names, with maker and product), then each of `names` resolved. An
// unreadable folder contributes nothing; the call never fails.
std::vector<PortListEntry> ListPorts(const std::vector<std::string>& names, const std::string& devDir = "/dev",
                                     const std::string& sysDir = "/sys");

const char* ComMapSourceName(ComMapSource source);

}  // namespace tervane
