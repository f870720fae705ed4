// What the user is told when a port will not open: the device, the cause and what to do
// about it, in one Portuguese text shared by the workbench, the command line and the
// port listing.
#pragma once

#include <string>

#include "core/transport/port.h"

namespace tervane {

// The text (Windows-1252, no line end) for a failed Open of the port `portName`:
//   permission denied: the device, its owner group and permissions, and the fix
//     (sudo usermod -aG <group> <user>, then log in again);
//   busy: that another program holds it, with its name and process number when a lock
//     file or an advisory lock on the device names one;
//   missing device, not a terminal, line settings refused, or the system's error.
// For the port "USB" the permission text points to the USB driver installation (the udev
// rule) instead of a group, and the busy text names the printer.
// A failure of kind kNone (a kind that keeps no reason) gets a text naming the port only.
std::string OpenFailureText(const std::string& portName, const PortOpenFailure& failure);

// The first words of the text of a link found gone during an exchange.
inline constexpr char kLinkLostLead[] = "Conex\xE3o com a impressora perdida";

// The text (Windows-1252, no line end) for a link that went away: "Conexão com a
// impressora perdida: " and what happened (the serial line hung up, the TCP bridge
// closed, reset or refused the connection, the USB printer was unplugged), naming the
// device or address.
std::string LinkLostText(const std::string& portName, const PortLinkLoss& loss);

// The program holding `device`, as "name (PID n)": from a lock file (LCK..<name> in
// /run/lock or /var/lock) or an advisory lock on the device listed in /proc/locks, else
// from a process of this user with the device open. Empty when none is found.
std::string FindDeviceHolder(const std::string& device);

// The group a technician joins to reach a serial device: the device's own group when
// that group may read and write it and is not a system group (root, tty), else
// "dialout".
std::string SerialAccessGroup(const std::string& device);

// True when this process may open `device` for reading and writing.
bool MayOpenDevice(const std::string& device);

}  // namespace tervane
