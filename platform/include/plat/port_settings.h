// The serial port and speed a production program last chose, kept for the
// user between runs: in the user's configuration files on POSIX systems, in
// the registry on Windows.
#pragma once

#include <cstdint>

namespace plat {

// Stores both values; false when they cannot be stored.
bool writePortSettings(uint8_t port, uint32_t baudRate);

// True when a port number is stored; it goes to `port`. The speed stays
// stored for other readers; the library's own read always gives 115200, the
// speed the module's service protocol runs at.
bool readPortSettings(uint8_t* port);

} // namespace plat
