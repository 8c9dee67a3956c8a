// What every SerialPort implementation keeps the same way: the last refusal,
// and the driver settings that have no effect outside the original host
// (queue sizes, port time-outs) but are accepted and reported back.
#pragma once

#include "plat/serial.h"

#include <atomic>
#include <mutex>

namespace plat::detail {

class PortBase : public SerialPort {
public:
    bool setQueueSizes(uint32_t inBytes, uint32_t outBytes) override;
    bool getProperties(PortProperties& properties) override;
    bool setTimeouts(const PortTimeouts& timeouts) override;
    int lastError() const override { return lastError_.load(std::memory_order_relaxed); }

protected:
    // Records the refusal and returns false, for the bool operations.
    bool refuse(int sysError);
    IoResult failed(int sysError, size_t transferred);

private:
    // Reads and writes run on different threads; either may record an error.
    std::atomic<int> lastError_{0};
    mutable std::mutex mutex_;
    uint32_t rxQueue_ = 4096;
    uint32_t txQueue_ = 4096;
    PortTimeouts timeouts_;
};

} // namespace plat::detail
