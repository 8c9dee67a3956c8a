// Deadlines in the terms of the Win32 waits, shared by the event and serial
// code.
#pragma once

#include "common/backend.h"

#include <windows.h>

namespace plat::detail {

// Milliseconds left until the deadline (rounded up), INFINITE for none.
DWORD waitMsUntil(Deadline deadline);

} // namespace plat::detail
