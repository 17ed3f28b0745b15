#pragma once

// The update check: asks the service whether a newer version of the program
// is published. UpdatesWatcher does the one service call on a thread of its
// own; UpdatesCheck owns that thread and the watcher from one check to the
// next and relays the watcher's signals to the GUI thread.

#include "vendra2impostazioni.h"

#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>

Q_DECLARE_METATYPE(vendra2__IdComponenteType)

class QThread;

class UpdatesWatcher : public QObject
{
    Q_OBJECT

public:
    // The version of this program.
    static constexpr int installedMajor = 2;
    static constexpr int installedMinor = 3;
    static constexpr int installedBuild = 4;

    struct Item {
        vendra2__IdComponenteType type = vendra2__IdComponenteType__ADMIN;
        int major = 0;
        int minor = 0;
        int build = 0;
        QString url;
    };

    // An empty endpoint means the installation's service endpoint.
    explicit UpdatesWatcher(const QString &endpoint, QObject *parent = nullptr);

    // Component types whose updates are this program's.
    static bool isProgramComponent(int type);
    // Newer than the installed version, number by number.
    static bool isNewer(int major, int minor, int build);

    // The last item the service returned; read it after a signal.
    Item lastItem() const { return m_item; }

public slots:
    bool checkForUpdates();
    bool checkForProgramUpdates();

signals:
    void errorOccurred(QString errCode, QString errMessage);
    void requestTerminated();
    void newUpdateAvailable(vendra2__IdComponenteType type);

private:
    QString m_endpoint;
    Item m_item;
};

class UpdatesCheck : public QObject
{
    Q_OBJECT

public:
    explicit UpdatesCheck(QObject *parent = nullptr);
    // Stops the running check as start() does.
    ~UpdatesCheck() override;

    // Starts a check on a new thread. A previous check is stopped first: its
    // thread is asked to end and waited for; one still blocked in its service
    // call is left to end and delete itself, its signals no longer relayed.
    void start(const QString &endpoint);
    bool isRunning() const;
    // The item of the last check that reported.
    UpdatesWatcher::Item lastItem() const { return m_lastItem; }

signals:
    void errorOccurred(QString errCode, QString errMessage);
    void requestTerminated();
    void newUpdateAvailable(vendra2__IdComponenteType type);

private:
    void stop();

    QPointer<QThread> m_thread;
    QPointer<UpdatesWatcher> m_watcher;
    UpdatesWatcher::Item m_lastItem;
};
