// Shared by the raw receive path tests: a connection on an in-memory line
// with the trace file in a fresh directory, the trace lines that came since
// the last look, and the exit records as WGetExitData hands them out.
#pragma once

#include "cfc.h"
#include "cfc_connection.h"
#include "link_test_support.h"
#include "test_support.h"

#include "plat/clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

namespace cfctest {

inline constexpr const char* kExitFound = "(CFC ) FlushBuffer: EXIT String found!";
inline constexpr const char* kSeparator = "(CFC ) *****************************";
inline const std::string kOk = "\r\nOK\r\n";
inline const std::regex kDelayLine(
    R"(\(CFC \) SendBlockProlog: delay \d+ msecs to avoid race condition in module\.\.\.)");

using Record = std::array<uint32_t, 4>;

inline const uint8_t* dataOf(const std::string& text)
{
    return reinterpret_cast<const uint8_t*>(text.data());
}

inline long countOf(const std::vector<std::string>& lines, const std::string& text)
{
    return std::count(lines.begin(), lines.end(), text);
}
inline long countMatching(const std::vector<std::string>& lines, const std::regex& pattern)
{
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return std::regex_match(line, pattern); });
}

inline uint64_t elapsedMs(uint64_t startCount)
{
    return (plat::counter() - startCount) / (plat::counterFrequency() / 1000);
}

// The nine lines that report one marker whose buffered text is `text`.
inline std::vector<std::string> exitBanner(const std::string& text)
{
    return {kSeparator,          kSeparator, kSeparator, kExitFound, kSeparator,
            "(CFC ) >> " + text, kSeparator, kSeparator, kSeparator};
}

class RawTest : public ::testing::Test {
protected:
    RawTest(int port, const std::string& name, ModuleLink::Module module)
        : link_(port, name, module), handle_(link_.handle())
    {
    }

    void SetUp() override
    {
        ASSERT_NE(handle_, 0u);
        WSetTraceLevel(handle_, 9);
        WEnableTraceFile();
    }
    void TearDown() override
    {
        connection().pacer.setDelayWorkaround(false);
        WDisableTraceFile();
    }

    cfc::Connection& connection() { return link_.connection(); }
    cfc::RawInput& raw() { return connection().raw; }

    std::string rawBuffer()
    {
        const auto held = raw().contents().received;
        return std::string(held.begin(), held.end());
    }
    std::string skipBuffer()
    {
        const auto held = raw().contents().skipped;
        return std::string(held.begin(), held.end());
    }

    // Until the receive thread has put `count` bytes into the raw buffer, at
    // most kPatienceMs.
    bool awaitRawBytes(uint16_t count) { return raw().awaitBytes(count, kPatienceMs); }

    // Trace lines written since the last call (or since the test began).
    std::vector<std::string> newTraceLines()
    {
        std::vector<std::string> all = traceTexts();
        std::vector<std::string> fresh(all.begin() + static_cast<long>(std::min(seen_, all.size())),
                                       all.end());
        seen_ = all.size();
        return fresh;
    }

    // The stored records through the public query, which flushes first.
    std::vector<Record> exitRecords()
    {
        std::array<uint8_t, 48> out{};
        uint8_t count = 0;
        EXPECT_EQ(WGetExitData(handle_, static_cast<uint8_t>(out.size()), &count, out.data()), 1);
        std::vector<Record> records(std::min<size_t>(count, 3));
        for (size_t r = 0; r < records.size(); ++r)
            for (size_t v = 0; v < 4; ++v)
                for (size_t b = 0; b < 4; ++b)
                    records[r][v] |= static_cast<uint32_t>(out[r * 16 + v * 4 + b]) << (8 * b);
        return records;
    }
    int exitCount()
    {
        uint8_t count = 0;
        WGetExitData(handle_, 0, &count, nullptr);
        return count;
    }

    // Declared first: the trace file goes to the fresh directory, and the
    // connection closes before the directory goes.
    ScopedTempCwd cwd_;
    ModuleLink link_;
    const uint32_t handle_;

private:
    size_t seen_ = 0;
};

} // namespace cfctest
