// The hardware identifiers of the USB printers the workbench drives: pairs of USB vendor
// and product numbers. They are configuration, shipped with the driver package in
// usb/ids.txt (data/usb/ids.txt in the source tree), and read at run time. A technician
// adds the identifiers of other printers to the user's own file,
// ($XDG_CONFIG_HOME, else ~/.config)/tervane/usb-ids.txt, which is merged with it.
//
// File format: one identifier per line as "vvvv:pppp", four hexadecimal digits each
// (the form lsusb prints); blank lines and text after '#' are ignored.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tervane {

struct UsbHardwareId {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  bool operator==(const UsbHardwareId&) const = default;
};

inline constexpr char kUsbIdsFileName[] = "ids.txt";
inline constexpr char kUsbIdsEnvironment[] = "TERVANE_USB_IDS";

// Reads the identifiers from the text of an identifier file. Returns false, with `error`
// (when given) naming the line and what is wrong there, for a malformed line or a file
// with no identifier; `ids` is then empty. A repeated identifier is kept once.
bool ParseUsbIds(std::string_view text, std::vector<UsbHardwareId>& ids, std::string* error);

// Reads and parses the file at `path`. Returns false with `error` set ("cannot read
// <path>: ..." or "<path>: line N: ...") on failure; `ids` is then empty.
bool LoadUsbIds(const std::string& path, std::vector<UsbHardwareId>& ids, std::string* error);

// Where the identifier file is: the file named by the environment variable
// TERVANE_USB_IDS when set; else <workDir>/usb/ids.txt when it exists; else the
// shipped data folder's usb/ids.txt (ShippedDataDir) when it exists. Returns
// an empty string when none exists.
std::string FindUsbIdsFile(const std::string& workDir);

inline constexpr char kUserUsbIdsFileName[] = "usb-ids.txt";

// The user's own identifier file: ($XDG_CONFIG_HOME, else $HOME/.config)/tervane/
// usb-ids.txt. Empty when neither variable is set.
std::string UserUsbIdsFile();

// One identifier file read, and the identifiers it gave.
struct UsbIdSource {
  std::string path;
  std::vector<UsbHardwareId> ids;
};

// The identifiers configured: those of the file FindUsbIdsFile gives, then those of the
// user's file (UserUsbIdsFile) when it exists, merged in that order, each once.
struct UsbIdConfiguration {
  std::vector<UsbIdSource> sources;  // the files read, in the order merged
  std::vector<UsbHardwareId> ids;    // all of them, each once
  std::string error;                 // why a file is missing or could not be read; empty when all was well
};

// Reads the configuration for `workDir`. A file that cannot be read is left out and
// named in `error`; the others still count. The user's file may hold no identifier.
UsbIdConfiguration LoadUsbIdConfiguration(const std::string& workDir);

// The merged identifiers of LoadUsbIdConfiguration. Returns an empty list (and `error`
// when given) when no file gives any; a USB link with no identifiers finds no printer.
std::vector<UsbHardwareId> ConfiguredUsbIds(const std::string& workDir, std::string* error = nullptr);

// Adds `id` to the user's identifier file (created with its folder when missing; saved
// atomically, its comments and other lines kept). `path` gets the file. Returns false
// with `error` when there is no home folder or the file cannot be read or written; true
// without writing when the file already lists `id` (`added` then false).
bool AddUserUsbId(const UsbHardwareId& id, std::string* path, bool* added, std::string* error);

// Reads "vvvv:pppp" (four hexadecimal digits each, blanks around ignored). False for
// anything else.
bool ParseUsbIdText(std::string_view text, UsbHardwareId& id);

// "vvvv:pppp" in lower-case hexadecimal.
std::string UsbIdText(const UsbHardwareId& id);

}  // namespace tervane
