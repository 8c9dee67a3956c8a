#include "sim/transport.h"

#include "plat/virtual_serial.h"

#include <algorithm>
#include <atomic>

namespace sim {

namespace {

// The in-memory device's read cannot be woken from outside, so a long wait
// is made of slices this long; a stop is seen within one slice.
constexpr uint32_t kSliceMs = 50;

class VirtualTransport final : public Transport {
public:
    explicit VirtualTransport(std::shared_ptr<plat::VirtualDevice> device)
        : device_(std::move(device))
    {
    }

    size_t read(uint8_t* buffer, size_t capacity, uint32_t timeoutMs) override
    {
        uint32_t left = timeoutMs;
        while (!interrupted_.load(std::memory_order_relaxed)) {
            const uint32_t slice = std::min(left, kSliceMs);
            if (const size_t n = device_->read(buffer, capacity, slice); n > 0)
                return n;
            if (timeoutMs != kNoTimeout) {
                left -= slice;
                if (left == 0)
                    break;
            }
        }
        return 0;
    }

    bool write(const uint8_t* data, size_t count) override
    {
        device_->write(data, count);
        return true;
    }

    void interrupt() override { interrupted_.store(true, std::memory_order_relaxed); }

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
