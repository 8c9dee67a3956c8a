#include "sim/firmware.h"

#include "sim/at_command.h"
#include "sim/simulator.h"
#include "sim/wire.h"

#include <algorithm>
#include <utility>

namespace sim {

namespace {

// The size of each request this firmware takes; a request of another size
// is not understood and gets no confirm.
constexpr std::pair<uint16_t, size_t> kRequestSizes[] = {
    {rpc::kGetVersion, 2},         {rpc::kCalDevGsmFinish, 2},
    {rpc::kSwitchOff, 2},          {rpc::kSendAtCommand, 2 + rpc::kAtTextArea},
    {rpc::kGetOperationMode, 2},   {rpc::kSetOperationMode, 3},
    {rpc::kJavaAutoStartAgain, 3}, {rpc::kJavaAutoStart, 3},
    {rpc::kWriteBandMode, 3},      {rpc::kReadBandMode, 2},
};

bool understood(const HostMessage& request)
{
    if (request.type != kTypeCommand)
        return false;
    return std::ranges::any_of(kRequestSizes, [&](const auto& entry) {
        return entry.first == request.command && entry.second == request.data.size();
    });
}

std::vector<uint8_t> withReference(uint16_t reference)
{
    std::vector<uint8_t> payload;
    putLe16(payload, reference);
    return payload;
}

// A text area of the AT command messages: the text, zero bytes after it.
void appendTextArea(std::vector<uint8_t>& payload, std::span<const uint8_t> text)
{
    const size_t used = std::min(text.size(), rpc::kAtTextArea);
    payload.insert(payload.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(used));
    payload.resize(payload.size() + rpc::kAtTextArea - used, 0);
}

} // namespace

Firmware::Firmware(const FirmwareOptions& options)
    : unknownCalibrationItem_(options.unknownCalibrationItem),
      invalidBandModeReads_(options.bandModeInvalidReads), operationMode_(options.operationMode),
      javaAutoStart_(options.javaAutoStart)
{
    for (const auto& [id, data] : options.calibrationItems)
        calibrationItems_[id] = Item{0, data};
}

void Firmware::start(const FirmwareOptions& options)
{
    std::lock_guard lock(mutex_);
    operationMode_ = options.operationMode;
    unknownCalibrationItem_ = options.unknownCalibrationItem;
}

OperationMode Firmware::operationMode() const
{
    std::lock_guard lock(mutex_);
    return operationMode_;
}

bool Firmware::javaAutoStart() const
{
    std::lock_guard lock(mutex_);
    return javaAutoStart_;
}

void Firmware::handle(Simulator& simulator, const HostMessage& request)
{
    if (handleCatalogue(simulator, request))
        return;
    if (!understood(request)) {
        if (request.type == kTypeCommand)
            simulator.note("request " + std::to_string(request.command) + " of " +
                           std::to_string(request.data.size()) + " bytes not understood");
        return;
    }
    const FirmwareOptions options = simulator.options().firmware;
    const std::span<const uint8_t> data = request.data;
    const uint16_t reference = getLe16(data, 0);
    const auto confirm = [&](uint16_t requestId, std::vector<uint8_t> payload) {
        simulator.sendMessage(rpc::confirmOf(requestId), std::move(payload));
    };

    switch (request.command) {
    case rpc::kGetVersion: confirm(rpc::kGetVersion, version(reference, options)); break;
    case rpc::kGetOperationMode:
        confirm(rpc::kGetOperationMode, operationModeNow(reference));
        break;
    case rpc::kSetOperationMode:
        confirm(rpc::kSetOperationMode, setOperationMode(reference, data, options));
        break;
    case rpc::kCalDevGsmFinish: confirm(rpc::kCalDevGsmFinish, finishTestMode(reference)); break;
    case rpc::kSendAtCommand:
        for (std::vector<uint8_t>& payload : atCommand(reference, data, options))
            confirm(rpc::kSendAtCommand, std::move(payload));
        break;
    case rpc::kSwitchOff:
        if (options.silentAfterSwitchOff) {
            simulator.note("switched off by request");
            simulator.setMode(Mode::Off);
        } else {
            simulator.note("switch-off request ignored");
        }
        break;
    case rpc::kJavaAutoStart:
        if (options.autoStartConfirm == AutoStartConfirm::AtOnce)
            confirm(rpc::kJavaAutoStart, switchJavaAutoStart(reference, data, options));
        else
            switchJavaAutoStart(reference, data, options);
        break;
    case rpc::kWriteBandMode:
        confirm(rpc::kWriteBandMode, writeBandMode(reference, data, options));
        break;
    case rpc::kJavaAutoStartAgain:
        if (data.size() == 2) {
            confirm(rpc::kReadBandMode, readBandMode());
            break;
        }
        // Only a firmware that held its confirm back takes this id for the
        // autostart request; it confirms under the first request's id.
        if (options.autoStartConfirm == AutoStartConfirm::AfterFallback)
            confirm(rpc::kJavaAutoStart, switchJavaAutoStart(reference, data, options));
        break;
    default: break;
    }
}

std::vector<uint8_t> Firmware::writeBandMode(uint16_t reference, std::span<const uint8_t> request,
                                             const FirmwareOptions& options)
{
    std::lock_guard lock(mutex_);
    if (!options.keepsBandMode)
        bandMode_ = request[2];
    std::vector<uint8_t> payload = withReference(reference);
    payload.push_back(bandMode_);
    return payload;
}

std::vector<uint8_t> Firmware::readBandMode()
{
    // No reference: a validity word, then the band mode.
    std::lock_guard lock(mutex_);
    std::vector<uint8_t> payload;
    const bool valid = invalidBandModeReads_ == 0;
    if (!valid)
        --invalidBandModeReads_;
    putLe16(payload, valid ? 1 : 0);
    payload.push_back(bandMode_);
    return payload;
}

std::vector<uint8_t> Firmware::version(uint16_t reference, const FirmwareOptions& options) const
{
    std::vector<uint8_t> payload = withReference(reference);
    putLe16(payload, 0); // not read by the host
    putLe32(payload, options.hardwareId);
    putLe32(payload, options.rpcVersion);
    payload.insert(payload.end(), options.versionText.begin(), options.versionText.end());
    payload.push_back(0);
    return payload;
}

std::vector<uint8_t> Firmware::operationModeNow(uint16_t reference) const
{
    std::vector<uint8_t> payload = withReference(reference);
    putLe16(payload, 0); // status: success
    payload.push_back(static_cast<uint8_t>(operationMode()));
    return payload;
}

std::vector<uint8_t> Firmware::setOperationMode(uint16_t reference,
                                                std::span<const uint8_t> request,
                                                const FirmwareOptions& options)
{
    const uint8_t wanted = request[2];
    const bool known = isOperationMode(wanted);
    if (known && !options.keepsOperationMode) {
        std::lock_guard lock(mutex_);
        operationMode_ = static_cast<OperationMode>(wanted);
    }
    std::vector<uint8_t> payload = withReference(reference);
    putLe16(payload, known ? 0 : 1);
    return payload;
}

std::vector<uint8_t> Firmware::finishTestMode(uint16_t reference)
{
    {
        std::lock_guard lock(mutex_);
        if (operationMode_ == OperationMode::Test)
            operationMode_ = OperationMode::Normal;
    }
    return withReference(reference);
}

std::vector<std::vector<uint8_t>> Firmware::atCommand(uint16_t reference,
                                                      std::span<const uint8_t> request,
                                                      const FirmwareOptions& options) const
{
    const std::span<const uint8_t> area = request.subspan(2, rpc::kAtTextArea);
    const auto end = std::ranges::find_if(area, [](uint8_t c) { return c == '\r' || c == 0; });
    const std::string line(area.begin(), end);
    // The switch to EMMI means nothing here: the line already speaks it.
    const std::string answer = answerAtLine(line, options.atAnswers).text;

    std::vector<uint8_t> echo = withReference(reference);
    appendTextArea(echo, area);
    std::vector<uint8_t> response = withReference(reference);
    // One zero byte at least ends the text inside the area.
    const size_t length = std::min(answer.size(), rpc::kAtTextArea - 1);
    appendTextArea(response, {reinterpret_cast<const uint8_t*>(answer.data()), length});
    return {std::move(echo), std::move(response)};
}

std::vector<uint8_t> Firmware::switchJavaAutoStart(uint16_t reference,
                                                   std::span<const uint8_t> request,
                                                   const FirmwareOptions& options)
{
    const uint8_t result = options.autoStartResult;
    if (result == 0) {
        std::lock_guard lock(mutex_);
        javaAutoStart_ = request[2] != 0;
    }
    std::vector<uint8_t> payload = withReference(reference);
    payload.push_back(result);
    return payload;
}

} // namespace sim
