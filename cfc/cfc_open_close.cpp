// Connection open and close, the last error and the library version.
#include "cfc.h"

#include "cfc_banner.h"
#include "cfc_clock.h"
#include "cfc_connection.h"
#include "cfc_open_failure.h"
#include "cfc_rawexchange.h"
#include "cfc_sigtrace.h"
#include "cfc_testsystem.h"

#include "plat/clock.h"
#include "plat/system_error.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <span>

namespace cfc {

namespace {

std::atomic<bool> g_firstOpen{true};

constexpr int32_t kDefaultBaudRate = 115200;

// The lines of WComOpen before the connection's trace path is ready: routed
// by the test-case handle given to the open, not yet the connection's, and
// delivered straight, past the trace lock, when the connection's level
// passes them.
class EarlyTrace {
public:
    EarlyTrace(const TraceChannel& trace, uint32_t testCaseHandle)
        : trace_(trace), testCaseHandle_(testCaseHandle)
    {
    }

    bool passes(uint16_t level) const { return trace_.passes(level); }
    void deliver(const char* text) const { TraceDirect(testCaseHandle_, text); }

    // "(CFC ) WComOpen: text" at `level`; level 0 lines are always written.
    void step(uint16_t level, const char* format, ...) const __attribute__((format(printf, 3, 4)))
    {
        if (!passes(level))
            return;
        char text[256];
        const int head = std::snprintf(text, sizeof text, "(CFC ) WComOpen: ");
        va_list args;
        va_start(args, format);
        std::vsnprintf(text + head, sizeof text - static_cast<size_t>(head), format, args);
        va_end(args);
        deliver(text);
    }

private:
    const TraceChannel& trace_;
    uint32_t testCaseHandle_;
};

// Once per process: every connection to its start state, the clock, the
// test system.
void prepareProcess()
{
    for (size_t i = 0; i < kSlotCount; ++i) {
        Connection& connection = ConnectionAt(i);
        connection.trace.setTestCaseHandle(0);
        connection.storeError(EMMIERR_OK);
        connection.raw.clearBuffers();
        connection.target = TargetFacts{};
        connection.calibration = CalibrationStore{};
        connection.trace.setDefaultLevel();
    }
    StartLibraryClock();
    BindTestSystem();
}

void invalidateTargetFacts(Connection& connection)
{
    const OpTrace trace(connection.trace, "(CFC )", "WComOpen");
    TargetFacts& target = connection.target;
    CalibrationStore& store = connection.calibration;
    trace.step(9, "clear local storedCalibrationItems, gotTargetVersion");
    store.storedCalibrationItems = 0;
    target.version.gotTargetVersion = 0;
    // 127 in an I place marks the pair as not stored yet: the GMSK pairs of
    // the Tx I/Q item and the autocalibration pair (two 16-bit values).
    trace.step(9, "invalidate local stored GMSK IQ-Offsets");
    for (size_t offset : {0, 2, 4, 6})
        store.item(kTxIqOffsetsItem)[offset] = kInvalidIqOffset;
    trace.step(9, "invalidate local stored autocalibration IQ-Offsets");
    const std::span<uint8_t> autoCal = store.item(kAutoCalIqOffsetsItem);
    std::fill(autoCal.begin(), autoCal.end(), uint8_t{0});
    autoCal[0] = kInvalidIqOffset;
    autoCal[2] = kInvalidIqOffset;
    trace.step(9, "invalidate local stored mobile SW version number");
    target.version.versionNumber = 0;
}

int32_t openFailureKind(plat::OpenProblem problem)
{
    switch (problem) {
    case plat::OpenProblem::NoDevice: return CFC_OPEN_NO_DEVICE;
    case plat::OpenProblem::Denied: return CFC_OPEN_DENIED;
    case plat::OpenProblem::Busy: return CFC_OPEN_BUSY;
    case plat::OpenProblem::Other: break;
    }
    return CFC_OPEN_OTHER;
}

// Keeps the system's reason of a refused port for the user, who otherwise
// sees only "error 4": a missing, busy or forbidden device need different
// fixes.
void reportPortRefusal(const EarlyTrace& trace, int32_t comNumber, const SerialLink& serial)
{
    const int sysError = serial.lastSystemError();
    OpenFailure failure;
    failure.portNum = comNumber;
    failure.systemError = sysError;
    failure.devicePath = serial.lastOpenError().devicePath;
    failure.kind = failure.devicePath.empty() ? CFC_OPEN_NO_DEVICE
                                              : openFailureKind(plat::classifyOpenError(sysError));
    failure.reason = failure.devicePath.empty() ? std::string("no device is mapped to this port")
                                                : plat::systemErrorText(sysError);
    if (failure.devicePath.empty())
        trace.step(4, "COM%d maps to no device", comNumber);
    else
        trace.step(4, "COM%d is %s: %s", comNumber, failure.devicePath.c_str(),
                   failure.reason.c_str());
    RecordOpenFailure(failure);
}

} // namespace

} // namespace cfc

using namespace cfc;

