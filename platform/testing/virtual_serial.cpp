// The in-memory line: one object holds both directions, the host's line
// state and the device's switches. The host side is a SerialPort like any
// other, so the library cannot tell it from a device.
#include "plat/virtual_serial.h"

#include "common/backend.h"
#include "common/line_settings.h"
#include "common/port_base.h"
#include "plat/event.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

namespace plat {

namespace {

using Clock = std::chrono::steady_clock;

struct TimedByte {
    uint8_t value;
    Clock::time_point arrival;
};

class VirtualLine final : public VirtualDevice {
public:
    size_t read(uint8_t* buffer, size_t maxCount, uint32_t timeoutMs) override;
    void interruptRead() override;
    void write(const uint8_t* data, size_t count) override;
    void setPaced(bool paced) override;
    VirtualLineState lineState() const override;
    void setLineObserver(std::function<void(const VirtualLineState&)> observer) override;
    void hangUp() override;
    void setNoModemLines(bool refuse) override;
    void setMaxBaudRate(uint32_t baudRate) override;
    void discardFromHost() override;

    // Host side; each returns an errno value, 0 on success.
    int attachHost();
    void detachHost();
    int hostSettings(LineSettings& settings) const;
    int applySettings(const LineSettings& wanted);
    int driveDtr(bool on);
    int driveRts(bool on);
    int purgeHost(bool rx);
    IoResult hostRead(uint8_t* buffer, size_t count, uint32_t timeoutMs, const Event* cancel);
    IoResult hostWrite(const uint8_t* data, size_t count);

private:
    using Observer = std::function<void(const VirtualLineState&)>;

    // Applies `change` to the line state under the lock; tells the observer,
    // outside the lock, when the state moved. Returns what `change` returned.
    template <class Change>
    int changeLine(bool evenAfterHangUp, Change change);

    mutable std::mutex mutex_;
    // Wakes the device's reader and a paced host write (hang-up).
    std::condition_variable deviceCv_;
    // Wakes the host's reader, which must also wake on its cancel event and so
    // waits on events rather than on deviceCv_.
    Event hostWake_{"virtualHostWake"};

