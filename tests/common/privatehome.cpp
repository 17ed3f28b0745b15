#include "privatehome.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtGlobal>

#include <memory>

namespace v2test
{

void usePrivateHome()
{
    static std::unique_ptr<QTemporaryDir> home;
    home = std::make_unique<QTemporaryDir>();
    if (!home->isValid())
        qFatal("no temporary folder");
    const QString root = home->path();
    QDir().mkpath(root + QStringLiteral("/tmp"));
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toUtf8());
    qputenv("TMPDIR", (root + QStringLiteral("/tmp")).toUtf8());
}

} // namespace v2test
