// The COM ports offered in the main window's list.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kestrix {

inline constexpr std::int32_t firstListedPort = 1;
inline constexpr std::int32_t lastListedPort = 99;

// Whether COM<n> is a serial port that is there.
using PortProbe = std::function<bool(std::int32_t portNumber)>;

// "COM<n>" for each n from 1 to 99, in ascending order, that the probe finds.
// Higher numbers are never asked about.
std::vector<std::string> buildPortList(const PortProbe& present);

// The machine's own answer: COM<n>'s device through the port map, checked
// without opening it (opening would move DTR, the module's ignition). The
// kernel's console is never offered: pressing the button on it would raise
// DTR and write AT commands to the console. A device that a lower number
// names as well is left to that number.
bool comPortPresent(std::int32_t portNumber);

} // namespace kestrix
