// Serial port layer: opens and configures a connection's port, reads and
// writes it, and keeps the per-connection time-out values that the upper
// layers select by class.
#pragma once

#include "cfc_types.h"

#include "plat/event.h"
#include "plat/serial.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace cfc {

// Time-out classes, one selector for both kinds of time-out:
//
//   class               current read time-out   raw-buffer read time-out
//   Short               750 ms                  50 ms
//   InterCharacter      inter-character time    inter-character time
//   OneSecond           1000 ms                 1000 ms
//   OneMillisecond      1 ms                    1 ms
//
// Any other number selects the inter-character time.
inline constexpr uint8_t kTimeoutClassShort = 0;
inline constexpr uint8_t kTimeoutClassInterCharacter = 1;
inline constexpr uint8_t kTimeoutClassOneSecond = 2;
inline constexpr uint8_t kTimeoutClassOneMillisecond = 3;

class SerialLink;

// Opens COM `comNumber` and configures it. Result 0, 4 (cannot open or
// configure, the system's reason kept) or 9 (no descriptor for the cancel
// event).
ErrorCode EmmiL1CommsOpen(SerialLink& link, int32_t comNumber, int32_t baudRate);
// Discards both directions' buffered bytes and closes the port; the link is
// free again.
void EmmiL1CommsClose(SerialLink& link);
// Fills the line settings of a connection and the link's time-out classes.
void EmmiL1ConfigurePort(SerialLink& link, plat::LineSettings& settings, int32_t baudRate);

// 0, or 9 when the port refused the write (or the link has no open port).
ErrorCode EmmiL1Write(SerialLink& link, const uint8_t* data, uint16_t length);
// 0 when `count` bytes were read; 8 on time-out or cancel (the bytes that did
// arrive are in `buffer`); 9 when the port refused.
ErrorCode EmmiL1Read(SerialLink& link, uint8_t* buffer, uint8_t count);

ErrorCode EmmiL1SetReadTimeout(SerialLink& link, uint8_t timeoutClass);
uint32_t EmmiL1GetTimeout(const SerialLink& link, uint8_t timeoutClass);
ErrorCode EmmiL1SetRawReadTimeout(SerialLink& link, uint8_t timeoutClass);
uint32_t EmmiL1GetRawReadTimeout(const SerialLink& link);

// Line presets of module boot: read the port's settings, change the preset's
// fields, write them back. The time-out classes keep their open values.
// Result 0, or 9 when the port refused.
ErrorCode EmmiL1SetLineBoot(SerialLink& link);
ErrorCode EmmiL1SetLineDtrOn(SerialLink& link);
ErrorCode EmmiL1SetLineDtrOff(SerialLink& link);
// Drives DTR, the module's ignition, as a writer of the port so that it never
// changes in the middle of a read or a write. 0, or 9 when refused.
ErrorCode EmmiL1SetDtr(SerialLink& link, bool high);

// Ends a pending read of the receive thread at once; a cancel with no read
// pending ends the next one.
void EmmiL1CancelRead(SerialLink& link);
void EmmiL1ResetCancel(SerialLink& link);
// Waits up to `timeoutMs` for a cancel; true when one came.
bool EmmiL1AwaitCancel(const SerialLink& link, uint32_t timeoutMs);
// While set, reads belong to a frame that has begun: a writer waits for them
// instead of cancelling them, so the frame is not broken off.
void EmmiL1SetFrameReadPending(SerialLink& link, bool pending);

// Inter-character time in ms for a baud rate, fixed at open.
uint32_t InterCharacterTime(uint32_t baudRate);

class SerialLink {
public:
    SerialLink() = default;
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    bool isOpen() const { return port_ != nullptr; }
    // The class-2 time-out (message waits), 1000 ms from every open; a test
    // harness that runs many silent waits may shorten it.
    void setClass2Timeout(uint32_t ms) { class2Timeout_.store(ms); }

    // For diagnostics: the current read time-out and its class, whether a
    // read or write holds the port right now, and whether a cancel waits.
    uint32_t readTimeout() const { return readTimeout_.load(std::memory_order_relaxed); }
    uint8_t readTimeoutClass() const { return readTimeoutClass_.load(std::memory_order_relaxed); }
    bool portBusy()
    {
        if (!portLock_.try_lock())
            return true;
        portLock_.unlock();
        return false;
    }
    bool cancelPending() const { return readCancel_.isSet(); }

    // The operating system's error of the last refused port operation.
    int lastSystemError() const { return lastSystemError_.load(std::memory_order_relaxed); }
    // The device the last open resolved its COM number to, and why it failed.
    const plat::OpenError& lastOpenError() const { return openError_; }

private:
    friend ErrorCode EmmiL1CommsOpen(SerialLink&, int32_t, int32_t);
    friend void EmmiL1CommsClose(SerialLink&);
    friend void EmmiL1ConfigurePort(SerialLink&, plat::LineSettings&, int32_t);
    friend ErrorCode EmmiL1Write(SerialLink&, const uint8_t*, uint16_t);
    friend ErrorCode EmmiL1Read(SerialLink&, uint8_t*, uint8_t);
    friend ErrorCode EmmiL1SetReadTimeout(SerialLink&, uint8_t);
    friend uint32_t EmmiL1GetTimeout(const SerialLink&, uint8_t);
    friend ErrorCode EmmiL1SetRawReadTimeout(SerialLink&, uint8_t);
    friend uint32_t EmmiL1GetRawReadTimeout(const SerialLink&);
    friend ErrorCode EmmiL1SetDtr(SerialLink&, bool);
    friend void EmmiL1CancelRead(SerialLink&);
    friend void EmmiL1ResetCancel(SerialLink&);
    friend bool EmmiL1AwaitCancel(const SerialLink&, uint32_t);
    friend void EmmiL1SetFrameReadPending(SerialLink&, bool);
    friend struct SerialLinkSteps;

    // The open port; null marks the link as free. Written only by open and
    // close while no receive thread runs.
    std::unique_ptr<plat::SerialPort> port_;

    // Values of the time-out classes 0 to 2, fixed at open. The receive thread
    // selects read time-outs while the caller's thread selects raw ones, so
    // every value here is atomic.
    std::atomic<uint32_t> class0Timeout_{750};
    std::atomic<uint32_t> interCharTime_{0};
    std::atomic<uint32_t> class2Timeout_{1000};
    std::atomic<uint32_t> readTimeout_{10000};
    std::atomic<uint8_t> readTimeoutClass_{0};
    std::atomic<uint32_t> rawReadTimeout_{0};

    std::atomic<int> lastSystemError_{0};
    // Written by open only, on the caller's thread.
    plat::OpenError openError_;

    // Held for the whole of one read or one write.
    std::mutex portLock_;
    // Taken by a reader before the port lock, and by a writer from before it
    // cancels a read until it owns the port lock, so that no new read can
    // slip in between.
    std::mutex readGate_;
    std::atomic<bool> frameReadPending_{false};
    plat::Event readCancel_{"readCancelEvent", false};
};

} // namespace cfc
