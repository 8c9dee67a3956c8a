// What every SerialPort implementation keeps the same way: the last refusal.
#pragma once

#include "plat/serial.h"

#include <atomic>

namespace plat::detail {

class PortBase : public SerialPort {
public:
    int lastError() const override { return lastError_.load(std::memory_order_relaxed); }

protected:
    // Records the refusal and returns false, for the bool operations.
    bool refuse(int sysError);
    IoResult failed(int sysError, size_t transferred);

private:
    // Reads and writes run on different threads; either may record an error.
    std::atomic<int> lastError_{0};
};

} // namespace plat::detail
