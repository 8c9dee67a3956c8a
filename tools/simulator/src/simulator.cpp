#include "sim/simulator.h"

#include <system_error>
#include <utility>

namespace sim {

Simulator::Simulator(std::unique_ptr<Transport> transport, Options options)
    : transport_(std::move(transport)), options_(std::move(options))
{
}

Simulator::~Simulator()
{
    stop();
}

void Simulator::setMessageHandler(MessageHandler handler)
{
    handler_ = std::move(handler);
}

void Simulator::setTrace(TraceSink sink)
{
    trace_ = std::move(sink);
}

bool Simulator::start()
{
    activeMode_ = mode_.load();
    behaviour_ = makeModeBehaviour(activeMode_, *this);
    try {
        reader_ = std::thread([this] { readLoop(); });
        sender_ = std::thread([this] { sendLoop(); });
    } catch (const std::system_error&) {
        stop();
        return false;
    }
    return true;
}

void Simulator::stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopRequested_.store(true);
    transport_->interrupt();
    changed_.notify_all();
    if (reader_.joinable())
        reader_.join();
    if (sender_.joinable())
        sender_.join();

    std::deque<Outgoing> unsent;
    {
        std::lock_guard lock(mutex_);
        unsent.swap(outbox_);
    }
    for (Outgoing& item : unsent)
        item.done.set_value(false);
}

Options Simulator::options() const
{
    std::lock_guard lock(mutex_);
    return options_;
}

void Simulator::setOptions(const Options& options)
{
    std::lock_guard lock(mutex_);
    options_ = options;
}

void Simulator::setFaults(const Faults& faults)
{
    std::lock_guard lock(mutex_);
    options_.faults = faults;
}

Mode Simulator::mode() const
{
    return mode_.load();
}

void Simulator::setMode(Mode mode)
{
    mode_.store(mode);
}

std::future<bool> Simulator::sendMessage(uint16_t command, std::vector<uint8_t> data)
{
    return enqueue(Kind::Message,
                   segmentMessage(kTypeCommand, commandHeader(command, data.size()), data));
}

std::future<bool> Simulator::sendSignalTrace(const SignalTrace& trace)
{
    return enqueue(Kind::SignalTrace,
                   segmentMessage(kTypeSignalTrace, signalTraceHeader(trace), trace.data));
}

std::future<bool> Simulator::sendText(const std::string& text)
{
    return enqueue(Kind::Text, {std::vector<uint8_t>(text.begin(), text.end())});
}

std::future<bool> Simulator::enqueue(Kind kind, std::vector<std::vector<uint8_t>> frames)
{
    Outgoing item{kind, std::move(frames), {}};
    std::future<bool> result = item.done.get_future();
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            item.done.set_value(false);
            return result;
        }
        outbox_.push_back(std::move(item));
    }
    changed_.notify_all();
    return result;
}

std::vector<FrameRecord> Simulator::hostFrames() const
{
    std::lock_guard lock(mutex_);
    return hostFrames_;
}

std::vector<HostMessage> Simulator::hostMessages() const
{
    std::lock_guard lock(mutex_);
    return hostMessages_;
}

Counters Simulator::counters() const
{
    std::lock_guard lock(mutex_);
    return counters_;
}

bool Simulator::waitForFrames(size_t count, uint32_t timeoutMs) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return hostFrames_.size() >= count; });
}

bool Simulator::waitForMessages(size_t count, uint32_t timeoutMs) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return hostMessages_.size() >= count; });
}

void Simulator::readLoop()
{
    uint8_t buffer[512];
    while (!stopRequested_.load()) {
        followMode();
        const uint32_t bound = behaviour_->silenceBoundMs();
        const size_t count = transport_->read(buffer, sizeof buffer, bound);
        if (stopRequested_.load())
            break;
        if (count == 0) {
            followMode();
            if (bound != kNoTimeout)
                behaviour_->onSilence();
            continue;
        }
        for (size_t i = 0; i < count; ++i) {
            // A handler may switch the mode in the middle of a read; the
            // bytes after the switching one belong to the new mode.
            followMode();
            behaviour_->onByte(buffer[i]);
        }
    }
}

void Simulator::followMode()
{
    const Mode wanted = mode_.load();
    if (wanted == activeMode_)
        return;
    activeMode_ = wanted;
    behaviour_ = makeModeBehaviour(wanted, *this);
    if (tracing())
        trace(wanted == Mode::Off ? "sim: mode off" : "sim: mode EMMI");
}

void Simulator::trace(const std::string& line)
{
    std::lock_guard lock(traceMutex_);
    trace_(line);
}

void Simulator::answer(uint8_t byte)
{
    // Counted first: a host that has the answer finds it counted.
    {
        std::lock_guard lock(mutex_);
        ++(byte == kAck ? counters_.acksSent : counters_.naksSent);
    }
    writeLine({byte}, byte == kAck ? "ACK" : "NAK");
}

bool Simulator::takeFault(FaultPlan Faults::*plan)
{
    std::lock_guard lock(mutex_);
    return (options_.faults.*plan).take();
}

uint32_t Simulator::interByteTimeoutMs()
{
    std::lock_guard lock(mutex_);
    return options_.interByteTimeoutMs;
}

void Simulator::hostAnswered(Answer answer)
{
    if (tracing())
        trace(answer == Answer::Ack ? "host> ACK" : "host> NAK");
    {
        std::lock_guard lock(mutex_);
        ++(answer == Answer::Ack ? counters_.acksReceived : counters_.naksReceived);
        if (!awaitingReply_ || reply_)
            return;
        reply_ = answer;
    }
    changed_.notify_all();
}

void Simulator::frameReceived(FrameRecord record)
{
    if (tracing())
        trace("host> frame: " + hexBytes(record.data));
    {
        std::lock_guard lock(mutex_);
        ++counters_.framesReceived;
        hostFrames_.push_back(std::move(record));
    }
    changed_.notify_all();
}

void Simulator::badFrameReceived(const char* why)
{
    if (tracing())
        trace(std::string("host> frame refused: ") + why);
    std::lock_guard lock(mutex_);
    ++counters_.badFramesReceived;
}

void Simulator::strayByteReceived(uint8_t)
{
    std::lock_guard lock(mutex_);
    ++counters_.strayBytesReceived;
}

void Simulator::messageReceived(const HostMessage& message)
{
    if (tracing())
        trace("host> message: type " + hexBytes({&message.type, 1}) + ", command " +
              std::to_string(message.command) + ", " + std::to_string(message.data.size()) +
              " data bytes");
    {
        std::lock_guard lock(mutex_);
        hostMessages_.push_back(message);
    }
    changed_.notify_all();
}

void Simulator::handleMessage(const HostMessage& message)
{
    if (handler_)
        handler_(*this, message);
}

void Simulator::messageGivenUp()
{
    if (tracing())
        trace("host> message given up: a segment is missing");
    std::lock_guard lock(mutex_);
    ++counters_.messagesGivenUp;
}

} // namespace sim
