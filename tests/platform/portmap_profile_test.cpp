#include "plat/portmap.h"
#include "plat/profile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "cfc-plat-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Sets an environment variable for one test and puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old, hadOld_ = true;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (hadOld_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

std::string slurp(const std::string& path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

void spit(const std::string& path, const std::string& text)
{
    std::ofstream(path) << text;
}

class PortMap : public ::testing::Test {
protected:
    TempDir config_;
    ScopedEnv xdg_{"XDG_CONFIG_HOME", config_.path().string()};
};

TEST_F(PortMap, DefaultRangesAndTheirEdges)
{
    EXPECT_EQ(plat::comPortPath(1), "/dev/ttyS0");
    EXPECT_EQ(plat::comPortPath(32), "/dev/ttyS31");
    EXPECT_EQ(plat::comPortPath(33), "/dev/ttyUSB0");
    EXPECT_EQ(plat::comPortPath(64), "/dev/ttyUSB31");
    EXPECT_EQ(plat::comPortPath(65), "/dev/ttyACM0");
    EXPECT_EQ(plat::comPortPath(96), "/dev/ttyACM31");
    EXPECT_FALSE(plat::comPortPath(97));
    EXPECT_FALSE(plat::comPortPath(0));
    EXPECT_FALSE(plat::comPortPath(-3));
}

TEST_F(PortMap, VariableWinsOverFileWhichWinsOverDefault)
{
    fs::create_directories(config_.path() / "cfc");
    spit(config_.file("cfc/ports.ini"), "; adapters\n[ports]\ncom3 = /dev/serial/by-id/a\nCOM4=/dev/b\n");
    EXPECT_EQ(plat::comPortPath(4), "/dev/b");
    EXPECT_EQ(plat::comPortPath(3), "/dev/serial/by-id/a") << "names compare without case";

    ScopedEnv com3("CFC_COM3", "/dev/pts/9");
    EXPECT_EQ(plat::comPortPath(3), "/dev/pts/9");
    EXPECT_EQ(plat::comPortPath(97), std::nullopt);
    ScopedEnv com97("CFC_COM97", "virtual:sim");
    EXPECT_EQ(plat::comPortPath(97), "virtual:sim") << "any number can be mapped by hand";
}

TEST(UserConfigDir, FollowsTheBaseDirectoryRules)
{
    ScopedEnv home("HOME", "/home/someone");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/etc/xdg-here");
        EXPECT_EQ(plat::userConfigDir(), "/etc/xdg-here");
    }
    ScopedEnv relative("XDG_CONFIG_HOME", "relative/dir");
    EXPECT_EQ(plat::userConfigDir(), "/home/someone/.config");
}

TEST(Profile, MissingFileSectionOrKeyReadsTheDefault)
{
    TempDir dir;
    const std::string file = dir.file("cfctrace.ini");
    EXPECT_EQ(plat::readProfileString(file, "Global", "Enable", "0"), "0");
    spit(file, "[Global]\nEnable=1\n");
    EXPECT_EQ(plat::readProfileString(file, "global", "ENABLE", "0"), "1");
    EXPECT_EQ(plat::readProfileString(file, "Global", "Suffix", "0"), "0");
    EXPECT_EQ(plat::readProfileString(file, "TestModeAddBase", "NumEntries", "0"), "0");
}

TEST(Profile, WriteBackKeepsTheRestOfTheFile)
{
    TempDir dir;
    const std::string file = dir.file("cfctrace.ini");
    EXPECT_TRUE(plat::writeProfileString(file, "Global", "Suffix", "1"));
    EXPECT_EQ(plat::readProfileString(file, "Global", "Suffix", "0"), "1");

    spit(file, "; signal trace\n[Global]\nEnable=1\nSuffix=7\n\n[ServiceModeAddBase]\nNumEntries=2\n");
    ::chmod(file.c_str(), 0640);
    ASSERT_TRUE(plat::writeProfileString(file, "Global", "Suffix", "8"));
    EXPECT_EQ(plat::readProfileString(file, "Global", "Suffix", "0"), "8");
    EXPECT_EQ(plat::readProfileString(file, "Global", "Enable", "0"), "1");
    EXPECT_EQ(plat::readProfileString(file, "ServiceModeAddBase", "NumEntries", "0"), "2");
    EXPECT_NE(slurp(file).find("; signal trace"), std::string::npos);

    struct stat st{};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(Profile, RewriteReplacesTheFileWhole)
{
    TempDir dir;
    const std::string file = dir.file("cfctrace.ini");
    spit(file, "[Global]\nSuffix=1\n");
    const std::string link = dir.file("link.ini");
    fs::create_symlink(file, link);
    struct stat before{};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);

    ASSERT_TRUE(plat::writeProfileString(link, "Global", "Suffix", "2"));

    // A new inode: a reader holding the old file never sees a half-written one.
    struct stat after{};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_TRUE(fs::is_symlink(link)) << "the link must survive the rewrite";
    EXPECT_EQ(plat::readProfileString(file, "Global", "Suffix", "0"), "2");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2)
        << "no temporary file may be left behind";
}

TEST(Profile, RefusedWrites)
{
    TempDir dir;
    EXPECT_FALSE(plat::writeProfileString(dir.file("no-dir/x.ini"), "Global", "Enable", "1"));
    const std::string file = dir.file("x.ini");
    EXPECT_FALSE(plat::writeProfileString(file, "Global", "Enable", "1\n[Other]\nKey=2"));
    EXPECT_FALSE(plat::writeProfileString(file, "Global", "A=B", "1"));
    EXPECT_FALSE(fs::exists(file));
}

} // namespace
