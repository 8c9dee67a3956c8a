// EMMI frame layer: frames with block check character and acknowledgement.
#pragma once

#include "cfc_types.h"
#include "gwcoml2_parser.h"

#include "plat/event.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace cfc {

class SendPacer;
class SerialLink;
class TraceChannel;

// Transmissions of one frame before EmmiL2SendFrame gives up on a module or
// a line that answers every one of them with NAK.
inline constexpr unsigned kMaxFrameTransmissions = 10;

// Results of EmmiL2GetAck besides EMMIERR_ACK, EMMIERR_NAK and
// EMMIERR_TIMEOUT: woken, but neither an ACK nor a NAK was counted.
inline constexpr uint8_t kAckWokenWithoutCount = 0;

// Where the frame layer hands what is no frame: the connection wires it to
// the raw receive path. Called on the receive thread.
class FrameSink {
public:
    // A byte outside frames (ACK and NAK among them), for the raw readers.
    virtual void outsideByte(uint8_t byte) = 0;
    // A frame begins: what was gathered outside frames is given up.
    virtual void frameStarts() = 0;

protected:
    ~FrameSink() = default;
};

class FrameLink;

// Sends the frame in `frameBuffer` (length byte and data) until the module
// acknowledges it. 0 with *acknowledged 1; 8 when an answer stayed out;
// 6 when every one of kMaxFrameTransmissions transmissions drew a NAK; 9 at
// once when the port refused the write (its system error kept by the link).
ErrorCode EmmiL2SendFrame(FrameLink& link, const uint8_t* frameBuffer, int32_t* acknowledged);

// The answer to the current frame: 1 when an ACK was counted since its first
// transmission, else 6 when a NAK was; otherwise waits for either up to the
// class-0 time-out: 8 when none came, 0 when woken without a count.
uint8_t EmmiL2GetAck(FrameLink& link);

// Receive thread: takes one byte or one frame. *frameReceived is 1 only for
// a correct frame, whose length byte and data are then in `frameBuffer`
// (kFrameBufferSize bytes). Every frame is answered with ACK or NAK; bytes
// outside frames are counted (ACK, NAK) and go to the sink. Result 0, or for
// a faulty frame 2 (BCC), 5 (no ETX), 8 (broken off) or 9 (port refused), or
// 7 for a stray byte outside frames.
ErrorCode EmmiL2ReceiveFrame(FrameLink& link, uint8_t* frameBuffer, int32_t* frameReceived,
                             int32_t firstFrame);

class FrameLink {
public:
    FrameLink(SerialLink& serial, SendPacer& pacer, const TraceChannel& trace)
        : serial_(serial), pacer_(pacer), trace_(trace)
    {
    }
    FrameLink(const FrameLink&) = delete;
    FrameLink& operator=(const FrameLink&) = delete;

    void connect(FrameSink& sink) { sink_ = &sink; }

    // While on, every received byte goes to the sink untouched: the
    // bootloader's bytes are no EMMI, and its STX, ACK and NAK must reach the
    // boot dialogue. Cleared by every open.
    void setRawByteMode(bool on) { rawByteMode_.store(on, std::memory_order_relaxed); }
    bool rawByteMode() const { return rawByteMode_.load(std::memory_order_relaxed); }

    // Receive thread: the last first-byte read was refused by the port (an
    // unplugged adapter), so the thread waits before it reads again.
    bool readRefused() const { return readRefused_; }

    // ACKs and NAKs counted since the current frame's first transmission.
    uint16_t acksCounted() const { return ackCount_.load(std::memory_order_relaxed); }
    uint16_t naksCounted() const { return nakCount_.load(std::memory_order_relaxed); }

    // A fresh start for a new connection.
    void reset();

private:
    friend ErrorCode EmmiL2SendFrame(FrameLink&, const uint8_t*, int32_t*);
    friend uint8_t EmmiL2GetAck(FrameLink&);
    friend ErrorCode EmmiL2ReceiveFrame(FrameLink&, uint8_t*, int32_t*, int32_t);
    friend struct FrameLinkSteps;

    SerialLink& serial_;
    SendPacer& pacer_;
    const TraceChannel& trace_;
    FrameSink* sink_ = nullptr;

    // Counted by the receive thread, read by the caller's thread after the
    // ACK/NAK event, hence atomics.
    std::atomic<uint16_t> ackCount_{0};
    std::atomic<uint16_t> nakCount_{0};
    plat::Event ackNak_{"rxAckNakEvent", false};
    std::atomic<bool> rawByteMode_{false};

    // Receive thread only.
    FrameParser parser_;
    // Set at the first stray byte of a run, so the run is reported once;
    // cleared by a correct frame.
    uint8_t syncLost_ = 0;
    bool readRefused_ = false;

    // Caller's thread only: STX, LEN, up to 255 data bytes, BCC, ETX.
    std::array<uint8_t, kMaxFrameData + 4> txFrame_{};
};

} // namespace cfc