    VirtualLineState state_;
    std::deque<uint8_t> toDevice_;
    std::deque<TimedByte> toHost_;
    Clock::time_point lastArrival_{};
    bool paced_ = false;
    bool readInterrupted_ = false;
    bool hungUp_ = false;
    bool noModemLines_ = false;
    uint32_t maxBaud_ = 0;
    Observer observer_;
};

template <class Change>
int VirtualLine::changeLine(bool evenAfterHangUp, Change change)
{
    VirtualLineState after;
    Observer observer;
    int error = 0;
    {
        std::lock_guard lock(mutex_);
        if (hungUp_ && !evenAfterHangUp)
            return EIO;
        const VirtualLineState before = state_;
        error = change(state_);
        if (state_ == before)
            return error;
        after = state_;
        observer = observer_;
    }
    // The simulator answers line changes by writing to the line itself.
    if (observer)
        observer(after);
    return error;
}

size_t VirtualLine::read(uint8_t* buffer, size_t maxCount, uint32_t timeoutMs)
{
    if (maxCount == 0)
        return 0;
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return !toDevice_.empty() || readInterrupted_; };
    if (timeoutMs == kWaitForever)
        deviceCv_.wait(lock, ready);
    else if (!deviceCv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
        return 0;
    if (readInterrupted_) {
        readInterrupted_ = false;
        return 0;
    }
    const size_t n = std::min(maxCount, toDevice_.size());
    std::copy_n(toDevice_.begin(), n, buffer);
    toDevice_.erase(toDevice_.begin(), toDevice_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

void VirtualLine::interruptRead()
{
    std::lock_guard lock(mutex_);
    readInterrupted_ = true;
    deviceCv_.notify_all();
}

void VirtualLine::write(const uint8_t* data, size_t count)
{
    std::lock_guard lock(mutex_);
    if (!state_.hostOpen || hungUp_ || count == 0)
        return;
    const auto now = Clock::now();
    if (paced_) {
        const auto characterTime = detail::characterTime(state_.settings);
        auto arrival = std::max(now, lastArrival_);
        for (size_t i = 0; i < count; ++i) {
            arrival += characterTime;
            toHost_.push_back({data[i], arrival});
        }
        lastArrival_ = arrival;
    } else {
        for (size_t i = 0; i < count; ++i)
            toHost_.push_back({data[i], now});
    }
    hostWake_.set();
}

void VirtualLine::setPaced(bool paced)
{
    std::lock_guard lock(mutex_);
    paced_ = paced;
}

VirtualLineState VirtualLine::lineState() const
{
    std::lock_guard lock(mutex_);
    return state_;
}

void VirtualLine::setLineObserver(std::function<void(const VirtualLineState&)> observer)
{
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

void VirtualLine::hangUp()
{
    std::lock_guard lock(mutex_);
    hungUp_ = true;
    deviceCv_.notify_all();
    hostWake_.set();
}

void VirtualLine::setNoModemLines(bool refuse)
{
    changeLine(true, [&](VirtualLineState& s) {
        noModemLines_ = refuse;
        if (refuse)
            s.dtr = s.rts = false;
        return 0;
    });
}

void VirtualLine::setMaxBaudRate(uint32_t baudRate)
{
    std::lock_guard lock(mutex_);
    maxBaud_ = baudRate;
}

void VirtualLine::discardFromHost()
{
    std::lock_guard lock(mutex_);
    toDevice_.clear();
}

int VirtualLine::attachHost()
{
    return changeLine(false, [&](VirtualLineState& s) {
        if (s.hostOpen)
            return EBUSY;
        // Whatever the device sent while nobody listened is gone.
        toHost_.clear();
        s.hostOpen = true;
        return 0;
    });
}

void VirtualLine::detachHost()
{
    changeLine(true, [&](VirtualLineState& s) {
        toHost_.clear();
        s.hostOpen = false;
        s.dtr = s.rts = false;
        return 0;
    });
}

int VirtualLine::hostSettings(LineSettings& settings) const
{
    std::lock_guard lock(mutex_);
    if (hungUp_)
        return EIO;
    settings = state_.settings;
    return 0;
}

int VirtualLine::applySettings(const LineSettings& wanted)
{
    if (const int error = detail::checkLineSettings(wanted))
        return error;
    return changeLine(false, [&](VirtualLineState& s) {
        if (maxBaud_ != 0 && wanted.baudRate > maxBaud_)
            return EINVAL;
        LineSettings applied = wanted;
        int error = 0;
        const bool dtr = detail::idleDtr(wanted);
        if (dtr && noModemLines_) {
            // As a pseudo-terminal: the rest is in force, DTR stays down.
            applied.dtr = s.settings.dtr;
            if (detail::driverOwnsDtr(wanted))
                applied.flowControl = s.settings.flowControl;
            error = ENOTTY;
        } else {
            s.dtr = dtr;
        }
        s.rts = !noModemLines_ && detail::idleRts(wanted);
        s.settings = applied;
        return error;
    });
}

int VirtualLine::driveDtr(bool on)
{
    return changeLine(false, [&](VirtualLineState& s) {
        if (on && noModemLines_)
            return ENOTTY;
        s.settings.dtr = on;
        // Under DTR/DSR flow control the driver keeps the line up.
        s.dtr = detail::idleDtr(s.settings);
        return 0;
    });
}

int VirtualLine::driveRts(bool on)
{
    return changeLine(false, [&](VirtualLineState& s) {
        s.settings.rts = on;
        s.rts = !noModemLines_ && detail::idleRts(s.settings);
        return 0;
    });
}

int VirtualLine::purgeHost(bool rx)
{
    std::lock_guard lock(mutex_);
    if (hungUp_)
        return EIO;
    // Host writes are synchronous, so there is never output left to discard.
    if (rx)
        toHost_.clear();
    return 0;
}

IoResult VirtualLine::hostRead(uint8_t* buffer, size_t count, uint32_t timeoutMs,
                               const Event* cancel)
{
    const detail::Deadline deadline = detail::deadlineAfter(timeoutMs);
    size_t got = 0;
    for (;;) {
        detail::Deadline nextArrival = detail::Deadline::max();
        {
            std::lock_guard lock(mutex_);
            if (hungUp_)
                return {IoStatus::Failed, got, EIO};
            // Reset before looking, under the lock the device's write takes
            // to set it: a byte written after the look wakes the wait below.
            hostWake_.reset();
            const auto now = Clock::now();
            while (got < count && !toHost_.empty() && toHost_.front().arrival <= now) {
                buffer[got++] = toHost_.front().value;
                toHost_.pop_front();
            }
            if (!toHost_.empty())
                nextArrival = toHost_.front().arrival;
        }
        if (got == count)
            return {IoStatus::Complete, got, 0};
        if (cancel && cancel->isSet())
            return {IoStatus::Cancelled, got, 0};
        if (Clock::now() >= deadline)
            return {IoStatus::TimedOut, got, 0};
        const Event* wakers[] = {&hostWake_, cancel};
        detail::waitForAnyUntil(wakers, 2, std::min(deadline, nextArrival));
    }
}

IoResult VirtualLine::hostWrite(const uint8_t* data, size_t count)
{
    std::unique_lock lock(mutex_);
    if (hungUp_)
        return {IoStatus::Failed, 0, EIO};
    if (!paced_) {
        toDevice_.insert(toDevice_.end(), data, data + count);
        deviceCv_.notify_all();
        return {IoStatus::Complete, count, 0};
    }
    // Each byte reaches the device when its last bit would have; the write
    // returns when the last one has, as a drained UART does.
    const auto characterTime = detail::characterTime(state_.settings);
    auto due = Clock::now() + characterTime;
    size_t sent = 0;
    while (sent < count) {
        if (deviceCv_.wait_until(lock, due, [this] { return hungUp_; }))
            return {IoStatus::Failed, sent, EIO};
        const auto now = Clock::now();
        while (sent < count && due <= now) {
            toDevice_.push_back(data[sent++]);
            due += characterTime;
        }
        deviceCv_.notify_all();
    }
    return {IoStatus::Complete, count, 0};
}

class VirtualHostPort final : public detail::PortBase {
public:
    explicit VirtualHostPort(std::shared_ptr<VirtualLine> line) : line_(std::move(line)) {}
    ~VirtualHostPort() override { line_->detachHost(); }

    bool getLineSettings(LineSettings& settings) override
    {
        return check(line_->hostSettings(settings));
    }
    bool setLineSettings(const LineSettings& settings) override
    {
        return check(line_->applySettings(settings));
    }
    IoResult read(uint8_t* buffer, size_t count, uint32_t timeoutMs, const Event* cancel) override
    {
        return record(line_->hostRead(buffer, count, timeoutMs, cancel));
    }
    IoResult write(const uint8_t* data, size_t count) override
    {
        return record(line_->hostWrite(data, count));
    }
    bool purge(bool rx, bool /*tx*/) override { return check(line_->purgeHost(rx)); }
    bool setDtr(bool on) override { return check(line_->driveDtr(on)); }
    bool setRts(bool on) override { return check(line_->driveRts(on)); }

private:
    bool check(int error) { return error == 0 || refuse(error); }
    IoResult record(const IoResult& result)
    {
        return result.status == IoStatus::Failed ? failed(result.sysError, result.transferred)
                                                 : result;
    }

    std::shared_ptr<VirtualLine> line_;
};

struct Registry {
    std::mutex mutex;
    std::map<std::string, std::weak_ptr<VirtualLine>> lines;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

std::unique_ptr<SerialPort> openVirtualPort(const std::string& name, int* sysError)
{
    std::shared_ptr<VirtualLine> line;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        if (const auto it = r.lines.find(name); it != r.lines.end())
            line = it->second.lock();
    }
    if (!line) {
        *sysError = ENOENT;
        return nullptr;
    }
    if (const int error = line->attachHost()) {
        *sysError = error;
        return nullptr;
    }
    return std::make_unique<VirtualHostPort>(std::move(line));
}

} // namespace

std::shared_ptr<VirtualDevice> registerVirtualDevice(const std::string& name)
{
    // The shipped open path knows devices only: the first line a test
    // registers teaches it the in-memory scheme.
    static std::once_flag schemeAdded;
    std::call_once(schemeAdded, [] { addPortScheme("virtual:", &openVirtualPort); });
    auto line = std::make_shared<VirtualLine>();
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    std::erase_if(r.lines, [](const auto& entry) { return entry.second.expired(); });
    r.lines[name] = line;
    return line;
}

void unregisterVirtualDevice(const std::string& name)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.lines.erase(name);
}

} // namespace plat
