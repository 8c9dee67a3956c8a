// nvram backup and nvram restore: a module's calibration kept safe, put
// back, and proven the same byte for byte.
#include "failure.h"
#include "files.h"
#include "items.h"
#include "manifest.h"
#include "module.h"
#include "numbers.h"
#include "progress.h"
#include "report.h"

#include "cfc.h"

#include <chrono>
#include <filesystem>

namespace cfctool {

namespace fs = std::filesystem;

namespace {

constexpr uint16_t kDefaultLastId = 0xFF;
constexpr size_t kImeiSize = 8;

std::string moduleImei(const Module& module)
{
    uint8_t imei[kImeiSize] = {};
    module.require(WReadIMEI(module.handle(), imei), "cannot read the module's IMEI");
    return hexText(imei);
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string secondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

} // namespace

Report runBackup(const Invocation& invocation)
{
    const bool qv = invocation.qv;
    const auto first = static_cast<uint16_t>(invocation.firstId);
    const auto last = static_cast<uint16_t>(invocation.lastId.value_or(kDefaultLastId));
    if (first > last)
        failUsage("--first " + std::to_string(first) + " is above --last " + std::to_string(last));
    if (!qv && last > 0xFF)
        failUsage("calibration ids go up to 255; QV ids take --qv");
    const fs::path dir(invocation.file);
    // A backup is never written over: the one it would replace may be the
    // only copy of a module's calibration.
    std::error_code error;
    if (fs::exists(dir / kManifestName, error))
        failUsage(invocation.file + " holds a backup already; choose a new directory");
    fs::create_directories(dir, error);
    if (!fs::is_directory(dir, error))
        failUsage(invocation.file + ": cannot make this directory");

    const auto start = std::chrono::steady_clock::now();
    Module module(invocation.port);
    Manifest manifest;
    manifest.qv = qv;
    manifest.imei = moduleImei(module);
    char project[64] = {};
    char postfix[32] = {};
    int16_t number = 0;
    WGetTargetVersion(module.handle(), project, sizeof project, &number, postfix, sizeof postfix,
                      nullptr);
    manifest.project = project;
    manifest.versionNumber = number;
    manifest.postfix = postfix;

    Progress progress;
    size_t bytes = 0;
    for (uint32_t id = first; id <= last; ++id) {
        progress.show("backup: id " + std::to_string(id) + " of " + std::to_string(first) + " to " +
                      std::to_string(last) + ", " + std::to_string(manifest.items.size()) +
                      " items found");
        if (!calibrationItemPresent(module, qv, static_cast<uint16_t>(id)))
            continue;
        const CalibrationItem item = readCalibrationItem(module, qv, static_cast<uint16_t>(id));
        const ManifestItem entry = manifestItemOf(qv, item);
        writeOutputFile((dir / entry.file).string(), item.data);
        manifest.items.push_back(entry);
        bytes += item.data.size();
    }
    manifest.created = utcNow();
    // Written last: a backup that broke off has no manifest, and a restore
    // refuses it.
    const std::string document = manifestJson(manifest).dump(2) + "\n";
    writeOutputFile((dir / kManifestName).string(),
                    {reinterpret_cast<const uint8_t*>(document.data()), document.size()});
    const double seconds = secondsSince(start);

    Report report;
    report.json["dir"] = invocation.file;
    report.json["family"] = qv ? "qv" : "cal";
    report.json["imei"] = manifest.imei;
    report.json["items"] = manifest.items.size();
    report.json["bytes"] = bytes;
    report.json["seconds"] = seconds;
    report.json["manifest"] = manifestJson(manifest)["items"];
    report.text = "backup of " + std::to_string(manifest.items.size()) + " items (" +
                  std::to_string(bytes) + " bytes) from the module with IMEI " + manifest.imei +
                  " in " + (dir / kManifestName).string() + ", " + secondsText(seconds) + " s\n";
    for (const ManifestItem& item : manifest.items)
        report.text += "  " + item.file + "  id " + std::to_string(item.id) + ", " +
                       std::to_string(item.length) + " bytes, sha256 " + item.sha256 + "\n";
    return report;
}

Report runRestore(const Invocation& invocation)
{
    Manifest manifest;
    const std::vector<CalibrationItem> items = loadBackup(invocation.file, manifest);

    const auto start = std::chrono::steady_clock::now();
    Module module(invocation.port);
    if (invocation.verifyImei) {
        const std::string imei = moduleImei(module);
        if (imei != manifest.imei)
            throw Failure(kExitFailed, "backup " + invocation.file +
                                           " refused: it was taken from the module with IMEI " +
                                           manifest.imei + ", this one has " + imei);
    }
    Progress progress;
    size_t done = 0;
    for (const CalibrationItem& item : items) {
        progress.show("restore: item " + std::to_string(done + 1) + " of " +
                      std::to_string(items.size()) + " (id " + std::to_string(item.id) + ")");
        writeCalibrationItem(module, manifest.qv, item);
        const CalibrationItem back = readCalibrationItem(module, manifest.qv, item.id);
        if (back.data != item.data)
            throw Failure(kExitFailed, "item " + std::to_string(item.id) +
                                           " reads back different from what was written (" +
                                           std::to_string(back.data.size()) + " bytes, " +
                                           std::to_string(item.data.size()) + " written)");
        ++done;
    }
    const double seconds = secondsSince(start);

    Report report;
    report.json["dir"] = invocation.file;
    report.json["family"] = manifest.qv ? "qv" : "cal";
    report.json["items"] = done;
    report.json["verified"] = true;
    report.json["seconds"] = seconds;
    report.text = std::to_string(done) + " items of " + invocation.file +
                  " written and read back the same, " + secondsText(seconds) + " s\n";
    return report;
}

} // namespace cfctool
