// Serial port layer: opens and configures a connection's port, reads and
// writes it, and keeps the per-connection time-out values that the upper
// layers select by class.
#pragma once

#include "cfc_types.h"

#include "plat/serial.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

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

// Per-slot state of the serial port layer.
struct L1State {
    // The open port; null marks the slot as free. Written only by WComOpen and
    // WComClose while no receive thread runs.
    std::unique_ptr<plat::SerialPort> port;

    // Values of the time-out classes 0 to 2, fixed at open. The receive thread
    // selects read time-outs while the caller's thread selects raw ones, so
    // every value here is atomic.
    std::atomic<uint32_t> class0Timeout{750};
    std::atomic<uint32_t> interCharTime{0};
    std::atomic<uint32_t> class2Timeout{1000};
    std::atomic<uint32_t> readTimeout{10000};
    std::atomic<uint8_t> readTimeoutClass{0};
    std::atomic<uint32_t> rawReadTimeout{0};

    std::atomic<uint32_t> lastSystemError{0};

    // Held for the whole of one read or one write.
    std::mutex portLock;
    // Taken by a reader before the port lock, and by a writer from before it
    // cancels a read until it owns the port lock, so that no new read can
    // slip in between.
    std::mutex readGate;
    // Set by the frame layer while it reads the rest of a frame that has
    // begun: a writer then waits for that read instead of cancelling it.
    std::atomic<bool> readInFrame{false};
};

// Inter-character time in ms for a baud rate, fixed at open.
uint32_t InterCharacterTime(uint32_t baudRate);

// Opens the port at `where`, configures it for the slot and hands it out
// through `port` on success. Result 0 or 4 (cannot open or configure).
ErrorCode EmmiL1CommsOpen(const plat::PortLocation& where, int32_t baudRate, int32_t slot,
                          std::unique_ptr<plat::SerialPort>& port);
// Fills the line settings of a connection and the slot's time-out classes.
void EmmiL1ConfigurePort(int32_t slot, plat::LineSettings& settings, int32_t baudRate);

// 0, or 9 when the port refused the write (or the handle has no open port).
ErrorCode EmmiL1Write(uint32_t handle, const uint8_t* data, uint16_t length);
// 0 when `count` bytes were read; 8 on time-out or cancel (the bytes that did
// arrive are in `buffer`); 9 when the port refused.
ErrorCode EmmiL1Read(uint32_t handle, uint8_t* buffer, uint8_t count);

ErrorCode EmmiL1SetReadTimeout(uint32_t handle, uint8_t timeoutClass);
uint32_t EmmiL1GetTimeout(uint32_t handle, uint8_t timeoutClass);
ErrorCode EmmiL1SetRawReadTimeout(uint32_t handle, uint8_t timeoutClass);
uint32_t EmmiL1GetRawReadTimeout(uint32_t handle);

// Line presets of module boot: read the port's settings, change the preset's
// fields, write them back. The time-out classes keep their open values.
// Result 0, or 9 when the port refused.
ErrorCode EmmiL1SetLineBoot(uint32_t handle);
ErrorCode EmmiL1SetLineDtrOn(uint32_t handle);
ErrorCode EmmiL1SetLineDtrOff(uint32_t handle);

// The slot's open port, or null for a value that is not an open connection.
plat::SerialPort* GetPortHandle(uint32_t handle);

} // namespace cfc
