#include "win/serial_map.h"

#include "win/store.h"

#include "plat/portmap.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <map>
#include <string>
#include <sys/stat.h>

namespace win {

namespace {

// Windows numbers COM ports up to 256.
constexpr int kHighestComPort = 256;

bool exists(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// "0" in the type attribute is the serial core's PORT_UNKNOWN: a slot with
// no UART behind it.
bool isPlaceholderUart(const std::string& ttyDir)
{
    std::string text;
    if (!readWholeFile(ttyDir + "/type", text, 64))
        return false;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text == "0";
}

bool isOnUsb(const std::string& ttyDir)
{
    char* resolved = realpath((ttyDir + "/device").c_str(), nullptr);
    if (!resolved)
        return false;
    std::string path(resolved);
    std::free(resolved);
    return path.find("/usb") != std::string::npos;
}

} // namespace

std::vector<SerialMapEntry> scanSerialPorts()
{
    const std::string classDir = sysfsRoot() + "/class/tty";
    DIR* dir = opendir(classDir.c_str());
    if (!dir)
        return {};
    std::vector<std::string> ttys;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        ttys.push_back(name);
    }
    closedir(dir);

    // Device path to COM number, from the platform's port map.
    std::map<std::string, int> comByPath;
    for (int n = kHighestComPort; n >= 1; --n)
        if (auto path = plat::comPortPath(n))
            comByPath[*path] = n;

    std::vector<std::pair<int, SerialMapEntry>> found;
    for (const std::string& name : ttys) {
        const std::string ttyDir = classDir + "/" + name;
        if (!exists(ttyDir + "/device") || isPlaceholderUart(ttyDir))
            continue;
        auto com = comByPath.find("/dev/" + name);
        if (com == comByPath.end())
            continue;
        std::string device = isOnUsb(ttyDir) ? "\\Device\\USBSER_" + name : "\\Device\\" + name;
        found.push_back({com->second, {device, "COM" + std::to_string(com->second)}});
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<SerialMapEntry> result;
    for (auto& f : found)
        result.push_back(std::move(f.second));
    return result;
}

} // namespace win
