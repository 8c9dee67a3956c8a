// The reasons a Windows user reads: the system's own words for the errno
// values the backend reports, not the C library's.
#include "plat/system_error.h"
#include "win32/win_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

// Every value the Win32 backend turns a system error into.
constexpr int reported[] = {ENOENT, ENODEV, EACCES, EBUSY,     EEXIST, EINVAL,    ENOTTY,  EBADF,
                            ENOMEM, EMFILE, ENOSPC, ECANCELED, EIO,    ETIMEDOUT, ENOTDIR, ELOOP};

TEST(SystemErrorText, EachReportedValueHasItsOwnSystemCodeThatMapsBack)
{
    for (const int value : reported) {
        const DWORD code = plat::detail::win32FromErrno(value);
        EXPECT_NE(code, static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND)) << "errno " << value;
        EXPECT_EQ(plat::detail::errnoFromWin32(code), value) << "errno " << value;
    }
}

TEST(SystemErrorText, IsTheSystemsMessageOnOneLineWithoutItsFullStop)
{
    for (const int value : reported) {
        const std::string text = plat::systemErrorText(value);
        char expected[512] = "";
        ASSERT_NE(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, plat::detail::win32FromErrno(value), 0, expected,
                                 sizeof expected, nullptr),
                  0u)
            << "errno " << value;
        ASSERT_FALSE(text.empty()) << "errno " << value;
        EXPECT_EQ(std::string(expected).rfind(text, 0), 0u) << text << " / " << expected;
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
        EXPECT_NE(text.back(), '.') << text;
        EXPECT_NE(text.back(), ' ') << text;
    }
}

TEST(SystemErrorText, AValueTheBackendNeverReportsStillGetsWords)
{
    EXPECT_EQ(plat::detail::win32FromErrno(EDOM), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
    EXPECT_FALSE(plat::systemErrorText(EDOM).empty());
}

} // namespace
