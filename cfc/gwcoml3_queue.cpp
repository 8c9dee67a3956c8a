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

namespace {

// Makes room for `incoming` more bytes by dropping the oldest messages
// nobody waits for; the number dropped. Called under the queue lock.
size_t makeRoom(MessageLink::Queue& queue, size_t& queuedBytes, int32_t awaited, size_t incoming)
{
    size_t dropped = 0;
    auto victim = queue.begin();
    while ((queue.size() >= kRxQueueMaxMessages || queuedBytes + incoming > kRxQueueMaxBytes)) {
        victim = std::find_if(victim, queue.end(),
                              [awaited](const RxQueueEntry& e) { return e.command != awaited; });
        if (victim == queue.end())
            break;
        queuedBytes -= victim->data.size();
        victim = queue.erase(victim);
        ++dropped;
    }
    return dropped;
}

} // namespace

void EmmiL3AddToRxQueue(MessageLink& link, uint16_t command, const uint8_t* data, uint16_t length)
{
    RxQueueEntry entry;
    entry.command = command;
    // Without memory the message can only be dropped; the receive thread goes on.
    try {
        if (data != nullptr)
            entry.data.assign(data, data + std::min(length, kMessageSize));
    } catch (const std::bad_alloc&) {
        return;
    }

    size_t dropped = 0;
    bool tell = false;
    {
        std::lock_guard<std::mutex> hold(link.queueLock_);
        dropped = makeRoom(link.queue_, link.queuedBytes_, link.awaited_, entry.data.size());
        tell = dropped > 0 && !link.dropping_;
        link.dropping_ = link.dropping_ || dropped > 0;
        try {
            link.queuedBytes_ += entry.data.size();
            link.queue_.push_back(std::move(entry));
        } catch (const std::bad_alloc&) {
            link.queuedBytes_ -= entry.data.size();
            return;
        }
        link.received_.set();
    }
    // Outside the queue lock: the caller's thread is not held up by the
    // trace file.
    if (tell)
        OpTrace(link.trace_, "(GWL3)", "EmmiL3AddToRxQueue")
            .step(4, "queue full (%zu messages or %zu bytes), oldest unawaited messages dropped",
                  kRxQueueMaxMessages, kRxQueueMaxBytes);
}

void EmmiL3AwaitCommand(MessageLink& link, int32_t command)
{
    std::lock_guard<std::mutex> hold(link.queueLock_);
    link.awaited_ = command;
}

uint8_t EmmiL3RemoveFromRxQueue(MessageLink& link, uint16_t* command, uint8_t* buffer,
                                uint16_t* length)
{
    std::lock_guard<std::mutex> hold(link.queueLock_);
    uint8_t result = kRxQueueEmpty;
    if (!link.queue_.empty()) {
        const RxQueueEntry entry = std::move(link.queue_.front());
        link.queue_.pop_front();
        link.queuedBytes_ -= entry.data.size();
        const auto size = static_cast<uint16_t>(entry.data.size());
        if (command != nullptr)
            *command = entry.command;
        if (length != nullptr)
            *length = size;
        if (buffer != nullptr && size > 0)
            std::memcpy(buffer, entry.data.data(), size);
        const bool repeat =
            size == link.lastLength_ &&
            (size == 0 || std::memcmp(entry.data.data(), link.lastData_.data(), size) == 0);
        if (repeat) {
            OpTrace(link.trace_, "(GWL3)", "EmmiL3RemoveFromRxQueue")
                .step(8, "skipped doubled msg");
            result = kRxQueueDroppedRepeat;
        } else {
            link.lastLength_ = size;
            if (size > 0)
                std::memcpy(link.lastData_.data(), entry.data.data(), size);
            result = kRxQueueDelivered;
        }
    }
    if (link.queue_.empty())
        link.dropping_ = false;
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
    return !link.queue_.empty();
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
