// trace capture and trace decode: the module's signal trace recorded with a
// settings file, and the record files made readable.
#include "failure.h"
#include "files.h"
#include "module.h"
#include "progress.h"
#include "report.h"
#include "trace_records.h"

#include "plat/profile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace cfctool {

namespace fs = std::filesystem;

namespace {

// Larger record files are split by suffix long before this.
constexpr size_t kMaxRecordFile = 512u * 1024 * 1024;
// Where the library writes the signal trace, below the working directory.
constexpr const char* kTraceDir = "cfctrace";

TraceFormat formatOf(const std::string& name)
{
    if (name == "csv")
        return TraceFormat::Csv;
    return name == "json" ? TraceFormat::Json : TraceFormat::Text;
}

void pointLibraryAt(const std::string& ini)
{
#ifdef _WIN32
    _putenv_s("CFC_TRACE_INI", ini.c_str());
#else
    setenv("CFC_TRACE_INI", ini.c_str(), 1);
#endif
}

std::string numbered(const char* pattern, int suffix)
{
    char name[64];
    std::snprintf(name, sizeof name, pattern, suffix);
    return (fs::path(kTraceDir) / name).string();
}

} // namespace

Report runTraceDecode(const Invocation& invocation)
{
    const std::vector<uint8_t> bytes = readInputFile(invocation.file, kMaxRecordFile);
    const TraceFile file = decodeTraceRecords(bytes);
    const TraceFormat format = invocation.json ? TraceFormat::Json : formatOf(invocation.format);

    Report report;
    report.json["file"] = invocation.file;
    report.json["records"] =
        nlohmann::ordered_json::parse(formatTraceRecords(file, TraceFormat::Json));
    report.json["problem"] =
        file.problem.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(file.problem);
    report.text =
        format == TraceFormat::Json ? report.json.dump(2) + "\n" : formatTraceRecords(file, format);
    if (!file.problem.empty()) {
        report.exitCode = kExitFailed;
        report.reason = invocation.file + ": " + file.problem + "; " +
                        std::to_string(file.records.size()) + " records read before it";
    }
    return report;
}

Report runTraceCapture(const Invocation& invocation)
{
    std::error_code error;
    const fs::path ini = fs::absolute(invocation.file, error);
    if (!fs::is_regular_file(ini, error))
        failUsage(invocation.file + ": no such settings file");
    const std::string enable = plat::readProfileString(ini.string(), "Global", "Enable", "0");
    if (std::atoi(enable.c_str()) == 0)
        failUsage(invocation.file + ": [Global] Enable is 0 or missing; nothing would be traced");
    // The library numbers the files of this connection with the suffix it
    // reads at the open; read first, it names them.
    const int suffix =
        std::atoi(plat::readProfileString(ini.string(), "Global", "Suffix", "0").c_str());
    fs::create_directory(kTraceDir, error);
    if (!fs::is_directory(kTraceDir, error))
        throw Failure(kExitFailed, std::string("cannot make the directory ") + kTraceDir);
    pointLibraryAt(ini.string());

    const std::string records = numbered("cfc%03d.flg", suffix);
    const std::string log = numbered("cfclog%03d.txt", suffix);
    {
        // Opening reads the settings, service mode sends the module its
        // mask, and the close switches the trace off once the last frames
        // are in.
        Module module(invocation.port);
        Progress progress;
        for (unsigned second = 0; second < invocation.seconds; ++second) {
            const uintmax_t size = fs::file_size(records, error);
            progress.show("trace: " + std::to_string(second) + " of " +
                          std::to_string(invocation.seconds) + " s, " +
                          std::to_string(error ? 0 : size) + " bytes recorded");
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
        progress.show("trace: closing, the module's last frames come in...");
    }

    Report report;
    report.json["suffix"] = suffix;
    report.json["files"] = nlohmann::ordered_json::array();
    size_t signals = 0;
    for (const std::string& file : {records, log}) {
        if (!fs::exists(file, error))
            continue;
        const uintmax_t size = fs::file_size(file, error);
        report.json["files"].push_back({{"path", file}, {"bytes", size}});
        report.text += file + "  " + std::to_string(size) + " bytes\n";
    }
    if (fs::exists(records, error))
        signals = decodeTraceRecords(readInputFile(records, kMaxRecordFile)).records.size();
    report.json["signals"] = signals;
    if (report.json["files"].empty()) {
        report.text = "no signal-trace files written: the module reported no signal\n";
    } else {
        report.text += std::to_string(signals) + " signals recorded\n";
    }
    return report;
}

} // namespace cfctool
