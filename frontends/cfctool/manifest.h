// The manifest of a calibration backup (DIR/manifest.json) and the check of
// a backup's files against it. What a restore writes into a module comes
// only through this check.
#pragma once

#include "items.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cfctool {

inline constexpr const char* kManifestName = "manifest.json";
inline constexpr int kManifestFormat = 1;

struct ManifestItem {
    uint16_t id = 0;
    std::string file; // a plain name inside the backup's directory
    size_t length = 0;
    std::optional<uint8_t> version;
    std::string sha256;
};

struct Manifest {
    bool qv = false;
    std::string imei; // hexadecimal, as the module gave it
    std::string project;
    int versionNumber = 0;
    std::string postfix;
    std::string created; // UTC, ISO 8601
    std::vector<ManifestItem> items;
};

// "cal-007.bin", "qv-01234.bin".
std::string itemFileName(bool qv, uint16_t id);
ManifestItem manifestItemOf(bool qv, const CalibrationItem& item);

nlohmann::ordered_json manifestJson(const Manifest& manifest);
// Throws Failure (refused) naming what is wrong with the document.
Manifest manifestOf(const nlohmann::json& document);

// Reads `dir`/manifest.json and every item file it names, and checks each
// file's length and SHA-256 against it; an item file in the directory that
// the manifest does not name is a mismatch too. Throws Failure (refused)
// naming the first mismatch; nothing has been sent to a module then.
std::vector<CalibrationItem> loadBackup(const std::string& dir, Manifest& manifest);

// The current time in UTC as "2026-12-09T18:30:00Z".
std::string utcNow();

} // namespace cfctool
