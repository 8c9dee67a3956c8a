#include "sim/host_message.h"

#include "sim/wire.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace sim {

namespace {

// The 16-bit length fields cannot describe more; longer input is cut.
constexpr size_t kMaxMessageData = std::numeric_limits<uint16_t>::max();

void decodeHeader(HostMessage& message, std::span<const uint8_t> frame)
{
    message.lengthField = getBe16(frame, 2);
    switch (message.type) {
    case kTypeCommand: message.command = getLe16(frame, 4); break;
    case kTypeParameters:
        message.parameterA = getBe16(frame, 4);
        message.parameterB = getBe16(frame, 6);
        message.dataLengthField = getLe16(frame, 8);
        message.parameter32 = getLe32(frame, 12);
        break;
    case kTypeByteParameter: message.parameterByte = frame[4]; break;
    default: break;
    }
}

} // namespace

size_t hostHeaderSize(uint8_t type)
{
    switch (type) {
    case kTypeCommand: return 4;
    case kTypeParameters: return 14;
    case kTypeByteParameter: return 3;
    default: return 0;
    }
}

HostMessageAssembler::Outcome HostMessageAssembler::add(std::span<const uint8_t> frame)
{
    if (frame.size() < 2 || hostHeaderSize(frame[0]) == 0)
        return Outcome::Ignored;
    if (!inMessage_)
        return start(frame);

    const uint8_t segment = frame[1];
    // The host sends a frame again only when its acknowledgement went
    // astray; the copy adds nothing. Comparing the bytes, not just the
    // segment number, keeps a new message that starts with the same number
    // from being taken for a copy.
    if (std::ranges::equal(frame, lastAccepted_))
        return Outcome::Ignored;
    if (frame[0] == message_.type && (segment == expected_ || segment == kLastSegment))
        return append(frame, 2);

    // A segment is missing: the message cannot be completed. The frame may
    // well begin the host's next message.
    ++givenUp_;
    inMessage_ = false;
    return start(frame);
}

HostMessage HostMessageAssembler::take()
{
    return std::exchange(message_, HostMessage{});
}

HostMessageAssembler::Outcome HostMessageAssembler::start(std::span<const uint8_t> frame)
{
    const uint8_t segment = frame[1];
    const size_t headerEnd = 2 + hostHeaderSize(frame[0]);
    if ((segment != 0 && segment != kLastSegment) || frame.size() < headerEnd)
        return Outcome::Ignored;
    message_ = HostMessage{};
    message_.type = frame[0];
    decodeHeader(message_, frame);
    expected_ = 0;
    inMessage_ = true;
    return append(frame, headerEnd);
}

HostMessageAssembler::Outcome HostMessageAssembler::append(std::span<const uint8_t> frame,
                                                           size_t dataOffset)
{
    const size_t room = kMaxMessageData - message_.data.size();
    const size_t take = std::min(room, frame.size() - dataOffset);
    const auto first = frame.begin() + static_cast<std::ptrdiff_t>(dataOffset);
    message_.data.insert(message_.data.end(), first, first + static_cast<std::ptrdiff_t>(take));

    lastAccepted_.assign(frame.begin(), frame.end());
    if (frame[1] == kLastSegment) {
        inMessage_ = false;
        return Outcome::Complete;
    }
    ++expected_;
    return Outcome::Incomplete;
}

} // namespace sim