extern "C" {

uint32_t WComOpen(int32_t portNum, int32_t baudRate, uint32_t tHandle)
{
    if (portNum < 0) {
        // No slot belongs to a negative port, so no slot's state changes.
        char text[96];
        std::snprintf(text, sizeof text, "(CFC ) WComOpen: bad port %d, error %d", portNum,
                      EMMIERR_PORT_IN_USE);
        TraceDirect(tHandle, text);
        return 0;
    }
    if (g_firstOpen.exchange(false))
        prepareProcess();

    const uint32_t slotIndex = SlotForPort(portNum);
    Connection& connection = ConnectionAt(slotIndex);
    if (baudRate == 0)
        baudRate = kDefaultBaudRate;
    const int32_t comNumber =
        slotIndex == kSlotCount - 1 ? portNum : static_cast<int32_t>(slotIndex);
    const EarlyTrace early(connection.trace, tHandle);

    if (early.passes(2))
        ForEachOpenBannerLine([&early](const char* line) { early.deliver(line); });
    if (early.passes(4)) {
        char text[128];
        std::snprintf(text, sizeof text,
                      "(CFC ) WComOpen(portNum=%d, baudRate=%ld, tHandle=0x%08lx)",
                      static_cast<int>(slotIndex), static_cast<long>(baudRate),
                      static_cast<unsigned long>(tHandle));
        early.deliver(text);
    }
    if (connection.isOpen()) {
        connection.storeError(EMMIERR_PORT_IN_USE);
        early.step(4, "port %d already used, error %d", static_cast<int>(slotIndex),
                   EMMIERR_PORT_IN_USE);
        RecordOpenFailure({CFC_OPEN_SLOT_IN_USE,
                           comNumber,
                           0,
                           {},
                           "this program has the port's connection open already"});
        return 0;
    }

    // The name the trace shows; the platform is handed the number.
    char portName[32];
    std::snprintf(portName, sizeof portName, "\\\\.\\COM%d", static_cast<int>(comNumber));
    early.step(6, "call EmmiL1CommsOpen...");
    early.step(0, "portId %s", portName);

    const ErrorCode opened = EmmiL1CommsOpen(connection.serial, comNumber, baudRate);
    if (opened != EMMIERR_OK) {
        connection.storeError(opened, connection.serial.lastSystemError());
        early.step(4, "EmmiL1CommsOpen fails with error %d", opened);
        reportPortRefusal(early, comNumber, connection.serial);
        return 0;
    }

    connection.trace.setTestCaseHandle(tHandle);
    connection.frames.reset();
    int threadError = 0;
    if (!EmmiL3StartReceiver(connection.messages, &threadError)) {
        // A thread the system refuses is a system failure; leaving the last
        // error at 0 would read as success.
        connection.storeError(EMMIERR_SYSTEM, threadError);
        OpTrace(connection.trace, "(CFC )", "WComOpen")
            .step(4, "CreateThread fails, error %d", EMMIERR_SYSTEM);
        EmmiL1CommsClose(connection.serial);
        connection.trace.setTestCaseHandle(0);
        return 0;
    }
    early.step(6, "CreateThread gives Id 0x%x", EmmiL3ReceiverId(connection.messages));

    plat::yieldThread();
    FlushTargetInput(connection);

    invalidateTargetFacts(connection);
    ReadSignalTraceSettings(connection.signals);
    const OpTrace trace(connection.trace, "(CFC )", "WComOpen");
    trace.step(9, "reset exit data");
    for (size_t i = 0; i < kSlotCount; ++i)
        ResetExitRecords(ConnectionAt(i).raw);
    if (TestSystemMapperActive())
        trace.step(3, "TC2CFCMapper is active");
    else
        trace.step(9, "TC2CFCMapper not active");
    trace.ok(6);
    return connection.handle();
}

int32_t WComClose(uint32_t handle)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) -> int32_t {
        const OpTrace trace(connection.trace, "(CFC )", "WComClose");
        trace.call(4, "()");
        // A connection that is not open has no thread, port or receive paths to
        // end.
        if (!connection.isOpen())
            return 0;
        if (connection.signals.signalTraceEnabled())
            FinishSignalTrace(connection.signals);
        EmmiL3StopReceiver(connection.messages);
        connection.signals.endSignal();
        FlushRawBuffers(connection.raw);
        for (unsigned removed = EmmiL3DrainRxQueue(connection.messages); removed > 0; --removed)
            trace.step(6, "Purge the Rx Queue...");
        EmmiL1CommsClose(connection.serial);
        trace.ok(6);
        connection.trace.setTestCaseHandle(0);
        return 1;
    });
}

uint16_t WGetLastError(uint32_t handle)
{
    const Connection* connection = ConnectionOf(handle);
    if (connection == nullptr)
        return EMMIERR_BAD_HANDLE;
    const uint16_t error = connection->lastError();
    OpTrace(connection->trace, "(CFC )", "WGetLastError").step(9, "error %d", error);
    return error;
}

uint32_t WGetVersion(void)
{
    return (static_cast<uint32_t>(kLibraryVersionMajor) << 16) | kLibraryVersionMinor;
}

} // extern "C"
