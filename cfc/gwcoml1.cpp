#include "gwcoml1.h"

#include "cfc_intern.h"
#include "emmierr.h"

#include <cerrno>
#include <mutex>
#include <optional>

namespace cfc {

namespace {

constexpr uint32_t kInitialReadTimeout = 10000;
constexpr uint32_t kRawClass0Timeout = 50;
constexpr uint32_t kClass3Timeout = 1;

// An open port of a connection handle, with its slot; null port when either
// is missing.
struct OpenPort {
    Slot* slot = nullptr;
    plat::SerialPort* port = nullptr;
};

OpenPort openPortOf(uint32_t handle) {
    Slot* slot = SlotOf(handle);
    if (slot == nullptr || !slot->l1.port)
        return {};
    return {slot, slot->l1.port.get()};
}

// Read time-out of a class; `class0` differs between the two columns.
uint32_t timeoutOfClass(const L1State& l1, uint8_t timeoutClass, uint32_t class0) {
    switch (timeoutClass) {
    case kTimeoutClassShort: return class0;
    case kTimeoutClassOneSecond: return l1.class2Timeout.load(std::memory_order_relaxed);
    case kTimeoutClassOneMillisecond: return kClass3Timeout;
    default: return l1.interCharTime.load(std::memory_order_relaxed); // inter-character and any other
    }
}

void recordSystemError(L1State& l1, int error) {
    l1.lastSystemError.store(static_cast<uint32_t>(error), std::memory_order_relaxed);
}

// Takes the port lock for a writer. A reader holds it while it waits: cancel
// its read instead of waiting out its time-out. The gate keeps a new read
// from starting between the reader letting go and this writer taking the port.
std::unique_lock<std::mutex> takePortAsWriter(Slot& slot) {
    std::unique_lock<std::mutex> portHold(slot.l1.portLock, std::try_to_lock);
    if (!portHold.owns_lock()) {
        std::lock_guard<std::mutex> gate(slot.l1.readGate);
        // A read cancelled inside a frame breaks the frame off and draws a
        // NAK; the rest of the frame is due within the read's time-out, so
        // the writer waits for it instead.
        if (!slot.l1.readInFrame.load())
            slot.events.readCancel.set();
        portHold.lock();
    }
    return portHold;
}

// A line preset of module boot; DTR stays as it is where `dtr` is empty.
struct LinePreset {
    uint32_t baudRate;
    std::optional<bool> dtr;
    bool rts;
    plat::StopBits stopBits;
};

constexpr LinePreset kBootPreset{57600, std::nullopt, false, plat::StopBits::One};
constexpr LinePreset kDtrOnPreset{115200, true, true, plat::StopBits::Two};
constexpr LinePreset kDtrOffPreset{115200, false, true, plat::StopBits::Two};

// Reads the port's settings, changes the preset's fields and writes them
// back, as a writer of the port so that no read runs meanwhile.
ErrorCode applyPreset(uint32_t handle, const LinePreset& preset) {
    const OpenPort open = openPortOf(handle);
    if (open.port == nullptr)
        return EMMIERR_SYSTEM;
    const std::unique_lock<std::mutex> portHold = takePortAsWriter(*open.slot);
    plat::LineSettings settings;
    if (!open.port->getLineSettings(settings)) {
        recordSystemError(open.slot->l1, open.port->lastError());
        return EMMIERR_SYSTEM;
    }
    settings.baudRate = preset.baudRate;
    if (preset.dtr)
        settings.dtr = *preset.dtr;
    settings.rts = preset.rts;
    settings.stopBits = preset.stopBits;
    if (!open.port->setLineSettings(settings)) {
        recordSystemError(open.slot->l1, open.port->lastError());
        return EMMIERR_SYSTEM;
    }
    return EMMIERR_OK;
}

} // namespace

uint32_t InterCharacterTime(uint32_t baudRate) {
    if (baudRate == 0)
        baudRate = 1; // never reached through an open, which refuses rate 0
    return (11000000u / baudRate) * 15u / 1000u + 1u;
}

void EmmiL1ConfigurePort(int32_t slotIndex, plat::LineSettings& s, int32_t baudRate) {
    s.baudRate = static_cast<uint32_t>(baudRate);
    s.dataBits = 8;
    s.parity = plat::Parity::None;
    s.stopBits = plat::StopBits::Two;
    s.dtr = false;
    s.rts = true;
    s.flowControl = plat::FlowControl::None;
    s.xonChar = 0;
    s.xoffChar = 1;

    if (slotIndex < 0 || static_cast<size_t>(slotIndex) >= kSlotCount)
        return;
    L1State& l1 = SlotAt(static_cast<size_t>(slotIndex)).l1;
    l1.class0Timeout.store(750);
    l1.interCharTime.store(InterCharacterTime(s.baudRate));
    l1.class2Timeout.store(1000);
}

ErrorCode EmmiL1CommsOpen(const plat::PortLocation& where, int32_t baudRate, int32_t slotIndex,
                          std::unique_ptr<plat::SerialPort>& portOut) {
    if (slotIndex < 0 || static_cast<size_t>(slotIndex) >= kSlotCount)
        return EMMIERR_PORT_OPEN;
    L1State& l1 = SlotAt(static_cast<size_t>(slotIndex)).l1;
    // A rate the line cannot run at is a configuration the port refuses.
    if (baudRate <= 0) {
        recordSystemError(l1, EINVAL);
        return EMMIERR_PORT_OPEN;
    }

    plat::OpenError openError;
    std::unique_ptr<plat::SerialPort> port = plat::openSerialPort(where, &openError);
    if (!port) {
        recordSystemError(l1, openError.sysError);
        return EMMIERR_PORT_OPEN;
    }

    // A refused line setting would leave the port at a speed or framing the
    // module does not use, so it fails the open.
    plat::LineSettings settings;
    port->getLineSettings(settings);
    EmmiL1ConfigurePort(slotIndex, settings, baudRate);
    if (!port->setLineSettings(settings)) {
        recordSystemError(l1, port->lastError());
        return EMMIERR_PORT_OPEN;
    }
    l1.readTimeout.store(kInitialReadTimeout);
    l1.readTimeoutClass.store(0);
    l1.rawReadTimeout.store(0);
    portOut = std::move(port);
    return EMMIERR_OK;
}

ErrorCode EmmiL1Write(uint32_t handle, const uint8_t* data, uint16_t length) {
    const OpenPort open = openPortOf(handle);
    if (open.port == nullptr)
        return EMMIERR_SYSTEM;
    const std::unique_lock<std::mutex> portHold = takePortAsWriter(*open.slot);
    const plat::IoResult result = open.port->write(data, length);
    if (result.status == plat::IoStatus::Complete)
        return EMMIERR_OK;
    recordSystemError(open.slot->l1, result.sysError);
    return EMMIERR_SYSTEM;
}

ErrorCode EmmiL1Read(uint32_t handle, uint8_t* buffer, uint8_t count) {
    const OpenPort open = openPortOf(handle);
    if (open.port == nullptr)
        return EMMIERR_SYSTEM;
    L1State& l1 = open.slot->l1;

    std::unique_lock<std::mutex> gate(l1.readGate);
    std::lock_guard<std::mutex> portHold(l1.portLock);
    gate.unlock();

    plat::Event& cancel = open.slot->events.readCancel;
    const plat::IoResult result =
        open.port->read(buffer, count, l1.readTimeout.load(std::memory_order_relaxed), &cancel);
    // A cancel is meant for the read it ended (or, set while no read was
    // pending, for the next one); the port's read takes bytes that already
    // waited before it looks at the event, so resetting after every read
    // loses nothing.
    cancel.reset();
    switch (result.status) {
    case plat::IoStatus::Complete:
        return EMMIERR_OK;
    case plat::IoStatus::TimedOut:
    case plat::IoStatus::Cancelled:
        return EMMIERR_TIMEOUT;
    case plat::IoStatus::Failed:
        break;
    }
    recordSystemError(l1, result.sysError);
    return EMMIERR_SYSTEM;
}

ErrorCode EmmiL1SetReadTimeout(uint32_t handle, uint8_t timeoutClass) {
    if (Slot* slot = SlotOf(handle)) {
        L1State& l1 = slot->l1;
        l1.readTimeoutClass.store(timeoutClass, std::memory_order_relaxed);
        l1.readTimeout.store(timeoutOfClass(l1, timeoutClass, l1.class0Timeout.load()),
                             std::memory_order_relaxed);
    }
    return EMMIERR_OK;
}

uint32_t EmmiL1GetTimeout(uint32_t handle, uint8_t timeoutClass) {
    const Slot* slot = SlotOf(handle);
    return slot != nullptr ? timeoutOfClass(slot->l1, timeoutClass, slot->l1.class0Timeout.load()) : 0;
}

ErrorCode EmmiL1SetRawReadTimeout(uint32_t handle, uint8_t timeoutClass) {
    if (Slot* slot = SlotOf(handle))
        slot->l1.rawReadTimeout.store(timeoutOfClass(slot->l1, timeoutClass, kRawClass0Timeout),
                                      std::memory_order_relaxed);
    return EMMIERR_OK;
}

uint32_t EmmiL1GetRawReadTimeout(uint32_t handle) {
    const Slot* slot = SlotOf(handle);
    return slot != nullptr ? slot->l1.rawReadTimeout.load(std::memory_order_relaxed) : 0;
}

ErrorCode EmmiL1SetLineBoot(uint32_t handle) { return applyPreset(handle, kBootPreset); }

ErrorCode EmmiL1SetLineDtrOn(uint32_t handle) { return applyPreset(handle, kDtrOnPreset); }

ErrorCode EmmiL1SetLineDtrOff(uint32_t handle) { return applyPreset(handle, kDtrOffPreset); }

plat::SerialPort* GetPortHandle(uint32_t handle) { return openPortOf(handle).port; }

} // namespace cfc
