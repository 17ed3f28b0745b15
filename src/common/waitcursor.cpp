#include "waitcursor.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

namespace
{
// Cursors exist only with a GUI application; console tools and plain
// QCoreApplication tests use the same code paths without one.
bool haveGuiApplication()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
}
} // namespace

WaitCursor::WaitCursor()
{
    if (haveGuiApplication()) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        active = true;
    }
}

WaitCursor::~WaitCursor()
{
    restore();
}

void WaitCursor::restore()
{
    if (!active)
        return;
    active = false;
    if (haveGuiApplication())
        QGuiApplication::restoreOverrideCursor();
}

NormalCursor::NormalCursor()
    : active(QGuiApplication::overrideCursor() != nullptr)
{
    if (active)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
}

NormalCursor::~NormalCursor()
{
    if (active)
        QGuiApplication::restoreOverrideCursor();
}
