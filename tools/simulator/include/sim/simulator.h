// The module simulator: plays the module's side of a serial line for tests,
// benchmarks and the demo. One thread reads the line and runs the current
// mode's behaviour (answering frames at once); another sends the module's
// own messages one frame at a time and waits for the host's answers, which
// the reading thread hands over. Where the line reports them (the in-memory
// line), the host's DTR switches a silent module on and the host's baud
// rate decides whether the module understands it.
#pragma once

#include "sim/firmware.h"
#include "sim/host_message.h"
#include "sim/modes.h"
#include "sim/options.h"
#include "sim/signal_trace.h"
#include "sim/transport.h"
#include "sim/wire.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace sim {

struct Counters {
    uint32_t acksReceived = 0;       // ACK bytes from the host
    uint32_t naksReceived = 0;       // NAK bytes from the host
    uint32_t acksSent = 0;           // ACK answers to host frames
    uint32_t naksSent = 0;           // NAK answers to host frames
    uint32_t framesReceived = 0;     // correct host frames, refused ones included
    uint32_t badFramesReceived = 0;  // wrong BCC, no ETX, broken off
    uint32_t strayBytesReceived = 0; // bytes outside frames other than ACK/NAK
    uint32_t messagesGivenUp = 0;    // host messages that lost a segment
    uint32_t framesSent = 0;         // module frame transmissions, resends included
    uint32_t messagesDelivered = 0;  // module messages acknowledged frame by frame
    uint32_t messagesAbandoned = 0;  // module messages given up
    uint32_t normalBoots = 0;        // firmware starts after a plain ignition pulse
    uint32_t serviceBoots = 0;       // firmware starts after the bootloader dialogue
    uint32_t bytesNotUnderstood = 0; // host bytes at a baud rate the module does not speak
};

class Simulator;
// Called on the read thread for every complete host message, after its last
// frame was acknowledged, in place of the built-in firmware. It may queue
// answers (sendMessage and its sisters return at once) and change the mode;
// it must not wait on a future of its own sends or call stop(), which both
// need the read thread.
using MessageHandler = std::function<void(Simulator&, const HostMessage&)>;
// Receives one line per event on the wire; called from both threads, and
// from the host's for changes of its line, one call at a time.
using TraceSink = std::function<void(const std::string&)>;

class Simulator : private ModeHost {
public:
    explicit Simulator(std::unique_ptr<Transport> transport, Options options = {});
    ~Simulator() override;
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Set these before start().
    void setMessageHandler(MessageHandler handler);
    void setTrace(TraceSink sink);

    // False when a thread could not be started.
    bool start();
    // Ends both threads; sends still queued report false. Also by the
    // destructor.
    void stop();

    Options options() const;
    void setOptions(const Options& options);
    void setFaults(const Faults& faults);
    Mode mode() const;
    void setMode(Mode mode);
    // True once the module is in `mode`, false when timeoutMs passed first.
    bool waitForMode(Mode mode, uint32_t timeoutMs) const;

    // The built-in firmware's state.
    OperationMode operationMode() const;
    bool javaAutoStart() const;
    std::map<uint16_t, std::vector<uint8_t>> calibrationItems() const;
    // What the host last told the module's signal trace.
    SignalTraceState signalTrace() const;

    // A line for the trace about what the module did.
    void note(const std::string& event) override;

    // Queued and sent in order on the send thread. Each future turns true
    // once every frame was acknowledged (text: once written); false when the
    // host never acknowledged, the module is off, or the simulator stopped.
    std::future<bool> sendMessage(uint16_t command, std::vector<uint8_t> data);
    std::future<bool> sendSignalTrace(const SignalTrace& trace);
    std::future<bool> sendText(const std::string& text);

