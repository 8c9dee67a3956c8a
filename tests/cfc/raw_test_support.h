// Shared by the raw receive path tests: an open connection on an in-memory
// line with the trace file in a fresh directory, the trace lines that came
// since the last look, and the exit records as WGetExitData hands them out.
#pragma once

#include "cfc.h"
#include "cfc_intern.h"
#include "test_support.h"

#include "plat/clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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

inline const uint8_t* bytesOf(const std::string& text) {
    return reinterpret_cast<const uint8_t*>(text.data());
}
inline const uint8_t* bytesOf(const char* text) { return reinterpret_cast<const uint8_t*>(text); }

inline long countOf(const std::vector<std::string>& lines, const std::string& text) {
    return std::count(lines.begin(), lines.end(), text);
}
inline long countMatching(const std::vector<std::string>& lines, const std::regex& pattern) {
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return std::regex_match(line, pattern); });
}

inline uint64_t elapsedMs(uint64_t startCount) {
    return (plat::counter() - startCount) / (plat::counterFrequency() / 1000);
}

// The nine lines that report one marker whose buffered text is `text`.
inline std::vector<std::string> exitBanner(const std::string& text) {
    return {kSeparator, kSeparator, kSeparator, kExitFound, kSeparator, "(CFC ) >> " + text,
            kSeparator, kSeparator, kSeparator};
}

class RawConnectionTest : public ::testing::Test {
protected:
    RawConnectionTest(int port, const std::string& name) : port_(port), com_(port, name) {}

    void SetUp() override {
        WEnableTraceFile();
        handle_ = WComOpen(port_, 115200, 0);
        ASSERT_NE(handle_, 0u);
        WSetTraceLevel(handle_, 9);
        seen_ = traceTexts().size();
    }
    void TearDown() override {
        if (handle_ != 0)
            WComClose(handle_);
        WDisableTraceFile();
    }

    cfc::RawRxState& raw() { return cfc::SlotOf(handle_)->raw; }

    // Trace lines written since the last call (or since the open).
    std::vector<std::string> newTraceLines() {
        std::vector<std::string> all = traceTexts();
        std::vector<std::string> fresh(all.begin() + static_cast<long>(std::min(seen_, all.size())), all.end());
        seen_ = all.size();
        return fresh;
    }

    // The stored records through the public query, which flushes first.
    std::vector<Record> exitRecords() {
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
    int exitCount() {
        uint8_t count = 0;
        WGetExitData(handle_, 0, &count, nullptr);
        return count;
    }

    const int port_;
    ScopedTempCwd cwd_;
    VirtualComPort com_;
    uint32_t handle_ = 0;

private:
    size_t seen_ = 0;
};

} // namespace cfctest
