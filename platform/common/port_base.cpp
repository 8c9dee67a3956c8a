#include "common/port_base.h"

namespace plat::detail {

bool PortBase::refuse(int sysError)
{
    lastError_.store(sysError, std::memory_order_relaxed);
    return false;
}

IoResult PortBase::failed(int sysError, size_t transferred)
{
    lastError_.store(sysError, std::memory_order_relaxed);
    return IoResult{IoStatus::Failed, transferred, sysError};
}

} // namespace plat::detail
