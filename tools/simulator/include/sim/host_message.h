// Messages from the host, put together from its frames. Three types exist:
// command messages (0xD6), messages with parameters (0xD3) and messages with
// a one-byte parameter (0xD5); each names its header in the first frame only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sim {

struct HostMessage {
    uint8_t type = 0;
    // 0xD6: the command (message id).
    uint16_t command = 0;
    // The length field that leads every header, as the host wrote it
    // (0xD6: data length + 2; 0xD3: data length + 4; 0xD5: data length).
    uint16_t lengthField = 0;
    // 0xD3: the two 16-bit parameters, the data length repeated low byte
    // first, and the 32-bit parameter.
    uint16_t parameterA = 0;
    uint16_t parameterB = 0;
    uint16_t dataLengthField = 0;
    uint32_t parameter32 = 0;
    // 0xD5: the one-byte parameter.
    uint8_t parameterByte = 0;
    std::vector<uint8_t> data;
};

// Header size of a host message type, or 0 for a type the host does not send.
size_t hostHeaderSize(uint8_t type);

class HostMessageAssembler {
public:
    enum class Outcome : uint8_t {
        Incomplete, // a segment was taken, more are expected
        Complete,   // a message is ready: take()
        Ignored,    // the frame is no part of a message (repeat, foreign type)
    };

    // Feeds the data of one acknowledged frame.
    Outcome add(std::span<const uint8_t> frame);
    HostMessage take();

    // Messages begun and abandoned because a segment went missing.
    size_t givenUp() const { return givenUp_; }

private:
    Outcome start(std::span<const uint8_t> frame);
    Outcome append(std::span<const uint8_t> frame, size_t dataOffset);

    bool inMessage_ = false;
    uint8_t expected_ = 0;
    std::vector<uint8_t> lastAccepted_;
    size_t givenUp_ = 0;
    HostMessage message_;
};

} // namespace sim
