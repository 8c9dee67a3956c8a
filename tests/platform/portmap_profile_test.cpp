#include "plat/portmap.h"
#include "plat/profile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <set>
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

std::string bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Runs `read` with a bound: past it, each wait on the FIFO at `fifo` is
// ended by a writer coming and going, and the wait counts as a failure.
template <class Result>
Result withinBound(const std::string& fifo, std::function<Result()> read)
{
    auto result = std::async(std::launch::async, std::move(read));
    bool waited = false;
    while (result.wait_for(std::chrono::seconds(waited ? 1 : 10)) != std::future_status::ready) {
        waited = true;
        ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    }
    EXPECT_FALSE(waited) << "blocked on " << fifo;
    return result.get();
}

class PortMap : public ::testing::Test {
protected:
    TempDir config_;
    ScopedEnv xdg_{"XDG_CONFIG_HOME", config_.path().string()};
};

TEST_F(PortMap, DefaultRangesAndTheirEdges)
{
    // Below 31, where each port has a connection slot of its own: the first
    // UARTs, then USB and ACM adapters.
    EXPECT_EQ(plat::comPortPath(1), "/dev/ttyS0");
    EXPECT_EQ(plat::comPortPath(4), "/dev/ttyS3");
    EXPECT_EQ(plat::comPortPath(5), "/dev/ttyUSB0");
    EXPECT_EQ(plat::comPortPath(20), "/dev/ttyUSB15");
    EXPECT_EQ(plat::comPortPath(21), "/dev/ttyACM0");
    EXPECT_EQ(plat::comPortPath(30), "/dev/ttyACM9");
    // From 31 on, the numbers as they always were.
    EXPECT_EQ(plat::comPortPath(31), "/dev/ttyS30");
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
    spit(config_.file("cfc/ports.ini"),
         "; adapters\n[ports]\ncom3 = /dev/serial/by-id/a\nCOM4=/dev/b\n");
    EXPECT_EQ(plat::comPortPath(4), "/dev/b");
    EXPECT_EQ(plat::comPortPath(3), "/dev/serial/by-id/a") << "names compare without case";

    ScopedEnv com3("CFC_COM3", "/dev/pts/9");
    EXPECT_EQ(plat::comPortPath(3), "/dev/pts/9");
    EXPECT_EQ(plat::comPortPath(97), std::nullopt);
    ScopedEnv com97("CFC_COM97", "virtual:sim");
    EXPECT_EQ(plat::comPortPath(97), "virtual:sim") << "any number can be mapped by hand";
}

TEST_F(PortMap, PortsFileThatIsNoRegularFileIsPassedOver)
{
    fs::create_directories(config_.path() / "cfc");
    const std::string file = config_.file("cfc/ports.ini");
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    EXPECT_EQ(withinBound<std::optional<std::string>>(file, [] { return plat::comPortPath(5); }),
              "/dev/ttyUSB0");
    fs::remove(file);
    fs::create_symlink("/dev/zero", file);
    EXPECT_EQ(plat::comPortPath(5), "/dev/ttyUSB0");
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

    spit(file,
         "; signal trace\n[Global]\nEnable=1\nSuffix=7\n\n[ServiceModeAddBase]\nNumEntries=2\n");
    ::chmod(file.c_str(), 0640);
    ASSERT_TRUE(plat::writeProfileString(file, "Global", "Suffix", "8"));
    EXPECT_EQ(plat::readProfileString(file, "Global", "Suffix", "0"), "8");
    EXPECT_EQ(plat::readProfileString(file, "Global", "Enable", "0"), "1");
    EXPECT_EQ(plat::readProfileString(file, "ServiceModeAddBase", "NumEntries", "0"), "2");
    EXPECT_NE(slurp(file).find("; signal trace"), std::string::npos);

    struct stat st {};
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
    struct stat before {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);

    ASSERT_TRUE(plat::writeProfileString(link, "Global", "Suffix", "2"));

    // A new inode: a reader holding the old file never sees a half-written one.
    struct stat after {};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_TRUE(fs::is_symlink(link)) << "the link must survive the rewrite";
    EXPECT_EQ(plat::readProfileString(file, "Global", "Suffix", "0"), "2");
    // No temporary file is left behind; the lock of writers in other
    // processes lies beside the file the link names.
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"cfctrace.ini", "cfctrace.ini.lock", "link.ini"}));
}

TEST(Profile, WriteBackChangesOnlyTheValue)
{
    TempDir dir;
    const std::string file = dir.file("cfctrace.ini");
    const std::string before =
        std::string("; kept\r\n[Global]\r\nEnable = 1\r\nno equals sign here\r\n") +
        "Suffix =  41  \r\nSuffix=7\r\n# another\r\n[ServiceModeAddBase]\r\nNumEntries=2\r\n" +
        std::string("tail\0with a NUL\r\n", 17) + "[Global]\r\nSuffix=9";
    spit(file, before);
    EXPECT_EQ(plat::readProfileString(file, "GLOBAL", "suffix", "0"), "41")
        << "the first of a name counts";
    ASSERT_TRUE(plat::writeProfileString(file, "Global", "Suffix", "42"));
    std::string expected = before;
    expected.replace(expected.find("41"), 2, "42");
    EXPECT_EQ(bytesOf(file), expected);

    ASSERT_TRUE(plat::writeProfileString(file, "ServiceModeAddBase", "Base0", "10200"));
    expected.insert(expected.rfind("[Global]"), "Base0=10200\r\n");
    EXPECT_EQ(bytesOf(file), expected) << "a new key goes after the last line of its section";
    ASSERT_TRUE(plat::writeProfileString(file, "NormalModeAddBase", "NumEntries", "1"));
    expected += "\r\n[NormalModeAddBase]\r\nNumEntries=1\r\n";
    EXPECT_EQ(bytesOf(file), expected);
}

TEST(Profile, FileNobodyMayWriteIsLeftAlone)
{
    TempDir dir;
    const std::string file = dir.file("cfctrace.ini");
    spit(file, "[Global]\nSuffix=3\n");
    ::chmod(file.c_str(), 0444);
    struct stat before {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    EXPECT_FALSE(plat::writeProfileString(file, "Global", "Suffix", "4"));
    struct stat after {};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(after.st_mode & 0777, 0444u);
    EXPECT_EQ(slurp(file), "[Global]\nSuffix=3\n");
}

TEST(Profile, SettingsThatAreNoRegularFileReadAsMissing)
{
    TempDir dir;
    const std::string fifo = dir.file("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(withinBound<std::string>(
                  fifo, [&] { return plat::readProfileString(fifo, "Global", "Enable", "0"); }),
              "0");
    EXPECT_FALSE(withinBound<bool>(
        fifo, [&] { return plat::writeProfileString(fifo, "Global", "Suffix", "1"); }));
    struct stat st {};
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "not replaced by a file";

    const std::string zero = dir.file("zero.ini");
    fs::create_symlink("/dev/zero", zero);
    EXPECT_EQ(plat::readProfileString(zero, "Global", "Enable", "0"), "0");
    EXPECT_FALSE(plat::writeProfileString(zero, "Global", "Suffix", "1"));
    EXPECT_EQ(plat::readProfileString(dir.path().string(), "Global", "Enable", "0"), "0");

    // A settings file a hundred times the size of any real one.
    const std::string large = dir.file("large.ini");
    spit(large, "[Global]\nEnable=1\n" + std::string(2u << 20, ';'));
    EXPECT_EQ(plat::readProfileString(large, "Global", "Enable", "0"), "0");
    EXPECT_FALSE(plat::writeProfileString(large, "Global", "Suffix", "1"));
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
