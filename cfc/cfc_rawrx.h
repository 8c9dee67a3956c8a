// Raw receive path: bytes that are not part of an EMMI frame, the skip buffer
// of unused response bytes, and the "EXIT" records found in either.
#pragma once

#include "cfc_types.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

namespace cfc {

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

// Per-slot state of the raw receive path. The receive thread fills the raw
// buffer and flushes both buffers at every frame start while the caller's
// thread reads them, so every field but the pacing values is guarded by
// `lock`.
struct RawRxState {
    std::mutex lock;
    std::array<uint8_t, kRawBufferSize> rxBuffer{};
    uint16_t rxCount = 0;
    std::array<uint8_t, kRawBufferSize> skipBuffer{};
    uint16_t skipCount = 0;
    // Markers seen since the last open of any connection; it stops at its
    // maximum instead of wrapping, which would overwrite stored records.
    uint8_t exitCount = 0;
    std::array<ExitRecord, kStoredExitRecords> exitRecords{};

    // Send pacing of the delay workaround, used by both threads.
    std::atomic<uint8_t> delayWorkaround{0};
    std::atomic<uint64_t> lastBlockTime{0};
    // Held from prolog to epilog while the workaround is on, so that an ACK
    // from the receive thread and a frame from the caller's thread cannot
    // both pass the gap check at once.
    std::mutex pacingLock;
};

// Appends bytes that arrived outside frames and wakes a waiting reader; a
// buffer that cannot take them is flushed first. Receive thread.
void AddToRawRxBuffer(uint32_t handle, const uint8_t* data, uint8_t count);
// Takes `count` bytes from the front of the raw buffer, waiting for each
// next arrival at most the raw-buffer read time-out selected beforehand.
// 0 when all arrived; 8 when fewer did (those are taken all the same).
ErrorCode ReadRawRxBuffer(uint32_t handle, uint8_t* buffer, uint16_t count);
// Reads a response of `count` bytes into `buffer` and compares it with
// `expected`; a mismatch is dumped and its bytes kept in the skip buffer.
bool CheckResponse(uint32_t handle, uint8_t* buffer, const uint8_t* expected, uint8_t count);
// Keeps response bytes nobody used, for the trace at the next flush.
void AddToSkipBuffer(uint32_t handle, const uint8_t* data, uint8_t count);
// A frame starts: the bytes gathered outside frames are given up. Receive
// thread.
void GoodData(uint32_t handle);

// Empties one of the slot's two buffers: dumps the skip buffer, reports and
// parses every "EXIT" marker. The caller holds the raw-buffer lock.
void FlushBuffer(uint32_t handle, uint8_t* buffer, uint16_t& count);
// Reports every "EXIT" marker in `count` bytes and parses the values behind
// it. The caller holds the raw-buffer lock.
void ScanExitMarkers(uint32_t handle, const uint8_t* data, uint16_t count);
// Counts one marker and stores the four values of `text` while fewer than
// three records are stored. Reads no more than `available` bytes of `text`.
// The caller holds the raw-buffer lock.
void ParseExitData(uint32_t handle, const uint8_t* text, uint16_t available);
// Traces `count` bytes as hexadecimal and as characters.
void DumpBuffer(uint32_t handle, const uint8_t* data, uint16_t count);
// Forgets the exit records of a slot; takes the slot's raw-buffer lock.
void ResetExitRecords(RawRxState& raw);

} // namespace cfc
