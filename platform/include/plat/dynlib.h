// Libraries loaded by name at run time. Names follow the original host's
// habit ("setupapi.dll", "ombrel"); this layer maps them onto the local
// convention: "x.dll" and "x" load "libx.so" from the loader's search path.
#pragma once

#include <string>

namespace plat {

class DynLib {
public:
    DynLib() = default;
    ~DynLib();
    DynLib(const DynLib&) = delete;
    DynLib& operator=(const DynLib&) = delete;
    DynLib(DynLib&& other) noexcept;
    DynLib& operator=(DynLib&& other) noexcept;

    bool open(const std::string& name);
    void close();
    bool isOpen() const { return handle_ != nullptr; }
    // Address of an exported name, or null.
    void* symbol(const char* name) const;

    // The file name this layer loads for a library name.
    static std::string fileNameFor(const std::string& name);

private:
    void* handle_ = nullptr;
};

} // namespace plat
