// The firmware's calibration, NVRAM and identity calls: a small state model
// behind them and the faults a test stages on their confirms.
#include "sim/firmware.h"

#include "sim/simulator.h"
#include "sim/wire.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

namespace sim {

namespace {

std::vector<uint8_t> withReference(uint16_t reference)
{
    std::vector<uint8_t> payload;
    putLe16(payload, reference);
    return payload;
}

constexpr std::array<uint8_t, 8> kSerialNumber{'S', 'N', 0x20, 0x26, 0x12, 0x09, 0x00, 0x42};
constexpr std::string_view kMobileInfo = "cfcsim mobile inf";
static_assert(kMobileInfo.size() == 17);
// Codes of the information elements this firmware knows; each has a value
// derived from its code.
constexpr uint16_t kKnownIECodes = 0x100;
// What opens the security mode: the challenge's bytes inverted.
constexpr uint8_t kResponseMask = 0xFF;

std::vector<uint8_t> dataFrom(std::span<const uint8_t> request, size_t offset)
{
    return {request.begin() + static_cast<std::ptrdiff_t>(offset), request.end()};
}

} // namespace

std::map<uint16_t, std::vector<uint8_t>> Firmware::calibrationItems() const
{
    std::lock_guard lock(mutex_);
    std::map<uint16_t, std::vector<uint8_t>> items;
    for (const auto& [id, item] : calibrationItems_)
        items[id] = item.data;
    return items;
}

bool Firmware::faultStrikes(const CatalogueFault& fault, uint16_t command)
{
    if (fault.kind == ConfirmFault::None || (fault.request != 0 && fault.request != command))
        return false;
    std::lock_guard lock(mutex_);
    const uint32_t occasion = faultOccasions_++;
    return occasion >= fault.skip && occasion - fault.skip < fault.count;
}

bool Firmware::handleCatalogue(Simulator& simulator, const HostMessage& request)
{
    if (request.type != kTypeCommand)
        return false;
    const std::span<const uint8_t> data = request.data;
    const uint16_t reference = data.size() >= 2 ? getLe16(data, 0) : 0;
    std::optional<Answer> answer;
    switch (request.command) {
    case rpc::kNvramRead:
    case rpc::kNvramWrite:
    case rpc::kNvramDelete:
    case rpc::kNvramErase:
    case rpc::kNvramReadCal:
    case rpc::kNvramWriteCal:
    case rpc::kNvramEraseCal:
    case rpc::kSaveAllOther:
    case rpc::kRestoreAllOther:
    case rpc::kQvNvramReadCal:
    case rpc::kNvramReadVer:
    case rpc::kNvramWriteVer:
    case rpc::kQvNvramReadCalVer:
    case rpc::kQvNvramWriteCalVer:
    case rpc::kFlashSerialNumberRead:
    case rpc::kGetSingleIE:
    case rpc::kIMEIMode:
    case rpc::kReadSerialNumber:
    case rpc::kReadIMEI:
    case rpc::kInitIMEI:
    case rpc::kFreezeIMEI:
    case rpc::kSetSecurityMode:
    case rpc::kRequestChallenge:
    case rpc::kSendResponse:
    case rpc::kGetMobileInfo:
    case rpc::kGetGainCodeTable:
    case rpc::kSetPrechargeValue:
    case rpc::kProtocolStackModeChange:
        answer = data.size() >= 2 ? catalogue(reference, request.command, data) : std::nullopt;
        break;
    default:
        if (request.command < rpc::kCalDevFirst || request.command > rpc::kCalDevLast ||
            request.command % 2 == 0)
            return false;
        answer = data.size() >= 2 ? catalogue(reference, request.command, data) : std::nullopt;
        break;
    }
    if (!answer) {
        simulator.note("request " + std::to_string(request.command) + " of " +
                       std::to_string(data.size()) + " bytes not understood");
        return true;
    }

    const CatalogueFault fault = simulator.options().firmware.catalogueFault;
    std::vector<uint8_t>& payload = answer->payload;
    if (faultStrikes(fault, request.command)) {
        switch (fault.kind) {
        case ConfirmFault::None: break;
        case ConfirmFault::Status:
            if (answer->statusAt && *answer->statusAt < payload.size())
                payload[*answer->statusAt] = fault.status;
            break;
        case ConfirmFault::ForeignReference: {
            std::vector<uint8_t> stale = payload;
            plat::putLe16(stale, 0, static_cast<uint16_t>(reference - 1));
            simulator.sendMessage(rpc::confirmOf(request.command), std::move(stale));
            break;
        }
        case ConfirmFault::Short: payload.pop_back(); break;
        case ConfirmFault::Silent: simulator.note("confirm held back"); return true;
        case ConfirmFault::WrongEcho:
            if (answer->echoAt && *answer->echoAt < payload.size())
                ++payload[*answer->echoAt];
            break;
        }
    }
    simulator.sendMessage(rpc::confirmOf(request.command), std::move(payload));
    return true;
}

std::optional<Firmware::Answer> Firmware::readItem(uint16_t reference,
                                                   const std::optional<Item>& item, uint16_t size,
                                                   bool versioned) const
{
    Answer answer{withReference(reference), 4, std::nullopt};
    const size_t length = item ? std::min<size_t>(item->data.size(), size) : 0;
    putLe16(answer.payload, static_cast<uint16_t>(length));
    answer.payload.push_back(item ? 0 : rpc::kItemAbsent);
    if (versioned)
        answer.payload.push_back(item ? item->version : 0);
    if (item)
        answer.payload.insert(answer.payload.end(), item->data.begin(),
                              item->data.begin() + static_cast<std::ptrdiff_t>(length));
    return answer;
}

std::optional<Firmware::Answer> Firmware::catalogue(uint16_t reference, uint16_t command,
                                                    std::span<const uint8_t> request)
{
    const size_t size = request.size();
    // A confirm that is the reference and one status byte.
    const auto status = [reference](uint8_t value) {
        Answer answer{withReference(reference), 2, std::nullopt};
        answer.payload.push_back(value);
        return answer;
    };
    // An item write: `at` the data size field, the data behind `dataAt`.
    const auto sizeFits = [&](size_t at, size_t dataAt) {
        return size >= dataAt && size - dataAt == getLe16(request, at);
    };

    std::lock_guard lock(mutex_);
    switch (command) {
    case rpc::kNvramRead:
    case rpc::kNvramReadVer: {
        if (size != 10)
            return std::nullopt;
        const auto found = userItems_.find(getLe32(request, 4));
        const std::optional<Item> item =
            found != userItems_.end() ? std::optional<Item>(found->second) : std::nullopt;
        return readItem(reference, item, getLe16(request, 8), command == rpc::kNvramReadVer);
    }
    case rpc::kNvramWrite:
        if (!sizeFits(8, 10))
            return std::nullopt;
        userItems_[getLe32(request, 4)] = Item{0, dataFrom(request, 10)};
        return status(0);
    case rpc::kNvramWriteVer:
        if (!sizeFits(8, 11))
            return std::nullopt;
        userItems_[getLe32(request, 4)] = Item{request[10], dataFrom(request, 11)};
        return status(0);
    case rpc::kNvramDelete:
        if (size != 8)
            return std::nullopt;
        return status(userItems_.erase(getLe32(request, 4)) != 0 ? 0 : rpc::kItemAbsent);
    case rpc::kNvramErase:
        if (size != 2)
            return std::nullopt;
        userItems_.clear();
        return status(0);
    case rpc::kNvramReadCal:
    case rpc::kQvNvramReadCal:
    case rpc::kQvNvramReadCalVer: {
        const bool narrow = command == rpc::kNvramReadCal;
        if (size != (narrow ? 5u : 6u))
            return std::nullopt;
        const uint16_t id = narrow ? request[4] : getLe16(request, 4);
        if (id == unknownCalibrationItem_) {
            std::optional<Answer> unknown = readItem(reference, std::nullopt, 0, false);
            unknown->payload[4] = rpc::kItemUnknown;
            return unknown;
        }
        const auto found = calibrationItems_.find(id);
        const std::optional<Item> item =
            found != calibrationItems_.end() ? std::optional<Item>(found->second) : std::nullopt;
        return readItem(reference, item, getLe16(request, 2), command == rpc::kQvNvramReadCalVer);
    }
    case rpc::kNvramWriteCal:
        if (!sizeFits(4, 6))
            return std::nullopt;
        calibrationItems_[getLe16(request, 2)] = Item{0, dataFrom(request, 6)};
        return status(0);
    case rpc::kQvNvramWriteCalVer:
        if (!sizeFits(4, 7))
            return std::nullopt;
        calibrationItems_[getLe16(request, 2)] = Item{request[6], dataFrom(request, 7)};
        return status(0);
    case rpc::kNvramEraseCal:
        if (size != 2)
            return std::nullopt;
        calibrationItems_.clear();
        return status(0);
    case rpc::kSaveAllOther:
    case rpc::kRestoreAllOther: {
        if (size != 4)
            return std::nullopt;
        // The host handles the items up to the one named itself; the others,
        // above it, are what the module keeps apart over an erase. A save
        // replaces what an earlier one kept, so nothing deleted since comes
        // back.
        const uint16_t last = getLe16(request, 2);
        if (command == rpc::kSaveAllOther) {
            savedCalibrationItems_.clear();
            for (const auto& [id, item] : calibrationItems_)
                if (id > last)
                    savedCalibrationItems_[id] = item;
        } else {
            for (const auto& [id, item] : savedCalibrationItems_)
                if (id > last)
                    calibrationItems_[id] = item;
        }
        return status(0);
    }
    case rpc::kFlashSerialNumberRead:
    case rpc::kGetSingleIE:
    case rpc::kIMEIMode:
    case rpc::kReadSerialNumber:
    case rpc::kReadIMEI:
    case rpc::kInitIMEI:
    case rpc::kFreezeIMEI:
    case rpc::kSetSecurityMode:
    case rpc::kRequestChallenge:
    case rpc::kSendResponse:
    case rpc::kGetMobileInfo: return identity(reference, command, request);
    default: return calibration(reference, command, request);
    }
}

std::optional<Firmware::Answer> Firmware::calibration(uint16_t reference, uint16_t command,
                                                      std::span<const uint8_t> request)
{
    // Request sizes, the reference included.
    static const std::map<uint16_t, size_t> kSizes = {
        {rpc::kSetAfcDac, 4},         {rpc::kFreqOffsetMeas, 6},
        {rpc::kGainProgram, 7},       {rpc::kRssi, 7},
        {rpc::kDcOffset, 3},          {rpc::kSetBandMode, 3},
        {rpc::kSetBurstData, 62},     {rpc::kSetBurst, 27},
        {rpc::kRampScale, 4},         {rpc::kSetPowerRamp, 66},
        {rpc::kRxControl, 8},         {rpc::kLoopBack, 10},
        {rpc::kLoopBackData, 2},      {rpc::kSlotDefine, 67},
        {rpc::kFrameDefine, 25},      {rpc::kFrameTiming, 11},
        {rpc::kFrameUse, 3},          {rpc::kConstTx, 23},
        {rpc::kBBCRegister, 36},      {rpc::kGetGainCodeTable, 6},
        {rpc::kSetPrechargeValue, 4}, {rpc::kProtocolStackModeChange, 3},
    };
    const auto size = kSizes.find(command);
    if (size == kSizes.end() || size->second != request.size())
        return std::nullopt;

    Answer answer{withReference(reference), std::nullopt, std::nullopt};
    std::vector<uint8_t>& out = answer.payload;
    const auto status = [&](uint8_t value) {
        answer.statusAt = out.size();
        out.push_back(value);
        return answer;
    };
    // Called with mutex_ held.
    switch (command) {
    case rpc::kFreqOffsetMeas:
        // The offset the AFC value leaves from its middle, a burst found.
        putLe16(out, static_cast<uint16_t>(getLe16(request, 4) - 0x1000));
        return status(1);
    case rpc::kGainProgram: {
        const uint16_t key = getLe16(request, 4);
        const uint8_t operation = request[6];
        if (operation > 2) {
            putLe16(out, 1);
            answer.statusAt = 2;
            putLe16(out, 0);
            return answer;
        }
        if (operation != 1)
            gainWords_[key] = getLe16(request, 2);
        answer.statusAt = out.size();
        putLe16(out, 0);
        putLe16(out, gainWords_[key]);
        return answer;
    }
    case rpc::kRssi:
        answer.echoAt = out.size();
        putLe16(out, getLe16(request, 2));
        putLe16(out, static_cast<uint16_t>(-70 * 16)); // -70 dB in 1/16 dB
        return answer;
    case rpc::kDcOffset:
        for (const int16_t offset : {3, -4, 5, -6})
            putLe16(out, static_cast<uint16_t>(offset));
        return answer;
    case rpc::kSetBurst:
        putLe16(out, 0); // not read by the host
        answer.echoAt = out.size();
        out.push_back(request[2 + 8 + 8 + 4]);
        return answer;
    case rpc::kLoopBack: {
        // Start and change need a running or stopped loop as fits them.
        const uint8_t operation = request[2];
        const bool fits = operation == 0 ? !loopBack_ : operation <= 2 && loopBack_;
        if (fits)
            loopBack_ = operation != 2;
        return status(fits ? 1 : 0);
    }
    case rpc::kLoopBackData:
        for (const int16_t value : {2, -150, 7, 900, -1100})
            putLe16(out, static_cast<uint16_t>(value));
        return status(loopBack_ ? 1 : 0);
    case rpc::kSlotDefine:
    case rpc::kFrameDefine: return status(1);
    case rpc::kConstTx: return status(request[22] <= 3 ? 0 : 1);
    case rpc::kBBCRegister: {
        const uint16_t mask = getLe16(request, 2);
        for (size_t i = 0; i < 8; ++i) {
            const uint16_t address = getLe16(request, 4 + 2 * i);
            // Two bits a register: 01 writes it, 10 reads it.
            if (((mask >> (2 * i)) & 3u) == 1u)
                bbcRegisters_[address] = getLe16(request, 20 + 2 * i);
            putLe16(out, bbcRegisters_[address]);
        }
        return answer;
    }
    case rpc::kGetGainCodeTable: {
        // The whole table, whatever capacity the host named.
        answer.statusAt = out.size();
        putLe16(out, 1);
        putLe16(out, rpc::kGainCodesPerTable);
        for (uint16_t i = 0; i < rpc::kGainCodesPerTable; ++i)
            putLe16(out, static_cast<uint16_t>(request[4] * 0x100 + request[5] * 0x10 + i));
        return answer;
    }
    case rpc::kProtocolStackModeChange:
        protocolStackMode_ = request[2];
        out = {0, 0, 0, 1};
        answer.statusAt = 3;
        return answer;
    default: return answer; // confirmed by the reference alone
    }
}

std::optional<Firmware::Answer> Firmware::identity(uint16_t reference, uint16_t command,
                                                   std::span<const uint8_t> request)
{
    const size_t size = request.size();
    Answer answer{withReference(reference), std::nullopt, std::nullopt};
    std::vector<uint8_t>& out = answer.payload;
    const auto status = [&](uint8_t value) {
        answer.statusAt = out.size();
        out.push_back(value);
        return answer;
    };
    // Called with mutex_ held.
    switch (command) {
    case rpc::kFlashSerialNumberRead:
        if (size != 2)
            return std::nullopt;
        status(0);
        out.insert(out.end(), kSerialNumber.begin(), kSerialNumber.begin() + 4);
        return answer;
    case rpc::kGetSingleIE: {
        if (size != 4)
            return std::nullopt;
        const uint16_t code = getLe16(request, 2);
        const bool known = code < kKnownIECodes;
        putLe16(out, known ? static_cast<uint16_t>(code * 3 + 1) : 0);
        return status(known ? 0 : 1);
    }
    case rpc::kIMEIMode: {
        if (size != 4)
            return std::nullopt;
        const uint16_t mode = getLe16(request, 2);
        if (mode <= 1)
            imeiMode_ = static_cast<uint8_t>(mode);
        out.push_back(imeiMode_);
        out.push_back(0); // not read by the host
        return status(mode <= 1 ? 0 : 1);
    }
    case rpc::kReadSerialNumber:
    case rpc::kReadIMEI: {
        if (size != 2)
            return std::nullopt;
        const auto& number = command == rpc::kReadIMEI ? imei_ : kSerialNumber;
        out.insert(out.end(), number.begin(), number.end());
        return status(0);
    }
    case rpc::kInitIMEI:
        if (size != 2)
            return std::nullopt;
        if (imeiFrozen_)
            return status(1);
        imei_ = kFactoryImei;
        return status(0);
    case rpc::kFreezeIMEI:
        if (size != 10)
            return std::nullopt;
        if (imeiFrozen_)
            return status(2);
        std::copy(request.begin() + 2, request.end(), imei_.begin());
        imeiFrozen_ = true;
        return status(0);
    case rpc::kSetSecurityMode: {
        if (size != 8)
            return std::nullopt;
        // Any mode but 0 needs the first four challenge bytes as the key.
        const uint16_t mode = getLe16(request, 2);
        const bool opened =
            mode == 0 || (challengeAnswered_ && getLe32(request, 4) == getLe32(challenge_, 0));
        if (opened)
            securityMode_ = mode;
        putLe16(out, securityMode_);
        return status(opened ? 0 : 3);
    }
    case rpc::kRequestChallenge:
        if (size != 2)
            return std::nullopt;
        ++challengesIssued_;
        challengeAnswered_ = false;
        for (size_t i = 0; i < challenge_.size(); ++i)
            challenge_[i] = static_cast<uint8_t>(challengesIssued_ * 16 + i);
        out.insert(out.end(), challenge_.begin(), challenge_.end());
        return answer;
    case rpc::kSendResponse: {
        if (size != 66)
            return std::nullopt;
        bool right = true;
        for (size_t i = 0; i < challenge_.size(); ++i)
            right = right && request[2 + i] == (challenge_[i] ^ kResponseMask);
        challengeAnswered_ = right;
        return status(right ? 0 : 4);
    }
    case rpc::kGetMobileInfo:
        if (size != 2)
            return std::nullopt;
        out.insert(out.end(), kMobileInfo.begin(), kMobileInfo.end());
        return status(0);
    default: return std::nullopt;
    }
}

} // namespace sim
