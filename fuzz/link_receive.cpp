// Arbitrary module bytes through the frame receiver and the message
// reassembly of a real connection: LEN values that do not fit, short and
// foreign frames, oversized and broken-off messages, runs of garbage. Every
// message the receiver queues is taken out again before the next input.
//
// Input: one control byte, then the bytes the module sends. The control value
// kCloseInFlight closes the connection right after sending, with the bytes
// still on their way, and opens it again.
#include "module_line.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr uint8_t kCloseInFlight = 0xC1;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    fuzzlink::ModuleLine& line = fuzzlink::ModuleLine::instance();
    line.send(data + 1, size - 1);
    if (data[0] == kCloseInFlight)
        line.reopen();
    else
        line.settle();
    return 0;
}
