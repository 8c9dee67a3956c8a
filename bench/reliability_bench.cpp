// Time and peak memory of the inputs that used to be amplified: large INF
// files (parsed, and installed with a huge AddReg section), oversized
// settings files, and the largest registry store written and read back.
// Each case runs in a child process of its own so that its peak resident
// memory is its own. Not a test: run by hand, figures on stdout.
#include "inf_file.h"
#include "plat/portmap.h"
#include "plat/profile.h"
#include "win/reg_key.h"
#include "win/registry.h"
#include "zantal.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

namespace fs = std::filesystem;

fs::path g_dir;

void writeFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Runs `work` in a child; prints its wall time and peak memory.
void measure(const char* name, std::size_t inputBytes, const std::function<std::string()>& work)
{
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string note = work();
        std::printf("  %-44s %s\n", name, note.c_str());
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("  %-44s input %7.1f MB  %7.2f s  peak RSS %7.1f MB%s\n", "", inputBytes / 1e6,
                seconds, usage.ru_maxrss / 1024.0,
                WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : "  (failed)");
}

const char* kInfHead =
    "[Version]\nSignature=\"$Windows NT$\"\nClass=Modem\nProvider=%P%\n"
    "[Manufacturer]\n%P%=Models\n[Models]\nBig Modem=Big,ZNT_BIG\n"
    "[Big]\nAddReg=Big.AddReg\n[Big.AddReg]\nHKR,,DCB,1,1C,00,00,00,00,E1,00,00\n";

std::string bigAddRegInf(int values)
{
    std::string text = kInfHead;
    for (int i = 0; i < values; ++i)
        text += "HKR,Settings,Value" + std::to_string(i) + ",,\"%S%-" + std::to_string(i) + "\"\n";
    text += "[Strings]\nP=\"Bench\"\nS=\"value\"\n";
    return text;
}

std::string manySectionsInf(int sections)
{
    std::string text = kInfHead;
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < sections; ++i)
            text += "[Section" + std::to_string(i) + "]\nKey" + std::to_string(round) +
                    "=a,b,\"c d\",%P%\n";
    text += "[Strings]\nP=\"Bench\"\n";
    return text;
}

std::string parseOnly(const std::string& text)
{
    zantal::inf::ParseError error;
    auto inf = zantal::inf::InfFile::parse(text, &error);
    return inf ? std::to_string(inf->sections().size()) + " sections" : "parse failed";
}

} // namespace

int main()
{
    char pattern[] = "/tmp/zantal-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    g_dir = pattern;
    setenv("ZANTAL_ROOT", (g_dir / "store").c_str(), 1);
    setenv("ZANTAL_SYSFS_ROOT", (g_dir / "sys").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (g_dir / "config").c_str(), 1);

    // Inputs are made inside each child (the parent holds none of them), so
    // a peak includes its own input once.
    std::printf("INF files\n");
    measure("parse: 50,000 sections, each twice", manySectionsInf(50000).size(),
            [] { return parseOnly(manySectionsInf(50000)); });
    measure("parse: AddReg section of 300,000 values", bigAddRegInf(300000).size(),
            [] { return parseOnly(bigAddRegInf(300000)); });
    const fs::path bigInf = g_dir / "store" / "inf" / "big.inf";
    writeFile(bigInf, bigAddRegInf(200000));
    measure("install: AddReg section of 200,000 values", fs::file_size(bigInf), [&] {
        uint32_t speed = 115200;
        char name[260] = "";
        const int32_t ok = ZANTAL_InstallModem(bigInf.c_str(), 0, "ZNT_BIG", "COM3", &speed, name);
        return std::string(ok ? "installed, " : "FAILED, ") + "store " +
               std::to_string(fs::file_size(g_dir / "store" / "registry.txt")) + " bytes";
    });
    fs::remove_all(g_dir / "store");

    std::printf("Settings files of 100 MB\n");
    const std::string filler(1u << 20, ';');
    const auto writeLarge = [&](const fs::path& path, const std::string& head) {
        fs::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out << head;
        for (int i = 0; i < 100; ++i)
            out << filler;
        return fs::file_size(path);
    };
    const auto portsSize =
        writeLarge(g_dir / "config" / "cfc" / "ports.ini", "[Ports]\nCOM5=/dev/x\n");
    measure("ports.ini: COM5 looked up", portsSize,
            [] { return plat::comPortPath(5).value_or("none"); });
    const fs::path trace = g_dir / "cfctrace.ini";
    const auto traceSize = writeLarge(trace, "[Global]\nEnable=1\nSuffix=5\n");
    measure("cfctrace.ini: Enable read, Suffix written", traceSize, [&] {
        const std::string enable = plat::readProfileString(trace, "Global", "Enable", "0");
        const bool written = plat::writeProfileString(trace, "Global", "Suffix", "6");
        return "Enable " + enable + (written ? ", written" : ", left alone");
    });

    std::printf("Registry store\n");
    measure("largest store: written, then read back", 0, [] {
        const std::string megabyte(1u << 20, '\0');
        {
            win::RegTransaction writing(true);
            win::RegKey big = win::RegKey::create(win::HKEY_LOCAL_MACHINE, "Big");
            for (int i = 0; i < 21; ++i)
                big.setRaw(("v" + std::to_string(i)).c_str(), win::REG_BINARY, megabyte);
            if (writing.commit() != win::ERROR_SUCCESS)
                return std::string("write FAILED");
        }
        const auto size = fs::file_size(g_dir / "store" / "registry.txt");
        const bool refused = !win::RegKey::open(win::HKEY_LOCAL_MACHINE, "Big", win::KEY_ALL_ACCESS)
                                  .setRaw("one more", win::REG_BINARY, megabyte);
        auto back = win::RegKey::open(win::HKEY_LOCAL_MACHINE, "Big").raw("v20");
        return "store " + std::to_string(size) + " bytes, next MB " +
               (refused ? "refused" : "WRITTEN") + ", read back " +
               (back && back->size() == megabyte.size() ? "ok" : "FAILED");
    });

    fs::remove_all(g_dir);
    return 0;
}
