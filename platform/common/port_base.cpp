#include "common/port_base.h"

namespace plat::detail {

namespace {

// Values of the original host's provider-properties record, so that callers
// that inspect it see what a plain RS-232 port reports.
constexpr uint16_t kPropertiesVersion = 2;
constexpr uint32_t kServiceSerialComm = 0x00000001;
constexpr uint32_t kSubTypeRs232 = 0x00000001;

constexpr uint32_t kCapRtsCts = 0x0002;
constexpr uint32_t kCapRlsd = 0x0004;
constexpr uint32_t kCapParityCheck = 0x0008;
constexpr uint32_t kCapXonXoff = 0x0010;
constexpr uint32_t kCapSetXChar = 0x0020;
constexpr uint32_t kCapIntervalTimeouts = 0x0080;

constexpr uint32_t kSetParity = 0x0001;
constexpr uint32_t kSetBaud = 0x0002;
constexpr uint32_t kSetDataBits = 0x0004;
constexpr uint32_t kSetStopBits = 0x0008;
constexpr uint32_t kSetHandshaking = 0x0010;
constexpr uint32_t kSetParityCheck = 0x0020;

constexpr uint32_t kBaud75 = 0x00000001;
constexpr uint32_t kBaud110 = 0x00000002;
constexpr uint32_t kBaud134_5 = 0x00000004;
constexpr uint32_t kBaud150 = 0x00000008;
constexpr uint32_t kBaud300 = 0x00000010;
constexpr uint32_t kBaud600 = 0x00000020;
constexpr uint32_t kBaud1200 = 0x00000040;
constexpr uint32_t kBaud1800 = 0x00000080;
constexpr uint32_t kBaud2400 = 0x00000100;
constexpr uint32_t kBaud4800 = 0x00000200;
constexpr uint32_t kBaud9600 = 0x00000800;
constexpr uint32_t kBaud19200 = 0x00002000;
constexpr uint32_t kBaud38400 = 0x00004000;
constexpr uint32_t kBaud115200 = 0x00020000;
constexpr uint32_t kBaud57600 = 0x00040000;
// Rates outside the mask (230400 and up) are set as "user" rates.
constexpr uint32_t kBaudUser = 0x10000000;

constexpr uint16_t kDataBits5to8 = 0x000F;
constexpr uint16_t kStopBitsAll = 0x0007;      // 1, 1.5, 2
constexpr uint16_t kParityAll = 0x1F00;        // none, odd, even, mark, space

} // namespace

bool PortBase::setQueueSizes(uint32_t inBytes, uint32_t outBytes)
{
    std::lock_guard lock(mutex_);
    rxQueue_ = inBytes;
    txQueue_ = outBytes;
    return true;
}

bool PortBase::setTimeouts(const PortTimeouts& timeouts)
{
    std::lock_guard lock(mutex_);
    timeouts_ = timeouts;
    return true;
}

bool PortBase::getProperties(PortProperties& properties)
{
    PortProperties p;
    p.packetLength = 64;
    p.packetVersion = kPropertiesVersion;
    p.serviceMask = kServiceSerialComm;
    p.maxBaud = kBaudUser;
    p.providerSubType = kSubTypeRs232;
    p.providerCapabilities = kCapRtsCts | kCapRlsd | kCapParityCheck | kCapXonXoff |
                             kCapSetXChar | kCapTotalTimeouts | kCapIntervalTimeouts;
    p.settableParams = kSetParity | kSetBaud | kSetDataBits | kSetStopBits |
                       kSetHandshaking | kSetParityCheck;
    p.settableBaud = kBaud75 | kBaud110 | kBaud134_5 | kBaud150 | kBaud300 | kBaud600 |
                     kBaud1200 | kBaud1800 | kBaud2400 | kBaud4800 | kBaud9600 |
                     kBaud19200 | kBaud38400 | kBaud57600 | kBaud115200 | kBaudUser;
    p.settableData = kDataBits5to8;
    p.settableStopParity = kStopBitsAll | kParityAll;
    {
        std::lock_guard lock(mutex_);
        p.currentRxQueue = rxQueue_;
        p.currentTxQueue = txQueue_;
    }
    properties = p;
    return true;
}

bool PortBase::refuse(int sysError)
{
    lastError_.store(sysError, std::memory_order_relaxed);
    return false;
}

IoResult PortBase::failed(int sysError, size_t transferred)
{
    lastError_.store(sysError, std::memory_order_relaxed);
    return IoResult{IoStatus::Failed, transferred, sysError};
}

} // namespace plat::detail
