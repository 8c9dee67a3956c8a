// The module firmware's remote procedure calls in EMMI mode: a request is a
// command message whose id is odd, its confirm the message with the next id;
// both begin with the host's 16-bit reference, which the confirm echoes.
#pragma once

#include "sim/host_message.h"
#include "sim/options.h"

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace sim {

class Simulator;

namespace rpc {
inline constexpr uint16_t kGetVersion = 1;
inline constexpr uint16_t kCalDevGsmFinish = 9;
inline constexpr uint16_t kSwitchOff = 67;
inline constexpr uint16_t kSendAtCommand = 93;
inline constexpr uint16_t kGetOperationMode = 99;
inline constexpr uint16_t kSetOperationMode = 101;
// The autostart request as some firmware takes it only when it comes again.
inline constexpr uint16_t kJavaAutoStartAgain = 103;
inline constexpr uint16_t kJavaAutoStart = 107;
inline constexpr uint16_t kWriteBandMode = 69;
// Two bytes: the band mode read; three: the autostart request again.
inline constexpr uint16_t kReadBandMode = 103;

inline constexpr uint16_t kProtocolStackModeChange = 3; // carries no reference
// Calibration device calls: 11 to 47, every odd id.
inline constexpr uint16_t kCalDevFirst = 11;
inline constexpr uint16_t kCalDevLast = 47;
inline constexpr uint16_t kSetAfcDac = 11;
inline constexpr uint16_t kFreqOffsetMeas = 13;
inline constexpr uint16_t kGainProgram = 15;
inline constexpr uint16_t kRssi = 17;
inline constexpr uint16_t kDcOffset = 19;
inline constexpr uint16_t kSetBandMode = 21;
inline constexpr uint16_t kSetBurstData = 23;
inline constexpr uint16_t kSetBurst = 25;
inline constexpr uint16_t kRampScale = 27;
inline constexpr uint16_t kSetPowerRamp = 29;
inline constexpr uint16_t kRxControl = 31;
inline constexpr uint16_t kLoopBack = 33;
inline constexpr uint16_t kLoopBackData = 35;
inline constexpr uint16_t kSlotDefine = 37;
inline constexpr uint16_t kFrameDefine = 39;
inline constexpr uint16_t kFrameTiming = 41;
inline constexpr uint16_t kFrameUse = 43;
inline constexpr uint16_t kConstTx = 45;
inline constexpr uint16_t kBBCRegister = 47;
inline constexpr uint16_t kGetGainCodeTable = 95;
inline constexpr uint16_t kSetPrechargeValue = 97;
// Codes in every gain code table of this firmware.
inline constexpr uint16_t kGainCodesPerTable = 12;
inline constexpr uint16_t kNvramRead = 49;
inline constexpr uint16_t kNvramWrite = 51;
inline constexpr uint16_t kNvramDelete = 53;
inline constexpr uint16_t kNvramErase = 55;
inline constexpr uint16_t kNvramReadCal = 57; // 8-bit id; also the item check
inline constexpr uint16_t kNvramWriteCal = 59;
inline constexpr uint16_t kNvramEraseCal = 61;
inline constexpr uint16_t kSaveAllOther = 63;
inline constexpr uint16_t kRestoreAllOther = 65;
inline constexpr uint16_t kQvNvramReadCal = 105; // 16-bit id; also the item check
inline constexpr uint16_t kNvramReadVer = 109;
inline constexpr uint16_t kNvramWriteVer = 111;
inline constexpr uint16_t kQvNvramReadCalVer = 113;
inline constexpr uint16_t kQvNvramWriteCalVer = 115;

inline constexpr uint16_t kFlashSerialNumberRead = 71;
inline constexpr uint16_t kGetSingleIE = 73;
inline constexpr uint16_t kIMEIMode = 75;
inline constexpr uint16_t kReadSerialNumber = 77;
inline constexpr uint16_t kReadIMEI = 79;
inline constexpr uint16_t kInitIMEI = 81;
inline constexpr uint16_t kFreezeIMEI = 83;
inline constexpr uint16_t kSetSecurityMode = 85;
inline constexpr uint16_t kRequestChallenge = 87;
inline constexpr uint16_t kSendResponse = 89;
inline constexpr uint16_t kGetMobileInfo = 91;

// Read status of an item the firmware does not hold.
inline constexpr uint8_t kItemAbsent = 2;
// Item state of an id the firmware does not handle.
inline constexpr uint8_t kItemUnknown = 4;

inline constexpr uint16_t confirmOf(uint16_t request)
{
    return static_cast<uint16_t>(request + 1);
}

// Text area of the AT command request and its two confirms.
inline constexpr size_t kAtTextArea = 128;
} // namespace rpc

// The firmware's state and its answers. Its state outlives switching off
// as flash memory does (the Java autostart setting), or starts anew with
// every start of the firmware (the operation mode).
class Firmware {
public:
    explicit Firmware(const FirmwareOptions& options);

    // The firmware starts after an ignition.
    void start(const FirmwareOptions& options);
    // On the simulator's read thread, after the request's last ACK.
    void handle(Simulator& simulator, const HostMessage& request);

    OperationMode operationMode() const;
    bool javaAutoStart() const;
    // The NVRAM calibration items by id.
    std::map<uint16_t, std::vector<uint8_t>> calibrationItems() const;

private:
    struct Item {
        uint8_t version = 0;
        std::vector<uint8_t> data;
    };

    std::vector<uint8_t> version(uint16_t reference, const FirmwareOptions& options) const;
    std::vector<uint8_t> operationModeNow(uint16_t reference) const;
    std::vector<uint8_t> setOperationMode(uint16_t reference, std::span<const uint8_t> request,
                                          const FirmwareOptions& options);
    std::vector<uint8_t> finishTestMode(uint16_t reference);
    // The echo and the answer of an AT command line.
    std::vector<std::vector<uint8_t>> atCommand(uint16_t reference,
                                                std::span<const uint8_t> request,
                                                const FirmwareOptions& options) const;
    std::vector<uint8_t> writeBandMode(uint16_t reference, std::span<const uint8_t> request,
                                       const FirmwareOptions& options);
    std::vector<uint8_t> readBandMode();
    std::vector<uint8_t> switchJavaAutoStart(uint16_t reference, std::span<const uint8_t> request,
                                             const FirmwareOptions& options);

    // A catalogue confirm and where in it the fault options reach.
    struct Answer {
        std::vector<uint8_t> payload;
        std::optional<size_t> statusAt;
        std::optional<size_t> echoAt;
    };
    // True when the request was one of the catalogue's (answered or, when
    // not understood, noted).
    bool handleCatalogue(Simulator& simulator, const HostMessage& request);
    // Empty when the request is not understood.
    std::optional<Answer> catalogue(uint16_t reference, uint16_t command,
                                    std::span<const uint8_t> request);
    std::optional<Answer> calibration(uint16_t reference, uint16_t command,
                                      std::span<const uint8_t> request);
    std::optional<Answer> identity(uint16_t reference, uint16_t command,
                                   std::span<const uint8_t> request);
    std::optional<Answer> readItem(uint16_t reference, const std::optional<Item>& item,
                                   uint16_t size, bool versioned) const;
    bool faultStrikes(const CatalogueFault& fault, uint16_t command);

    static constexpr std::array<uint8_t, 8> kFactoryImei{0x35, 0x12, 0x34, 0x56,
                                                         0x78, 0x90, 0x12, 0x3F};
    mutable std::mutex mutex_;
    // NVRAM: survives switching off. Calibration items saved by
    // SaveAllOther come back with RestoreAllOther.
    std::map<uint32_t, Item> userItems_;
    std::map<uint16_t, Item> calibrationItems_;
    std::map<uint16_t, Item> savedCalibrationItems_;
    uint32_t faultOccasions_ = 0;
    // Identity: an IMEI that can be frozen once, the IMEI mode, and the
    // security mode opened by answering the last challenge.
    std::array<uint8_t, 8> imei_ = kFactoryImei;
    bool imeiFrozen_ = false;
    uint8_t imeiMode_ = 0;
    uint16_t securityMode_ = 0;
    std::array<uint8_t, 8> challenge_{};
    uint8_t challengesIssued_ = 0;
    bool challengeAnswered_ = false;
    // Calibration device: gain program words by band and index, baseband
    // registers by address, the loopback, the protocol stack mode.
    std::map<uint16_t, uint16_t> gainWords_;
    std::map<uint16_t, uint16_t> bbcRegisters_;
    bool loopBack_ = false;
    uint32_t unknownCalibrationItem_;
    uint8_t bandMode_ = 0;
    uint32_t invalidBandModeReads_;
    uint8_t protocolStackMode_ = 0;
    OperationMode operationMode_;
    bool javaAutoStart_;
};

} // namespace sim
