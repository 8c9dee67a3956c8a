// The serial port and speed a production program last chose, kept for the
// user between runs: in the user's configuration files on POSIX systems, in
// the registry on Windows.
#pragma once

#include <cstdint>

namespace plat {

// Stores both values; false when they cannot be stored.
bool writePortSettings(uint8_t port, uint32_t baudRate);

// True when a port number is stored; it goes to `port`. `baudRate` takes the
// stored speed where one is kept and is left alone otherwise.
bool readPortSettings(uint8_t* port, uint32_t* baudRate);

} // namespace plat
