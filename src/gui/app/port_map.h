// The COM-port map as the settings dialog edits it: which device each of "COM1:" to
// "COM8:" stands for, kept in the [ports] section of the application profile (COM1=...
// ... COM8=...), where the serial transport reads it. TERVANE_COMn in the environment
// overrides an entry for the process.
#pragma once

#include <QString>
#include <array>

namespace tervane::gui {

inline constexpr int kComPorts = 8;

struct ComPortEntry {
  QString device;        // the device the name stands for now
  bool fromEnvironment;  // TERVANE_COMn decides it for this process
};

// The map as it stands: the environment, else the profile, else /dev/ttyS0 ... /dev/ttyS7.
std::array<ComPortEntry, kComPorts> LoadComPortMap();

// The profile's own entries (what the settings dialog edits), defaults where missing.
std::array<QString, kComPorts> LoadSavedComPortMap();

// Writes the entries to the profile; an empty entry removes its key, so the default
// applies again. Returns false when the profile could not be written.
bool SaveComPortMap(const std::array<QString, kComPorts>& devices);

// The default device of COMn (n = 1..8).
QString DefaultComDevice(int n);

}  // namespace tervane::gui
