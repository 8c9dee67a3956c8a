#include "sim/simulator.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace sim {

namespace {

// How long a read may wait for bytes before `due` comes.
uint32_t readBound(std::optional<Clock::time_point> due)
{
    if (!due)
        return kNoTimeout;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - Clock::now()).count();
    return static_cast<uint32_t>(std::clamp<long long>(left, 0, kNoTimeout - 1));
}

} // namespace

Simulator::Simulator(std::unique_ptr<Transport> transport, Options options)
    : transport_(std::move(transport)), options_(std::move(options)), firmware_(options_.firmware),
      checkBaudRate_(options_.checkBaudRate)
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
    behaviour_ = makeModeBehaviour(activeMode_, *this, options());
    moduleBaudRate_.store(behaviour_->baudRate());
    transport_->watchLine([this](const LineState& line) { lineChanged(line); });
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
    // First, so that no report from the host's side reaches a simulator
    // that is going away.
    transport_->watchLine({});
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
    checkBaudRate_.store(options.checkBaudRate);
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
    changeMode(mode);
}

bool Simulator::waitForMode(Mode mode, uint32_t timeoutMs) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return mode_.load() == mode; });
}

OperationMode Simulator::operationMode() const
{
    return firmware_.operationMode();
}

std::map<uint16_t, std::vector<uint8_t>> Simulator::calibrationItems() const
{
    return firmware_.calibrationItems();
}

bool Simulator::javaAutoStart() const
{
    return firmware_.javaAutoStart();
}

void Simulator::changeMode(Mode mode)
{
    {
        std::lock_guard lock(mutex_);
        mode_.store(mode);
    }
    changed_.notify_all();
    // The read thread takes the new mode at once, also when it has nothing
    // to read: a mode may have deadlines of its own.
    transport_->wake();
}

void Simulator::lineChanged(const LineState& line)
{
    if (hostBaudRate_.exchange(line.baudRate) != line.baudRate && tracing())
        trace("host: line at " + std::to_string(line.baudRate) + " baud");
    const bool wasHigh = dtr_.exchange(line.dtr);
    // The level found at the start is no edge.
    if (!lineKnown_.exchange(true) || !line.dtr || wasHigh)
        return;

    // The ignition switches a silent module on; a running one ignores it.
    bool switchedOn;
    {
        std::lock_guard lock(mutex_);
        Mode expected = Mode::Off;
        switchedOn = mode_.compare_exchange_strong(expected, Mode::Bootloader);
    }
    if (!switchedOn)
        return;
    changed_.notify_all();
    note("ignition: the bootloader starts");
    transport_->wake();
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

bool Simulator::waitForCounters(const std::function<bool(const Counters&)>& done,
                                uint32_t timeoutMs) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return done(counters_); });
}

void Simulator::tally(uint32_t Counters::*counter, uint32_t events)
{
    {
        std::lock_guard lock(mutex_);
        counters_.*counter += events;
    }
    changed_.notify_all();
}

bool Simulator::waitForCommand(uint16_t command, uint32_t timeoutMs) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return std::ranges::any_of(hostMessages_, [&](const HostMessage& message) {
            return message.type == kTypeCommand && message.command == command;
        });
    });
}

void Simulator::readLoop()
{
    uint8_t buffer[512];
    while (!stopRequested_.load()) {
        followMode();
        const size_t count =
            transport_->read(buffer, sizeof buffer, readBound(behaviour_->deadline()));
        if (stopRequested_.load())
            break;
        uint32_t notUnderstood = 0;
        for (size_t i = 0; i < count; ++i) {
            // A handler may switch the mode in the middle of a read; the
            // bytes after the switching one belong to the new mode.
            followMode();
            if (understood(behaviour_->baudRate()))
                behaviour_->onByte(buffer[i]);
            else
                ++notUnderstood;
        }
        if (notUnderstood > 0) {
            note(std::to_string(notUnderstood) + " bytes at the wrong baud rate");
            tally(&Counters::bytesNotUnderstood, notUnderstood);
        }
        // A read also ends early for a change of mode; only the clock says
        // whether a deadline has come.
        followMode();
        const auto due = behaviour_->deadline();
        if (due && Clock::now() >= *due)
            behaviour_->onDeadline();
    }
}

bool Simulator::understood(uint32_t moduleBaudRate) const
{
    const uint32_t host = hostBaudRate_.load();
    return !checkBaudRate_.load() || host == 0 || moduleBaudRate == 0 || host == moduleBaudRate;
}

void Simulator::followMode()
{
    const Mode wanted = mode_.load();
    if (wanted == activeMode_)
        return;
    activeMode_ = wanted;
    behaviour_ = makeModeBehaviour(wanted, *this, options());
    moduleBaudRate_.store(behaviour_->baudRate());
    note(std::string("mode ") + modeName(wanted));
}

void Simulator::trace(const std::string& line)
{
    std::lock_guard lock(traceMutex_);
    trace_(line);
}

void Simulator::answer(uint8_t byte)
{
    // Counted first: a host that has the answer finds it counted.
    tally(byte == kAck ? &Counters::acksSent : &Counters::naksSent);
    writeLine({byte}, byte == kAck ? "ACK" : "NAK");
}

void Simulator::say(std::span<const uint8_t> bytes, const char* what)
{
    writeLine({bytes.begin(), bytes.end()}, what);
}

void Simulator::note(const std::string& event)
{
    if (tracing())
        trace("sim: " + event);
}

void Simulator::switchMode(Mode mode)
{
    changeMode(mode);
}

void Simulator::startFirmware(bool serviceBoot)
{
    const FirmwareOptions options = this->options().firmware;
    Mode next = Mode::Off;
    if (options.present)
        next = serviceBoot ? options.serviceBootMode : Mode::At;
    firmware_.start(options);
    tally(serviceBoot ? &Counters::serviceBoots : &Counters::normalBoots);
    note(std::string(serviceBoot ? "service" : "normal") + " boot: " +
         (options.present ? std::string("the firmware starts in ") + modeName(next) + " mode"
                          : std::string("no firmware answers")));
    changeMode(next);
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
        if (awaitingReply_ && !reply_)
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
    tally(&Counters::badFramesReceived);
}

void Simulator::strayByteReceived(uint8_t)
{
    tally(&Counters::strayBytesReceived);
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
    // The signal trace listens whoever answers: a test's script too.
    signalTrace_.take(message);
    if (handler_)
        handler_(*this, message);
    else
        firmware_.handle(*this, message);
    for (const SignalTrace& signal : signalTrace_.reportAfter(message))
        sendSignalTrace(signal);
}

SignalTraceState Simulator::signalTrace() const
{
    return signalTrace_.state();
}

void Simulator::messageGivenUp()
{
    if (tracing())
        trace("host> message given up: a segment is missing");
    tally(&Counters::messagesGivenUp);
}

} // namespace sim
