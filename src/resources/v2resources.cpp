#include "v2resources.h"

#include <QtGlobal>

#include <mutex>

// Q_INIT_RESOURCE declares the initialiser, which must live in the global
// namespace.
static void registerCompiledResources()
{
    Q_INIT_RESOURCE(v2resources);
}

void v2InitResources()
{
    static std::once_flag once;
    std::call_once(once, registerCompiledResources);
}
