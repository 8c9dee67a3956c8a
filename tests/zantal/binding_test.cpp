// The run-time binding of "setupapi.dll", with copies of the libraries in a
// directory of the test's own so each case chooses which stand-in ZANTAL
// finds beside it. Every case runs in a child process: a library loaded once
// stays loaded by name for the life of a process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

using DeinstallById = int32_t (*)(const char*);
using InstallModem = int32_t (*)(const char*, uint32_t, const char*, const char*, const uint32_t*,
                                 char*);
using ListPorts = void (*)(char*, uint32_t, int32_t*);

class Binding : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zantal-binding-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        fs::copy_file(ZANTAL_LIBRARY, dir_ / "libZANTAL.so");
        fs::copy_file(ZANTALWIN_LIBRARY, dir_ / "libzantalwin.so");
        setenv("ZANTAL_ROOT", (dir_ / "store").c_str(), 1);
        setenv("ZANTAL_SYSFS_ROOT", (dir_ / "sys").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(dir_); }

    void offer(const char* setupapi)
    {
        fs::copy_file(setupapi, dir_ / "libsetupapi.tmp", fs::copy_options::overwrite_existing);
        fs::rename(dir_ / "libsetupapi.tmp", dir_ / "libsetupapi.so");
    }

    void* zantal()
    {
        void* library = dlopen((dir_ / "libZANTAL.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library)
            _exit(90);
        return library;
    }

    fs::path dir_;
};

TEST_F(Binding, IncompleteLibraryFailsAndIsTriedAgainLater)
{
    offer(SETUPAPI_LACKING_REQUIRED);
    EXPECT_EXIT(
        {
            void* library = zantal();
            auto install = reinterpret_cast<InstallModem>(dlsym(library, "ZANTAL_InstallModem"));
            auto deinstall =
                reinterpret_cast<DeinstallById>(dlsym(library, "ZANTAL_DeinstallModemByID"));
            uint32_t speed = 115200;
            char name[260] = "untouched";
            if (install("x.inf", 0, "ID", "COM1", &speed, name) != 0 ||
                std::string(name) != "untouched")
                _exit(1);
            if (deinstall("") != 0)
                _exit(2);
            offer(SETUPAPI_COMPLETE);
            _exit(deinstall("") == 1 ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Binding, OptionalNameMayBeMissing)
{
    offer(SETUPAPI_LACKING_OPTIONAL);
    EXPECT_EXIT(
        {
            auto deinstall =
                reinterpret_cast<DeinstallById>(dlsym(zantal(), "ZANTAL_DeinstallModemByID"));
            _exit(deinstall("") == 1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Binding, WithoutTheLibraryOnlyItsUsersFail)
{
    EXPECT_EXIT(
        {
            void* library = zantal();
            auto deinstall =
                reinterpret_cast<DeinstallById>(dlsym(library, "ZANTAL_DeinstallModemByID"));
            auto ports = reinterpret_cast<ListPorts>(dlsym(library, "ZANTAL_FindAllHardwarePorts"));
            char list[16] = "x";
            int32_t count = -1;
            ports(list, sizeof list, &count);
            _exit(deinstall("") == 0 && count == 0 && list[0] == '\0' ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
