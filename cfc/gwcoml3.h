// Message layer: messages cut into EMMI frames and put together again, the
// per-connection receive queue, and the receive thread that feeds it.
//
// The data of every frame of this layer start with the message type and a
// segment number (0, 1, 2 ... while more frames follow, 0xFF for the last or
// only one); the first frame of a message also carries the type's header.
#pragma once

#include "cfc_types.h"
#include "gwcoml2.h"

#include "plat/event.h"
#include "plat/thread.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace cfc {

class SerialLink;
class TraceChannel;

inline constexpr uint16_t kMessageSize = 1500;

// Message types. The host sends the first three; it takes 0xD6 into the
// receive queue and hands 0xD4 to the signal trace.
inline constexpr uint8_t kMsgTypeCommand = 0xD6;
inline constexpr uint8_t kMsgTypeParameters = 0xD3;
inline constexpr uint8_t kMsgTypeByteParameter = 0xD5;
inline constexpr uint8_t kMsgTypeSignalTrace = 0xD4;

inline constexpr uint8_t kLastSegment = 0xFF;

// Frame-data offsets of every frame of this layer; the header or the data
// follow the segment number.
inline constexpr uint8_t kFrameTypeOffset = 0;
inline constexpr uint8_t kFrameSegmentOffset = 1;
inline constexpr uint8_t kFrameHeaderOffset = 2;

// Kinds of EmmiL3SendMessage; any other value sends a command message.
inline constexpr uint8_t kSendKindParameters = 1;
inline constexpr uint8_t kSendKindByteParameter = 2;

// Successive empty reads inside a message after which it is given up.
inline constexpr uint16_t kMaxIdleReads = 200;

// Results of EmmiL3RemoveFromRxQueue.
inline constexpr uint8_t kRxQueueDroppedRepeat = 0;
inline constexpr uint8_t kRxQueueEmpty = 1;
inline constexpr uint8_t kRxQueueDelivered = 2;

// Where signal-trace frames go: the connection wires it to its signal trace.
// Called on the receive thread.
class SignalFrameSink {
public:
    virtual bool signalTraceEnabled() const = 0;
    // `frameData` holds the frame's `length` data bytes (type and segment
    // number first). `continues` is false for the first frame of a signal,
    // which is at least as long as the signal header; a following frame may
    // be as short as two bytes.
    virtual void signalFrame(const uint8_t* frameData, uint16_t length, bool continues) = 0;

protected:
    ~SignalFrameSink() = default;
};

// A queued message holds only its own bytes: a module that floods the line
// with short messages must not cost a full-size entry each.
struct RxQueueEntry {
    uint16_t command = 0;
    std::vector<uint8_t> data;
};

// What the receive queue keeps while nobody takes from it. Past either
// limit the oldest messages nobody waits for are dropped; far above what
// any call leaves behind, and a few hundred kilobytes at most.
inline constexpr size_t kRxQueueMaxMessages = 256;
inline constexpr size_t kRxQueueMaxBytes = 64 * kMessageSize;
// Outside the 16-bit ids, so that no message of the module can pass for it.
inline constexpr int32_t kNoAwaitedCommand = -1;

// A message being put together from received frames. Receive thread only.
struct RxAssembly {
    std::array<uint8_t, kMessageSize> data{};
    uint16_t length = 0;
    uint16_t command = 0xFFFF;
    uint8_t type = 0;
    uint8_t expectedSegment = 0;
    // 1 while a signal trace goes on in further 0xD4 frames.
    uint8_t signalContinues = 0;
    // The 0xD4 frame taken last, to know it when the module sends it again.
    FrameBuffer lastSignalFrame{};
};

// The receive thread's state between and inside passes.
struct ReceiverState {
    enum class Phase : uint8_t { FirstFrame, InMessage };
    Phase phase = Phase::FirstFrame;
    uint16_t idleCount = 0;
    FrameBuffer frame{};
    RxAssembly message;
    // The frame accepted last, to know it when the module sends it again.
    FrameBuffer lastAccepted{};
    // Set when that frame completed a multi-frame message and no other frame
    // has come since: a copy of it must not start a message of its own.
    bool finalFrameCopyExpected = false;
    // Set when a message was given up for a frame that did not fit: until
    // its last frame (or a new message of its type) the module's further
    // frames of it are dropped.
    bool skippingTail = false;
    uint8_t tailType = 0;
};

class MessageLink;

// Sends one message and waits for every frame's acknowledgement; 0, or the
// frame layer's code of the first frame that was not acknowledged. `kind` 1
// sends type 0xD3 with the three parameters, 2 sends type 0xD5 with the low
// byte of `command`, any other sends type 0xD6 with `command`. A null `data`
// sends nothing.
ErrorCode EmmiL3SendMessage(MessageLink& link, uint16_t command, int32_t parameter32,
                            uint16_t parameterA, uint16_t parameterB, const uint8_t* data,
                            uint16_t length, uint8_t kind);

