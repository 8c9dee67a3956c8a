#include "module_line.h"

#include "cfc.h"
#include "cfc_connection.h"
#include "cfc_trace.h"
#include "gwcoml3.h"

#include "sim/wire.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace fuzzlink {

namespace {

constexpr int kPort = 29;
constexpr const char* kDeviceName = "fuzz-module";
// Any non-zero value routes the connection's trace lines to the sink below.
constexpr uint32_t kTestCaseHandle = 1;

// STX, LEN, 255 data bytes, BCC, ETX: the most a frame can take after its STX.
constexpr size_t kLongestFrameAfterStx = 1 + sim::kMaxFrameData + 2;

constexpr uint16_t kMarkerCommand = 0x5E77;
constexpr std::chrono::seconds kMarkerBound{10};

// Every trace line is formatted at the default level and handed here, so the
// sanitizers see each line read in full. FUZZ_TRACE=1 shows them, for
// looking into a finding; otherwise nothing is kept.
const bool g_showTrace = [] {
    const char* value = std::getenv("FUZZ_TRACE");
    return value != nullptr && std::strcmp(value, "1") == 0;
}();

int readWholeLine(uint32_t, const char* text)
{
    volatile size_t length = std::strlen(text);
    (void)length;
    if (g_showTrace)
        std::fprintf(stderr, "trace: %s\n", text);
    return 0;
}

[[noreturn]] void giveUp(const char* what)
{
    std::fprintf(stderr, "module line: %s\n", what);
    std::abort();
}

} // namespace

ModuleLine& ModuleLine::instance()
{
    // Never destroyed: the receive thread may still run while the process exits.
    static ModuleLine* line = new ModuleLine;
    return *line;
}

ModuleLine::ModuleLine()
{
    const std::string port = "CFC_COM" + std::to_string(kPort);
    ::setenv(port.c_str(), (std::string("virtual:") + kDeviceName).c_str(), 1);
    // A settings file that cannot exist: a user's enabled signal trace would
    // add a 5 s wait to every close.
    ::setenv("CFC_TRACE_INI", "/dev/null/cfctrace.ini", 1);
    WDisableTraceFile();
    device_ = plat::registerVirtualDevice(kDeviceName);
    open();
}

void ModuleLine::open()
{
    cfc::SetTraceSink(&readWholeLine);
    handle_ = WComOpen(kPort, 115200, kTestCaseHandle);
    if (handle_ == 0)
        giveUp("WComOpen failed");
    // The first open binds the test system, which may replace the sink.
    cfc::SetTraceSink(&readWholeLine);
    // Signal-trace frames reach the signal trace only while it is enabled.
    // Enabled here rather than in the settings file, which would also make
    // every close wait for the module's trace to end.
    cfc::ConnectionOf(handle_)->signals.enable.store(1);
    sinceStx_ = SIZE_MAX;
}

void ModuleLine::send(const uint8_t* data, size_t size)
{
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == sim::kStx)
            sinceStx_ = 0;
        else if (sinceStx_ != SIZE_MAX)
            ++sinceStx_;
    }
    device_->write(data, size);
}

void ModuleLine::setRawByteMode(bool on)
{
    cfc::ConnectionOf(handle_)->frames.setRawByteMode(on);
}

void ModuleLine::sendFrame(const uint8_t* data, uint8_t size)
{
    const std::vector<uint8_t> wire = sim::encodeFrame({data, size});
    device_->write(wire.data(), wire.size());
}

void ModuleLine::settle()
{
    setRawByteMode(false);

    // A frame begun at or before the last STX ends within the longest frame
    // after it; zeros never start another one.
    if (sinceStx_ < kLongestFrameAfterStx) {
        const std::vector<uint8_t> zeros(kLongestFrameAfterStx - sinceStx_, 0);
        device_->write(zeros.data(), zeros.size());
    }
    sinceStx_ = SIZE_MAX;

    // A frame of a foreign type gives up any message in progress, unless its
    // segment number repeats the last accepted one and it is ignored; of two
    // with different numbers one always counts.
    const uint8_t foreignA[] = {0x00, 0xFE};
    const uint8_t foreignB[] = {0x00, 0xFD};
    sendFrame(foreignA, sizeof foreignA);
    sendFrame(foreignB, sizeof foreignB);
    // The last frame of a signal trace, so no signal continues into the next
    // input.
    const std::vector<uint8_t> signalEnd =
        sim::segmentMessage(sim::kTypeSignalTrace, sim::signalTraceHeader(sim::SignalTrace{}), {})
            .front();
    sendFrame(signalEnd.data(), static_cast<uint8_t>(signalEnd.size()));

    // The receiver may take the next last frame of a command message for the
    // tail of one it gave up; this one ends such a tail, or else is queued
    // and dropped below like any message before the marker.
    const std::vector<uint8_t> closing =
        sim::segmentMessage(sim::kTypeCommand, sim::commandHeader(kMarkerCommand, 0), {}).front();
    sendFrame(closing.data(), static_cast<uint8_t>(closing.size()));

    // A marker no earlier input can have sent, so it is never a repeat.
    std::vector<uint8_t> marker = {'s', 'e', 't', 't', 'l', 'e', 'd'};
    ++markerCount_;
    for (unsigned shift = 0; shift < 64; shift += 8)
        marker.push_back(static_cast<uint8_t>(markerCount_ >> shift));
    const std::vector<uint8_t> markerFrame =
        sim::segmentMessage(sim::kTypeCommand, sim::commandHeader(kMarkerCommand, marker.size()),
                            marker)
            .front();
    sendFrame(markerFrame.data(), static_cast<uint8_t>(markerFrame.size()));

    const auto deadline = std::chrono::steady_clock::now() + kMarkerBound;
    std::vector<uint8_t> message(cfc::kMessageSize);
    for (;;) {
        uint16_t command = 0;
        uint16_t length = 0;
        const uint8_t taken = cfc::EmmiL3RemoveFromRxQueue((*cfc::ConnectionOf(handle_)).messages,
                                                           &command, message.data(), &length);
        if (taken == cfc::kRxQueueEmpty) {
            if (std::chrono::steady_clock::now() > deadline)
                giveUp("the marker message did not arrive");
            cfc::EmmiL3WaitForRxMessage((*cfc::ConnectionOf(handle_)).messages);
            continue;
        }
        if (command == kMarkerCommand && length == marker.size() &&
            std::memcmp(message.data(), marker.data(), marker.size()) == 0)
            break;
    }
    // The receive thread's ACKs and NAKs; nobody reads them.
    device_->discardFromHost();
    checkSettledState();
}

void ModuleLine::checkSettledState()
{
    // The marker's frame start emptied both buffers of the raw path and
    // nothing came after the marker. A count off here means a write ran past
    // a buffer into its neighbour inside the slot, which the address
    // sanitizer cannot see.
    const cfc::RawInput::Contents held = cfc::ConnectionOf(handle_)->raw.contents();
    if (!held.received.empty() || !held.skipped.empty())
        giveUp("the raw buffers are not empty after the marker");
    if (cfc::EmmiL3RxQueueNotEmpty((*cfc::ConnectionOf(handle_)).messages))
        giveUp("a message was queued after the marker");
}

void ModuleLine::reopen()
{
    cfc::ConnectionOf(handle_)->signals.enable.store(0);
    if (WComClose(handle_) != 1)
        giveUp("WComClose failed");
    device_->discardFromHost();
    open();
    settle();
}

} // namespace fuzzlink
