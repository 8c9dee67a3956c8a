#include "inf_description.h"

#include <cstring>
#include <string>

namespace zantal {

using namespace win;

namespace {

// INF fields are read into 256-byte (names) and 260-byte (section name,
// hardware ID) buffers.
constexpr DWORD kSectionBuffer = 260;
constexpr DWORD kHardwareIdBuffer = 260;

class InfHandle {
public:
    InfHandle(const SetupApi& api, const char* path)
        : api_(api), inf_(api.OpenInfFile(path, nullptr, INF_STYLE_WIN4, nullptr))
    {
    }
    ~InfHandle()
    {
        if (valid())
            api_.CloseInfFile(inf_);
    }
    InfHandle(const InfHandle&) = delete;
    InfHandle& operator=(const InfHandle&) = delete;
    bool valid() const { return inf_ != INVALID_HANDLE_VALUE; }
    HINF get() const { return inf_; }

private:
    const SetupApi& api_;
    HINF inf_;
};

bool field(const SetupApi& api, INFCONTEXT& line, DWORD index, char* buffer, DWORD size)
{
    return api.GetStringField(&line, index, buffer, size, nullptr);
}

// The models section: as named if it has lines, else decorated for 32-bit,
// else for 64-bit NT, whatever this machine is.
bool findModelsSection(const SetupApi& api, HINF inf, const char* name, std::string& section)
{
    for (const char* suffix : {"", ".NTx86", ".NTamd64"}) {
        section = std::string(name) + suffix;
        if (api.GetLineCount(inf, section.c_str()) > 0)
            return true;
    }
    return false;
}

} // namespace

bool readDriverDescription(const SetupApi& api, const char* infPath, std::string_view hardwareId,
                           SP_DRVINFO_DATA_V1_A& driver)
{
    std::memset(&driver, 0, sizeof driver);
    driver.cbSize = sizeof driver;
    driver.DriverType = SPDIT_CLASSDRIVER;

    InfHandle inf(api, infPath);
    if (!inf.valid())
        return false;
    INFCONTEXT line{};
    if (!api.FindFirstLine(inf.get(), "Version", "Provider", &line) ||
        !field(api, line, 1, driver.ProviderName, sizeof driver.ProviderName))
        return false;
    char models[kSectionBuffer];
    if (!api.FindFirstLine(inf.get(), "Manufacturer", nullptr, &line) ||
        !field(api, line, 0, driver.MfgName, sizeof driver.MfgName) ||
        !field(api, line, 1, models, sizeof models))
        return false;
    std::string section;
    if (!findModelsSection(api, inf.get(), models, section))
        return false;

    const LONG count = api.GetLineCount(inf.get(), section.c_str());
    for (LONG i = 0; i < count; ++i) {
        char id[kHardwareIdBuffer];
        if (!api.GetLineByIndex(inf.get(), section.c_str(), static_cast<DWORD>(i), &line) ||
            !field(api, line, 2, id, sizeof id))
            return false;
        if (hardwareId == id) // case matters here
            return field(api, line, 0, driver.Description, sizeof driver.Description);
    }
    return false;
}

} // namespace zantal
