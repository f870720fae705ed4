// The hardware identifiers of the USB printers the workbench drives: pairs of USB vendor
// and product numbers. They are configuration, shipped with the driver package in
// usb/ids.txt (data/usb/ids.txt in the source tree), and read at run time.
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

// The identifiers of the file FindUsbIdsFile gives. Returns an empty list (and `error`
// when given) when there is no file or it cannot be read; a USB link with no identifiers
// finds no printer.
std::vector<UsbHardwareId> ConfiguredUsbIds(const std::string& workDir, std::string* error = nullptr);

// "vvvv:pppp" in lower-case hexadecimal.
std::string UsbIdText(const UsbHardwareId& id);

}  // namespace tervane