// Receive thread: one pass of taking frames until a message is complete, a
// silent wait ends, a message is given up, or the stop flag is set.
void EmmiL3ReceivePass(MessageLink& link, ReceiverState& state);
// Starts a message with a first frame (`frame`: length byte and data). True
// when the frame is accepted as a message's first frame; signal-trace frames
// are handed to `signals` and never accepted.
bool EmmiL3StartMessage(SignalFrameSink* signals, RxAssembly& message, const uint8_t* frame);
// True when `frame` is accepted as the message's next (or last) segment; its
// data are added, cut at kMessageSize.
bool EmmiL3AppendSegment(RxAssembly& message, const uint8_t* frame);

// Queues a copy of a received message (at most kMessageSize bytes) and sets
// the frame-received event. Receive thread.
void EmmiL3AddToRxQueue(MessageLink& link, uint16_t command, const uint8_t* data, uint16_t length);
// Names the message id a caller is waiting for (kNoAwaitedCommand: none), so
// that a full queue never drops it.
void EmmiL3AwaitCommand(MessageLink& link, int32_t command);
// Takes the oldest message; `buffer` holds kMessageSize bytes.
uint8_t EmmiL3RemoveFromRxQueue(MessageLink& link, uint16_t* command, uint8_t* buffer,
                                uint16_t* length);
bool EmmiL3RxQueueNotEmpty(MessageLink& link);
// Returns at once while a message is queued, else waits for one at most the
// class-2 time-out.
void EmmiL3WaitForRxMessage(MessageLink& link);
// When a reception that starts now must end: the class-2 time-out from now.
// Messages that arrive meanwhile do not move it, so a module that keeps
// talking about other things cannot hold a caller for longer.
std::chrono::steady_clock::time_point EmmiL3ReceptionDeadline(const MessageLink& link);
// As EmmiL3WaitForRxMessage, but never past `deadline`; true when a message
// is queued.
bool EmmiL3WaitForRxMessageUntil(MessageLink& link, std::chrono::steady_clock::time_point deadline);
// Removes and drops every queued message; the number removed.
unsigned EmmiL3DrainRxQueue(MessageLink& link);

// Starts the receive thread; false with the system's error when it cannot.
bool EmmiL3StartReceiver(MessageLink& link, int* sysError);
// The system's id of the running receive thread.
uint32_t EmmiL3ReceiverId(const MessageLink& link);
// Asks the receive thread to end, ends its pending read at once and waits
// for it.
void EmmiL3StopReceiver(MessageLink& link);
// Body of the receive thread: passes until the stop flag is set.
void EmmiL3ReceiveThread(MessageLink& link);

class MessageLink {
public:
    MessageLink(FrameLink& frames, SerialLink& serial, const TraceChannel& trace)
        : frames_(frames), serial_(serial), trace_(trace)
    {
    }
    MessageLink(const MessageLink&) = delete;
    MessageLink& operator=(const MessageLink&) = delete;

    void connect(SignalFrameSink& signals) { signals_ = &signals; }

private:
    friend ErrorCode EmmiL3SendMessage(MessageLink&, uint16_t, int32_t, uint16_t, uint16_t,
                                       const uint8_t*, uint16_t, uint8_t);
    friend void EmmiL3ReceivePass(MessageLink&, ReceiverState&);
    friend void EmmiL3AddToRxQueue(MessageLink&, uint16_t, const uint8_t*, uint16_t);
    friend uint8_t EmmiL3RemoveFromRxQueue(MessageLink&, uint16_t*, uint8_t*, uint16_t*);
    friend void EmmiL3AwaitCommand(MessageLink&, int32_t);
    friend bool EmmiL3RxQueueNotEmpty(MessageLink&);
    friend std::chrono::steady_clock::time_point EmmiL3ReceptionDeadline(const MessageLink&);
    friend bool EmmiL3WaitForRxMessageUntil(MessageLink&, std::chrono::steady_clock::time_point);
    friend bool EmmiL3StartReceiver(MessageLink&, int*);
    friend uint32_t EmmiL3ReceiverId(const MessageLink&);
    friend void EmmiL3StopReceiver(MessageLink&);
    friend void EmmiL3ReceiveThread(MessageLink&);
    friend struct MessageLinkSteps;

public:
    using Queue = std::deque<RxQueueEntry>;

private:
    FrameLink& frames_;
    SerialLink& serial_;
    const TraceChannel& trace_;
    SignalFrameSink* signals_ = nullptr;

    // Guards the queue, its size, the awaited id and the memory of the last
    // delivered message.
    std::mutex queueLock_;
    Queue queue_;
    size_t queuedBytes_ = 0;
    int32_t awaited_ = kNoAwaitedCommand;
    // Set once messages were dropped for room, until the queue runs empty:
    // a flood is told once, not message by message.
    bool dropping_ = false;
    // Kept across close and open, so a repeat of the last message delivered
    // before a reopen is still recognised.
    uint16_t lastLength_ = 0;
    std::array<uint8_t, kMessageSize> lastData_{};
    plat::Event received_{"rxFrameEvent", false};

    plat::Thread thread_;
    // Asks the receive thread to end after its current pass.
    std::atomic<bool> stop_{false};
};

} // namespace cfc
