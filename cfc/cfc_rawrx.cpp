#include "cfc_rawrx.h"

#include "cfc_trace.h"
#include "emmierr.h"
#include "gwcoml1.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace cfc {

namespace {

constexpr uint16_t kDumpLevel = 8;
constexpr int kDumpCharsPerLine = 40;

char printable(uint8_t byte)
{
    return byte >= 0x20 && byte <= 0x7E ? static_cast<char>(byte) : '.';
}

} // namespace

// The layer's private steps, with access to its state.
struct RawInputSteps {
    using Buffer = std::array<uint8_t, kRawBufferSize>;

    // Empties one of the two buffers: dumps the skip buffer, reports and
    // parses every "EXIT" marker. The caller holds the lock.
    static void flush(RawInput& raw, Buffer& buffer, uint16_t& count)
    {
        if (count == 0)
            return;
        // A count beyond the buffer is never read.
        const uint16_t held = std::min(count, kRawBufferSize);
        if (&buffer == &raw.skipBuffer_)
            DumpBuffer(raw.trace_, buffer.data(), held);
        ScanExitMarkers(raw, buffer.data(), held);
        count = 0;
    }

    // Appends to one of the two buffers; a buffer that cannot take the bytes
    // is flushed (reported, emptied) first, so a full buffer is never an
    // error and nothing is written past its end. The caller holds the lock.
    static void appendFlushingWhenFull(RawInput& raw, Buffer& buffer, uint16_t& held,
                                       const uint8_t* data, uint8_t count)
    {
        if (held + count > kRawBufferSize)
            flush(raw, buffer, held);
        const uint16_t room = static_cast<uint16_t>(kRawBufferSize - held);
        const uint16_t taken = std::min<uint16_t>(count, room);
        std::memcpy(buffer.data() + held, data, taken);
        held = static_cast<uint16_t>(held + taken);
    }
};

void RawInput::clearBuffers()
{
    std::lock_guard<std::mutex> hold(lock_);
    rxCount_ = 0;
    skipCount_ = 0;
}

RawInput::Contents RawInput::contents()
{
    std::lock_guard<std::mutex> hold(lock_);
    return {{rxBuffer_.begin(), rxBuffer_.begin() + rxCount_},
            {skipBuffer_.begin(), skipBuffer_.begin() + skipCount_}};
}

bool RawInput::awaitBytes(uint16_t count, uint32_t timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            // Appends set the event under this lock, so none is missed.
            std::lock_guard<std::mutex> hold(lock_);
            if (rxCount_ >= count)
                return true;
            arrived_.reset();
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        arrived_.wait(static_cast<uint32_t>(left.count()));
    }
}

void AddToRawRxBuffer(RawInput& raw, const uint8_t* data, uint8_t count)
{
    if (data == nullptr || count == 0)
        return;
    std::lock_guard<std::mutex> hold(raw.lock_);
    RawInputSteps::appendFlushingWhenFull(raw, raw.rxBuffer_, raw.rxCount_, data, count);
    raw.arrived_.set();
}

ErrorCode ReadRawRxBuffer(RawInput& raw, uint8_t* buffer, uint16_t count)
{
    if (buffer == nullptr)
        return EMMIERR_TIMEOUT;
    const uint32_t gap = EmmiL1GetRawReadTimeout(raw.serial_);

    std::unique_lock<std::mutex> hold(raw.lock_);
    // The time-out bounds the silence between arrivals, not the whole read:
    // every append sets the event. The lock is never held while waiting, or
    // the receive thread could not append.
    while (raw.rxCount_ < count) {
        hold.unlock();
        const bool woken = raw.arrived_.wait(gap);
        hold.lock();
        raw.arrived_.reset();
        if (!woken)
            break;
    }
    const uint16_t taken = std::min(count, raw.rxCount_);
    std::memcpy(buffer, raw.rxBuffer_.data(), taken);
    std::memmove(raw.rxBuffer_.data(), raw.rxBuffer_.data() + taken, raw.rxCount_ - taken);
    raw.rxCount_ = static_cast<uint16_t>(raw.rxCount_ - taken);
    raw.arrived_.reset();
    return taken < count ? EMMIERR_TIMEOUT : EMMIERR_OK;
}

void AddToSkipBuffer(RawInput& raw, const uint8_t* data, uint8_t count)
{
    if (data == nullptr || count == 0)
        return;
    // The receive thread flushes the skip buffer at every frame start, so the
    // caller's thread adds to it under the same lock.
    std::lock_guard<std::mutex> hold(raw.lock_);
    RawInputSteps::appendFlushingWhenFull(raw, raw.skipBuffer_, raw.skipCount_, data, count);
}

void GoodData(RawInput& raw)
{
    std::lock_guard<std::mutex> hold(raw.lock_);
    RawInputSteps::flush(raw, raw.rxBuffer_, raw.rxCount_);
    if (raw.skipCount_ > 0) {
        TraceLineF(raw.trace_, kDumpLevel, "(CFC ) GoodData, skipLength is %d", raw.skipCount_);
        RawInputSteps::flush(raw, raw.skipBuffer_, raw.skipCount_);
    }
}

void FlushRawRxBuffer(RawInput& raw)
{
    std::lock_guard<std::mutex> hold(raw.lock_);
    RawInputSteps::flush(raw, raw.rxBuffer_, raw.rxCount_);
}

void FlushRawBuffers(RawInput& raw)
{
    std::lock_guard<std::mutex> hold(raw.lock_);
    RawInputSteps::flush(raw, raw.skipBuffer_, raw.skipCount_);
    RawInputSteps::flush(raw, raw.rxBuffer_, raw.rxCount_);
}

void DumpBuffer(const TraceChannel& trace, const uint8_t* data, uint16_t count)
{
    if (data == nullptr)
        count = 0;
    OpTrace(trace, "(CFC )", "DumpBuffer").step(kDumpLevel, "%d bytes", count);
    TraceBytes(trace, kDumpLevel, "(CFC ) DumpBuffer ->", data, count);

    char line[32 + kDumpCharsPerLine];
    int used = std::snprintf(line, sizeof line, "(CFC )   00:    ");
    for (int i = 0; i < count; ++i) {
        line[used++] = printable(data[i]);
        line[used] = '\0';
        if ((i + 1) % kDumpCharsPerLine == 0) {
            TraceLine(trace, kDumpLevel, line);
            used = std::snprintf(line, sizeof line, "(CFC )   %03d:    ", i + 1);
        }
    }
    TraceLine(trace, kDumpLevel, line);
}

} // namespace cfc
