#include "plat/dynlib.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>

namespace plat {

namespace {

bool endsWithNoCase(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() &&
           std::equal(suffix.rbegin(), suffix.rend(), text.rbegin(), [](char a, char b) {
               return a == std::tolower(static_cast<unsigned char>(b));
           });
}

} // namespace

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

std::string DynLib::fileNameFor(const std::string& name)
{
    // A path or a name in the local form is meant literally.
    if (name.find('/') != std::string::npos || endsWithNoCase(name, ".so"))
        return name;
    std::string base = name;
    if (endsWithNoCase(base, ".dll"))
        base.resize(base.size() - 4);
    return "lib" + base + ".so";
}

bool DynLib::open(const std::string& name)
{
    close();
    handle_ = ::dlopen(fileNameFor(name).c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

void DynLib::close()
{
    if (handle_) {
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

void* DynLib::symbol(const char* name) const
{
    return handle_ ? ::dlsym(handle_, name) : nullptr;
}

} // namespace plat
