// The frame receiver on its own: bytes in, one event per byte out, without a
// port, a thread or a clock.
#include "emmierr.h"
#include "gwcoml2_parser.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using cfc::FrameParser;
using Event = FrameParser::Event;
using Bytes = std::vector<uint8_t>;

// The events of a run of bytes, NeedMore left out.
std::vector<Event> eventsOf(FrameParser& parser, const Bytes& bytes)
{
    std::vector<Event> events;
    for (uint8_t byte : bytes)
        if (const Event e = parser.push(byte); e != Event::NeedMore)
            events.push_back(e);
    return events;
}

Bytes frameOf(const Bytes& data)
{
    Bytes wire{cfc::kStx, static_cast<uint8_t>(data.size())};
    for (uint8_t byte : data)
        wire.push_back(byte);
    wire.push_back(cfc::EmmiL2Checksum(data.data(), static_cast<uint8_t>(data.size())));
    wire.push_back(cfc::kEtx);
    return wire;
}

TEST(FrameParser, WireBytesGiveTheirEvents)
{
    struct Case {
        const char* what;
        Bytes wire;
        std::vector<Event> events;
        cfc::ErrorCode fault;
    };
    Bytes badCheck = frameOf({0xD6, 0xFF});
    badCheck[4] ^= 0x01;
    Bytes noEnd = frameOf({0xD6});
    noEnd.back() = 0x04;
    const Case cases[] = {
        {"a frame", frameOf({0xD6, 0xFF, 0x41}), {Event::FrameStart, Event::Frame}, 0},
        {"an empty frame", frameOf({}), {Event::FrameStart, Event::Frame}, 0},
        {"bytes outside frames",
         {cfc::kAck, cfc::kNak, 'A'},
         {Event::Ack, Event::Nak, Event::Stray},
         0},
        {"a wrong check character",
         badCheck,
         {Event::FrameStart, Event::BadFrame},
         EMMIERR_CHECKSUM},
        // The end byte is judged first, so a frame wrong in both is 5.
        {"no ETX", noEnd, {Event::FrameStart, Event::BadFrame}, EMMIERR_FRAME_END},
        // LEN alone guides the receiver: STX, ACK and NAK inside a frame are data.
        {"control bytes as data",
         frameOf({cfc::kStx, cfc::kAck, cfc::kNak, cfc::kEtx}),
         {Event::FrameStart, Event::Frame},
         0},
    };
    for (const Case& c : cases) {
        FrameParser parser;
        EXPECT_EQ(eventsOf(parser, c.wire), c.events) << c.what;
        if (c.fault != 0) {
            EXPECT_EQ(parser.fault(), c.fault) << c.what;
        }
        EXPECT_FALSE(parser.inFrame()) << c.what;
    }
}

TEST(FrameParser, TheFrameHoldsItsLengthAndDataAndWantedNeverReadsPastIt)
{
    FrameParser parser;
    const Bytes data(200, 0x5A);
    const Bytes wire = frameOf(data);
    EXPECT_EQ(parser.wanted(), 1u);
    parser.push(wire[0]);
    parser.push(wire[1]);
    EXPECT_EQ(parser.wanted(), 200u) << "the whole data part at once";
    for (size_t i = 2; i < 52; ++i)
        parser.push(wire[i]);
    EXPECT_EQ(parser.wanted(), 150u);
    Event last = Event::NeedMore;
    for (size_t i = 52; i < wire.size(); ++i) {
        EXPECT_EQ(parser.wanted(), 1u + (i < 202 ? 201 - i : 0)) << "byte " << i;
        last = parser.push(wire[i]);
    }
    ASSERT_EQ(last, Event::Frame);
    EXPECT_EQ(parser.frame()[0], 200);
    EXPECT_EQ(Bytes(parser.frame().begin() + 1, parser.frame().begin() + 201), data);
}

TEST(FrameParser, ABrokenOffFrameEndsWithTheReadersCodeAndTheNextOneStartsClean)
{
    FrameParser parser;
    EXPECT_EQ(parser.brokenOff(EMMIERR_TIMEOUT), Event::NeedMore)
        << "nothing pending outside a frame";
    const Bytes wire = frameOf({0xD6, 0xFF, 0x01});
    parser.push(wire[0]);
    parser.push(wire[1]);
    parser.push(wire[2]);
    EXPECT_EQ(parser.brokenOff(EMMIERR_TIMEOUT), Event::BadFrame);
    EXPECT_EQ(parser.fault(), EMMIERR_TIMEOUT);
    EXPECT_EQ(eventsOf(parser, wire), (std::vector<Event>{Event::FrameStart, Event::Frame}));
}

} // namespace
