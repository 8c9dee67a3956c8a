// Raw receive path: bytes that are not part of an EMMI frame, the skip buffer
// of unused response bytes, and the "EXIT" records found in either.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

namespace cfc {

inline constexpr uint16_t kRawBufferSize = 256;
inline constexpr uint8_t kStoredExitRecords = 3;

struct ExitRecord {
    std::array<uint32_t, 4> values{};
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
    uint8_t exitCount = 0;
    std::array<ExitRecord, kStoredExitRecords> exitRecords{};

    // Send pacing of the delay workaround, used by both threads.
    std::atomic<uint8_t> delayWorkaround{0};
    std::atomic<uint64_t> lastBlockTime{0};
};

// Empties one of the slot's two buffers. The caller holds the raw-buffer lock.
void FlushBuffer(uint32_t handle, uint8_t* buffer, uint16_t& count);
// Forgets the exit records of a slot; takes the slot's raw-buffer lock.
void ResetExitRecords(RawRxState& raw);

} // namespace cfc
