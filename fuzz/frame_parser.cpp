// Arbitrary module bytes straight into the frame receiver, without a
// connection: every event must fit the byte and the state it came in, a
// frame's end or fault leaves the frame, and it must never ask for more than
// the longest frame's data.
//
// Input: one control byte, then the bytes. A control value n above 0 breaks
// the frame off (a silent line) after every n-th byte.
#include "emmierr.h"
#include "gwcoml2_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void require(bool holds)
{
    if (!holds)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    using Event = cfc::FrameParser::Event;
    const uint8_t breakEvery = data[0];
    cfc::FrameParser parser;
    for (size_t i = 1; i < size; ++i) {
        const uint8_t byte = data[i];
        const bool inside = parser.inFrame();
        const size_t wanted = parser.wanted();
        require(wanted >= 1 && wanted <= cfc::kMaxFrameData);
        const Event event = parser.push(byte);
        if (!inside) {
            const Event expected = byte == cfc::kStx   ? Event::FrameStart
                                   : byte == cfc::kAck ? Event::Ack
                                   : byte == cfc::kNak ? Event::Nak
                                                       : Event::Stray;
            require(event == expected);
        } else if (event == Event::Frame) {
            require(!parser.inFrame());
        } else if (event == Event::BadFrame) {
            require(parser.fault() == EMMIERR_CHECKSUM || parser.fault() == EMMIERR_FRAME_END);
            require(!parser.inFrame());
        } else {
            require(event == Event::NeedMore);
        }
        if (breakEvery != 0 && i % breakEvery == 0) {
            const bool wasInside = parser.inFrame();
            const Event broken = parser.brokenOff(EMMIERR_TIMEOUT);
            require(broken == (wasInside ? Event::BadFrame : Event::NeedMore));
            require(!parser.inFrame());
        }
    }
    return 0;
}
