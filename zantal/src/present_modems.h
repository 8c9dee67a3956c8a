// The present-modem lookup: the set of present devices of the class "Modem",
// walked by index, destroyed with the object.
#pragma once

#include "setupapi_binding.h"

#include <optional>
#include <string>

namespace zantal {

class PresentModems {
public:
    explicit PresentModems(const SetupApi& api);
    ~PresentModems();
    PresentModems(const PresentModems&) = delete;
    PresentModems& operator=(const PresentModems&) = delete;

    bool valid() const;
    win::HDEVINFO set() const { return set_; }
    const win::GUID& classGuid() const { return classGuid_; }

    // False once the index passes the last device.
    bool device(win::DWORD index, win::SP_DEVINFO_DATA& data) const;

    // A string property as read into a buffer of `bufferSize` bytes (the
    // first string of a multi-string); nothing when it cannot be read or
    // does not fit.
    std::optional<std::string> stringProperty(win::SP_DEVINFO_DATA& data, win::DWORD property,
                                              win::DWORD bufferSize) const;

    // The first device whose friendly name equals the name, case aside.
    std::optional<win::SP_DEVINFO_DATA> findByFriendlyName(std::string_view name) const;

private:
    const SetupApi& api_;
    win::GUID classGuid_{};
    win::HDEVINFO set_;
};

// Buffer sizes of the device's names as the installation reads them.
inline constexpr win::DWORD kNameBuffer = 260;

} // namespace zantal
