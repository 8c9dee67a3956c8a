// The receive queue of a connection: the receive thread adds complete
// messages, the caller's thread takes them, and a message that repeats the
// last one delivered is dropped on its way out.
#include "gwcoml3.h"

#include "cfc_intern.h"
#include "cfc_trace.h"
#include "gwcoml1.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace cfc {

void EmmiL3AddToRxQueue(uint32_t handle, uint16_t command, const uint8_t* data, uint16_t length) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr)
        return;
    // Without memory the message can only be dropped; the receive thread goes on.
    std::unique_ptr<RxQueueEntry> entry(new (std::nothrow) RxQueueEntry);
    if (!entry)
        return;
    entry->command = command;
    entry->length = std::min(length, kMessageSize);
    if (data != nullptr)
        std::memcpy(entry->data.data(), data, entry->length);
    else
        entry->length = 0;

    L3State& l3 = slot->l3;
    std::lock_guard<std::mutex> hold(l3.queueLock);
    RxQueueEntry* added = entry.get();
    if (l3.tail != nullptr)
        l3.tail->next = std::move(entry);
    else
        l3.head = std::move(entry);
    l3.tail = added;
    slot->events.rxFrame.set();
}

uint8_t EmmiL3RemoveFromRxQueue(uint32_t handle, uint16_t* command, uint8_t* buffer,
                                uint16_t* length) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr)
        return kRxQueueEmpty;
    L3State& l3 = slot->l3;
    std::lock_guard<std::mutex> hold(l3.queueLock);
    uint8_t result = kRxQueueEmpty;
    if (l3.head) {
        std::unique_ptr<RxQueueEntry> entry = std::move(l3.head);
        l3.head = std::move(entry->next);
        if (!l3.head)
            l3.tail = nullptr;
        if (command != nullptr)
            *command = entry->command;
        if (length != nullptr)
            *length = entry->length;
        if (buffer != nullptr)
            std::memcpy(buffer, entry->data.data(), entry->length);
        const bool repeat = entry->length == l3.lastLength &&
                            std::memcmp(entry->data.data(), l3.lastData.data(), entry->length) == 0;
        if (repeat) {
            TraceLine(handle, 8, "(GWL3) EmmiL3RemoveFromRxQueue: skipped doubled msg");
            result = kRxQueueDroppedRepeat;
        } else {
            l3.lastLength = entry->length;
            std::memcpy(l3.lastData.data(), entry->data.data(), entry->length);
            result = kRxQueueDelivered;
        }
    }
    slot->events.rxFrame.reset();
    return result;
}

unsigned EmmiL3DrainRxQueue(uint32_t handle) {
    uint16_t command = 0;
    uint16_t length = 0;
    std::array<uint8_t, kMessageSize> message;
    unsigned removed = 0;
    while (EmmiL3RemoveFromRxQueue(handle, &command, message.data(), &length) != kRxQueueEmpty)
        ++removed;
    return removed;
}

bool EmmiL3RxQueueNotEmpty(uint32_t handle) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr)
        return false;
    std::lock_guard<std::mutex> hold(slot->l3.queueLock);
    return slot->l3.head != nullptr;
}

void EmmiL3WaitForRxMessage(uint32_t handle) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr || EmmiL3RxQueueNotEmpty(handle))
        return;
    // Every removal resets the event under the queue lock and every addition
    // sets it there, so a message queued after the check above still ends
    // this wait.
    slot->events.rxFrame.wait(EmmiL1GetTimeout(handle, kTimeoutClassOneSecond));
}

} // namespace cfc
