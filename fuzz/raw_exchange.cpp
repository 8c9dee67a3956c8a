// Arbitrary module bytes into the raw receive buffer while the caller's
// thread reads responses from it, the way the serial-mode probes do: short
// and overlong reads, responses that do not match and land in the skip
// buffer, "EXIT" markers anywhere, buffers that overflow, and the exit
// records read back through the public call. Every caller's buffer is exactly
// as large as the count it passes, so a write past it is caught.
//
// Input: a flags byte, three operation bytes, then the bytes the module
// sends. Flags bit 0 switches raw-byte mode on for them (every byte, STX
// too, goes to the raw buffer); flags 0xC0 and 0xC1 close the connection
// after the operations, with the module's bytes still on their way, and open
// it again. Each operation byte picks a call by its low two bits and a size
// by the rest.
#include "module_line.h"

#include "cfc.h"
#include "cfc_connection.h"
#include "cfc_rawexchange.h"
#include "cfc_rawrx.h"
#include "gwcoml1.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

constexpr size_t kOperations = 3;
constexpr size_t kHeader = 1 + kOperations;
constexpr uint8_t kRawByteMode = 0x01;
constexpr uint8_t kCloseMask = 0xFE;
constexpr uint8_t kCloseInFlight = 0xC0;

// Raw reads wait 1 ms for each next byte: enough for bytes already sent,
// short enough to keep inputs fast.
constexpr uint8_t kShortRawTimeoutClass = 3;

constexpr uint8_t kOkAnswer[] = {'\r', '\n', 'O', 'K', '\r', '\n'};

std::unique_ptr<uint8_t[]> exactBuffer(size_t size)
{
    // new[] of 0 bytes still gives a distinct pointer, so a zero-size call
    // gets a real buffer that no byte may be written to.
    return std::unique_ptr<uint8_t[]>(new uint8_t[size]);
}

void runOperation(uint32_t handle, uint8_t operation)
{
    const unsigned size = operation >> 2; // 0 to 63
    switch (operation & 0x03) {
    case 0: {
        // Counts beyond the raw buffer's 256 bytes too.
        const uint16_t count = static_cast<uint16_t>(1 + size * 5);
        auto buffer = exactBuffer(count);
        cfc::EmmiL1SetRawReadTimeout((*cfc::ConnectionOf(handle)).serial, kShortRawTimeoutClass);
        cfc::ReadRawRxBuffer((*cfc::ConnectionOf(handle)).raw, buffer.get(), count);
        break;
    }
    case 1: {
        auto buffer = exactBuffer(sizeof kOkAnswer);
        cfc::CheckResponse((*cfc::ConnectionOf(handle)), buffer.get(), kOkAnswer, sizeof kOkAnswer);
        break;
    }
    case 2: {
        // As the probes use it: a response, its unused rest to the skip buffer.
        const uint8_t length = static_cast<uint8_t>(1 + size);
        auto buffer = exactBuffer(length);
        if (cfc::GetResponse((*cfc::ConnectionOf(handle)), buffer.get(), length))
            cfc::ReturnResponseRest((*cfc::ConnectionOf(handle)), buffer.get() + 1,
                                    static_cast<uint8_t>(length - 1));
        break;
    }
    case 3: {
        const uint8_t bytes = static_cast<uint8_t>(size * 4);
        auto buffer = exactBuffer(bytes);
        uint8_t count = 0;
        WGetExitData(handle, bytes, &count, buffer.get());
        break;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    fuzzlink::ModuleLine& line = fuzzlink::ModuleLine::instance();
    const uint8_t flags = data[0];
    const size_t header = size < kHeader ? size : kHeader;

    line.setRawByteMode((flags & kRawByteMode) != 0);
    line.send(data + header, size - header);
    for (size_t i = 1; i < header; ++i)
        runOperation(line.handle(), data[i]);

    if ((flags & kCloseMask) == kCloseInFlight)
        line.reopen();
    else
        line.settle();
    return 0;
}
