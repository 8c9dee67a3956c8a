// The real cfctool against a module simulated by the real cfcsim program on a
// pseudo-terminal, as a technician runs it: COM3 is mapped to the terminal,
// each run gets only the environment given here, and its standard error is
// kept apart from the results.
#include "child_process.h"

#include "cfc.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <stdlib.h>

namespace {

namespace fs = std::filesystem;
using testsupport::ChildProcess;
using testsupport::Outcome;

constexpr auto kRunBound = std::chrono::seconds(60);

std::string fileText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Cfctool : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "cfctool-e2e-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        module_.reset();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // A module simulated with `options` on COM3 for the rest of the case.
    void startModule(const std::vector<std::string>& options)
    {
        module_ = std::make_unique<ChildProcess>(CFCSIM_PATH, options);
        ASSERT_TRUE(module_->started());
        terminal_ = module_->readLine(std::chrono::seconds(10));
        ASSERT_FALSE(terminal_.empty()) << "the simulator named no terminal";
    }

    // cfctool with `arguments` in the case's directory; COM3 leads to the
    // module, or nowhere before one is started.
    Outcome run(const std::vector<std::string>& arguments)
    {
        const std::vector<std::string> env = {
            "HOME=" + dir_.string(),
            "XDG_CONFIG_HOME=" + (dir_ / "config").string(),
            "CFC_COM3=" + (terminal_.empty() ? (dir_ / "no-such-port").string() : terminal_),
        };
        std::vector<std::string> shell = {"-c", R"(exec "$0" "$@" 2>stderr.txt)", CFCTOOL_PATH};
        shell.insert(shell.end(), arguments.begin(), arguments.end());
        return testsupport::runProgram("/bin/sh", shell, env, dir_, kRunBound);
    }

    nlohmann::json runJson(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> withJson = {"--json"};
        withJson.insert(withJson.end(), arguments.begin(), arguments.end());
        const Outcome outcome = run(withJson);
        EXPECT_EQ(outcome.status, 0) << errors();
        return nlohmann::json::parse(outcome.output, nullptr, false);
    }

    std::string errors() const { return fileText(dir_ / "stderr.txt"); }
    const fs::path& dir() const { return dir_; }

    void write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
    }

private:
    fs::path dir_;
    std::unique_ptr<ChildProcess> module_;
    std::string terminal_;
};

// The simulator's identity, from its own definition.
TEST_F(Cfctool, InfoGivesWhatTheModuleSays)
{
    startModule({"--mode=at"});
    const nlohmann::json info = runJson({"com3", "info"});
    EXPECT_EQ(info["bootloader"], "Bln-Bootloader V01.03");
    EXPECT_EQ(info["project"], "ZEPHIN");
    EXPECT_EQ(info["version_number"], 240);
    EXPECT_EQ(info["postfix"], "");
    EXPECT_EQ(info["rpc_version"], "1.0");
    EXPECT_EQ(info["imei"], "351234567890123f");
    EXPECT_EQ(info["serial_number"], "534e202612090042");
    EXPECT_EQ(info["flash_serial_number"], "534e2026");
    // "cfcsim mobile inf" in hexadecimal.
    EXPECT_EQ(info["mobile_information"], "63666373696d206d6f62696c6520696e66");
    EXPECT_EQ(info["operation_mode"], "service");
    EXPECT_EQ(errors(), "");

    const Outcome text = run({"COM3", "info"});
    EXPECT_EQ(text.status, 0);
    EXPECT_NE(text.output.find("IMEI                   351234567890123f\n"), std::string::npos)
        << text.output;
}

