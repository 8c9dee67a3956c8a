// The firmware's calibration, NVRAM and identity calls: a small state model
// behind them and the faults a test stages on their confirms.
#include "sim/firmware.h"

#include "sim/simulator.h"
#include "sim/wire.h"

#include <algorithm>
#include <string>
#include <utility>

namespace sim {

namespace {

std::vector<uint8_t> withReference(uint16_t reference)
{
    std::vector<uint8_t> payload;
    putLe16(payload, reference);
    return payload;
}

std::vector<uint8_t> dataFrom(std::span<const uint8_t> request, size_t offset)
{
    return {request.begin() + static_cast<std::ptrdiff_t>(offset), request.end()};
}

} // namespace

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
        answer = data.size() >= 2 ? catalogue(reference, request.command, data) : std::nullopt;
        break;
    default: return false;
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
            stale[0] = static_cast<uint8_t>(reference - 1);
            stale[1] = static_cast<uint8_t>((reference - 1) >> 8);
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
        // The items up to the last one named are kept apart and brought back.
        const uint16_t last = getLe16(request, 2);
        auto& from = command == rpc::kSaveAllOther ? calibrationItems_ : savedCalibrationItems_;
        auto& to = command == rpc::kSaveAllOther ? savedCalibrationItems_ : calibrationItems_;
        for (const auto& [id, item] : from)
            if (id <= last)
                to[id] = item;
        return status(0);
    }
    default: return std::nullopt;
    }
}

} // namespace sim
