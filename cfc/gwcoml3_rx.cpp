// Receiving side of the message layer: the receive thread takes frames,
// puts the frames of a message together and queues the message; signal-trace
// frames go to the signal trace instead.
//
// Every frame comes from the module and is trusted in nothing: a frame is
// read only up to its own length byte, and a message never grows past
// kMessageSize.
#include "gwcoml3.h"

#include "emmierr.h"
#include "gwcoml1.h"

#include "plat/byte_order.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace cfc {

namespace {

// Frame-data offsets of the frames the host receives.
constexpr uint8_t kCommandOffset = 2;
constexpr uint8_t kFirstDataOffset = 6;
constexpr uint8_t kNextDataOffset = 2;
constexpr uint8_t kSignalHeaderEnd = 22;

// A frame buffer: its length byte, then frame data at index 1.
uint8_t frameLength(const uint8_t* frame)
{
    return frame[0];
}
const uint8_t* frameData(const uint8_t* frame)
{
    return frame + 1;
}
// Type and segment number exist only in frames of two or more bytes.
bool hasMessageFields(const uint8_t* frame)
{
    return frameLength(frame) > kFrameSegmentOffset;
}
uint8_t segmentOf(const uint8_t* frame)
{
    return frameData(frame)[kFrameSegmentOffset];
}

bool sameFrame(const uint8_t* a, const uint8_t* b)
{
    return std::memcmp(a, b, size_t{frameLength(a)} + 1) == 0;
}

// A signal-trace frame goes to the signal trace while it is enabled. A first
// frame too short for the signal header is dropped and starts nothing. The
// module sends a frame again, byte for byte, when our ACK came too late;
// taken again, a first frame's header would be written as the signal's data.
// Two frames of one signal differ in their segment number and a first frame
// carries the signal's frame number and time, so a copy is only ever a resend.
// Segment 0 only ever starts a signal: one that comes while another goes on
// means the module gave that one up, and its header must not become data.
void takeSignalTraceFrame(SignalFrameSink* signals, RxAssembly& message, const uint8_t* frame)
{
    const bool starts = message.signalContinues == 0 || segmentOf(frame) == 0;
    if (starts && frameLength(frame) < kSignalHeaderEnd)
        return;
    if (sameFrame(frame, message.lastSignalFrame.data()))
        return;
    std::memcpy(message.lastSignalFrame.data(), frame, size_t{frameLength(frame)} + 1);
    if (signals != nullptr && signals->signalTraceEnabled())
        signals->signalFrame(frameData(frame), frameLength(frame), !starts);
    message.signalContinues = segmentOf(frame) != kLastSegment ? 1 : 0;
}

void queueMessage(MessageLink& link, const RxAssembly& message)
{
    EmmiL3AddToRxQueue(link, message.command, message.data.data(), message.length);
}

// The module sends a frame again, byte for byte, when our ACK got lost. A
// frame that merely carries the same segment number is no copy: it is the
// start of another message.
bool isCopyOfLastAccepted(const ReceiverState& state)
{
    return sameFrame(state.frame.data(), state.lastAccepted.data());
}

void accept(ReceiverState& state)
{
    state.lastAccepted = state.frame;
    state.finalFrameCopyExpected = false;
}

// First-frame phase: the last frame of the multi-frame message completed
// last, sent again. Taken as a first frame it would make a message of the
// tail's bytes. (A single-frame message sent again is the doubled message
// that the queue drops.)
bool isCopyOfFinalFrame(ReceiverState& state)
{
    if (!state.finalFrameCopyExpected)
        return false;
    if (isCopyOfLastAccepted(state))
        return true;
    state.finalFrameCopyExpected = false;
    return false;
}

// A later frame of a message that was given up: the module goes on sending
// it. Its last frame would otherwise pass for a message of one frame. The
// module sends a message's frames back to back (signal-trace frames may come
// between), so a tail is only what follows at once: a frame of another type
// or a silent wait ends it, and a message of one frame after that is taken.
bool isTailOfGivenUpMessage(ReceiverState& state)
{
    const uint8_t* frame = state.frame.data();
    if (!state.skippingTail)
        return false;
    if (!hasMessageFields(frame) || frameData(frame)[kFrameTypeOffset] != state.tailType) {
        if (!hasMessageFields(frame) || frameData(frame)[kFrameTypeOffset] != kMsgTypeSignalTrace)
            state.skippingTail = false;
        return false;
    }
    const uint8_t segment = segmentOf(frame);
    if (segment == 0) {
        state.skippingTail = false; // a new message begins
        return false;
    }
    if (segment == kLastSegment)
        state.skippingTail = false;
    return true;
}

// First-frame phase: true when the frame started a message.
bool takeFirstFrame(MessageLink& link, SignalFrameSink* signals, ReceiverState& state)
{
    if (isTailOfGivenUpMessage(state) || isCopyOfFinalFrame(state))
        return false;
    if (!EmmiL3StartMessage(signals, state.message, state.frame.data()))
        return false;
    accept(state);
    if (segmentOf(state.frame.data()) == kLastSegment)
        queueMessage(link, state.message);
    else
        state.phase = ReceiverState::Phase::InMessage;
    return true;
}

// In-message phase: a frame that is not the expected segment gives the
// message up, and is then taken for what it is, a signal-trace frame or the
// first frame of a new message.
void takeNextFrame(MessageLink& link, SignalFrameSink* signals, ReceiverState& state)
{
    if (!EmmiL3AppendSegment(state.message, state.frame.data())) {
        state.phase = ReceiverState::Phase::FirstFrame;
        state.skippingTail = true;
        state.tailType = state.message.type;
        takeFirstFrame(link, signals, state);
        return;
    }
    accept(state);
    if (segmentOf(state.frame.data()) == kLastSegment) {
        state.phase = ReceiverState::Phase::FirstFrame;
        queueMessage(link, state.message);
        state.finalFrameCopyExpected = true;
    }
}

} // namespace

