#pragma once

#include <memory>
#include <type_traits>
#include <utility>

namespace cfc {

// A callable borrowed for the length of one call: two words, no copy of the
// callable and no allocation. Never kept beyond the call it was handed to.
template <class Signature>
class FunctionRef;

template <class R, class... Args>
class FunctionRef<R(Args...)> {
public:
    template <class F, std::enable_if_t<!std::is_same_v<std::remove_cvref_t<F>, FunctionRef> &&
                                            std::is_invocable_r_v<R, F&, Args...>,
                                        int> = 0>
    FunctionRef(F&& callable) noexcept
    {
        using Target = std::remove_reference_t<F>;
        if constexpr (std::is_function_v<Target>) {
            callee_.function = reinterpret_cast<void (*)()>(&callable);
            invoke_ = [](Callee callee, Args... args) -> R {
                return reinterpret_cast<Target*>(callee.function)(std::forward<Args>(args)...);
            };
        } else {
            callee_.object = const_cast<void*>(static_cast<const void*>(std::addressof(callable)));
            invoke_ = [](Callee callee, Args... args) -> R {
                return (*static_cast<Target*>(callee.object))(std::forward<Args>(args)...);
            };
        }
    }

    R operator()(Args... args) const { return invoke_(callee_, std::forward<Args>(args)...); }

private:
    union Callee {
        void* object;
        void (*function)();
    };
    Callee callee_;
    R (*invoke_)(Callee, Args...);
};

} // namespace cfc
