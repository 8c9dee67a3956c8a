#include "sim/transport.h"

#include "plat/event.h"
#include "plat/virtual_serial.h"

#include <atomic>
#include <mutex>

namespace sim {

namespace {

// The device calls its observer on the host's threads, possibly while the
// simulator is being taken down; the relay outlives both and lets the
// simulator withdraw its observer with a guarantee that no call is under way.
struct Relay {
    std::mutex mutex;
    LineObserver observer;

    // With the mutex held.
    void tell(const plat::VirtualLineState& state)
    {
        if (observer)
            observer({state.settings.baudRate, state.dtr});
    }
};

class VirtualTransport final : public Transport {
public:
    explicit VirtualTransport(std::shared_ptr<plat::VirtualDevice> device)
        : device_(std::move(device)), relay_(std::make_shared<Relay>())
    {
        device_->setLineObserver([relay = relay_](const plat::VirtualLineState& state) {
            std::lock_guard lock(relay->mutex);
            relay->tell(state);
        });
    }

    ~VirtualTransport() override { device_->setLineObserver({}); }

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

    void wake() override { device_->interruptRead(); }

    void watchLine(LineObserver observer) override
    {
        std::lock_guard lock(relay_->mutex);
        relay_->observer = std::move(observer);
        // Under the relay's lock, so that a change reported meanwhile comes
        // after this first report, not before it.
        relay_->tell(device_->lineState());
    }

private:
    std::shared_ptr<plat::VirtualDevice> device_;
    std::shared_ptr<Relay> relay_;
    std::atomic<bool> interrupted_{false};
};

} // namespace

std::unique_ptr<Transport> makeVirtualTransport(std::shared_ptr<plat::VirtualDevice> device)
{
    return std::make_unique<VirtualTransport>(std::move(device));
}

} // namespace sim
