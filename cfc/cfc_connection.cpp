// Connection open and close, the last error and the library version.
#include "cfc.h"

#include "cfc_banner.h"
#include "cfc_clock.h"
#include "cfc_intern.h"
#include "cfc_open_failure.h"
#include "cfc_serialmode.h"
#include "cfc_sigtrace.h"
#include "cfc_testsystem.h"
#include "cfc_trace.h"

#include "plat/clock.h"
#include "plat/portmap.h"
#include "plat/system_error.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace cfc {

namespace {

std::atomic<bool> g_firstOpen{true};

constexpr int32_t kDefaultBaudRate = 115200;

// Texts of WComOpen before the connection's trace path is ready: delivered
// straight, with WComOpen's own level thresholds.
void earlyTrace(uint32_t testCaseHandle, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

void earlyTrace(uint32_t testCaseHandle, const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    TraceDirect(testCaseHandle, text);
}

// Once per process: every slot to its start state, the clock, the test system.
void prepareProcess() {
    for (size_t i = 0; i < kSlotCount; ++i) {
        Slot& slot = SlotAt(i);
        slot.trace.testCaseHandle.store(0);
        slot.lastError.store(EMMIERR_OK);
        {
            std::lock_guard<std::mutex> hold(slot.raw.lock);
            slot.raw.rxCount = 0;
            slot.raw.skipCount = 0;
        }
        slot.target = TargetFacts{};
        if (!slot.trace.levelSet.load())
            slot.trace.level.store(kDefaultTraceLevel);
    }
    StartLibraryClock();
    BindTestSystem();
}

uint32_t slotForPort(int32_t portNum) {
    if (portNum == 0)
        return 1; // COM1
    return portNum >= static_cast<int32_t>(kSlotCount) ? kSlotCount - 1 : static_cast<uint32_t>(portNum);
}

void invalidateTargetFacts(uint32_t handle, Slot& slot) {
    TraceLine(handle, 9, "(CFC ) WComOpen: clear local storedCalibrationItems, gotTargetVersion");
    slot.target.storedCalibrationItems = 0;
    slot.target.version.gotTargetVersion = 0;
    TraceLine(handle, 9, "(CFC ) WComOpen: invalidate local stored GMSK IQ-Offsets");
    for (size_t offset : {0, 2, 4, 6})
        slot.target.gmskIqOffsets[offset] = kInvalidIqOffset;
    TraceLine(handle, 9, "(CFC ) WComOpen: invalidate local stored autocalibration IQ-Offsets");
    slot.target.autoCalIqOffsets = {kInvalidIqOffset, kInvalidIqOffset};
    TraceLine(handle, 9, "(CFC ) WComOpen: invalidate local stored mobile SW version number");
    slot.target.version.versionNumber = 0;
}

int32_t openFailureKind(plat::OpenProblem problem) {
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
void reportPortRefusal(uint32_t testCaseHandle, uint16_t level, int32_t comNumber, int sysError) {
    OpenFailure failure;
    failure.portNum = comNumber;
    failure.systemError = sysError;
    failure.devicePath = plat::comPortPath(comNumber).value_or(std::string());
    failure.kind = failure.devicePath.empty() ? CFC_OPEN_NO_DEVICE
                                              : openFailureKind(plat::classifyOpenError(sysError));
    failure.reason = failure.devicePath.empty() ? std::string("no device is mapped to this port")
                                                : plat::systemErrorText(sysError);
    if (level >= 4) {
        if (failure.devicePath.empty())
            earlyTrace(testCaseHandle, "(CFC ) WComOpen: COM%d maps to no device", comNumber);
        else
            earlyTrace(testCaseHandle, "(CFC ) WComOpen: COM%d is %s: %s", comNumber,
                       failure.devicePath.c_str(), failure.reason.c_str());
    }
    RecordOpenFailure(failure);
}

void stopReceiveThread(Slot& slot) {
    slot.stop.store(true);
    // Ends a pending read of the receive thread at once.
    slot.events.readCancel.set();
    slot.rxThread.join();
    slot.events.readCancel.reset();
}

void purgeReceivePaths(uint32_t handle, Slot& slot) {
    {
        std::lock_guard<std::mutex> hold(slot.raw.lock);
        FlushBuffer(handle, slot.raw.skipBuffer.data(), slot.raw.skipCount);
        FlushBuffer(handle, slot.raw.rxBuffer.data(), slot.raw.rxCount);
    }
    for (unsigned removed = EmmiL3DrainRxQueue(handle); removed > 0; --removed)
        TraceLine(handle, 6, "(CFC ) WComClose: Purge the Rx Queue...");
}

} // namespace

} // namespace cfc

using namespace cfc;

extern "C" {

uint32_t WComOpen(int32_t portNum, int32_t baudRate, uint32_t tHandle) {
    if (portNum < 0) {
        // No slot belongs to a negative port, so no slot's state changes.
        earlyTrace(tHandle, "(CFC ) WComOpen: bad port %d, error %d", portNum, EMMIERR_PORT_IN_USE);
        return 0;
    }
    if (g_firstOpen.exchange(false))
        prepareProcess();

    const uint32_t slotIndex = slotForPort(portNum);
    const uint32_t handle = HandleForSlot(slotIndex);
    Slot& slot = SlotAt(slotIndex);
    if (baudRate == 0)
        baudRate = kDefaultBaudRate;
    const uint16_t level = slot.trace.level.load();
    const int32_t comNumber = slotIndex == kSlotCount - 1 ? portNum : static_cast<int32_t>(slotIndex);

    if (level >= 2)
        ForEachOpenBannerLine([tHandle](const char* line) { TraceDirect(tHandle, line); });
    if (level >= 4)
        earlyTrace(tHandle, "(CFC ) WComOpen(portNum=%d, baudRate=%ld, tHandle=0x%08lx)",
                   static_cast<int>(slotIndex), static_cast<long>(baudRate),
                   static_cast<unsigned long>(tHandle));
    if (slot.isOpen()) {
        StoreLastError(handle, EMMIERR_PORT_IN_USE);
        if (level >= 4)
            earlyTrace(tHandle, "(CFC ) WComOpen: port %d already used, error %d",
                       static_cast<int>(slotIndex), EMMIERR_PORT_IN_USE);
        RecordOpenFailure({CFC_OPEN_SLOT_IN_USE, comNumber, 0, {},
                           "this program has the port's connection open already"});
        return 0;
    }

    char portName[32];
    std::snprintf(portName, sizeof portName, "\\\\.\\COM%d", static_cast<int>(comNumber));
    if (level >= 6)
        earlyTrace(tHandle, "(CFC ) WComOpen: call EmmiL1CommsOpen...");
    earlyTrace(tHandle, "(CFC ) WComOpen: portId %s", portName);

    std::unique_ptr<plat::SerialPort> port;
    const ErrorCode opened =
        EmmiL1CommsOpen(plat::PortLocation::com(comNumber), baudRate, static_cast<int32_t>(slotIndex), port);
    if (opened != EMMIERR_OK) {
        StoreLastError(handle, opened);
        if (level >= 4)
            earlyTrace(tHandle, "(CFC ) WComOpen: EmmiL1CommsOpen fails with error %d", opened);
        reportPortRefusal(tHandle, level, comNumber, static_cast<int>(slot.l1.lastSystemError.load()));
        return 0;
    }

    slot.l1.port = std::move(port);
    slot.trace.testCaseHandle.store(tHandle);
    slot.events.resetAll();
    slot.stop.store(false);
    slot.rawByteMode.store(0);
    int threadError = 0;
    if (!slot.rxThread.start([handle] { EmmiL3ReceiveThread(handle); }, &threadError)) {
        // A thread the system refuses is a system failure; leaving the last
        // error at 0 would read as success.
        StoreLastError(handle, EMMIERR_SYSTEM);
        TraceLineF(handle, 4, "(CFC ) WComOpen: CreateThread fails, error %d", EMMIERR_SYSTEM);
        slot.l1.port.reset();
        slot.trace.testCaseHandle.store(0);
        return 0;
    }
    if (level >= 6)
        earlyTrace(tHandle, "(CFC ) WComOpen: CreateThread gives Id 0x%x", slot.rxThread.id());

    plat::yieldThread();
    FlushTargetInput(handle);

    invalidateTargetFacts(handle, slot);
    ReadSignalTraceSettings(handle);
    TraceLine(handle, 9, "(CFC ) WComOpen: reset exit data");
    for (size_t i = 0; i < kSlotCount; ++i)
        ResetExitRecords(SlotAt(i).raw);
    if (TestSystemMapperActive())
        TraceLine(handle, 3, "(CFC ) WComOpen: TC2CFCMapper is active");
    else
        TraceLine(handle, 9, "(CFC ) WComOpen: TC2CFCMapper not active");
    TraceLine(handle, 6, "(CFC ) WComOpen: O.K.");
    return handle;
}

int32_t WComClose(uint32_t handle) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr)
        return 0;
    TraceLine(handle, 4, "(CFC ) WComClose()");
    // A slot that is not open has no thread, port or receive paths to end.
    if (!slot->isOpen())
        return 0;
    if (SignalTraceEnabled(handle))
        FinishSignalTrace(handle);
    stopReceiveThread(*slot);
    purgeReceivePaths(handle, *slot);
    slot->l1.port->purge(true, true);
    slot->l1.port.reset();
    TraceLine(handle, 6, "(CFC ) WComClose: O.K.");
    slot->trace.testCaseHandle.store(0);
    slot->events.resetAll();
    return 1;
}

uint16_t WGetLastError(uint32_t handle) {
    const Slot* slot = SlotOf(handle);
    if (slot == nullptr)
        return EMMIERR_BAD_HANDLE;
    const uint16_t error = slot->lastError.load();
    TraceLineF(handle, 9, "(CFC ) WGetLastError: error %d", error);
    return error;
}

uint32_t WGetVersion(void) {
    return (static_cast<uint32_t>(kLibraryVersionMajor) << 16) | kLibraryVersionMinor;
}

} // extern "C"
