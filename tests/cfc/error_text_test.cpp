// Error codes in words: the fixed texts a program prints, and a connection's
// last error with the system's reason behind it.
#include "cfc.h"
#include "link_test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>

using namespace cfctest;

namespace {

TEST(ErrorText, EveryCodeHasItsOwnFixedText)
{
    // Codes 0 to 20 and the module's statuses -128..127 around 700 (not 0).
    std::map<std::string, unsigned> seen;
    auto take = [&seen](unsigned code) {
        const char* text = WGetErrorText(static_cast<uint16_t>(code));
        ASSERT_NE(text, nullptr) << code;
        ASSERT_GT(std::strlen(text), 0u) << code;
        EXPECT_EQ(text, WGetErrorText(static_cast<uint16_t>(code))) << "fixed text of " << code;
        const auto [where, fresh] = seen.emplace(text, code);
        EXPECT_TRUE(fresh) << code << " shares its text with " << where->second;
    };
    for (unsigned code = 0; code <= EMMIERR_NOT_STARTED; ++code)
        take(code);
    for (unsigned code = 572; code <= 827; ++code)
        if (code != EMMIERR_STATUS_BASE)
            take(code);

    const std::string unknown = WGetErrorText(21);
    EXPECT_EQ(seen.count(unknown), 0u);
    for (const unsigned code : {21u, 300u, 571u, 700u, 828u, 65535u})
        EXPECT_EQ(WGetErrorText(static_cast<uint16_t>(code)), unknown) << code;
    EXPECT_NE(std::string(WGetErrorText(699)).find("-1"), std::string::npos);
}

// The device path and the system's words are those of the POSIX backend.
#ifndef _WIN32
TEST(ErrorText, LastErrorTextCarriesTheSystemsReasonAndIsAlwaysTerminated)
{
    ScopedEnv env("CFC_COM7", "/dev/cfc-no-such-port");
    EXPECT_EQ(WComOpen(7, 115200, 0), 0u);
    const uint32_t handle = cfc::HandleForSlot(7);
    ASSERT_EQ(WGetLastError(handle), EMMIERR_PORT_OPEN);

    char text[256];
    const uint32_t length = WGetLastErrorText(handle, text, sizeof text);
    EXPECT_EQ(length, std::strlen(text));
    EXPECT_EQ(std::string(text), std::string(WGetErrorText(EMMIERR_PORT_OPEN)) +
                                     ": No such file or directory (system error " +
                                     std::to_string(ENOENT) + ")");

    char cut[8];
    std::memset(cut, 'x', sizeof cut);
    EXPECT_EQ(WGetLastErrorText(handle, cut, sizeof cut), sizeof cut - 1);
    EXPECT_EQ(std::string(cut), std::string(text, sizeof cut - 1));

    char one = 'x';
    EXPECT_EQ(WGetLastErrorText(handle, &one, 1), 0u);
    EXPECT_EQ(one, '\0');
    EXPECT_EQ(WGetLastErrorText(handle, nullptr, 10), 0u);

    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(WGetLastErrorText(0x12345678, text, sizeof text), 0u);
    EXPECT_EQ(text[0], '\0');
}
#endif

TEST(ErrorText, ACodeWithoutSystemCauseHasNoReasonBehindIt)
{
    ModuleLink link(8, "error-text-plain");
    // A store operation's band check fails without any port operation.
    EXPECT_EQ(WQuorleStoreCalibrationDataAMLoopOffsets(link.handle(), 4, 0), 0);
    char text[256];
    WGetLastErrorText(link.handle(), text, sizeof text);
    EXPECT_STREQ(text, WGetErrorText(EMMIERR_BAD_BAND));
}

} // namespace
