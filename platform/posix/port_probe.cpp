// Serial port presence from the device node and the kernel's device model
// (sysfs), never by opening the port: an open raises DTR before any ioctl
// could ask the driver what it is.
#include "plat/port_probe.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

namespace plat {

namespace fs = std::filesystem;

namespace {

// Unix98 pseudo-terminal slaves (the kernel's devices list): such a node
// exists only while its master is open, so its presence is its answer.
constexpr unsigned kPtySlaveFirstMajor = 136;
constexpr unsigned kPtySlaveLastMajor = 143;

// The serial core's "type" attribute for a line where no UART answered at
// the configured address: the 8250 driver registers ttyS0-3 on every PC,
// whether the chips are there or not.
constexpr long kUnknownUart = 0;

bool isTtyWithHardware(const fs::path& node)
{
    std::error_code error;
    if (fs::read_symlink(node / "subsystem", error).filename() != "tty")
        return false;
    // Virtual consoles, /dev/tty and /dev/console are ttys with no device
    // behind them.
    if (!fs::exists(node / "device", error))
        return false;
    std::ifstream type(node / "type");
    if (!type)
        return true; // not a UART line: an adapter port, gone when unplugged
    long value = kUnknownUart;
    type >> value;
    return static_cast<bool>(type) && value != kUnknownUart;
}

std::string firstLineOf(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The device number a tty class entry gives as "major:minor".
std::optional<dev_t> ttyDeviceNumber(const fs::path& classDir, const std::string& name)
{
    // The names come from a file; a path in one must not lead outside the class.
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return std::nullopt;
    std::istringstream text(firstLineOf(classDir / name / "dev"));
    unsigned majorNumber = 0;
    unsigned minorNumber = 0;
    char colon = 0;
    if (!(text >> majorNumber >> colon >> minorNumber) || colon != ':')
        return std::nullopt;
    return makedev(majorNumber, minorNumber);
}

// The console's devices: each name of console/active, where "tty0" (the
// virtual console in front, whichever it is) also stands for the one its own
// "active" names, and /dev/console itself.
std::vector<dev_t> consoleDevices(const std::string& sysfsRoot)
{
    const fs::path classDir = fs::path(sysfsRoot) / "class" / "tty";
    std::vector<std::string> names = {"console"};
    std::istringstream active(firstLineOf(classDir / "console" / "active"));
    for (std::string name; active >> name;) {
        names.push_back(name);
        if (name == "tty0")
            names.push_back(firstLineOf(classDir / "tty0" / "active"));
    }
    std::vector<dev_t> devices;
    for (const std::string& name : names)
        if (const auto device = ttyDeviceNumber(classDir, name))
            devices.push_back(*device);
    return devices;
}

} // namespace

bool serialPortPresent(const std::string& path)
{
    return detail::serialPortPresent(path, "/sys");
}

bool isKernelConsole(const std::string& path)
{
    return detail::isKernelConsole(path, "/sys");
}

bool detail::isKernelConsole(const std::string& path, const std::string& sysfsRoot)
{
    struct stat status {};
    if (path.empty() || ::stat(path.c_str(), &status) != 0 || !S_ISCHR(status.st_mode))
        return false;
    for (const dev_t device : consoleDevices(sysfsRoot))
        if (device == status.st_rdev)
            return true;
    return false;
}

bool detail::serialPortPresent(const std::string& path, const std::string& sysfsRoot)
{
    struct stat status {};
    if (path.empty() || ::stat(path.c_str(), &status) != 0 || !S_ISCHR(status.st_mode))
        return false;
    const unsigned majorNumber = major(status.st_rdev);
    const unsigned minorNumber = minor(status.st_rdev);
    if (majorNumber >= kPtySlaveFirstMajor && majorNumber <= kPtySlaveLastMajor)
        return true;
    const fs::path node = fs::path(sysfsRoot) / "dev" / "char" /
                          (std::to_string(majorNumber) + ":" + std::to_string(minorNumber));
    return isTtyWithHardware(node);
}

} // namespace plat
