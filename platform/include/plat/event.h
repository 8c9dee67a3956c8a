// Manual-reset event: once set it stays set, waking every waiter, until reset.
// The connection's waits (ACK/NAK, frame received, raw byte, read cancel) all
// follow that discipline, so one type serves them all.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace plat {

inline constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

class Event {
public:
    // The name is a label for diagnostics; events are private to the process.
    // A pollable event gets its poll handle here; when the system refuses
    // one, the event works without it (see nativeHandle).
    explicit Event(std::string name = {}, bool pollable = true);
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    bool isSet() const;

    // True when the event is (or becomes) set within timeoutMs; kWaitForever
    // waits without bound.
    bool wait(uint32_t timeoutMs) const;

    const std::string& name() const { return name_; }

    // Gives the event a poll handle if it has none, so that a serial read
    // wakes on it at once; false with *sysError when the system has no handle
    // to spare. Handles are a bounded resource of the process, so events
    // kept for idle connections go without one. Neither call may run while a
    // wait uses the handle.
    bool attachPollHandle(int* sysError);
    void detachPollHandle();

    // Backend handle that becomes ready while the event is set, so a serial
    // read can sleep on the port and on this event at once (POSIX: an eventfd
    // readable while set); -1 without one, and waits then look at the event
    // in short slices instead.
    int nativeHandle() const;

private:
    std::string name_;
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    bool signalled_ = false;
    int fd_ = -1;
};

} // namespace plat
