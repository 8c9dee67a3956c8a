// Whether a device path leads to a serial port that is there, found out
// without opening it. Opening a tty raises DTR on most drivers (and drops it
// again on close), and DTR is a module's ignition line: listing ports must
// never start or stop a module.
#pragma once

#include <string>

namespace plat {

// True for a character device that is a serial port with its hardware
// present: a UART the driver found at its address, a USB or other adapter
// port (those exist only while the adapter does), or a pseudo-terminal whose
// other end is open.
bool serialPortPresent(const std::string& path);

// True when the device at `path` (any name for it, links followed) is one the
// kernel writes its console to, as it lists them in class/tty/console/active.
// A serial console looks like any UART, but raising DTR and writing AT
// commands there disturbs the console, and no module answers.
bool isKernelConsole(const std::string& path);

namespace detail {
// The same decisions, reading the device model from another sysfs tree.
bool serialPortPresent(const std::string& path, const std::string& sysfsRoot);
bool isKernelConsole(const std::string& path, const std::string& sysfsRoot);
} // namespace detail

} // namespace plat
