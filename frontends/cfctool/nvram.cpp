// nvram user ... and nvram cal ...: one item at a time.
#include "failure.h"
#include "files.h"
#include "items.h"
#include "module.h"
#include "numbers.h"
#include "report.h"

#include "cfc.h"

namespace cfctool {

namespace {

// The bytes of a read: into -o FILE, or as hexadecimal text.
void reportBytes(Report& report, const Invocation& invocation, const std::string& what,
                 std::span<const uint8_t> bytes)
{
    report.json["length"] = bytes.size();
    if (!invocation.output.empty()) {
        writeOutputFile(invocation.output, bytes);
        report.json["file"] = invocation.output;
        report.text += what + ": " + std::to_string(bytes.size()) + " bytes written to " +
                       invocation.output + "\n";
        return;
    }
    report.json["data"] = hexText(bytes);
    report.text += hexText(bytes) + "\n";
}

Report userItem(const Invocation& invocation)
{
    const auto id = static_cast<uint32_t>(invocation.id);
    const auto value = static_cast<uint16_t>(invocation.value);
    const std::string name = "user item " + std::to_string(id);
    std::vector<uint8_t> data;
    if (invocation.command == Command::UserWrite)
        data = readInputFile(invocation.file, kMaxUserWrite);

    Module module(invocation.port);
    const uint32_t handle = module.handle();
    Report report;
    if (invocation.command != Command::UserEraseAll) {
        report.json["id"] = id;
        report.json["value"] = value;
    }
    switch (invocation.command) {
    case Command::UserRead: {
        const auto size = static_cast<uint16_t>(
            std::min<uint64_t>(invocation.size.value_or(kMaxUserRead), kMaxUserRead));
        std::vector<uint8_t> bytes(size);
        uint16_t length = 0;
        module.require(WReadNVRAMUserItem(handle, id, value, bytes.data(), size, &length),
                       "cannot read " + name);
        bytes.resize(std::min(length, size));
        reportBytes(report, invocation, name, bytes);
        break;
    }
    case Command::UserWrite:
        module.require(
            WWriteNVRAMUserItem(handle, id, value, data.data(), static_cast<uint16_t>(data.size())),
            "cannot write " + name);
        report.json["length"] = data.size();
        report.text = name + ": " + std::to_string(data.size()) + " bytes written\n";
        break;
    case Command::UserDelete:
        module.require(WDeleteNVRAMUserItem(handle, id, value), "cannot delete " + name);
        report.json["deleted"] = true;
        report.text = name + " deleted\n";
        break;
    default:
        module.require(WEraseAllNVRAMUserItems(handle), "cannot erase the user items");
        report.json["erased"] = "user items";
        report.text = "all user items erased\n";
        break;
    }
    return report;
}

Report calibrationItem(const Invocation& invocation)
{
    const bool qv = invocation.qv;
    const auto id = static_cast<uint16_t>(invocation.id);
    const std::string name =
        std::string(qv ? "QV calibration item " : "calibration item ") + std::to_string(id);
    std::vector<uint8_t> data;
    if (invocation.command == Command::CalWrite)
        data = readInputFile(invocation.file, kMaxItemWrite);

    Module module(invocation.port);
    Report report;
    if (invocation.command != Command::CalEraseAll) {
        report.json["family"] = qv ? "qv" : "cal";
        report.json["id"] = id;
    }
    switch (invocation.command) {
    case Command::CalCheck: {
        const bool present = calibrationItemPresent(module, qv, id);
        report.json["present"] = present;
        report.text = name + (present ? " is present\n" : " is absent\n");
        break;
    }
    case Command::CalRead: {
        CalibrationItem item;
        try {
            item = readCalibrationItem(module, qv, id);
        } catch (const Failure&) {
            // The firmware refuses the read of an item it does not hold with
            // the same status as any other failure; its check tells them
            // apart for the technician.
            if (!calibrationItemPresent(module, qv, id))
                throw Failure(kExitFailed, name + " is absent");
            throw;
        }
        if (item.version)
            report.json["version"] = *item.version;
        reportBytes(report, invocation, name, item.data);
        break;
    }
    case Command::CalWrite:
        writeCalibrationItem(module, qv, {id, data, qv ? std::optional<uint8_t>(0) : std::nullopt});
        report.json["length"] = data.size();
        report.text = name + ": " + std::to_string(data.size()) + " bytes written\n";
        break;
    default:
        module.require(WEraseAllNVRAMCalibrationItems(module.handle()),
                       "cannot erase the calibration items");
        report.json["erased"] = "calibration items";
        report.text = "all calibration items erased\n";
        break;
    }
    return report;
}

} // namespace

Report runNvram(const Invocation& invocation)
{
    switch (invocation.command) {
    case Command::UserRead:
    case Command::UserWrite:
    case Command::UserDelete:
    case Command::UserEraseAll: return userItem(invocation);
    default: return calibrationItem(invocation);
    }
}

} // namespace cfctool
