#include "present_modems.h"

#include "text.h"
#include "win/escape.h"

#include <algorithm>
#include <vector>

namespace zantal {

using namespace win;

PresentModems::PresentModems(const SetupApi& api) : api_(api), set_(INVALID_HANDLE_VALUE)
{
    DWORD required = 0;
    if (!api_.ClassGuidsFromName("Modem", &classGuid_, 1, &required) || required == 0)
        return;
    set_ = api_.GetClassDevs(&classGuid_, nullptr, nullptr, DIGCF_PRESENT);
}

bool PresentModems::valid() const
{
    return set_ != INVALID_HANDLE_VALUE;
}

PresentModems::~PresentModems()
{
    if (valid())
        api_.DestroyDeviceInfoList(set_);
}

bool PresentModems::device(DWORD index, SP_DEVINFO_DATA& data) const
{
    data = SP_DEVINFO_DATA{};
    data.cbSize = sizeof data;
    return valid() && api_.EnumDeviceInfo(set_, index, &data);
}

std::optional<std::string> PresentModems::stringProperty(SP_DEVINFO_DATA& data, DWORD property,
                                                         DWORD bufferSize) const
{
    std::vector<char> buffer(bufferSize);
    DWORD required = 0;
    if (!api_.GetDeviceRegistryProperty(set_, &data, property, nullptr,
                                        reinterpret_cast<BYTE*>(buffer.data()), bufferSize,
                                        &required))
        return std::nullopt;
    auto text = filledString(buffer.data(), std::min(required, bufferSize));
    if (!text)
        return std::nullopt;
    return std::string(*text);
}

std::optional<SP_DEVINFO_DATA> PresentModems::findByFriendlyName(std::string_view name) const
{
    SP_DEVINFO_DATA data;
    for (DWORD i = 0; device(i, data); ++i) {
        auto friendly = stringProperty(data, SPDRP_FRIENDLYNAME, kNameBuffer);
        if (friendly && equalsIgnoreCase(*friendly, name))
            return data;
    }
    return std::nullopt;
}

} // namespace zantal
