#include "cfc_arguments.h"

#include "cfc_trace.h"
#include "emmierr.h"

namespace cfc {

bool RefuseBadArgument(Connection& connection, const char* operation,
                       std::initializer_list<Argument> arguments)
{
    for (const Argument& argument : arguments) {
        if (!argument.bad())
            continue;
        connection.storeError(EMMIERR_BAD_ARGUMENT);
        const OpTrace trace(connection.trace, "(CFC )", operation);
        if (argument.isPointer())
            trace.step(4, "argument %s (null) fails with error %d", argument.name(),
                       EMMIERR_BAD_ARGUMENT);
        else
            trace.step(4, "argument %s (%zu, at most %zu) fails with error %d", argument.name(),
                       argument.value(), argument.limit(), EMMIERR_BAD_ARGUMENT);
        return true;
    }
    return false;
}

} // namespace cfc
