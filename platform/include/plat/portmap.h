// Where a COM port number lives on this machine.
//
// Lookup order: environment variable CFC_COM<n>; entry COM<n>=<path> in
// section [Ports] of $XDG_CONFIG_HOME/cfc/ports.ini (~/.config/cfc/ports.ini);
// defaults COM1-32 = /dev/ttyS0-31, COM33-64 = /dev/ttyUSB0-31,
// COM65-96 = /dev/ttyACM0-31.
#pragma once

#include <optional>
#include <string>

namespace plat {

// Device path of COM<n>, or nothing when no mapping exists for n.
std::optional<std::string> comPortPath(int portNumber);

// $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config (HOME from
// the user database when unset); empty when neither is known.
std::string userConfigDir();

} // namespace plat
