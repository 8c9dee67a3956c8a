// What a loaded library is to its owner, the same on every system; the
// backends load, look up and unload.
#include "plat/dynlib.h"

#include "common/backend.h"

#include <algorithm>
#include <cctype>

namespace plat {

DynLib::~DynLib()
{
    close();
}

DynLib::DynLib(DynLib&& other) noexcept : handle_(other.handle_)
{
    other.handle_ = nullptr;
}

DynLib& DynLib::operator=(DynLib&& other) noexcept
{
    if (this != &other) {
        close();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

namespace detail {

bool endsWithNoCase(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() &&
           std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(), [](char a, char b) {
               return a == std::tolower(static_cast<unsigned char>(b));
           });
}

} // namespace detail
} // namespace plat
