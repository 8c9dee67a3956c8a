// The library's connection and the simulated module on one in-memory line,
// paced at 115200 baud or not, as the benchmarks measure it.
#pragma once

#include "cfc.h"
#include "cfc_connection.h"

#include "plat/virtual_serial.h"
#include "sim/simulator.h"
#include "sim/transport.h"

#include <cstdlib>
#include <memory>
#include <string>

namespace bench {

inline constexpr double kBaudRate = 115200.0;
inline constexpr double kBitsPerByte = 11.0; // start, 8 data, 2 stop

class SimulatedLine {
public:
    SimulatedLine(int port, std::string deviceName, bool paced, sim::Mode mode)
        : deviceName_(std::move(deviceName)), device_(plat::registerVirtualDevice(deviceName_))
    {
        ::setenv(("CFC_COM" + std::to_string(port)).c_str(), ("virtual:" + deviceName_).c_str(), 1);
        // A settings file that cannot exist: an enabled signal trace would
        // add its 5 s to every close.
        ::setenv("CFC_TRACE_INI", "/dev/null/cfctrace.ini", 1);
        module_ = std::make_unique<sim::Simulator>(sim::makeVirtualTransport(device_));
        module_->setMode(mode);
        if (!module_->start())
            return;
        handle_ = WComOpen(port, 115200, 0);
        device_->setPaced(paced);
    }
    ~SimulatedLine()
    {
        if (handle_ != 0)
            WComClose(handle_);
        module_->stop();
        plat::unregisterVirtualDevice(deviceName_);
    }
    SimulatedLine(const SimulatedLine&) = delete;
    SimulatedLine& operator=(const SimulatedLine&) = delete;

    uint32_t handle() const { return handle_; }
    // Null when the line could not be opened.
    cfc::Connection* connection() const
    {
        return handle_ != 0 ? cfc::ConnectionOf(handle_) : nullptr;
    }
    sim::Simulator& module() { return *module_; }

private:
    std::string deviceName_;
    std::shared_ptr<plat::VirtualDevice> device_;
    std::unique_ptr<sim::Simulator> module_;
    uint32_t handle_ = 0;
};

} // namespace bench
