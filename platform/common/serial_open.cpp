#include "common/backend.h"
#include "plat/portmap.h"
#include "plat/serial.h"

#include <cerrno>
#include <mutex>
#include <vector>

namespace plat {

namespace {

struct PortScheme {
    std::string prefix;
    PortOpener opener;
};

struct SchemeTable {
    std::mutex mutex;
    std::vector<PortScheme> schemes;
};

SchemeTable& schemeTable()
{
    static SchemeTable table;
    return table;
}

PortOpener schemeOf(const std::string& path, std::string* rest)
{
    SchemeTable& table = schemeTable();
    std::lock_guard lock(table.mutex);
    for (const PortScheme& scheme : table.schemes) {
        if (path.starts_with(scheme.prefix)) {
            *rest = path.substr(scheme.prefix.size());
            return scheme.opener;
        }
    }
    return nullptr;
}

} // namespace

void addPortScheme(const std::string& prefix, PortOpener opener)
{
    SchemeTable& table = schemeTable();
    std::lock_guard lock(table.mutex);
    for (PortScheme& scheme : table.schemes) {
        if (scheme.prefix == prefix) {
            scheme.opener = opener;
            return;
        }
    }
    table.schemes.push_back({prefix, opener});
}

std::unique_ptr<SerialPort> openSerialPort(const PortLocation& where, OpenError* error)
{
    // The map may point a COM number at a port of an added scheme as well as
    // at a device, so resolve first and look for the prefix afterwards.
    const std::string path =
        where.path.empty() ? comPortPath(where.comNumber).value_or(std::string()) : where.path;
    int sysError = 0;
    std::unique_ptr<SerialPort> port;
    std::string rest;
    if (path.empty())
        sysError = ENOENT;
    else if (const PortOpener opener = schemeOf(path, &rest))
        port = opener(rest, &sysError);
    else
        port = detail::openDevicePort(path, &sysError);
    if (error)
        *error = OpenError{port ? 0 : sysError, path};
    return port;
}

std::unique_ptr<SerialPort> openSerialPort(const std::string& path, int* sysError)
{
    OpenError error;
    std::unique_ptr<SerialPort> port = openSerialPort(PortLocation::device(path), &error);
    if (!port && sysError)
        *sysError = error.sysError;
    return port;
}

} // namespace plat
