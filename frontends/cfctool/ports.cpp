// ports: which COM numbers lead to a serial port that is there, checked
// without opening any (opening raises DTR, a module's ignition line).
#include "report.h"

#include "plat/port_probe.h"
#include "plat/portmap.h"

#include <cstdio>

namespace cfctool {

namespace {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 99;

} // namespace

Report runPorts(const Invocation& invocation)
{
    Report report;
    report.json["ports"] = nlohmann::ordered_json::array();
    for (int port = kFirstPort; port <= kLastPort; ++port) {
        const auto device = plat::comPortPath(port);
        if (!device)
            continue;
        const bool present = plat::serialPortPresent(*device);
        if (!present && !invocation.all)
            continue;
        const bool console = present && plat::isKernelConsole(*device);
        report.json["ports"].push_back({{"port", "COM" + std::to_string(port)},
                                        {"number", port},
                                        {"device", *device},
                                        {"present", present},
                                        {"kernel_console", console}});
        char line[512];
        std::snprintf(line, sizeof line, "COM%-3d %s%s%s\n", port, device->c_str(),
                      present ? "" : "  (not there)", console ? "  (kernel console)" : "");
        report.text += line;
    }
    if (report.json["ports"].empty())
        report.text = "no serial port is there\n";
    return report;
}

} // namespace cfctool
