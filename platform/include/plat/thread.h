// A joinable thread whose start can fail without an exception crossing the
// library's C interface.
#pragma once

#include <cstdint>
#include <functional>
#include <thread>

namespace plat {

class Thread {
public:
    Thread() = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // False with *sysError set when the system cannot create the thread.
    bool start(std::function<void()> body, int* sysError);
    void join();
    bool running() const { return thread_.joinable(); }
    // The system's id of the started thread.
    uint32_t id() const { return id_; }

private:
    std::thread thread_;
    uint32_t id_ = 0;
};

} // namespace plat
