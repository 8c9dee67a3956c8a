// The one rule for bad arguments at the C boundary: a null pointer that an
// operation needs, or a size beyond what its area, table or the message
// holds, is refused before anything is sent, with last error 11 and one
// trace line naming the argument.
#pragma once

#include "cfc_connection.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace cfc {

class Argument {
public:
    // A pointer the operation reads or writes.
    static Argument needed(const void* pointer, const char* name)
    {
        return {name, pointer == nullptr, true, 0, 0};
    }
    // An area of `size` bytes; without bytes it need not be there.
    static Argument area(const void* pointer, size_t size, const char* name)
    {
        return {name, pointer == nullptr && size > 0, true, 0, 0};
    }
    // A size, count or length that must not exceed `limit`.
    static Argument atMost(size_t value, size_t limit, const char* name)
    {
        return {name, value > limit, false, value, limit};
    }

    const char* name() const { return name_; }
    bool bad() const { return bad_; }
    bool isPointer() const { return pointer_; }
    size_t value() const { return value_; }
    size_t limit() const { return limit_; }

private:
    Argument(const char* name, bool bad, bool pointer, size_t value, size_t limit)
        : name_(name), bad_(bad), pointer_(pointer), value_(value), limit_(limit)
    {
    }

    const char* name_;
    bool bad_;
    bool pointer_;
    size_t value_;
    size_t limit_;
};

// The largest message; a request with its fixed part beyond it cannot go out.
inline constexpr size_t kMaxMessage = 1500;

// True when one of `arguments` is bad: its line traced as a failure of
// `operation`, last error 11 stored.
bool RefuseBadArgument(Connection& connection, const char* operation,
                       std::initializer_list<Argument> arguments);

// A public operation whose `arguments` are checked once the handle passed:
// `operation` runs only when all are good.
template <typename Operation>
int32_t CheckedCall(uint32_t handle, const char* name, std::initializer_list<Argument> arguments,
                    Operation&& operation)
{
    return OnConnection(handle, int32_t{0}, [&](Connection& connection) -> int32_t {
        if (RefuseBadArgument(connection, name, arguments))
            return 0;
        return operation(connection);
    });
}

} // namespace cfc
