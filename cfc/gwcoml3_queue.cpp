// The receive queue of a connection: the receive thread adds complete
// messages, the caller's thread takes them, and a message that repeats the
// last one delivered is dropped on its way out.
#include "gwcoml3.h"

#include "cfc_trace.h"
#include "gwcoml1.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace cfc {

void EmmiL3AddToRxQueue(MessageLink& link, uint16_t command, const uint8_t* data, uint16_t length)
{
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

    std::lock_guard<std::mutex> hold(link.queueLock_);
    RxQueueEntry* added = entry.get();
    if (link.tail_ != nullptr)
        link.tail_->next = std::move(entry);
    else
        link.head_ = std::move(entry);
    link.tail_ = added;
    link.received_.set();
}

uint8_t EmmiL3RemoveFromRxQueue(MessageLink& link, uint16_t* command, uint8_t* buffer,
                                uint16_t* length)
{
    std::lock_guard<std::mutex> hold(link.queueLock_);
    uint8_t result = kRxQueueEmpty;
    if (link.head_) {
        std::unique_ptr<RxQueueEntry> entry = std::move(link.head_);
        link.head_ = std::move(entry->next);
        if (!link.head_)
            link.tail_ = nullptr;
        if (command != nullptr)
            *command = entry->command;
        if (length != nullptr)
            *length = entry->length;
        if (buffer != nullptr)
            std::memcpy(buffer, entry->data.data(), entry->length);
        const bool repeat =
            entry->length == link.lastLength_ &&
            std::memcmp(entry->data.data(), link.lastData_.data(), entry->length) == 0;
        if (repeat) {
            OpTrace(link.trace_, "(GWL3)", "EmmiL3RemoveFromRxQueue")
                .step(8, "skipped doubled msg");
            result = kRxQueueDroppedRepeat;
        } else {
            link.lastLength_ = entry->length;
            std::memcpy(link.lastData_.data(), entry->data.data(), entry->length);
            result = kRxQueueDelivered;
        }
    }
    link.received_.reset();
    return result;
}

unsigned EmmiL3DrainRxQueue(MessageLink& link)
{
    uint16_t command = 0;
    uint16_t length = 0;
    std::array<uint8_t, kMessageSize> message;
    unsigned removed = 0;
    while (EmmiL3RemoveFromRxQueue(link, &command, message.data(), &length) != kRxQueueEmpty)
        ++removed;
    return removed;
}

bool EmmiL3RxQueueNotEmpty(MessageLink& link)
{
    std::lock_guard<std::mutex> hold(link.queueLock_);
    return link.head_ != nullptr;
}

std::chrono::steady_clock::time_point EmmiL3ReceptionDeadline(const MessageLink& link)
{
    return std::chrono::steady_clock::now() +
           std::chrono::milliseconds(EmmiL1GetTimeout(link.serial_, kTimeoutClassOneSecond));
}

bool EmmiL3WaitForRxMessageUntil(MessageLink& link, std::chrono::steady_clock::time_point deadline)
{
    if (EmmiL3RxQueueNotEmpty(link))
        return true;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    // Every removal resets the event under the queue lock and every addition
    // sets it there, so a message queued after the check above still ends
    // this wait.
    return left.count() > 0 && link.received_.wait(static_cast<uint32_t>(left.count()));
}

void EmmiL3WaitForRxMessage(MessageLink& link)
{
    EmmiL3WaitForRxMessageUntil(link, EmmiL3ReceptionDeadline(link));
}

} // namespace cfc
