// The settings files on Windows: read and written by the system's profile
// functions, with the system's reading of quoted values.
#include "plat/profile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::filesystem::path scratchFile(const char* name)
{
    const std::filesystem::path file = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove(file);
    return file;
}

TEST(ProfileWin32, QuotedValuesAndMissingKeysReadAsTheSystemReadsThem)
{
    const std::string file = scratchFile("cfc-profile-test.ini").string();
    {
        std::ofstream out(file);
        out << "; signal trace\n[Global]\nEnable=\"1\"\nSuffix=7\n";
    }
    EXPECT_EQ(plat::readProfileString(file, "global", "ENABLE", "0"), "1");
    EXPECT_EQ(plat::readProfileString(file, "Global", "Suffix", "0"), "7");
    EXPECT_EQ(plat::readProfileString(file, "Global", "Missing", "0"), "0");
    EXPECT_EQ(plat::readProfileString(file, "NoSection", "NumEntries", "0"), "0");

    ASSERT_TRUE(plat::writeProfileString(file, "Global", "Suffix", "8"));
    EXPECT_EQ(plat::readProfileString(file, "Global", "Suffix", "0"), "8");
    EXPECT_EQ(plat::readProfileString(file, "Global", "Enable", "0"), "1");
    EXPECT_FALSE(plat::writeProfileString(file, "Global", "Suffix", "8\n[Other]"));
    std::filesystem::remove(file);
}

} // namespace
