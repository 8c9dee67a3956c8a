#include "sim/transport.h"

#include "plat/event.h"
#include "plat/virtual_serial.h"

#include <atomic>

namespace sim {

namespace {

class VirtualTransport final : public Transport {
public:
    explicit VirtualTransport(std::shared_ptr<plat::VirtualDevice> device)
        : device_(std::move(device))
    {
    }

    size_t read(uint8_t* buffer, size_t capacity, uint32_t timeoutMs) override
    {
        // The device ends only one waiting read per interruption; the flag
        // keeps every later one from waiting too.
        if (interrupted_.load(std::memory_order_relaxed))
            return 0;
        return device_->read(buffer, capacity,
                             timeoutMs == kNoTimeout ? plat::kWaitForever : timeoutMs);
    }

    bool write(const uint8_t* data, size_t count) override
    {
        device_->write(data, count);
        return true;
    }

    void interrupt() override
    {
        interrupted_.store(true, std::memory_order_relaxed);
        device_->interruptRead();
    }

private:
    std::shared_ptr<plat::VirtualDevice> device_;
    std::atomic<bool> interrupted_{false};
};

} // namespace

std::unique_ptr<Transport> makeVirtualTransport(std::shared_ptr<plat::VirtualDevice> device)
{
    return std::make_unique<VirtualTransport>(std::move(device));
}

} // namespace sim