TEST_F(Cfctool, ItemsWrittenFromAFileReadBackTheSame)
{
    startModule({"--mode=emmi"});
    std::string bytes;
    for (int i = 0; i < 300; ++i)
        bytes += static_cast<char>(i * 7);
    write("item.bin", bytes);

    EXPECT_EQ(run({"com3", "nvram", "user", "write", "0x10000", "7", "item.bin"}).output,
              "user item 65536: 300 bytes written\n");
    EXPECT_EQ(run({"com3", "nvram", "user", "read", "65536", "7", "-o", "user.bin"}).status, 0);
    EXPECT_EQ(fileText(dir() / "user.bin"), bytes);
    const nlohmann::json part =
        runJson({"com3", "nvram", "user", "read", "65536", "7", "--size", "4"});
    EXPECT_EQ(part["data"], "00070e15");

    EXPECT_EQ(run({"com3", "nvram", "cal", "write", "0x12", "item.bin"}).status, 0);
    EXPECT_EQ(runJson({"com3", "nvram", "cal", "check", "18"})["present"], true);
    EXPECT_EQ(run({"com3", "nvram", "cal", "read", "18", "-o", "cal.bin"}).status, 0);
    EXPECT_EQ(fileText(dir() / "cal.bin"), bytes);
    EXPECT_EQ(run({"com3", "nvram", "cal", "--qv", "write", "4660", "item.bin"}).status, 0);
    EXPECT_EQ(runJson({"com3", "nvram", "cal", "--qv", "read", "0x1234"})["length"], 300);
    EXPECT_EQ(run({"com3", "nvram", "cal", "read", "200"}).status, 1);
    EXPECT_EQ(errors(), "cfctool: calibration item 200 is absent\n");

    EXPECT_EQ(run({"com3", "nvram", "user", "delete", "65536", "7"}).status, 0);
    const Outcome gone = run({"com3", "nvram", "user", "read", "65536", "7"});
    EXPECT_EQ(gone.status, 1);
    // The absent item's read status makes the library's code 5, in its words.
    EXPECT_EQ(errors(), std::string("cfctool: cannot read user item 65536: ") +
                            WGetErrorText(CFCRPC_BAD_CONFIRM) + " (library error 5)\n");
}

// The firmware's name as the library evaluates it, postfix and all, and a
// module whose version text names no firmware.
TEST_F(Cfctool, InfoNamesTheFirmwareOfTheVersionText)
{
    startModule({"--mode=emmi", "--version-text=MARLO_B1_207CA:x&Bln-Bootloader V02.01&RPC"});
    const nlohmann::json info = runJson({"com3", "info"});
    EXPECT_EQ(info["project"], "MARLO");
    EXPECT_EQ(info["version_number"], 207);
    EXPECT_EQ(info["postfix"], "CA");
    EXPECT_EQ(info["bootloader"], "Bln-Bootloader V02.01");
}

TEST_F(Cfctool, AutostartDoesTheJobOfVornax)
{
    startModule({"--mode=at", "--autostart=on"});
    const Outcome off = run({"com3", "autostart", "off"});
    EXPECT_EQ(off.status, 0) << errors();
    EXPECT_EQ(off.output, "Java autostart switched off; the module is switched off\n");
    // Switched off, it answers nothing more.
    EXPECT_EQ(run({"com3", "info"}).status, 1);
}

TEST_F(Cfctool, PortsListsThoseThatAreThere)
{
    startModule({"--mode=at"});
    const nlohmann::json ports = runJson({"ports", "--all"});
    bool com3 = false;
    for (const auto& port : ports["ports"]) {
        if (port["port"] == "COM3") {
            com3 = true;
            EXPECT_EQ(port["present"], true);
            EXPECT_EQ(port["kernel_console"], false);
            EXPECT_EQ(port["device"].get<std::string>().rfind("/dev/pts/", 0), 0u);
        }
    }
    EXPECT_TRUE(com3) << ports.dump();
    const Outcome present = run({"ports"});
    EXPECT_NE(present.output.find("COM3   /dev/pts/"), std::string::npos) << present.output;
}

