// The serial ports the kernel offers, as the serial-port map lists them:
// device name ("\\Device\\ttyS0"; "\\Device\\USBSER_ttyACM0" for a port on a
// USB adapter, so USB ports are known by name) and port name (COM<n> from the
// platform's port map; a port no COM number maps to is left out).
//
// A tty counts as a port when it has a device behind it and, for UART ports,
// the kernel knows the UART's type: the placeholders a PC kernel creates for
// ttyS0-31 report type 0 and are skipped.
#pragma once

#include <string>
#include <vector>

namespace win {

struct SerialMapEntry {
    std::string deviceName;
    std::string portName;
};

// Scans <sysfsRoot()>/class/tty; ordered by COM number.
std::vector<SerialMapEntry> scanSerialPorts();

} // namespace win
