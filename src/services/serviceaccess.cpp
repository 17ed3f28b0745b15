#include "serviceaccess.h"

#include <mutex>

namespace
{
std::mutex accessMutex;
std::shared_ptr<const ServiceAccess> &current()
{
    static std::shared_ptr<const ServiceAccess> access = std::make_shared<const ServiceAccess>();
    return access;
}
} // namespace

void setServiceAccess(ServiceAccess access)
{
    auto next = std::make_shared<const ServiceAccess>(std::move(access));
    const std::lock_guard<std::mutex> lock(accessMutex);
    current().swap(next);
}

std::shared_ptr<const ServiceAccess> serviceAccess()
{
    const std::lock_guard<std::mutex> lock(accessMutex);
    return current();
}
