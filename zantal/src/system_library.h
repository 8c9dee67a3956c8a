// A library of the system loaded by name at run time and looked into by
// export name; it stays loaded until closed.
#pragma once

namespace zantal {

class SystemLibrary {
public:
    SystemLibrary() = default;
    ~SystemLibrary() = default; // kept loaded: its addresses may be in use
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    bool open(const char* name);
    void close();
    // The export's address, or null.
    void* symbol(const char* name) const;

private:
    void* handle_ = nullptr;
};

} // namespace zantal
