#include "manifest.h"

#include "failure.h"
#include "files.h"
#include "sha256.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <set>

namespace cfctool {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxManifestBytes = 4 * 1024 * 1024;

[[noreturn]] void refuse(const std::string& dir, const std::string& why)
{
    throw Failure(kExitFailed, "backup " + dir + " refused: " + why);
}

bool plainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\:") == std::string::npos;
}

bool isItemFileName(const std::string& name)
{
    const bool cal = name.size() == 11 && name.rfind("cal-", 0) == 0;
    const bool qv = name.size() == 12 && name.rfind("qv-", 0) == 0;
    return (cal || qv) && name.ends_with(".bin");
}

} // namespace

std::string itemFileName(bool qv, uint16_t id)
{
    char name[32];
    std::snprintf(name, sizeof name, qv ? "qv-%05u.bin" : "cal-%03u.bin", unsigned{id});
    return name;
}

ManifestItem manifestItemOf(bool qv, const CalibrationItem& item)
{
    return {item.id, itemFileName(qv, item.id), item.data.size(), item.version,
            sha256Hex(item.data)};
}

nlohmann::ordered_json manifestJson(const Manifest& manifest)
{
    nlohmann::ordered_json items = nlohmann::ordered_json::array();
    for (const ManifestItem& item : manifest.items) {
        nlohmann::ordered_json entry = {{"id", item.id},
                                        {"file", item.file},
                                        {"length", item.length},
                                        {"version", nullptr},
                                        {"sha256", item.sha256}};
        if (item.version)
            entry["version"] = *item.version;
        items.push_back(entry);
    }
    return {
        {"format", kManifestFormat},
        {"family", manifest.qv ? "qv" : "cal"},
        {"module",
         {{"imei", manifest.imei},
          {"project", manifest.project},
          {"version_number", manifest.versionNumber},
          {"postfix", manifest.postfix}}},
        {"created", manifest.created},
        {"items", items},
    };
}

Manifest manifestOf(const nlohmann::json& document)
{
    Manifest manifest;
    try {
        if (document.at("format").get<int>() != kManifestFormat)
            throw Failure(kExitFailed, "a manifest of another format");
        const std::string family = document.at("family").get<std::string>();
        if (family != "cal" && family != "qv")
            throw Failure(kExitFailed, "unknown item family \"" + family + "\"");
        manifest.qv = family == "qv";
        const nlohmann::json& module = document.at("module");
        manifest.imei = module.at("imei").get<std::string>();
        manifest.project = module.value("project", "");
        manifest.versionNumber = module.value("version_number", 0);
        manifest.postfix = module.value("postfix", "");
        manifest.created = document.value("created", "");
        std::set<uint16_t> ids;
        const uint32_t maxId = manifest.qv ? 0xFFFF : 0xFF;
        for (const nlohmann::json& entry : document.at("items")) {
            ManifestItem item;
            const uint32_t id = entry.at("id").get<uint32_t>();
            if (id > maxId)
                throw Failure(kExitFailed, "item id " + std::to_string(id) + " out of range");
            item.id = static_cast<uint16_t>(id);
            item.file = entry.at("file").get<std::string>();
            item.length = entry.at("length").get<size_t>();
            if (!entry.at("version").is_null())
                item.version = entry.at("version").get<uint8_t>();
            item.sha256 = entry.at("sha256").get<std::string>();
            if (!plainName(item.file))
                throw Failure(kExitFailed, "item file \"" + item.file + "\" is not a plain name");
            if (!ids.insert(item.id).second)
                throw Failure(kExitFailed, "item " + std::to_string(id) + " listed twice");
            manifest.items.push_back(item);
        }
    } catch (const nlohmann::json::exception& error) {
        throw Failure(kExitFailed, std::string("not a manifest: ") + error.what());
    }
    return manifest;
}

std::vector<CalibrationItem> loadBackup(const std::string& dir, Manifest& manifest)
{
    const fs::path base(dir);
    const std::string manifestPath = (base / kManifestName).string();
    std::vector<uint8_t> text;
    try {
        text = readInputFile(manifestPath, kMaxManifestBytes);
    } catch (const Failure& failure) {
        refuse(dir, failure.what());
    }
    try {
        const nlohmann::json document = nlohmann::json::parse(text.begin(), text.end());
        manifest = manifestOf(document);
    } catch (const nlohmann::json::exception& error) {
        refuse(dir, manifestPath + " is not JSON: " + error.what());
    } catch (const Failure& failure) {
        refuse(dir, manifestPath + ": " + failure.what());
    }

    std::set<std::string> listed;
    std::vector<CalibrationItem> items;
    for (const ManifestItem& entry : manifest.items) {
        const std::string path = (base / entry.file).string();
        std::vector<uint8_t> data;
        try {
            data = readInputFile(path, kMaxItemWrite);
        } catch (const Failure& failure) {
            refuse(dir, failure.what());
        }
        if (data.size() != entry.length)
            refuse(dir, path + " holds " + std::to_string(data.size()) +
                            " bytes, the manifest says " + std::to_string(entry.length));
        if (sha256Hex(data) != entry.sha256)
            refuse(dir, path + " differs from the manifest (SHA-256)");
        listed.insert(entry.file);
        items.push_back({entry.id, std::move(data), entry.version});
    }
    std::error_code error;
    for (const fs::directory_entry& file : fs::directory_iterator(base, error)) {
        const std::string name = file.path().filename().string();
        if (isItemFileName(name) && listed.count(name) == 0)
            refuse(dir, (base / name).string() + " is not in the manifest");
    }
    return items;
}

std::string utcNow()
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

} // namespace cfctool
