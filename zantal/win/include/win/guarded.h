// Keeps C++ exceptions (in practice std::bad_alloc) from crossing a C
// interface: the body's result, or `failure` with ERROR_NOT_ENOUGH_MEMORY as
// the last error when the body threw.
#pragma once

#include "win/types.h"

namespace win {

template <class Body, class Result>
Result guarded(Body&& body, Result failure) noexcept
{
    try {
        return body();
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return failure;
    }
}

template <class Body>
void guardedVoid(Body&& body) noexcept
{
    try {
        body();
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
}

} // namespace win
