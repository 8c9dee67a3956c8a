// Shared helpers of the CFC core tests: scoped environment and working
// directory, the trace file's lines, and a module line on the in-memory pair.
#pragma once

#include "cfc_connection.h"

#include "plat/virtual_serial.h"
#include "scoped_env.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace cfctest {

// The connection behind a handle that a test opened; the test fails at once
// on a handle the library would refuse.
inline cfc::Connection& connectionOf(uint32_t handle)
{
    cfc::Connection* connection = cfc::ConnectionOf(handle);
    if (connection == nullptr)
        std::abort();
    return *connection;
}
inline cfc::Connection& connectionOf(cfc::Connection& connection)
{
    return connection;
}

// A fresh temporary directory, made the working directory for the scope.
class ScopedTempCwd {
public:
    ScopedTempCwd() : old_(std::filesystem::current_path())
    {
        std::random_device random;
        // A name another test run took already is simply passed over.
        do
            dir_ = std::filesystem::temp_directory_path() / ("cfctest." + std::to_string(random()));
        while (!std::filesystem::create_directory(dir_));
        std::filesystem::current_path(dir_);
    }
    ~ScopedTempCwd()
    {
        std::filesystem::current_path(old_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    ScopedTempCwd(const ScopedTempCwd&) = delete;
    ScopedTempCwd& operator=(const ScopedTempCwd&) = delete;
    const std::filesystem::path& path() const { return dir_; }

private:
    std::filesystem::path old_;
    std::filesystem::path dir_;
};

// Lines of the trace file in the working directory, without time stamps
// ("[0012.345] " is cut off).
inline std::vector<std::string> traceTexts()
{
    std::vector<std::string> texts;
    std::ifstream in("tracefiles/tracefile.txt");
    for (std::string line; std::getline(in, line);) {
        const size_t end = line.find("] ");
        texts.push_back(end == std::string::npos ? line : line.substr(end + 2));
    }
    return texts;
}

inline bool contains(const std::vector<std::string>& texts, const std::string& text)
{
    for (const std::string& t : texts)
        if (t == text)
            return true;
    return false;
}

// COM<port> as an in-memory module line for the scope.
class VirtualComPort {
public:
    VirtualComPort(int port, const std::string& name)
        : name_(name), env_("CFC_COM" + std::to_string(port), "virtual:" + name),
          device_(plat::registerVirtualDevice(name))
    {
    }
    ~VirtualComPort() { plat::unregisterVirtualDevice(name_); }
    plat::VirtualDevice& device() { return *device_; }
    std::string hostName() const { return "virtual:" + name_; }

private:
    std::string name_;
    ScopedEnv env_;
    std::shared_ptr<plat::VirtualDevice> device_;
};

} // namespace cfctest
