// Where a COM port number lives on this machine.
//
// Lookup order: environment variable CFC_COM<n>, then the system's own:
// - POSIX: entry COM<n>=<path> in section [Ports] of
//   $XDG_CONFIG_HOME/cfc/ports.ini (~/.config/cfc/ports.ini); defaults
//   COM1-4 = /dev/ttyS0-3, COM5-20 = /dev/ttyUSB0-15, COM21-30 =
//   /dev/ttyACM0-9, COM31-32 = /dev/ttyS30-31, and as before COM33-64 =
//   /dev/ttyUSB0-31, COM65-96 = /dev/ttyACM0-31.
// - Windows: COM<n> is a device of its own, "\\.\COM<n>" (the form that
//   also reaches COM10 and above); there is no map file.
#pragma once

#include <optional>
#include <string>

namespace plat {

// Device path of COM<n>, or nothing when no mapping exists for n.
std::optional<std::string> comPortPath(int portNumber);

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config (HOME from
// the user database when unset); on Windows %APPDATA%. Empty when none is
// known.
std::string userConfigDir();

} // namespace plat
