#include "plat/thread.h"
#include "plat/clock.h"

#include <cerrno>
#include <future>
#include <system_error>

namespace plat {

Thread::~Thread()
{
    join();
}

bool Thread::start(std::function<void()> body, int* sysError)
{
    if (thread_.joinable() || !body) {
        if (sysError)
            *sysError = body ? EBUSY : EINVAL;
        return false;
    }
    try {
        // The id is only known inside the new thread; the caller gets it
        // before start returns (callers trace it at once).
        std::promise<uint32_t> started;
        std::future<uint32_t> id = started.get_future();
        thread_ = std::thread([started = std::move(started), body = std::move(body)]() mutable {
            started.set_value(currentThreadId());
            body();
        });
        id_ = id.get();
        return true;
    } catch (const std::system_error& e) {
        if (sysError)
            *sysError = e.code().value();
    } catch (const std::bad_alloc&) {
        if (sysError)
            *sysError = ENOMEM;
    }
    return false;
}

void Thread::join()
{
    if (thread_.joinable())
        thread_.join();
}

} // namespace plat
