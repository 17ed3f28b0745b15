#include "updateswatcher.h"

#include "settings/appsettings.h"

#include <QCoreApplication>
#include <QThread>

#include <exception>

namespace
{
// Waiting for a check that was asked to stop; one blocked in its service
// call longer than this is let go.
constexpr unsigned long stopWaitMs = 1000;

const int registeredType
    = qRegisterMetaType<vendra2__IdComponenteType>("vendra2__IdComponenteType");
} // namespace

UpdatesWatcher::UpdatesWatcher(const QString &endpoint, QObject *parent)
    : QObject(parent)
    , m_endpoint(endpoint)
{
    Q_UNUSED(registeredType)
}

bool UpdatesWatcher::isProgramComponent(int type)
{
    return type == 1 || type == 4;
}

bool UpdatesWatcher::isNewer(int major, int minor, int build)
{
    if (major != installedMajor)
        return major > installedMajor;
    if (minor != installedMinor)
        return minor > installedMinor;
    return build > installedBuild;
}

bool UpdatesWatcher::checkForUpdates()
{
    return checkForProgramUpdates();
}

bool UpdatesWatcher::checkForProgramUpdates()
{
    // Nothing may escape a slot running on the watcher's thread.
    try {
        // Its own access: the check needs no credentials and must not switch
        // operator authentication off for the GUI thread's calls.
        const std::string endpoint
            = m_endpoint.isEmpty() ? serviceEndpoint().toStdString() : m_endpoint.toStdString();
        const Aggiornamento aggiornamento(ServiceAccess { endpoint, {}, {}, false });
        const Aggiornamento::AggiornamentoItem item
            = aggiornamento.ottieniAggiornamento(vendra2__IdComponenteType__ADMIN);
        m_item.type = item.tipoComponente;
        m_item.major = item.major;
        m_item.minor = item.minor;
        m_item.build = item.build;
        m_item.url = QString::fromStdString(item.url);
        emit requestTerminated();
        if (!isProgramComponent(m_item.type) || !isNewer(m_item.major, m_item.minor, m_item.build))
            return false;
        emit newUpdateAvailable(m_item.type);
        return true;
    } catch (const Aggiornamento::AggiornamentoException &e) {
        emit errorOccurred(
            QString::fromStdString(e.getCode()), QString::fromStdString(e.getMessage()));
    } catch (...) {
        emit errorOccurred(
            QString(), QCoreApplication::translate("UpdatesWatcher", "Errore sconosciuto"));
    }
    return false;
}

UpdatesCheck::UpdatesCheck(QObject *parent)
    : QObject(parent)
{
}

UpdatesCheck::~UpdatesCheck()
{
    stop();
}

bool UpdatesCheck::isRunning() const
{
    return m_thread && m_thread->isRunning();
}

void UpdatesCheck::start(const QString &endpoint)
{
    stop();
    m_thread = new QThread();
    m_watcher = new UpdatesWatcher(endpoint);
    m_watcher->moveToThread(m_thread);
    connect(m_thread, &QThread::started, m_watcher, &UpdatesWatcher::checkForUpdates);
    // The watcher's signals arrive queued. It writes its item once, before
    // the first of them, so reading it here never races with the write.
    UpdatesWatcher *watcher = m_watcher;
    connect(watcher, &UpdatesWatcher::requestTerminated, this, [this, watcher] {
        m_lastItem = watcher->lastItem();
        emit requestTerminated();
    });
    connect(watcher, &UpdatesWatcher::newUpdateAvailable, this,
        [this, watcher](vendra2__IdComponenteType type) {
            m_lastItem = watcher->lastItem();
            emit newUpdateAvailable(type);
        });
    connect(watcher, &UpdatesWatcher::errorOccurred, this, &UpdatesCheck::errorOccurred);
    m_thread->start(QThread::InheritPriority);
}

void UpdatesCheck::stop()
{
    if (!m_thread)
        return;
    QThread *thread = m_thread;
    UpdatesWatcher *watcher = m_watcher;
    m_thread.clear();
    m_watcher.clear();
    if (watcher)
        watcher->disconnect(this);
    thread->quit();
    if (thread->wait(stopWaitMs)) {
        delete watcher;
        delete thread;
        return;
    }
    // Still inside the service call, which has its own time-outs: both go
    // once it has returned and the thread's event loop has seen the quit.
    connect(thread, &QThread::finished, watcher, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
}