bool EmmiL3StartMessage(SignalFrameSink* signals, RxAssembly& message, const uint8_t* frame)
{
    if (!hasMessageFields(frame))
        return false;
    message.length = 0;
    message.expectedSegment = 0;
    message.type = frameData(frame)[kFrameTypeOffset];
    switch (message.type) {
    case kMsgTypeSignalTrace: takeSignalTraceFrame(signals, message, frame); return false;
    case kMsgTypeCommand:
        // Without its command the frame is no message.
        if (frameLength(frame) < kCommandOffset + 2)
            return false;
        message.command =
            plat::getLe16(std::span(frameData(frame), frameLength(frame)), kCommandOffset);
        return EmmiL3AppendSegment(message, frame);
    default: return false;
    }
}

bool EmmiL3AppendSegment(RxAssembly& message, const uint8_t* frame)
{
    if (!hasMessageFields(frame))
        return false;
    const uint8_t* data = frameData(frame);
    const uint8_t segment = data[kFrameSegmentOffset];
    if (data[kFrameTypeOffset] != message.type ||
        (segment != message.expectedSegment && segment != kLastSegment))
        return false;
    const size_t from = message.expectedSegment == 0 ? kFirstDataOffset : kNextDataOffset;
    const size_t length = frameLength(frame);
    if (length > from) {
        // Bytes beyond the message's room are dropped: the message is cut.
        const size_t take = std::min(length - from, size_t{kMessageSize} - message.length);
        std::memcpy(message.data.data() + message.length, data + from, take);
        message.length = static_cast<uint16_t>(message.length + take);
    }
    ++message.expectedSegment;
    return true;
}

void EmmiL3ReceivePass(MessageLink& link, ReceiverState& state)
{
    using Phase = ReceiverState::Phase;
    state.phase = Phase::FirstFrame;
    state.idleCount = 0;
    bool goOn = false;
    do {
        goOn = false;
        int32_t received = 0;
        const bool firstFrame = state.phase == Phase::FirstFrame;
        const ErrorCode code =
            EmmiL2ReceiveFrame(link.frames_, state.frame.data(), &received, firstFrame ? 1 : 0);
        if (firstFrame) {
            if (received != 0) {
                state.idleCount = 0;
                goOn = !takeFirstFrame(link, link.signals_, state);
            } else {
                state.skippingTail = false;
            }
        } else if (received == 0) {
            ++state.idleCount;
        } else if (!isCopyOfLastAccepted(state)) {
            state.idleCount = 0;
            takeNextFrame(link, link.signals_, state);
        }
        if (code != EMMIERR_OK)
            goOn = true;
        // The stop flag ends a pass at once: WComClose's cancel ends only
        // the one read that is pending, and a module that stopped in the
        // middle of a message would otherwise hold the close for 201 reads.
    } while ((state.phase == Phase::InMessage || goOn) && state.idleCount <= kMaxIdleReads &&
             !link.stop_.load());
    // A message still open here broke off; it is given up.
    state.phase = Phase::FirstFrame;
}

void EmmiL3ReceiveThread(MessageLink& link)
{
    ReceiverState state;
    while (!link.stop_.load()) {
        EmmiL3ReceivePass(link, state);
        // A port that refuses reads (an unplugged adapter) fails at once;
        // wait before the next try, woken early by WComClose's cancel.
        if (link.frames_.readRefused() && !link.stop_.load())
            EmmiL1AwaitCancel(link.serial_, EmmiL1GetTimeout(link.serial_, kTimeoutClassOneSecond));
    }
}

bool EmmiL3StartReceiver(MessageLink& link, int* sysError)
{
    link.stop_.store(false);
    link.received_.reset();
    return link.thread_.start([&link] { EmmiL3ReceiveThread(link); }, sysError);
}

uint32_t EmmiL3ReceiverId(const MessageLink& link)
{
    return link.thread_.id();
}

void EmmiL3StopReceiver(MessageLink& link)
{
    link.stop_.store(true);
    // Ends a pending read of the receive thread at once.
    EmmiL1CancelRead(link.serial_);
    link.thread_.join();
    EmmiL1ResetCancel(link.serial_);
}

} // namespace cfc
