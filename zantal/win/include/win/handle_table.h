// Handles as the original host hands them out: opaque pointer-sized values
// that name an object kept here. An unknown or closed handle is simply not
// found, so a stale handle from a caller is refused instead of followed.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace win {

template <class Object>
class HandleTable {
public:
    explicit HandleTable(uintptr_t firstId) : next_(firstId) {}

    template <class H>
    H add(std::shared_ptr<Object> object)
    {
        std::lock_guard lock(mutex_);
        const uintptr_t id = next_;
        next_ += 4;
        objects_.emplace(id, std::move(object));
        return reinterpret_cast<H>(id);
    }

    template <class H>
    std::shared_ptr<Object> find(H handle) const
    {
        std::lock_guard lock(mutex_);
        auto it = objects_.find(reinterpret_cast<uintptr_t>(handle));
        return it == objects_.end() ? nullptr : it->second;
    }

    template <class H>
    bool remove(H handle)
    {
        std::lock_guard lock(mutex_);
        return objects_.erase(reinterpret_cast<uintptr_t>(handle)) != 0;
    }

private:
    mutable std::mutex mutex_;
    std::map<uintptr_t, std::shared_ptr<Object>> objects_;
    uintptr_t next_;
};

} // namespace win