    // What the host has sent so far.
    std::vector<FrameRecord> hostFrames() const;
    std::vector<HostMessage> hostMessages() const;
    Counters counters() const;
    // True once at least `count` frames / messages arrived, false when
    // timeoutMs passed first.
    bool waitForFrames(size_t count, uint32_t timeoutMs) const;
    bool waitForMessages(size_t count, uint32_t timeoutMs) const;
    // True once a host message with this command arrived.
    bool waitForCommand(uint16_t command, uint32_t timeoutMs) const;
    // True once `done` holds for the counters (asked again at every change).
    bool waitForCounters(const std::function<bool(const Counters&)>& done,
                         uint32_t timeoutMs) const;

private:
    enum class Reply : uint8_t { Ack, Nak, Silence, Stopped };
    enum class Kind : uint8_t { Message, SignalTrace, Text };

    struct Outgoing {
        Kind kind = Kind::Text;
        std::vector<std::vector<uint8_t>> frames; // frame data; text: one entry
        std::promise<bool> done;
    };

    std::future<bool> enqueue(Kind kind, std::vector<std::vector<uint8_t>> frames);

    // Read thread.
    void readLoop();
    void followMode();
    bool understood(uint32_t moduleBaudRate) const;

    // Any thread.
    void changeMode(Mode mode);
    // The host's thread (or start()).
    void lineChanged(const LineState& line);

    // Send thread (simulator_send.cpp).
    void sendLoop();
    bool deliver(const Outgoing& item);
    bool sendMessageFrames(const std::vector<std::vector<uint8_t>>& frames);
    bool sendFrame(const std::vector<uint8_t>& data);
    Reply transmit(const std::vector<uint8_t>& wire);
    bool writeLine(const std::vector<uint8_t>& bytes, const char* what);

    // Adds to a counter and tells the waiters.
    void tally(uint32_t Counters::*counter, uint32_t events = 1);
    void trace(const std::string& line);
    bool tracing() const { return static_cast<bool>(trace_); }

    // ModeHost, called by the current mode on the read thread.
    void answer(uint8_t byte) override;
    void say(std::span<const uint8_t> bytes, const char* what) override;
    bool takeFault(FaultPlan Faults::*plan) override;
    uint32_t interByteTimeoutMs() override;
    void hostAnswered(Answer answer) override;
    void frameReceived(FrameRecord record) override;
    void badFrameReceived(const char* why) override;
    void strayByteReceived(uint8_t byte) override;
    void messageReceived(const HostMessage& message) override;
    void handleMessage(const HostMessage& message) override;
    void messageGivenUp() override;
    void switchMode(Mode mode) override;
    void startFirmware(bool serviceBoot) override;

    std::unique_ptr<Transport> transport_;
    MessageHandler handler_;
    TraceSink trace_;
    std::mutex traceMutex_;
    // Keeps each frame or answer whole on the line when both threads write.
    std::mutex writeMutex_;

    // Guards everything below up to the threads.
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Options options_;
    bool stopping_ = false;
    std::deque<Outgoing> outbox_;
    // Set while a module frame waits for its answer; the first ACK or NAK
    // after the transmission becomes the reply.
    bool awaitingReply_ = false;
    std::optional<Answer> reply_;
    Counters counters_;
    std::vector<FrameRecord> hostFrames_;
    std::vector<HostMessage> hostMessages_;
    // Changed under mutex_, so that waitForMode sees every change.
    std::atomic<Mode> mode_{Mode::Emmi};

    Firmware firmware_;
    SignalTraceUnit signalTrace_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> checkBaudRate_;
    // What the host drives (0: not known), and the rate the current mode
    // speaks (0: any).
    std::atomic<uint32_t> hostBaudRate_{0};
    std::atomic<uint32_t> moduleBaudRate_{0};
    std::atomic<bool> dtr_{false};
    std::atomic<bool> lineKnown_{false};

    // Read thread only.
    Mode activeMode_ = Mode::Emmi;
    std::unique_ptr<ModeBehaviour> behaviour_;

    std::thread reader_;
    std::thread sender_;
};

} // namespace sim