TEST_F(Cfctool, BackupEraseRestoreLeavesTheItemsAsTheyWere)
{
    startModule({"--mode=emmi", "--calibrated"});
    const nlohmann::json backup = runJson({"com3", "nvram", "backup", "first"});
    EXPECT_EQ(backup["items"], 9);
    const nlohmann::json manifest = nlohmann::json::parse(fileText(dir() / "first/manifest.json"));
    EXPECT_EQ(manifest["module"]["imei"], "351234567890123f");
    EXPECT_EQ(manifest["items"][2]["id"], 2);
    EXPECT_EQ(manifest["items"][2]["length"], 14);
    EXPECT_EQ(fileText(dir() / "first/cal-000.bin").size(), 208u);
    EXPECT_EQ(run({"com3", "nvram", "backup", "first"}).status, 2) << "never written over";

    EXPECT_EQ(run({"com3", "nvram", "cal", "erase-all"}).status, 0);
    EXPECT_EQ(runJson({"com3", "nvram", "cal", "check", "0"})["present"], false);
    const Outcome restore = run({"com3", "nvram", "restore", "first", "--verify-imei"});
    EXPECT_EQ(restore.status, 0) << errors();
    EXPECT_EQ(restore.output.rfind("9 items of first written and read back the same", 0), 0u)
        << restore.output;

    // A second backup finds the same items, byte for byte.
    EXPECT_EQ(runJson({"com3", "nvram", "backup", "second"})["items"], 9);
    for (const auto& item : manifest["items"]) {
        const std::string name = item["file"];
        EXPECT_EQ(fileText(dir() / "second" / name), fileText(dir() / "first" / name)) << name;
    }
}

TEST_F(Cfctool, RestoreRefusesAChangedFileAndAnotherModule)
{
    startModule({"--mode=emmi", "--calibrated"});
    ASSERT_EQ(run({"com3", "nvram", "backup", "kept"}).status, 0);
    EXPECT_EQ(run({"com3", "nvram", "cal", "erase-all"}).status, 0);

    fs::copy(dir() / "kept", dir() / "changed");
    write("changed/cal-005.bin", fileText(dir() / "kept/cal-005.bin").replace(3, 1, "x"));
    const Outcome changed = run({"com3", "nvram", "restore", "changed"});
    EXPECT_EQ(changed.status, 1);
    EXPECT_EQ(changed.output, "");
    EXPECT_EQ(errors(), "cfctool: backup changed refused: changed/cal-005.bin differs from the "
                        "manifest (SHA-256)\n");

    fs::copy(dir() / "kept", dir() / "other");
    nlohmann::json manifest = nlohmann::json::parse(fileText(dir() / "other/manifest.json"));
    manifest["module"]["imei"] = "3512345678901200";
    write("other/manifest.json", manifest.dump());
    const Outcome other = run({"com3", "nvram", "restore", "other", "--verify-imei"});
    EXPECT_EQ(other.status, 1);
    EXPECT_EQ(errors(), "cfctool: backup other refused: it was taken from the module with IMEI "
                        "3512345678901200, this one has 351234567890123f\n");
    // Neither refusal wrote anything.
    EXPECT_EQ(runJson({"com3", "nvram", "cal", "check", "5"})["present"], false);
}

