// Message layer: the per-connection receive queue and the receive thread.
#pragma once

#include "cfc_types.h"

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

namespace cfc {

inline constexpr uint16_t kMessageSize = 1500;

struct RxQueueEntry {
    std::unique_ptr<RxQueueEntry> next;
    uint16_t command = 0;
    uint16_t length = 0;
    std::array<uint8_t, kMessageSize> data{};
};

// Per-slot state of the message layer.
struct L3State {
    // Guards the list and the memory of the last delivered message.
    std::mutex queueLock;
    std::unique_ptr<RxQueueEntry> head;
    RxQueueEntry* tail = nullptr;
    // Kept across close and open, so a repeat of the last message delivered
    // before a reopen is still recognised.
    uint16_t lastLength = 0;
    std::array<uint8_t, kMessageSize> lastData{};
};

// Results of EmmiL3RemoveFromRxQueue.
inline constexpr uint8_t kRxQueueDroppedRepeat = 0;
inline constexpr uint8_t kRxQueueEmpty = 1;
inline constexpr uint8_t kRxQueueDelivered = 2;

// Queues a copy of a received message (at most kMessageSize bytes) and sets
// the frame-received event. Receive thread.
void EmmiL3AddToRxQueue(uint32_t handle, uint16_t command, const uint8_t* data, uint16_t length);
// Takes the oldest message; `buffer` holds kMessageSize bytes.
uint8_t EmmiL3RemoveFromRxQueue(uint32_t handle, uint16_t* command, uint8_t* buffer,
                                uint16_t* length);
// Removes and drops every queued message; the number removed.
unsigned EmmiL3DrainRxQueue(uint32_t handle);

// Body of a connection's receive thread: passes until the stop flag is set.
void EmmiL3ReceiveThread(uint32_t handle);

} // namespace cfc
