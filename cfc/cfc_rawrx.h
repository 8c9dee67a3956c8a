// Raw receive path: bytes that are not part of an EMMI frame, the skip buffer
// of unused response bytes, and the "EXIT" records found in either.
#pragma once

#include "cfc_types.h"
#include "gwcoml2.h"

#include "plat/event.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

namespace cfc {

class SerialLink;
class TraceChannel;

inline constexpr uint16_t kRawBufferSize = 256;
inline constexpr uint8_t kStoredExitRecords = 3;
inline constexpr uint8_t kExitValues = 4;
// Bytes of one record as WGetExitData hands it out.
inline constexpr uint8_t kExitRecordBytes = kExitValues * 4;

// Marks response bytes that have not arrived.
inline constexpr uint8_t kResponseFill = 0xA5;

struct ExitRecord {
    std::array<uint32_t, kExitValues> values{};
};

class RawInput;

// Appends bytes that arrived outside frames and wakes a waiting reader; a
// buffer that cannot take them is flushed first. Receive thread.
void AddToRawRxBuffer(RawInput& raw, const uint8_t* data, uint8_t count);
// Takes `count` bytes from the front of the raw buffer, waiting for each
// next arrival at most the raw-buffer read time-out selected beforehand.
// 0 when all arrived; 8 when fewer did (those are taken all the same).
ErrorCode ReadRawRxBuffer(RawInput& raw, uint8_t* buffer, uint16_t count);
// Keeps response bytes nobody used, for the trace at the next flush.
void AddToSkipBuffer(RawInput& raw, const uint8_t* data, uint8_t count);
// A frame starts: the bytes gathered outside frames are given up. Receive
// thread.
void GoodData(RawInput& raw);
// Empties the raw receive buffer, reporting and parsing its "EXIT" markers.
void FlushRawRxBuffer(RawInput& raw);
// Empties the skip buffer (dumped) and then the raw receive buffer.
void FlushRawBuffers(RawInput& raw);

// Traces `count` bytes as hexadecimal and as characters.
void DumpBuffer(const TraceChannel& trace, const uint8_t* data, uint16_t count);

// The "EXIT" records. The count goes on past the stored records and stops at
// its maximum instead of wrapping, which would overwrite stored records.
// Reports every marker in `count` bytes and parses the values behind it.
// The caller holds the raw-buffer lock.
void ScanExitMarkers(RawInput& raw, const uint8_t* data, uint16_t count);
// Counts one marker and stores the four values of `text` while fewer than
// three records are stored. Reads no more than `available` bytes of `text`.
// The caller holds the raw-buffer lock.
void ParseExitData(RawInput& raw, const uint8_t* text, uint16_t available);
// Forgets the exit records; takes the raw-buffer lock.
void ResetExitRecords(RawInput& raw);
// Parses the markers still buffered, then hands out the record count and at
// most `size` bytes of the stored records (four values low byte first each).
void TakeExitData(RawInput& raw, uint8_t size, uint8_t* count, uint8_t* buffer);

class RawInput : public FrameSink {
public:
    RawInput(SerialLink& serial, const TraceChannel& trace) : serial_(serial), trace_(trace) {}
    RawInput(const RawInput&) = delete;
    RawInput& operator=(const RawInput&) = delete;

    // What the frame layer hands up.
    void outsideByte(uint8_t byte) override { AddToRawRxBuffer(*this, &byte, 1); }
    void frameStarts() override { GoodData(*this); }

    // Empty buffers for a new process.
    void clearBuffers();

    // What the two buffers hold now, for diagnostics.
    struct Contents {
        std::vector<uint8_t> received;
        std::vector<uint8_t> skipped;
    };
    Contents contents();
    // Until the raw buffer holds at least `count` bytes, at most `timeoutMs`;
    // true when it does.
    bool awaitBytes(uint16_t count, uint32_t timeoutMs);

private:
    friend void AddToRawRxBuffer(RawInput&, const uint8_t*, uint8_t);
    friend ErrorCode ReadRawRxBuffer(RawInput&, uint8_t*, uint16_t);
    friend void AddToSkipBuffer(RawInput&, const uint8_t*, uint8_t);
    friend void GoodData(RawInput&);
    friend void FlushRawRxBuffer(RawInput&);
    friend void FlushRawBuffers(RawInput&);
    friend void ScanExitMarkers(RawInput&, const uint8_t*, uint16_t);
    friend void ParseExitData(RawInput&, const uint8_t*, uint16_t);
    friend void ResetExitRecords(RawInput&);
    friend void TakeExitData(RawInput&, uint8_t, uint8_t*, uint8_t*);
    friend struct RawInputSteps;

    SerialLink& serial_;
    const TraceChannel& trace_;

    // The receive thread fills the raw buffer and flushes both buffers at
    // every frame start while the caller's thread reads them, so everything
    // below is guarded by `lock_`.
    std::mutex lock_;
    std::array<uint8_t, kRawBufferSize> rxBuffer_{};
    uint16_t rxCount_ = 0;
    std::array<uint8_t, kRawBufferSize> skipBuffer_{};
    uint16_t skipCount_ = 0;
    uint8_t exitCount_ = 0;
    std::array<ExitRecord, kStoredExitRecords> exitRecords_{};
    // Set at every append; a raw reader waits for it.
    plat::Event arrived_{"rxOtherEvent", false};
};

} // namespace cfc