// Signals longer than a frame, as the library writes them, decoded; and the
// same file cut off in the middle of a record.
TEST_F(Cfctool, TraceCaptureAndDecode)
{
    startModule({"--mode=emmi"});
    write("trace.ini", "[Global]\nEnable=1\nSuffix=5\n[ServiceModeAddSignal]\nNumEntries=2\n"
                       "Signal0=0x010203\nSignal1=0x0300FF\n");
    const Outcome capture =
        run({"com3", "trace", "capture", "--ini", "trace.ini", "--seconds", "1"});
    ASSERT_EQ(capture.status, 0) << errors();
    EXPECT_EQ(capture.output.rfind("cfctrace/cfc005.flg  ", 0), 0u) << capture.output;
    EXPECT_NE(capture.output.find("cfctrace/cfclog005.txt  "), std::string::npos);

    const nlohmann::json decoded = runJson({"trace", "decode", "cfctrace/cfc005.flg"});
    ASSERT_GE(decoded["records"].size(), 2u);
    const nlohmann::json& spanning = decoded["records"][1];
    EXPECT_EQ(spanning["signal"], "0x300ff");
    // The simulator reports signal n with 8 + 4n bytes counting up from n.
    EXPECT_EQ(spanning["length"], 1028);
    EXPECT_EQ(spanning["data"].get<std::string>().substr(0, 8), "ff000102");
    EXPECT_EQ(decoded["problem"], nullptr);

    const std::string whole = fileText(dir() / "cfctrace/cfc005.flg");
    write("cut.flg", whole.substr(0, 48 + 28 + 100));
    const Outcome cut = run({"trace", "decode", "cut.flg", "--format", "csv"});
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.output, "offset,signal,source,destination,frame_number,time,length,data\n"
                          "0,0x10203,0x11,0x20,1,10,20,030405060708090a0b0c0d0e0f10111213141516\n");
    EXPECT_EQ(errors(), "cfctool: cut.flg: record at offset 48 (signal 0x300ff) breaks off: 100 of "
                        "its 1028 data bytes are there; 1 records read before it\n");
}

TEST_F(Cfctool, AtCommandPrintsTheModulesTexts)
{
    startModule({"--mode=at"});
    const Outcome ati = run({"com3", "at", "ATI"});
    EXPECT_EQ(ati.output, "cfcsim\nZEPHIN\nREVISION 02.40\nOK\n");
    EXPECT_EQ(ati.status, 0);
    const Outcome refused = run({"com3", "at", "AT+NOSUCH"});
    EXPECT_EQ(refused.output, "ERROR\n");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(errors(), "cfctool: the module answered \"AT+NOSUCH\" with ERROR\n");
}

TEST_F(Cfctool, UsageErrorsAndAMissingModule)
{
    const struct {
        std::vector<std::string> arguments;
        const char* error;
    } usage[] = {
        {{}, "cfctool: A subcommand is required\n"},
        {{"info"},
         "cfctool: this command talks to a module: give its port first, e.g. cfctool "
         "com3 ...\n"},
        {{"com0", "info"}, "cfctool: \"com0\" is not a port: com1 up to com99\n"},
        {{"com3", "ports"}, "cfctool: this command needs no module; leave the port out\n"},
        {{"com3", "nvram", "cal", "read", "256"},
         "cfctool: calibration id 256 is above 255; QV ids take --qv\n"},
        {{"com3", "autostart", "maybe"}, nullptr},
        {{"com3", "nvram", "user", "read", "1", "0x10000"}, nullptr},
    };
    for (const auto& c : usage) {
        const Outcome outcome = run(c.arguments);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.output, "");
        if (c.error != nullptr)
            EXPECT_EQ(errors().substr(0, errors().find('\n') + 1), c.error);
        else
            EXPECT_EQ(errors().rfind("cfctool: ", 0), 0u) << errors();
    }

    const Outcome help = run({"nvram", "backup", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("Copy every calibration item", 0), 0u) << help.output;
    EXPECT_NE(help.output.find("Usage: cfctool <com-port> nvram backup"), std::string::npos);

    const Outcome missing = run({"--json", "com3", "info"});
    EXPECT_EQ(missing.status, 1);
    const std::string reason =
        "cannot open COM3 (" + (dir() / "no-such-port").string() + "): No such file or directory";
    EXPECT_EQ(errors(), "cfctool: " + reason + "\n");
    const nlohmann::json error = nlohmann::json::parse(missing.output, nullptr, false);
    EXPECT_EQ(error["error"]["message"], reason);
}

TEST_F(Cfctool, SilentModuleIsAFailureOfTheModule)
{
    startModule({"--mode=off"});
    const Outcome outcome = run({"com3", "info"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.output, "");
    EXPECT_EQ(errors().rfind("cfctool: COM3 (/dev/pts/", 0), 0u) << errors();
    EXPECT_NE(errors().find("): the module did not come into service mode: "), std::string::npos)
        << errors();
}

} // namespace
