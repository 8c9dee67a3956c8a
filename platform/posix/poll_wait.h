// ppoll against a steady-clock deadline, shared by the event and serial code.
#pragma once

#include "common/backend.h"

#include <poll.h>

namespace plat::detail {

// Polls until an fd is ready or the deadline passes; EINTR restarts with the
// time that is left. Returns what poll returns (0 at the deadline).
int pollUntil(pollfd* fds, nfds_t count, Deadline deadline);

} // namespace plat::detail
