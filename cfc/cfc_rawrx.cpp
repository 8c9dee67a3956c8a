#include "cfc_rawrx.h"

#include "cfc_intern.h"
#include "cfc_serialmode.h"
#include "cfc_trace.h"
#include "emmierr.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace cfc {

namespace {

constexpr uint16_t kDumpLevel = 8;
constexpr uint16_t kResponseLevel = 5;
constexpr int kDumpCharsPerLine = 40;

// Appends to one of the slot's two buffers; a buffer that cannot take the
// bytes is flushed (reported, emptied) first, so a full buffer is never an
// error and nothing is written past its end. The caller holds the lock.
void appendFlushingWhenFull(uint32_t handle, std::array<uint8_t, kRawBufferSize>& buffer,
                            uint16_t& held, const uint8_t* data, uint8_t count) {
    if (held + count > kRawBufferSize)
        FlushBuffer(handle, buffer.data(), held);
    const uint16_t room = static_cast<uint16_t>(kRawBufferSize - held);
    const uint16_t taken = std::min<uint16_t>(count, room);
    std::memcpy(buffer.data() + held, data, taken);
    held = static_cast<uint16_t>(held + taken);
}

char printable(uint8_t byte) { return byte >= 0x20 && byte <= 0x7E ? static_cast<char>(byte) : '.'; }

} // namespace

void AddToRawRxBuffer(uint32_t handle, const uint8_t* data, uint8_t count) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr || data == nullptr || count == 0)
        return;
    RawRxState& raw = slot->raw;
    std::lock_guard<std::mutex> hold(raw.lock);
    appendFlushingWhenFull(handle, raw.rxBuffer, raw.rxCount, data, count);
    slot->events.rxOther.set();
}

ErrorCode ReadRawRxBuffer(uint32_t handle, uint8_t* buffer, uint16_t count) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr || buffer == nullptr)
        return EMMIERR_TIMEOUT;
    RawRxState& raw = slot->raw;
    plat::Event& arrived = slot->events.rxOther;
    const uint32_t gap = EmmiL1GetRawReadTimeout(handle);

    std::unique_lock<std::mutex> hold(raw.lock);
    // The time-out bounds the silence between arrivals, not the whole read:
    // every append sets the event. The lock is never held while waiting, or
    // the receive thread could not append.
    while (raw.rxCount < count) {
        hold.unlock();
        const bool woken = arrived.wait(gap);
        hold.lock();
        arrived.reset();
        if (!woken)
            break;
    }
    const uint16_t taken = std::min(count, raw.rxCount);
    std::memcpy(buffer, raw.rxBuffer.data(), taken);
    std::memmove(raw.rxBuffer.data(), raw.rxBuffer.data() + taken, raw.rxCount - taken);
    raw.rxCount = static_cast<uint16_t>(raw.rxCount - taken);
    arrived.reset();
    return taken < count ? EMMIERR_TIMEOUT : EMMIERR_OK;
}

bool CheckResponse(uint32_t handle, uint8_t* buffer, const uint8_t* expected, uint8_t count) {
    if (!GetResponse(handle, buffer, count)) {
        TraceLine(handle, kResponseLevel, "(CFC ) CheckResponse: GetResponse failed");
        return false;
    }
    if (expected != nullptr && std::memcmp(buffer, expected, count) == 0)
        return true;
    TraceBytes(handle, kResponseLevel, "(CFC ) CheckResponse: expected response ->", expected,
               expected != nullptr ? count : 0);
    TraceBytes(handle, kResponseLevel, "(CFC ) CheckResponse: got response ->", buffer, count);
    ReturnResponseRest(handle, buffer, count);
    return false;
}

void AddToSkipBuffer(uint32_t handle, const uint8_t* data, uint8_t count) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr || data == nullptr || count == 0)
        return;
    // The receive thread flushes the skip buffer at every frame start, so the
    // caller's thread adds to it under the same lock.
    RawRxState& raw = slot->raw;
    std::lock_guard<std::mutex> hold(raw.lock);
    appendFlushingWhenFull(handle, raw.skipBuffer, raw.skipCount, data, count);
}

void GoodData(uint32_t handle) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr)
        return;
    RawRxState& raw = slot->raw;
    std::lock_guard<std::mutex> hold(raw.lock);
    if (raw.rxCount > 0)
        FlushBuffer(handle, raw.rxBuffer.data(), raw.rxCount);
    if (raw.skipCount > 0) {
        TraceLineF(handle, kDumpLevel, "(CFC ) GoodData, skipLength is %d", raw.skipCount);
        FlushBuffer(handle, raw.skipBuffer.data(), raw.skipCount);
    }
}

void FlushBuffer(uint32_t handle, uint8_t* buffer, uint16_t& count) {
    if (count == 0)
        return;
    // Both buffers of a slot are this size; a count beyond it is not read.
    const uint16_t held = std::min(count, kRawBufferSize);
    const Slot* slot = SlotOf(handle);
    if (slot != nullptr && buffer != nullptr) {
        if (buffer == slot->raw.skipBuffer.data())
            DumpBuffer(handle, buffer, held);
        ScanExitMarkers(handle, buffer, held);
    }
    count = 0;
}

void DumpBuffer(uint32_t handle, const uint8_t* data, uint16_t count) {
    if (data == nullptr)
        count = 0;
    TraceLineF(handle, kDumpLevel, "(CFC ) DumpBuffer: %d bytes", count);
    TraceBytes(handle, kDumpLevel, "(CFC ) DumpBuffer ->", data, count);

    char line[32 + kDumpCharsPerLine];
    int used = std::snprintf(line, sizeof line, "(CFC )   00:    ");
    for (int i = 0; i < count; ++i) {
        line[used++] = printable(data[i]);
        line[used] = '\0';
        if ((i + 1) % kDumpCharsPerLine == 0) {
            TraceLine(handle, kDumpLevel, line);
            used = std::snprintf(line, sizeof line, "(CFC )   %03d:    ", i + 1);
        }
    }
    TraceLine(handle, kDumpLevel, line);
}

} // namespace cfc
